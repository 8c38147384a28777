// panemaker-test-client: an X client in its own process whose windows integration tests drive over stdin.
//
// One command per line on stdin, one answer line on stdout:
//   open NAME [key=value ...]  -> opened NAME 0xWINDOW
//       x= y= w= h=            initial geometry (x/y set USPosition, w/h set USSize)
//       title=TEXT             percent-encoded UTF-8 ("Caf%C3%A9%20bar"), set as _NET_WM_NAME and WM_NAME
//                              (STRING when ASCII, else UTF8_STRING)
//       type=normal|dialog|dock|desktop|utility|splash  _NET_WM_WINDOW_TYPE, absent unless given
//       minw= minh= maxw= maxh=  WM_NORMAL_HINTS size limits
//       strut=l,r,t,b          _NET_WM_STRUT only
//       strut=l,r,t,b,ly0,ly1,ry0,ry1,tx0,tx1,bx0,bx1  _NET_WM_STRUT_PARTIAL and _NET_WM_STRUT
//       gtkextents=l,r,t,b     _GTK_FRAME_EXTENTS
//       fullscreen=1 maximized=1  initial _NET_WM_STATE
//       transient=OTHERNAME    WM_TRANSIENT_FOR
//       override=1             override-redirect (never managed)
//       late=1                 takes a new size 50 ms late, as a busy application does: puts its old size
//                              back at once, then asks for the newest size it was given
//       color=RRGGBB           background
//   destroy NAME               -> destroyed NAME
//   configure NAME x y w h     -> configured NAME   (moves and resizes the window itself, as panels do)
//   strut NAME l,r,t,b[,...]   -> strut NAME        (replaces the struts, as the strut= option sets them)
//   quit                       -> exits without answering; so does end of input
// A bad command answers "error TEXT". A window closed by the window manager is destroyed silently.
#include <xcb/xcb.h>
#include <xcb/xcb_icccm.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace panemaker {
namespace {

std::vector<std::string> split(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.emplace_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

std::optional<long> parseNumber(std::string_view text, int base = 10)
{
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

std::optional<std::vector<uint32_t>> parseNumbers(std::string_view text)
{
    std::vector<uint32_t> values;
    for (const std::string &part : split(text, ',')) {
        const std::optional<long> value = parseNumber(part);
        if (!value || *value < 0)
            return std::nullopt;
        values.push_back(uint32_t(*value));
    }
    return values;
}

std::optional<std::string> percentDecode(std::string_view text)
{
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        const auto hex = [&](size_t at) {
            return at < text.size() && std::isxdigit(static_cast<unsigned char>(text[at]));
        };
        if (!hex(i + 1) || !hex(i + 2))
            return std::nullopt;
        decoded += char(*parseNumber(text.substr(i + 1, 2), 16));
        i += 2;
    }
    return decoded;
}

class Error final {
public:
    explicit Error(std::string text) : m_text(std::move(text)) {}
    const std::string &text() const { return m_text; }

private:
    std::string m_text;
};

class Client final {
public:
    Client()
    {
        m_connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_connection))
            return;
        m_screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        gethostname(m_hostname.data(), m_hostname.size() - 1);
    }
    ~Client() { xcb_disconnect(m_connection); }
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    bool connected() const { return !xcb_connection_has_error(m_connection); }

    int run()
    {
        std::string pending;
        while (true) {
            std::array<pollfd, 2> fds{pollfd{STDIN_FILENO, POLLIN, 0},
                                      pollfd{xcb_get_file_descriptor(m_connection), POLLIN, 0}};
            handleEvents();
            if (xcb_connection_has_error(m_connection))
                return 1;
            if (poll(fds.data(), fds.size(), msUntilLateResize()) < 0)
                continue;
            if (fds[0].revents & (POLLIN | POLLHUP)) {
                std::array<char, 4096> buffer;
                const ssize_t count = read(STDIN_FILENO, buffer.data(), buffer.size());
                if (count <= 0)
                    return 0;
                pending.append(buffer.data(), size_t(count));
                for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
                    const std::string line = pending.substr(0, end);
                    pending.erase(0, end + 1);
                    if (!execute(line))
                        return 0;
                }
            }
        }
    }

private:
    struct Options {
        int16_t x = 0, y = 0;
        uint16_t width = 300, height = 200;
        bool position = false, size = false;
        std::string title;
        std::string type;
        std::optional<std::array<int32_t, 2>> minSize, maxSize;
        std::vector<uint32_t> strut, gtkExtents;
        bool fullscreen = false, maximized = false, overrideRedirect = false, late = false;
        xcb_window_t transientFor = XCB_WINDOW_NONE;
        uint32_t color = 0xd0d0d0;
    };

    // Answers the line and returns false when the client should end.
    bool execute(const std::string &line)
    {
        std::vector<std::string> words;
        std::istringstream stream(line);
        for (std::string word; stream >> word;)
            words.push_back(word);
        if (words.empty())
            return true;
        try {
            if (words[0] == "quit")
                return false;
            if (words[0] != "open" && words[0] != "destroy" && words[0] != "configure" && words[0] != "strut")
                throw Error("unknown command " + words[0]);
            if (words.size() < 2)
                throw Error("missing window name");
            const std::string &name = words[1];
            if (words[0] == "open") {
                if (m_windows.count(name))
                    throw Error("window " + name + " exists");
                const xcb_window_t window = open(parseOptions({words.begin() + 2, words.end()}));
                m_windows[name] = window;
                roundTrip();
                char id[32];
                std::snprintf(id, sizeof id, "0x%x", window);
                answer("opened " + name + " " + id);
            } else if (words[0] == "destroy") {
                const xcb_window_t window = windowNamed(name);
                xcb_destroy_window(m_connection, window);
                m_windows.erase(name);
                m_late.erase(window);
                roundTrip();
                answer("destroyed " + name);
            } else if (words[0] == "configure") {
                configure(windowNamed(name), {words.begin() + 2, words.end()});
                answer("configured " + name);
            } else {
                const Options options = parseOptions({"strut=" + (words.size() > 2 ? words[2] : std::string())});
                setStrut(windowNamed(name), options.strut);
                roundTrip();
                answer("strut " + name);
            }
        } catch (const Error &error) {
            answer("error " + error.text());
        }
        return true;
    }

    static void answer(const std::string &line)
    {
        std::fputs((line + "\n").c_str(), stdout);
        std::fflush(stdout);
    }

    xcb_window_t windowNamed(const std::string &name) const
    {
        const auto found = m_windows.find(name);
        if (found == m_windows.end())
            throw Error("no window " + name);
        return found->second;
    }

    Options parseOptions(const std::vector<std::string> &words) const
    {
        Options options;
        for (const std::string &word : words) {
            const size_t equals = word.find('=');
            if (equals == std::string::npos)
                throw Error("option without value: " + word);
            const std::string key = word.substr(0, equals);
            const std::string value = word.substr(equals + 1);
            const auto number = [&](long low, long high) {
                const std::optional<long> parsed = parseNumber(value);
                if (!parsed || *parsed < low || *parsed > high)
                    throw Error("bad number for " + key + ": " + value);
                return *parsed;
            };
            const auto numbers = [&](std::initializer_list<size_t> counts) {
                const std::optional<std::vector<uint32_t>> parsed = parseNumbers(value);
                for (size_t count : counts) {
                    if (parsed && parsed->size() == count)
                        return *parsed;
                }
                throw Error("bad list for " + key + ": " + value);
            };
            if (key == "x" || key == "y") {
                (key == "x" ? options.x : options.y) = int16_t(number(SHRT_MIN, SHRT_MAX));
                options.position = true;
            } else if (key == "w" || key == "h") {
                (key == "w" ? options.width : options.height) = uint16_t(number(1, SHRT_MAX));
                options.size = true;
            } else if (key == "minw" || key == "minh" || key == "maxw" || key == "maxh") {
                const bool minimum = key.starts_with("min");
                std::optional<std::array<int32_t, 2>> &limit = minimum ? options.minSize : options.maxSize;
                if (!limit) {
                    const int32_t unlimited = minimum ? 1 : SHRT_MAX;
                    limit = std::array<int32_t, 2>{unlimited, unlimited};
                }
                (*limit)[key.back() == 'w' ? 0 : 1] = int32_t(number(1, SHRT_MAX));
            } else if (key == "title") {
                const std::optional<std::string> title = percentDecode(value);
                if (!title)
                    throw Error("bad percent encoding: " + value);
                options.title = *title;
            } else if (key == "type") {
                if (value != "normal" && value != "dialog" && value != "dock" && value != "desktop"
                    && value != "utility" && value != "splash")
                    throw Error("unknown type " + value);
                options.type = value;
            } else if (key == "strut") {
                options.strut = numbers({4, 12});
            } else if (key == "gtkextents") {
                options.gtkExtents = numbers({4});
            } else if (key == "fullscreen") {
                options.fullscreen = number(0, 1);
            } else if (key == "maximized") {
                options.maximized = number(0, 1);
            } else if (key == "override") {
                options.overrideRedirect = number(0, 1);
            } else if (key == "late") {
                options.late = number(0, 1);
            } else if (key == "transient") {
                options.transientFor = windowNamed(value);
            } else if (key == "color") {
                const std::optional<long> color = value.size() == 6 ? parseNumber(value, 16) : std::nullopt;
                if (!color)
                    throw Error("bad color " + value);
                // Xvfb's 24-bit TrueColor root visual takes RRGGBB as the pixel value.
                options.color = uint32_t(*color);
            } else {
                throw Error("unknown option " + key);
            }
        }
        return options;
    }

    xcb_window_t open(const Options &options)
    {
        const xcb_window_t window = xcb_generate_id(m_connection);
        const uint32_t values[] = {options.color, uint32_t(options.overrideRedirect), XCB_EVENT_MASK_STRUCTURE_NOTIFY};
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_screen->root, options.x, options.y,
                          options.width, options.height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, m_screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);

        const uint32_t pid = uint32_t(getpid());
        setProperty(window, "_NET_WM_PID", XCB_ATOM_CARDINAL, 32, &pid, 1);
        xcb_icccm_set_wm_client_machine(m_connection, window, XCB_ATOM_STRING, 8, uint32_t(strlen(m_hostname.data())),
                                        m_hostname.data());
        static const char wmClass[] = "panemaker-test-client\0PanemakerTestClient";
        xcb_icccm_set_wm_class(m_connection, window, sizeof wmClass, wmClass);
        // Without WM_DELETE_WINDOW, closing one window makes the window manager kill the whole client.
        xcb_atom_t deleteWindow = atom("WM_DELETE_WINDOW");
        xcb_icccm_set_wm_protocols(m_connection, window, atom("WM_PROTOCOLS"), 1, &deleteWindow);

        const std::string title = options.title.empty() ? "panemaker test client" : options.title;
        setProperty(window, "_NET_WM_NAME", atom("UTF8_STRING"), 8, title.data(), uint32_t(title.size()));
        // WM_NAME of type STRING is Latin-1, so a title beyond ASCII goes in as UTF8_STRING, as toolkits do.
        const bool ascii = std::all_of(title.begin(), title.end(), [](char c) { return (c & 0x80) == 0; });
        xcb_icccm_set_wm_name(m_connection, window, ascii ? xcb_atom_t(XCB_ATOM_STRING) : atom("UTF8_STRING"), 8,
                              uint32_t(title.size()), title.data());

        xcb_size_hints_t hints{};
        if (options.position)
            xcb_icccm_size_hints_set_position(&hints, 1, options.x, options.y);
        if (options.size)
            xcb_icccm_size_hints_set_size(&hints, 1, options.width, options.height);
        if (options.minSize)
            xcb_icccm_size_hints_set_min_size(&hints, (*options.minSize)[0], (*options.minSize)[1]);
        if (options.maxSize)
            xcb_icccm_size_hints_set_max_size(&hints, (*options.maxSize)[0], (*options.maxSize)[1]);
        xcb_icccm_set_wm_normal_hints(m_connection, window, &hints);

        if (!options.type.empty()) {
            const xcb_atom_t type = atom("_NET_WM_WINDOW_TYPE_" + upper(options.type));
            setProperty(window, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, 32, &type, 1);
        }
        if (options.transientFor != XCB_WINDOW_NONE)
            xcb_icccm_set_wm_transient_for(m_connection, window, options.transientFor);
        if (!options.strut.empty())
            setStrut(window, options.strut);
        if (!options.gtkExtents.empty())
            setProperty(window, "_GTK_FRAME_EXTENTS", XCB_ATOM_CARDINAL, 32, options.gtkExtents.data(), 4);

        std::vector<xcb_atom_t> states;
        if (options.fullscreen)
            states.push_back(atom("_NET_WM_STATE_FULLSCREEN"));
        if (options.maximized) {
            states.push_back(atom("_NET_WM_STATE_MAXIMIZED_VERT"));
            states.push_back(atom("_NET_WM_STATE_MAXIMIZED_HORZ"));
        }
        if (!states.empty())
            setProperty(window, "_NET_WM_STATE", XCB_ATOM_ATOM, 32, states.data(), uint32_t(states.size()));

        if (options.late)
            m_late[window] = LateSize{{options.width, options.height}, {}, {}};
        xcb_map_window(m_connection, window);
        return window;
    }

    void setStrut(xcb_window_t window, const std::vector<uint32_t> &strut)
    {
        setProperty(window, "_NET_WM_STRUT", XCB_ATOM_CARDINAL, 32, strut.data(), 4);
        if (strut.size() == 12)
            setProperty(window, "_NET_WM_STRUT_PARTIAL", XCB_ATOM_CARDINAL, 32, strut.data(), 12);
        else
            xcb_delete_property(m_connection, window, atom("_NET_WM_STRUT_PARTIAL"));
    }

    void configure(xcb_window_t window, const std::vector<std::string> &words)
    {
        std::vector<uint32_t> values;
        for (const std::string &word : words) {
            const std::optional<long> value = parseNumber(word);
            if (!value || *value < SHRT_MIN || *value > SHRT_MAX)
                throw Error("bad number " + word);
            values.push_back(uint32_t(int32_t(*value)));
        }
        if (values.size() != 4)
            throw Error("configure needs x y w h");
        xcb_configure_window(m_connection, window,
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH
                                 | XCB_CONFIG_WINDOW_HEIGHT,
                             values.data());
        roundTrip();
    }

    void handleEvents()
    {
        // Expose events need nothing: the background pixel is the whole drawing.
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                const auto *message = reinterpret_cast<xcb_client_message_event_t *>(event);
                if (message->type == atom("WM_PROTOCOLS") && message->data.data32[0] == atom("WM_DELETE_WINDOW"))
                    closeByWindowManager(message->window);
            } else if (event->response_type == XCB_CONFIGURE_NOTIFY) { // real ones only: they carry the size
                const auto *configure = reinterpret_cast<xcb_configure_notify_event_t *>(event);
                resizedLate(configure->window, {configure->width, configure->height});
            }
            free(event);
        }
        const auto now = std::chrono::steady_clock::now();
        for (auto &[window, late] : m_late) {
            if (late.pending && now >= late.due) {
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
            late.due = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
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
        int wait = -1;
        for (const auto &[window, late] : m_late) {
            if (late.pending) {
                const auto left =
                    std::chrono::ceil<std::chrono::milliseconds>(late.due - std::chrono::steady_clock::now());
                wait = std::max(0, wait < 0 ? int(left.count()) : std::min(wait, int(left.count())));
            }
        }
        return wait;
    }

    void closeByWindowManager(xcb_window_t window)
    {
        for (auto it = m_windows.begin(); it != m_windows.end(); ++it) {
            if (it->second == window) {
                xcb_destroy_window(m_connection, window);
                m_windows.erase(it);
                m_late.erase(window);
                return;
            }
        }
    }

    void roundTrip() { free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr)); }

    xcb_atom_t atom(const std::string &name)
    {
        const auto known = m_atoms.find(name);
        if (known != m_atoms.end())
            return known->second;
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(name.size()), name.data()), nullptr);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        m_atoms[name] = value;
        return value;
    }

    void setProperty(xcb_window_t window, const std::string &name, xcb_atom_t type, uint8_t format, const void *data,
                     uint32_t count)
    {
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom(name), type, format, count, data);
    }

    static std::string upper(std::string text)
    {
        for (char &c : text)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        return text;
    }

    xcb_connection_t *m_connection = nullptr;
    xcb_screen_t *m_screen = nullptr;
    std::array<char, 256> m_hostname{};
    std::map<std::string, xcb_window_t> m_windows;
    std::map<std::string, xcb_atom_t> m_atoms;
    struct LateSize {
        std::array<uint16_t, 2> size;                   // the one it has taken
        std::optional<std::array<uint16_t, 2>> pending; // the newest it was given
        std::chrono::steady_clock::time_point due;
    };
    std::map<xcb_window_t, LateSize> m_late;
};

} // namespace
} // namespace panemaker

int main()
{
    panemaker::Client client;
    if (!client.connected()) {
        std::fputs("panemaker-test-client: cannot connect to the X server\n", stderr);
        return 1;
    }
    return client.run();
}
