// The X connection and its event delivery.
#include "platform/x11/XConnection.h"

#include "platform/Log.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSocketNotifier>

#include <poll.h>

#include <cstring>

#include <xcb/randr.h>
#include <xkbcommon/xkbcommon-x11.h>

// xcb's XKB header names a member "explicit"; it comes last so that no other header sees the macro.
#define explicit explicitComponents
#include <xcb/xkb.h>
#undef explicit

namespace panemaker::x11 {

std::unique_ptr<XConnection> XConnection::open(const QByteArray &displayName, QString *error)
{
    std::unique_ptr<XConnection> connection(new XConnection);
    int screenNumber = 0;
    connection->m_connection = xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
    if (xcb_connection_has_error(connection->m_connection)) {
        if (error) {
            const QByteArray name = displayName.isEmpty() ? qgetenv("DISPLAY") : displayName;
            *error = name.isEmpty()
                         ? QStringLiteral("no X display: DISPLAY is not set")
                         : QStringLiteral("can't connect to the X display %1").arg(QString::fromLocal8Bit(name));
        }
        return nullptr;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection->m_connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem) {
        if (error)
            *error = QStringLiteral("the X display has no screen %1").arg(screenNumber);
        return nullptr;
    }
    connection->m_screen = screens.data;
    connection->m_screenNumber = screenNumber;

    xcb_connection_t *c = connection->m_connection;
    Atoms &atoms = connection->m_atoms;
    const std::pair<xcb_atom_t *, const char *> ours[] = {{&atoms.wmState, "WM_STATE"},
                                                          {&atoms.wmChangeState, "WM_CHANGE_STATE"},
                                                          {&atoms.gtkFrameExtents, "_GTK_FRAME_EXTENTS"}};
    std::vector<xcb_intern_atom_cookie_t> ourCookies;
    for (const auto &[atom, name] : ours)
        ourCookies.push_back(xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name));
    xcb_intern_atom_cookie_t *cookies = xcb_ewmh_init_atoms(c, &connection->m_ewmh);
    connection->m_ewmhReady = xcb_ewmh_init_atoms_replies(&connection->m_ewmh, cookies, nullptr);
    for (std::size_t i = 0; i < ourCookies.size(); ++i) {
        if (const auto reply = waitReply(c, xcb_intern_atom_reply, ourCookies[i]))
            *ours[i].first = reply->atom;
    }
    if (!connection->m_ewmhReady) {
        if (error)
            *error = QStringLiteral("the X server did not answer");
        return nullptr;
    }

    const xcb_query_extension_reply_t *randr = xcb_get_extension_data(connection->m_connection, &xcb_randr_id);
    if (randr && randr->present) {
        // The server sends a client the events of the RandR version it announced, and none without.
        waitReply(connection->m_connection, xcb_randr_query_version_reply,
                  xcb_randr_query_version(connection->m_connection, 1, 5));
        connection->m_randrEventBase = randr->first_event;
        xcb_randr_select_input(connection->m_connection, connection->root(),
                               XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE
                                   | XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE);
    }
    connection->setUpXkb();
    // Root properties, the root's own size and its children coming, going and moving: what
    // the displays, their work areas and the window list follow.
    const std::uint32_t rootEvents =
        XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection->m_connection, connection->root(), XCB_CW_EVENT_MASK, &rootEvents);
    xcb_flush(connection->m_connection);

    if (QCoreApplication::instance())
        connection->deliverEvents();
    return connection;
}

void XConnection::setUpXkb()
{
    if (!xkb_x11_setup_xkb_extension(m_connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &m_xkbEventBase,
                                     nullptr)) {
        m_xkbEventBase = 0;
        return;
    }
    // A layout switch (setxkbmap) comes as NewKeyboardNotify, a remapping (xmodmap) as
    // MapNotify. Once a client uses XKB the server sends it core MappingNotify only for the
    // map parts it selects, and never for new keyboards, so both are asked for here.
    constexpr std::uint16_t allMapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS
                                          | XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS
                                          | XCB_XKB_MAP_PART_KEY_ACTIONS | XCB_XKB_MAP_PART_KEY_BEHAVIORS
                                          | XCB_XKB_MAP_PART_VIRTUAL_MODS | XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
    const xcb_xkb_select_events_details_t noDetails{};
    xcb_xkb_select_events_aux(m_connection, XCB_XKB_ID_USE_CORE_KBD,
                              XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY, 0,
                              XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY, allMapParts, allMapParts, &noDetails);
}

bool XConnection::isKeyboardChange(const xcb_generic_event_t *event) const
{
    const std::uint8_t type = event->response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY)
        return reinterpret_cast<const xcb_mapping_notify_event_t *>(event)->request != XCB_MAPPING_POINTER;
    // Every XKB event has the one response type; the byte after it tells which event it is.
    return m_xkbEventBase && type == m_xkbEventBase
           && (event->pad0 == XCB_XKB_NEW_KEYBOARD_NOTIFY || event->pad0 == XCB_XKB_MAP_NOTIFY);
}

void XConnection::deliverEvents()
{
    if (m_notifier)
        return;
    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &XConnection::socketReadable);
    connect(&m_frameClock, &FrameClock::ticked, this, [this] {
        if (m_readingByFrame)
            frameElapsed();
    });
    // Waiting for a reply can pull events off the socket into xcb's queue, where the notifier
    // cannot see them: drain that queue whenever the main loop is about to sleep.
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { dispatchEvents(false); });
}

XConnection::~XConnection()
{
    if (m_ewmhReady)
        xcb_ewmh_connection_wipe(&m_ewmh);
    if (m_connection)
        xcb_disconnect(m_connection);
}

xcb_atom_t XConnection::atom(const QByteArray &name) const
{
    QMutexLocker lock(&m_internedMutex);
    if (const auto found = m_interned.constFind(name); found != m_interned.constEnd())
        return *found;
    const auto reply = waitReply(m_connection, xcb_intern_atom_reply,
                                 xcb_intern_atom(m_connection, 0, std::uint16_t(name.size()), name.constData()));
    if (!reply)
        return XCB_ATOM_NONE;
    m_interned.insert(name, reply->atom);
    return reply->atom;
}

xcb_get_property_cookie_t XConnection::requestProperty(xcb_window_t window, xcb_atom_t property,
                                                       std::uint32_t maximumLongs) const
{
    return xcb_get_property(m_connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, maximumLongs);
}

std::optional<PropertyValue> XConnection::property(xcb_get_property_cookie_t cookie) const
{
    const auto reply = waitReply(m_connection, xcb_get_property_reply, cookie);
    return PropertyValue::fromReply(reply.get());
}

std::optional<PropertyValue> XConnection::readProperty(xcb_window_t window, xcb_atom_t property,
                                                       std::uint32_t maximumLongs) const
{
    return this->property(requestProperty(window, property, maximumLongs));
}

void XConnection::sendRootMessage(xcb_window_t window, xcb_atom_t type, std::array<std::uint32_t, 5> data) const
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    std::copy(data.begin(), data.end(), event.data.data32);
    xcb_send_event(m_connection, 0, root(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
}

void XConnection::onEvent(std::uint8_t responseType, QObject *context, EventHandler handler)
{
    m_subscriptions.push_back({responseType, context, std::move(handler)});
}

bool XConnection::awaitEvent(std::chrono::milliseconds timeout,
                             const std::function<bool(const xcb_generic_event_t *)> &wanted)
{
    const QDeadlineTimer deadline(timeout);
    for (;;) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            ++m_eventsRead;
            m_held.emplace_back(event);
            if (wanted(event))
                return true;
        }
        const qint64 left = deadline.remainingTime();
        if (left <= 0 || xcb_connection_has_error(m_connection))
            return false;
        pollfd socket{xcb_get_file_descriptor(m_connection), POLLIN, 0};
        ::poll(&socket, 1, int(left));
    }
}

void XConnection::socketReadable()
{
    const Dispatched read = dispatchEvents(true);
    if (xcb_connection_has_error(m_connection) || read.events == 0)
        return;
    if (!read.onlyMoves) {
        m_sinceMoves.invalidate();
        return;
    }
    if (m_sinceMoves.isValid() && m_sinceMoves.elapsed() < FrameClock::interval.count()) {
        m_notifier->setEnabled(false);
        m_readingByFrame = true;
        m_frameClock.hold(this);
    }
    m_sinceMoves.start();
}

void XConnection::frameElapsed()
{
    const Dispatched read = dispatchEvents(true);
    if (xcb_connection_has_error(m_connection))
        return;
    if (read.events > 0 && read.onlyMoves)
        return;
    m_sinceMoves.invalidate();
    m_readingByFrame = false;
    m_frameClock.release(this);
    m_notifier->setEnabled(true);
}

XConnection::Dispatched XConnection::dispatchEvents(bool readSocket)
{
    Dispatched dispatched;
    const auto handOut = [&](const xcb_generic_event_t *event) {
        ++dispatched.events;
        dispatched.onlyMoves = dispatched.onlyMoves && (event->response_type & 0x7f) == XCB_CONFIGURE_NOTIFY;
        dispatch(event);
    };
    for (;;) {
        // Events held by a wait came first; handlers may wait again and hold more.
        if (!m_held.empty()) {
            const XReply<xcb_generic_event_t> event = std::move(m_held.front());
            m_held.pop_front();
            handOut(event.get());
            continue;
        }
        const XReply<xcb_generic_event_t> event(readSocket ? xcb_poll_for_event(m_connection)
                                                           : xcb_poll_for_queued_event(m_connection));
        if (!event)
            break;
        ++m_eventsRead;
        handOut(event.get());
    }
    std::erase_if(m_subscriptions, [](const Subscription &s) { return !s.context; });
    if (readSocket && xcb_connection_has_error(m_connection)) {
        m_notifier->setEnabled(false);
        m_readingByFrame = false;
        m_frameClock.release(this);
        Q_EMIT connectionLost();
    }
    return dispatched;
}

void XConnection::dispatch(const xcb_generic_event_t *event)
{
    const std::uint8_t type = event->response_type & 0x7f;
    if (type == 0) {
        handleError(reinterpret_cast<const xcb_generic_error_t *>(event));
    } else if (isKeyboardChange(event)) {
        Q_EMIT keyboardChanged();
    } else {
        // Handlers may subscribe others, which may move the list: only what was there when the
        // event came is called, each through a copy of its handler.
        for (std::size_t i = 0, count = m_subscriptions.size(); i < count; ++i) {
            if (m_subscriptions[i].responseType == type && m_subscriptions[i].context) {
                const EventHandler handler = m_subscriptions[i].handler;
                handler(event);
            }
        }
    }
}

void XConnection::handleError(const xcb_generic_error_t *error)
{
    switch (error->error_code) {
    case XCB_WINDOW: // the window vanished between our look and our request
    case XCB_DRAWABLE: return;
    default: break;
    }
    const QString text = QStringLiteral("X error %1 on request %2.%3, resource 0x%4")
                             .arg(error->error_code)
                             .arg(error->major_code)
                             .arg(error->minor_code)
                             .arg(error->resource_id, 0, 16);
    if (qEnvironmentVariableIsSet("PANEMAKER_FATAL_X_ERRORS"))
        qFatal("%s", qPrintable(text));
    Log::error(text);
}

} // namespace panemaker::x11
