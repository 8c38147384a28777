// XConnection: the program's own connection to the X server, its atoms, checked replies,
// and the events it hands out on the main thread.
#pragma once

#include "platform/x11/FrameClock.h"
#include "platform/x11/Properties.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QPointer>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace panemaker::x11 {

struct FreeDeleter {
    void operator()(void *pointer) const { std::free(pointer); }
};
template <typename T> using XReply = std::unique_ptr<T, FreeDeleter>;

// Waits for a reply. An error (most often: the window is gone) yields nothing and its code.
template <typename Reply, typename Cookie>
XReply<Reply> waitReply(xcb_connection_t *connection,
                        Reply *(*replyFunction)(xcb_connection_t *, Cookie, xcb_generic_error_t **), Cookie cookie,
                        int *errorCode = nullptr)
{
    xcb_generic_error_t *error = nullptr;
    XReply<Reply> reply(replyFunction(connection, cookie, &error));
    if (errorCode)
        *errorCode = error ? error->error_code : 0;
    std::free(error);
    return reply;
}

// The atoms beyond EWMH's that the program uses, interned once with the connection.
struct Atoms {
    xcb_atom_t wmState = XCB_ATOM_NONE;
    xcb_atom_t wmChangeState = XCB_ATOM_NONE;
    xcb_atom_t gtkFrameExtents = XCB_ATOM_NONE;
};

class XConnection final : public QObject {
    Q_OBJECT

public:
    using EventHandler = std::function<void(const xcb_generic_event_t *)>;

    // Connects to the named display ($DISPLAY when empty); nothing, with the reason, when it can't.
    // Events are delivered at once when the application object exists, else after deliverEvents().
    static std::unique_ptr<XConnection> open(const QByteArray &displayName, QString *error);
    // Starts handing out events on the main thread's event loop; needs the application object.
    void deliverEvents();
    ~XConnection() override;

    xcb_connection_t *xcb() const { return m_connection; }
    xcb_ewmh_connection_t *ewmh() const { return &m_ewmh; }
    xcb_screen_t *screen() const { return m_screen; }
    xcb_window_t root() const { return m_screen->root; }
    // The clock of whatever is done once a frame while something moves.
    FrameClock &frameClock() { return m_frameClock; }
    int screenNumber() const { return m_screenNumber; }

    const Atoms &atoms() const { return m_atoms; }
    // Any other atom: interned at its first use and remembered; safe from any thread.
    xcb_atom_t atom(const QByteArray &name) const;

    // Property requests ask for up to `maximumLongs` 32-bit units; the reply check is the
    // caller's, through the typed readers of Properties.h.
    xcb_get_property_cookie_t requestProperty(xcb_window_t window, xcb_atom_t property,
                                              std::uint32_t maximumLongs = 1024) const;
    std::optional<PropertyValue> property(xcb_get_property_cookie_t cookie) const;
    std::optional<PropertyValue> readProperty(xcb_window_t window, xcb_atom_t property,
                                              std::uint32_t maximumLongs = 1024) const;

    // Sends a client message to the root window, as pagers and taskbars ask the window manager.
    void sendRootMessage(xcb_window_t window, xcb_atom_t type, std::array<std::uint32_t, 5> data) const;
    void flush() const { xcb_flush(m_connection); }

    // Handlers for events of one type (the sent-event bit cleared), run on the main thread
    // while `context` lives.
    void onEvent(std::uint8_t responseType, QObject *context, EventHandler handler);
    // Waits, on the main thread and at most `timeout`, for an event that `wanted` accepts; true
    // when one came. Every event read meanwhile still reaches the handlers afterwards, in order.
    bool awaitEvent(std::chrono::milliseconds timeout, const std::function<bool(const xcb_generic_event_t *)> &wanted);
    // How many events have been read so far: what was read from the server while it stays the
    // same has not been reported changed since.
    std::uint64_t eventsRead() const { return m_eventsRead; }
    std::uint8_t randrEventBase() const { return m_randrEventBase; }
    // Whether the server's XKB extension is in use on this connection.
    bool hasXkb() const { return m_xkbEventBase != 0; }

    // Errors of requests whose replies nobody waits for arrive here. A window that vanished
    // is ordinary; anything else is logged, and is fatal when PANEMAKER_FATAL_X_ERRORS is set
    // (the integration tests set it).
    static void handleError(const xcb_generic_error_t *error);

Q_SIGNALS:
    // The X server closed the connection (it quit, or the session ended).
    void connectionLost();
    // The keyboard mapping changed: another layout, or keys or modifiers remapped.
    void keyboardChanged();

private:
    XConnection() = default;
    // Hands out what was held, queued, or (with `readSocket`) on the socket; tells how much it
    // read and whether it was nothing but windows moving.
    struct Dispatched {
        int events = 0;
        bool onlyMoves = true;
    };
    Dispatched dispatchEvents(bool readSocket);
    void socketReadable();
    void frameElapsed();
    void dispatch(const xcb_generic_event_t *event);
    void setUpXkb();
    bool isKeyboardChange(const xcb_generic_event_t *event) const;

    xcb_connection_t *m_connection = nullptr;
    mutable xcb_ewmh_connection_t m_ewmh{};
    bool m_ewmhReady = false;
    xcb_screen_t *m_screen = nullptr;
    int m_screenNumber = 0;
    std::uint8_t m_randrEventBase = 0;
    std::uint8_t m_xkbEventBase = 0;
    QSocketNotifier *m_notifier = nullptr;
    // A window dragged across the screen reports a move every millisecond. While moves come
    // that fast, the socket is read once a frame instead of at each one; any other event, a hot
    // key among them, ends that at the next frame.
    FrameClock m_frameClock;
    bool m_readingByFrame = false;
    QElapsedTimer m_sinceMoves;

    struct Subscription {
        std::uint8_t responseType;
        QPointer<QObject> context;
        EventHandler handler;
    };
    std::vector<Subscription> m_subscriptions;
    // Events read while awaiting one, not yet handed out.
    std::deque<XReply<xcb_generic_event_t>> m_held;
    std::uint64_t m_eventsRead = 0;

    Atoms m_atoms;
    mutable QMutex m_internedMutex;
    mutable QHash<QByteArray, xcb_atom_t> m_interned;
};

} // namespace panemaker::x11
