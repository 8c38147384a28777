// PanemakerProcess: the panemaker program running on a test desktop, its log lines and its default shortcuts.
#pragma once

#include "core/SnapAction.h"
#include "desktop/TestDesktop.h"

#include <QString>
#include <QStringList>

#include <optional>

class QProcess;

namespace panemaker {

class PanemakerProcess final {
public:
    // The program built in this tree, or another one (an installed copy).
    explicit PanemakerProcess(TestDesktop &desktop, QString program = {});
    ~PanemakerProcess() { stop(); }
    PanemakerProcess(const PanemakerProcess &) = delete;
    PanemakerProcess &operator=(const PanemakerProcess &) = delete;

    // Starts it (after stopping a running one) with these lines in its settings file's [General] group;
    // true once it logged its launch. It logs to standard error.
    bool start(const QStringList &settings);
    void stop();
    QProcess *process() const { return m_process; }
    // Started and not stopped, but no longer running.
    bool hasDied() const;

    // The lines logged so far, without their prefix.
    QStringList lines();
    // Waits for the line; warns what was logged instead when it does not come.
    bool waitForLine(const QString &line);
    // Presses the default shortcut of the action, as a user does on a US keyboard.
    bool press(SnapAction action);
    // Presses it and waits until the snap is over: the line it logged, nothing when none came.
    std::optional<QString> snap(SnapAction action);
    // Waits until the window's outer frame is the expected one; warns where it is and what was logged when not.
    bool landsAt(xcb_window_t window, const QRect &expected);

private:
    TestDesktop &m_desktop;
    QString m_program;
    QProcess *m_process = nullptr;
    QStringList m_lines;
};

} // namespace panemaker
