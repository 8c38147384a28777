// panemaker-test-client: an X client in its own process whose windows integration tests drive over stdin.
//
// One command per line on stdin, one answer line on stdout ("error TEXT" for a bad one):
//   open NAME [key=value ...]  -> opened NAME 0xWINDOW
//       x= y= w= h=            initial geometry, set as USPosition and USSize too; minw= minh= the minimum size
//       title=TEXT             percent-encoded UTF-8, as _NET_WM_NAME and WM_NAME (UTF8_STRING beyond ASCII)
//       type=normal|dialog|dock|desktop|utility|splash  _NET_WM_WINDOW_TYPE
//       strut=l,r,t,b[,ly0,ly1,ry0,ry1,tx0,tx1,bx0,bx1]  _NET_WM_STRUT, and _NET_WM_STRUT_PARTIAL with 12
//       gtkextents=l,r,t,b     _GTK_FRAME_EXTENTS
//       fullscreen=1 maximized=1  initial _NET_WM_STATE
//       transient=OTHERNAME    WM_TRANSIENT_FOR
//       override=1             override-redirect (never managed)
//       late=1                 takes a new size 50 ms late, as a busy application does: puts its old size
//                              back at once, then asks for the newest size it was given
//   destroy NAME               -> destroyed NAME
//   configure NAME x y w h     -> configured NAME   (moves and resizes the window itself, as panels do)
//   strut NAME l,r,t,b[,...]   -> strut NAME        (replaces the struts as strut= sets them)
//   quit                       -> exits without answering; so does end of input
// A window closed by the window manager is destroyed silently.
#include <QByteArray>
#include <QList>
#include <QMap>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>
#include <xcb/xcb_icccm.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

namespace panemaker {
namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void refuse(const QByteArray &text)
{
    throw std::runtime_error(text.toStdString());
}

long number(const QByteArray &text)
{
    bool ok = false;
    const long value = text.toLong(&ok);
    if (!ok)
        refuse("bad number " + text);
    return value;
}

std::vector<uint32_t> numbers(const QByteArray &text, std::initializer_list<size_t> counts)
{
    std::vector<uint32_t> values;
    for (const QByteArray &part : text.split(','))
        values.push_back(uint32_t(number(part)));
    if (std::find(counts.begin(), counts.end(), values.size()) == counts.end())
        refuse("bad list " + text);
    return values;
}

// A window that takes its sizes late: the one it has taken and the newest it was given.
struct LateSize {
    std::array<uint16_t, 2> size;
    std::optional<std::array<uint16_t, 2>> pending;
    Clock::time_point due;
};

class Client final {
public:
    Client() : m_connection(xcb_connect(nullptr, nullptr))
    {
        m_ready = !xcb_connection_has_error(m_connection)
                  && xcb_ewmh_init_atoms_replies(&m_ewmh, xcb_ewmh_init_atoms(m_connection, &m_ewmh), nullptr);
        if (m_ready)
            m_deleteWindow = atom("WM_DELETE_WINDOW");
        gethostname(m_hostname.data(), m_hostname.size() - 1);
    }
    ~Client()
    {
        if (m_ready)
            xcb_ewmh_connection_wipe(&m_ewmh);
        xcb_disconnect(m_connection);
    }
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    int run()
    {
        QByteArray pending;
        while (m_ready) {
            handleEvents();
            if (xcb_connection_has_error(m_connection))
                return 1;
            std::array<pollfd, 2> fds{pollfd{STDIN_FILENO, POLLIN, 0},
                                      pollfd{xcb_get_file_descriptor(m_connection), POLLIN, 0}};
            if (poll(fds.data(), fds.size(), msUntilLateResize()) <= 0 || !(fds[0].revents & (POLLIN | POLLHUP)))
                continue;
            std::array<char, 4096> buffer;
            const ssize_t count = read(STDIN_FILENO, buffer.data(), buffer.size());
            if (count <= 0)
                return 0;
            pending.append(buffer.data(), count);
            for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
                const QList<QByteArray> words = pending.left(end).simplified().split(' ');
                pending.remove(0, end + 1);
                if (words[0] == "quit")
                    return 0;
                try {
                    if (!words[0].isEmpty())
                        answer(execute(words[0], words.value(1), words));
                } catch (const std::runtime_error &error) {
                    answer(QByteArray("error ") + error.what());
                }
            }
        }
        std::fputs("panemaker-test-client: cannot connect to the X server\n", stderr);
        return 1;
    }

private:
    // Does what the command asks and returns the answer.
    QByteArray execute(const QByteArray &command, const QByteArray &name, const QList<QByteArray> &words)
    {
        if (command == "open") {
            if (m_windows.count(name))
                refuse("window " + name + " exists");
            const xcb_window_t window = m_windows[name] = open(words.mid(2));
            return "opened " + name + " 0x" + QByteArray::number(window, 16);
        } else if (command == "destroy") {
            forget(windowNamed(name));
            return "destroyed " + name;
        } else if (command == "configure") {
            uint32_t values[4];
            for (qsizetype i = 0; i < 4; ++i)
                values[i] = uint32_t(int32_t(number(words.value(i + 2))));
            xcb_configure_window(
                m_connection, windowNamed(name),
                XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
            return "configured " + name;
        } else if (command != "strut") {
            refuse("unknown command " + command);
        }
        setStrut(windowNamed(name), numbers(words.value(2), {4, 12}));
        return "strut " + name;
    }

    // Once the server has handled what the command asked.
    void answer(const QByteArray &line)
    {
        roundTrip();
        std::fputs((line + '\n').constData(), stdout);
        std::fflush(stdout);
    }

    xcb_window_t windowNamed(const QByteArray &name) const
    {
        const auto found = m_windows.find(name);
        if (found == m_windows.end())
            refuse("no window " + name);
        return found->second;
    }

    // Checks every option before it creates the window, so that a bad one leaves nothing behind.
    xcb_window_t open(const QList<QByteArray> &words)
    {
        static const QList<QByteArray> keys{"x",    "y",          "w",         "h",        "title",
                                            "type", "minw",       "minh",      "strut",    "gtkextents",
                                            "late", "fullscreen", "maximized", "override", "transient"};
        QMap<QByteArray, QByteArray> options;
        for (const QByteArray &word : words) {
            const qsizetype equals = word.indexOf('=');
            if (equals < 0 || !keys.contains(word.left(equals)))
                refuse("unknown option " + word);
            options.insert(word.left(equals), word.mid(equals + 1));
        }
        const auto value = [&](const char *key, long fallback) {
            return options.contains(key) ? number(options[key]) : fallback;
        };
        const int16_t x = int16_t(value("x", 0)), y = int16_t(value("y", 0));
        const uint16_t width = uint16_t(value("w", 300)), height = uint16_t(value("h", 200));
        const bool overrideRedirect = value("override", 0), late = value("late", 0);
        const QByteArray title = QByteArray::fromPercentEncoding(options.value("title", "panemaker test client"));
        // Interning the EWMH atoms made every window type's atom exist; any other name finds none.
        xcb_atom_t type = options.contains("type") ? atom("_NET_WM_WINDOW_TYPE_" + options["type"].toUpper(), true)
                                                   : xcb_atom_t(XCB_ATOM_NONE);
        if (options.contains("type") && type == XCB_ATOM_NONE)
            refuse("unknown type " + options["type"]);
        const std::vector<uint32_t> strut =
            options.contains("strut") ? numbers(options["strut"], {4, 12}) : std::vector<uint32_t>();
        const std::vector<uint32_t> extents =
            options.contains("gtkextents") ? numbers(options["gtkextents"], {4}) : std::vector<uint32_t>();
        const xcb_window_t transientFor = options.contains("transient") ? windowNamed(options["transient"]) : 0;
        std::vector<xcb_atom_t> states;
        if (value("fullscreen", 0))
            states.push_back(m_ewmh._NET_WM_STATE_FULLSCREEN);
        if (value("maximized", 0))
            states.insert(states.end(), {m_ewmh._NET_WM_STATE_MAXIMIZED_VERT, m_ewmh._NET_WM_STATE_MAXIMIZED_HORZ});

        const xcb_window_t window = xcb_generate_id(m_connection);
        const uint32_t values[] = {0xd0d0d0, overrideRedirect, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_ewmh.screens[0]->root, x, y, width, height, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, m_ewmh.screens[0]->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        xcb_ewmh_set_wm_pid(&m_ewmh, window, uint32_t(getpid()));
        xcb_icccm_set_wm_client_machine(m_connection, window, XCB_ATOM_STRING, 8, uint32_t(strlen(m_hostname.data())),
                                        m_hostname.data());
        static const char wmClass[] = "panemaker-test-client\0PanemakerTestClient";
        xcb_icccm_set_wm_class(m_connection, window, sizeof wmClass, wmClass);
        // Without WM_DELETE_WINDOW, closing one window makes the window manager kill the whole client.
        xcb_icccm_set_wm_protocols(m_connection, window, m_ewmh.WM_PROTOCOLS, 1, &m_deleteWindow);
        xcb_ewmh_set_wm_name(&m_ewmh, window, uint32_t(title.size()), title.data());
        // WM_NAME of type STRING is Latin-1, so a title beyond ASCII goes in as UTF8_STRING, as toolkits do.
        const bool ascii = std::all_of(title.begin(), title.end(), [](char c) { return (c & 0x80) == 0; });
        xcb_icccm_set_wm_name(m_connection, window, ascii ? xcb_atom_t(XCB_ATOM_STRING) : m_ewmh.UTF8_STRING, 8,
                              uint32_t(title.size()), title.data());

        xcb_size_hints_t hints{};
        if (options.contains("x") || options.contains("y"))
            xcb_icccm_size_hints_set_position(&hints, 1, x, y);
        if (options.contains("w") || options.contains("h"))
            xcb_icccm_size_hints_set_size(&hints, 1, width, height);
        if (options.contains("minw") || options.contains("minh"))
            xcb_icccm_size_hints_set_min_size(&hints, int32_t(value("minw", 1)), int32_t(value("minh", 1)));
        xcb_icccm_set_wm_normal_hints(m_connection, window, &hints);
        if (type != XCB_ATOM_NONE)
            xcb_ewmh_set_wm_window_type(&m_ewmh, window, 1, &type);
        if (transientFor)
            xcb_icccm_set_wm_transient_for(m_connection, window, transientFor);
        if (!strut.empty())
            setStrut(window, strut);
        if (!extents.empty())
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom("_GTK_FRAME_EXTENTS"),
                                XCB_ATOM_CARDINAL, 32, 4, extents.data());
        if (!states.empty())
            xcb_ewmh_set_wm_state(&m_ewmh, window, uint32_t(states.size()), states.data());
        if (late)
            m_late[window] = LateSize{{width, height}, {}, {}};
        xcb_map_window(m_connection, window);
        return window;
    }

    void setStrut(xcb_window_t window, const std::vector<uint32_t> &s)
    {
        xcb_ewmh_set_wm_strut(&m_ewmh, window, s[0], s[1], s[2], s[3]);
        if (s.size() == 12)
            xcb_ewmh_set_wm_strut_partial(&m_ewmh, window,
                                          {s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], s[8], s[9], s[10], s[11]});
        else
            xcb_delete_property(m_connection, window, m_ewmh._NET_WM_STRUT_PARTIAL);
    }

    void forget(xcb_window_t window)
    {
        if (std::erase_if(m_windows, [window](const auto &named) { return named.second == window; }) == 0)
            return;
        xcb_destroy_window(m_connection, window);
        m_late.erase(window);
    }

    void handleEvents()
    {
        // Expose events need nothing: the background pixel is the whole drawing.
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            const auto *message = reinterpret_cast<xcb_client_message_event_t *>(event);
            const auto *configure = reinterpret_cast<xcb_configure_notify_event_t *>(event);
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE && message->type == m_ewmh.WM_PROTOCOLS
                && message->data.data32[0] == m_deleteWindow)
                forget(message->window);
            else if (event->response_type == XCB_CONFIGURE_NOTIFY) // real ones only: they carry the size
                resizedLate(configure->window, {configure->width, configure->height});
            free(event);
        }
        for (auto &[window, late] : m_late) {
            if (late.pending && Clock::now() >= late.due) {
                late.size = *late.pending;
                late.pending.reset();
                resize(window, late.size);
            }
        }
        xcb_flush(m_connection);
    }

    void resizedLate(xcb_window_t window, std::array<uint16_t, 2> size)
    {
        const auto found = m_late.find(window);
        if (found == m_late.end() || size == found->second.size)
            return;
        LateSize &late = found->second;
        if (!late.pending)
            late.due = Clock::now() + std::chrono::milliseconds(50);
        late.pending = size;
        resize(window, late.size);
    }

    void resize(xcb_window_t window, std::array<uint16_t, 2> size)
    {
        const uint32_t values[] = {size[0], size[1]};
        xcb_configure_window(m_connection, window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
    }

    int msUntilLateResize() const
    {
        auto due = Clock::time_point::max();
        for (const auto &[window, late] : m_late)
            due = late.pending ? std::min(due, late.due) : due;
        using std::chrono::milliseconds;
        return due == Clock::time_point::max() ? -1
                                               : int(std::max<long>(0, ceil<milliseconds>(due - Clock::now()).count()));
    }

    void roundTrip() { free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr)); }

    xcb_atom_t atom(const QByteArray &name, bool onlyIfExists = false) const
    {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, onlyIfExists, uint16_t(name.size()), name.data()), nullptr);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return value;
    }

    xcb_connection_t *m_connection;
    xcb_ewmh_connection_t m_ewmh{};
    bool m_ready = false; // connected, with the EWMH atoms interned
    xcb_atom_t m_deleteWindow = XCB_ATOM_NONE;
    std::array<char, 256> m_hostname{};
    std::map<QByteArray, xcb_window_t> m_windows;
    std::map<xcb_window_t, LateSize> m_late;
};

} // namespace
} // namespace panemaker

int main()
{
    return panemaker::Client().run();
}
