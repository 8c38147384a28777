// Running the panemaker program on a test desktop.
#include "support/PanemakerProcess.h"

#include <QDir>
#include <QFile>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace panemaker {

namespace {

// The default shortcut of each action, in the actions' order: Ctrl+Alt with arrows, letters, Return and
// Backspace; Ctrl+Alt+Super with the arrows for the display moves.
constexpr xcb_keysym_t defaultKeys[] = {0xff51, 0xff53, 0xff52, 0xff54, 'u',    'i', 'j',    'k',    'd',
                                        'f',    'g',    'e',    't',    0xff0d, 'c', 0xff08, 0xff51, 0xff53};

} // namespace

PanemakerProcess::PanemakerProcess(TestDesktop &desktop, QString program)
    : m_desktop(desktop), m_program(program.isEmpty() ? QStringLiteral(PANEMAKER_PROGRAM) : program)
{
}

bool PanemakerProcess::start(const QStringList &settings)
{
    stop();
    const QString folder = m_desktop.environment().value(u"XDG_CONFIG_HOME"_s) + u"/panemaker"_s;
    QDir().mkpath(folder);
    QFile file(folder + u"/panemaker.conf"_s);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write((u"[General]\n"_s + settings.join(u'\n') + u'\n').toUtf8());
    file.close();
    m_lines.clear();
    qputenv("PANEMAKER_LOG_STDERR", "1");
    m_process = m_desktop.startProcess(m_program, {});
    return m_process && m_desktop.waitUntil([&] {
        const QStringList logged = lines();
        return std::any_of(logged.begin(), logged.end(), [](const QString &l) { return l.startsWith(u"Launched "_s); });
    });
}

void PanemakerProcess::stop()
{
    if (m_process && m_process->state() == QProcess::Running) {
        m_process->terminate();
        m_process->waitForFinished(5000);
    }
    m_process = nullptr;
}

bool PanemakerProcess::hasDied() const
{
    return m_process && m_process->state() != QProcess::Running;
}

QStringList PanemakerProcess::lines()
{
    if (m_process) {
        const QString text = QString::fromUtf8(m_process->readAllStandardError());
        for (const QString &line : text.split(u'\n', Qt::SkipEmptyParts))
            m_lines.append(line.section(u"[app] "_s, 1));
    }
    return m_lines;
}

bool PanemakerProcess::waitForLine(const QString &line)
{
    if (m_desktop.waitUntil([&] { return lines().contains(line); }))
        return true;
    qWarning("no \"%s\" in the log: %s", qPrintable(line), qPrintable(lines().join(u" | "_s)));
    return false;
}

bool PanemakerProcess::press(SnapAction action)
{
    const bool display = action == SnapAction::previousDisplay || action == SnapAction::nextDisplay;
    return m_desktop.pressKey(defaultKeys[action], display ? QList<xcb_keysym_t>{0xffe3, 0xffe9, 0xffeb}
                                                           : QList<xcb_keysym_t>{0xffe3, 0xffe9});
}

std::optional<QString> PanemakerProcess::snap(SnapAction action)
{
    const qsizetype before = lines().size();
    if (!press(action))
        return std::nullopt;
    std::optional<QString> logged;
    m_desktop.waitUntil([&] {
        const QStringList all = lines();
        for (qsizetype i = before; i < all.size() && !logged; ++i) {
            if (all[i].startsWith(action.rawValue() + u' ') || all[i].startsWith(action.rawValue() + u':'))
                logged = all[i];
        }
        return logged.has_value();
    });
    return logged;
}

bool PanemakerProcess::landsAt(xcb_window_t window, const QRect &expected)
{
    if (m_desktop.waitUntil([&] { return m_desktop.outerFrame(window) == expected; }, 3000))
        return true;
    const QRect r = m_desktop.outerFrame(window).value_or(QRect());
    qWarning("at (%d, %d, %d, %d); log: %s", r.x(), r.y(), r.width(), r.height(), qPrintable(lines().join(u" | "_s)));
    return false;
}

} // namespace panemaker
