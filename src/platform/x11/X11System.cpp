// The session on X11.
#include "platform/x11/X11System.h"

#include <QCoreApplication>

namespace panemaker::x11 {

bool X11System::isAccessTrusted() const
{
    if (qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland")
        || qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        return false;
    const xcb_atom_t check = m_x.ewmh()->_NET_SUPPORTING_WM_CHECK;
    const std::optional<xcb_window_t> wm = windowValue(m_x.readProperty(m_x.root(), check, 1));
    // A window manager that died leaves its property behind; the check window then is gone.
    return wm && windowValue(m_x.readProperty(*wm, check, 1)) == wm;
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

} // namespace panemaker::x11
