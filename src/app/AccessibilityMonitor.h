// AccessibilityMonitor: whether other applications' windows can be moved (on X11: a window
// manager runs), kept current for the menu and the settings window.
#pragma once

#include "platform/System.h"

#include <QObject>
#include <QTimer>

namespace panemaker {

class AccessibilityMonitor final : public QObject {
    Q_OBJECT

public:
    explicit AccessibilityMonitor(System &system, QObject *parent = nullptr);
    ~AccessibilityMonitor() override;

    bool isTrusted() const { return m_trusted; }
    // Asks again; tells the observers only of a real change.
    void refresh();

Q_SIGNALS:
    void trustedChanged(bool trusted);

private:
    System &m_system;
    bool m_trusted;
    // Runs only while access is missing: a window manager that starts after the program (as at
    // login) is noticed within a second.
    QTimer m_poll;
    // The session's notice comes before the change has settled: asked again a moment later.
    QTimer m_afterNotice;
};

} // namespace panemaker
