// Program: the X11 platform's objects handed to the application delegate, in the order
// they depend on each other. The app layer never sees X; this is where the two meet.
#pragma once

#include "app/AppDelegate.h"
#include "platform/x11/ProcProcesses.h"
#include "platform/x11/X11Applications.h"
#include "platform/x11/X11Displays.h"
#include "platform/x11/X11HotKeys.h"
#include "platform/x11/X11KeyboardLayout.h"
#include "platform/x11/X11MouseMonitor.h"
#include "platform/x11/X11StageManager.h"
#include "platform/x11/X11System.h"
#include "platform/x11/X11Thumbnails.h"
#include "platform/x11/X11WindowManagerSettings.h"
#include "platform/x11/X11Windows.h"

namespace panemaker {

class Program final {
public:
    // `bundlePath` is the directory the program runs from, `programPath` its executable;
    // updates must be signed by the owner of `updateKey`.
    Program(x11::XConnection &x, Preferences &prefs, const QString &bundlePath, const QString &programPath,
            const QByteArray &updateKey = {});

    AppDelegate &delegate() { return m_delegate; }

private:
    x11::X11Displays m_displays;
    x11::X11Windows m_windows;
    x11::X11Applications m_applications;
    x11::X11StageManager m_stageManager;
    UsableArea m_usableArea;
    x11::X11System m_system;
    x11::X11HotKeys m_hotKeys;
    x11::X11Thumbnails m_thumbnails;
    x11::X11MouseMonitor m_mouse;
    x11::ProcProcesses m_processes;
    x11::X11WindowManagerSettings m_windowManagerSettings;
    x11::X11KeyboardLayout m_keyboardLayout;
    AppDelegate m_delegate;
};

} // namespace panemaker
