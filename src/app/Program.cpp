// The program's objects over one X connection.
#include "app/Program.h"

namespace panemaker {

Program::Program(x11::XConnection &x, Preferences &prefs, const QString &bundlePath, const QString &programPath,
                 const QByteArray &updateKey)
    : m_displays(x), m_windows(x, m_displays), m_applications(x, m_windows), m_usableArea(m_displays, m_stageManager),
      m_system(x), m_hotKeys(x), m_thumbnails(x), m_mouse({}, m_displays, x.frameClock()), m_keyboardLayout(x),
      m_delegate(prefs,
                 AppDelegate::Platform{m_windows, m_displays, m_usableArea, m_applications, m_system, m_hotKeys,
                                       m_stageManager, m_thumbnails, m_mouse, m_mouse, m_processes,
                                       m_windowManagerSettings, m_keyboardLayout},
                 bundlePath, programPath, updateKey)
{
}

} // namespace panemaker
