// Global button presses from XInput 2 raw events on the root window.
#include "platform/x11/X11MouseMonitor.h"

#include "platform/x11/Properties.h"
#include "platform/x11/XConnection.h"

#include <QPointer>
#include <QSocketNotifier>

#include <xcb/xinput.h>

#include <unistd.h>

#include <cstring>

namespace panemaker::x11 {

// A subscription of either kind: it ends by leaving the monitor's list.
template <typename Base> class X11MouseMonitor::Held final : public Base::Subscription {
public:
    Held(X11MouseMonitor &monitor, int id) : m_monitor(&monitor), m_id(id) {}
    ~Held() override
    {
        if (!m_monitor)
            return;
        m_monitor->m_subscribers.erase(m_id);
        m_monitor->m_leftSubscribers.erase(m_id);
        m_monitor->selectRawEvents();
    }

private:
    QPointer<X11MouseMonitor> m_monitor;
    int m_id;
};

X11MouseMonitor::X11MouseMonitor(const QByteArray &displayName, const X11Displays &displays, FrameClock &clock)
    : m_displays(displays), m_clock(clock)
{
    int screenNumber = 0;
    m_connection = xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
    if (xcb_connection_has_error(m_connection))
        return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    const xcb_query_extension_reply_t *input = xcb_get_extension_data(m_connection, &xcb_input_id);
    if (!screens.rem || !input || !input->present)
        return;
    m_root = screens.data->root;
    // The server sends XInput 2 events only to a client that announced the version it speaks.
    const auto version =
        waitReply(m_connection, xcb_input_xi_query_version_reply, xcb_input_xi_query_version(m_connection, 2, 0));
    if (!version || version->major_version < 2)
        return;
    const char pidName[] = "_NET_WM_PID";
    if (const auto atom = waitReply(m_connection, xcb_intern_atom_reply,
                                    xcb_intern_atom(m_connection, 0, sizeof pidName - 1, pidName)))
        m_pidAtom = atom->atom;
    m_inputOpcode = input->major_opcode;
    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11MouseMonitor::readEvents);
    connect(&clock, &FrameClock::ticked, this, [this] {
        if (m_leftDown)
            nextFrame();
    });
}

X11MouseMonitor::~X11MouseMonitor()
{
    m_clock.release(this);
    delete m_notifier;
    xcb_disconnect(m_connection);
}

std::unique_ptr<ClickMonitor::Subscription> X11MouseMonitor::monitorClicks(std::function<void()> onClick)
{
    const int id = m_nextSubscriber++;
    m_subscribers.emplace(id, std::move(onClick));
    selectRawEvents();
    return std::make_unique<Held<ClickMonitor>>(*this, id);
}

std::unique_ptr<MouseMonitor::Subscription>
X11MouseMonitor::monitorLeftButton(std::function<void(Event, QPointF)> onEvent)
{
    const int id = m_nextSubscriber++;
    m_leftSubscribers.emplace(id, std::move(onEvent));
    selectRawEvents();
    return std::make_unique<Held<MouseMonitor>>(*this, id);
}

void X11MouseMonitor::selectRawEvents()
{
    if (m_leftSubscribers.empty() && m_leftDown)
        leftButton(false);
    if (!m_inputOpcode)
        return;
    std::uint32_t wanted = 0;
    if (!m_subscribers.empty() || !m_leftSubscribers.empty())
        wanted |= XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS;
    if (!m_leftSubscribers.empty())
        wanted |= XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE;
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, wanted};
    // Waited for, so that a press right after subscribing counts: the server applies requests of
    // different connections in no fixed order.
    std::free(xcb_request_check(m_connection, xcb_input_xi_select_events_checked(m_connection, m_root, 1, &mask.head)));
}

void X11MouseMonitor::readEvents()
{
    while (const XReply<xcb_generic_event_t> event{xcb_poll_for_event(m_connection)}) {
        // Errors here (a window gone while the pointer was read) are ordinary; only presses count.
        if ((event->response_type & 0x7f) != XCB_GE_GENERIC)
            continue;
        const auto *raw = reinterpret_cast<const xcb_input_raw_button_press_event_t *>(event.get());
        if (raw->extension != m_inputOpcode)
            continue;
        if (raw->detail == 1 && !m_leftSubscribers.empty()
            && (raw->event_type == XCB_INPUT_RAW_BUTTON_PRESS || raw->event_type == XCB_INPUT_RAW_BUTTON_RELEASE))
            leftButton(raw->event_type == XCB_INPUT_RAW_BUTTON_PRESS);
        if (raw->event_type != XCB_INPUT_RAW_BUTTON_PRESS || (raw->detail != 1 && raw->detail != 3)
            || m_subscribers.empty() || pointerIsOverOwnWindow())
            continue;
        // A callback may end its own subscription or others: call only those still there.
        std::vector<int> ids;
        for (const auto &entry : m_subscribers)
            ids.push_back(entry.first);
        for (const int id : ids) {
            if (const auto found = m_subscribers.find(id); found != m_subscribers.end()) {
                const std::function<void()> onClick = found->second;
                onClick();
            }
        }
    }
    if (xcb_connection_has_error(m_connection)) {
        m_notifier->setEnabled(false);
        m_clock.release(this);
    }
}

void X11MouseMonitor::leftButton(bool down)
{
    m_leftDown = down;
    if (down) {
        const auto pointer = waitReply(m_connection, xcb_query_pointer_reply, xcb_query_pointer(m_connection, m_root));
        m_lastPointer = pointer ? QPoint(pointer->root_x, pointer->root_y) : QPoint();
        m_notifier->setEnabled(false);
        m_clock.hold(this);
    } else {
        m_clock.release(this);
        m_notifier->setEnabled(!xcb_connection_has_error(m_connection));
    }
    deliver(down ? Event::leftDown : Event::leftUp);
}

void X11MouseMonitor::nextFrame()
{
    readEvents();
    if (!m_leftDown)
        return;
    const auto pointer = waitReply(m_connection, xcb_query_pointer_reply, xcb_query_pointer(m_connection, m_root));
    if (!pointer)
        return;
    // A release this monitor missed ends the drag all the same.
    if (!(pointer->mask & XCB_BUTTON_MASK_1)) {
        leftButton(false);
        return;
    }
    const QPoint now(pointer->root_x, pointer->root_y);
    if (now == m_lastPointer)
        return;
    m_lastPointer = now;
    deliver(Event::leftDragged);
}

void X11MouseMonitor::deliver(Event event)
{
    const QPointF at = m_displays.spaces().bottomLeft(m_lastPointer);
    // A callback may end its own subscription or others: call only those still there.
    std::vector<int> ids;
    for (const auto &entry : m_leftSubscribers)
        ids.push_back(entry.first);
    for (const int id : ids) {
        if (const auto found = m_leftSubscribers.find(id); found != m_leftSubscribers.end()) {
            const std::function<void(Event, QPointF)> onEvent = found->second;
            onEvent(event, at);
        }
    }
}

bool X11MouseMonitor::pointerIsOverOwnWindow() const
{
    const auto ownPid = std::uint32_t(::getpid());
    xcb_window_t window = m_root;
    // A frame, a client and its children: a few levels at most.
    for (int depth = 0; depth < 8; ++depth) {
        const auto pointer = waitReply(m_connection, xcb_query_pointer_reply, xcb_query_pointer(m_connection, window));
        if (!pointer || pointer->child == XCB_WINDOW_NONE)
            return false;
        window = pointer->child;
        const auto pid = waitReply(m_connection, xcb_get_property_reply,
                                   xcb_get_property(m_connection, 0, window, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1));
        if (const auto value = cardinal(PropertyValue::fromReply(pid.get())))
            return *value == ownPid;
    }
    return false;
}

} // namespace panemaker::x11
