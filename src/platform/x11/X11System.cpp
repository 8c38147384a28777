// The session on X11.
#include "platform/x11/X11System.h"

#include "platform/x11/Properties.h"

#include <QCoreApplication>

namespace panemaker::x11 {

X11System::X11System(XConnection &x) : m_x(x)
{
    x.onEvent(XCB_PROPERTY_NOTIFY, &m_subscriber, [this](const xcb_generic_event_t *event) {
        const auto *property = reinterpret_cast<const xcb_property_notify_event_t *>(event);
        if (property->window == m_x.root() && property->atom == m_x.ewmh()->_NET_SUPPORTING_WM_CHECK)
            windowManagerChanged();
    });
    x.onEvent(XCB_DESTROY_NOTIFY, &m_subscriber, [this](const xcb_generic_event_t *event) {
        if (reinterpret_cast<const xcb_destroy_notify_event_t *>(event)->window == m_checkWindow)
            windowManagerChanged();
    });
}

void X11System::windowManagerChanged()
{
    m_windowManagerRuns.reset();
    if (m_onAccessChange)
        m_onAccessChange();
}

bool X11System::isAccessTrusted() const
{
    if (qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland")
        || qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        return false;
    if (!m_windowManagerRuns) {
        const xcb_atom_t check = m_x.ewmh()->_NET_SUPPORTING_WM_CHECK;
        const std::optional<xcb_window_t> wm = windowValue(m_x.readProperty(m_x.root(), check, 1));
        // A window manager that died leaves its property behind; the check window then is gone.
        m_windowManagerRuns = wm && windowValue(m_x.readProperty(*wm, check, 1)) == wm;
        m_checkWindow = *m_windowManagerRuns ? *wm : xcb_window_t(XCB_WINDOW_NONE);
        if (*m_windowManagerRuns) {
            // Its destruction is announced to whoever selects it, wherever it lives.
            const std::uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
            xcb_change_window_attributes(m_x.xcb(), m_checkWindow, XCB_CW_EVENT_MASK, &events);
            m_x.flush();
        }
    }
    return *m_windowManagerRuns;
}

QString X11System::windowManagerName() const
{
    if (!isAccessTrusted())
        return {};
    return text(m_x.readProperty(m_checkWindow, m_x.ewmh()->_NET_WM_NAME, 256), m_x.ewmh()->UTF8_STRING)
        .value_or(QString());
}

void X11System::beep()
{
    xcb_bell(m_x.xcb(), 0);
    m_x.flush();
}

std::int32_t X11System::processId() const
{
    return std::int32_t(QCoreApplication::applicationPid());
}

bool X11System::isCompositing() const
{
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(m_x.xcb(), xcb_get_selection_owner(m_x.xcb(), m_x.atom("_NET_WM_CM_S0")),
                                      nullptr),
        &std::free);
    return owner && owner->owner != XCB_WINDOW_NONE;
}

} // namespace panemaker::x11
