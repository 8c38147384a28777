// Running the panemaker program on a test desktop.
#include "support/PanemakerProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace panemaker {

namespace {

constexpr xcb_keysym_t control = 0xffe3, alt = 0xffe9, super = 0xffeb;

struct Key {
    xcb_keysym_t keysym;
    QList<xcb_keysym_t> modifiers;
};

Key defaultKey(SnapAction action)
{
    const QList<xcb_keysym_t> ctrlAlt{control, alt};
    switch (action) {
    case SnapAction::leftHalf: return {0xff51, ctrlAlt};
    case SnapAction::rightHalf: return {0xff53, ctrlAlt};
    case SnapAction::topHalf: return {0xff52, ctrlAlt};
    case SnapAction::bottomHalf: return {0xff54, ctrlAlt};
    case SnapAction::topLeft: return {'u', ctrlAlt};
    case SnapAction::topRight: return {'i', ctrlAlt};
    case SnapAction::bottomLeft: return {'j', ctrlAlt};
    case SnapAction::bottomRight: return {'k', ctrlAlt};
    case SnapAction::firstThird: return {'d', ctrlAlt};
    case SnapAction::centerThird: return {'f', ctrlAlt};
    case SnapAction::lastThird: return {'g', ctrlAlt};
    case SnapAction::firstTwoThirds: return {'e', ctrlAlt};
    case SnapAction::lastTwoThirds: return {'t', ctrlAlt};
    case SnapAction::maximize: return {0xff0d, ctrlAlt};
    case SnapAction::center: return {'c', ctrlAlt};
    case SnapAction::restore: return {0xff08, ctrlAlt};
    case SnapAction::previousDisplay: return {0xff51, {control, alt, super}};
    case SnapAction::nextDisplay: return {0xff53, {control, alt, super}};
    }
    return {};
}

} // namespace

QString PanemakerProcess::settingsPath() const
{
    return m_desktop.environment().value(u"XDG_CONFIG_HOME"_s) + u"/panemaker/panemaker.conf"_s;
}

bool PanemakerProcess::start(const QStringList &settings)
{
    stop();
    QDir().mkpath(QFileInfo(settingsPath()).path());
    QFile file(settingsPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write((u"[General]\n"_s + settings.join(u'\n') + u'\n').toUtf8());
    file.close();
    m_lines.clear();
    qputenv("PANEMAKER_LOG_STDERR", "1");
    m_process = m_desktop.startProcess(QStringLiteral(PANEMAKER_PROGRAM), {});
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
    return m_desktop.waitUntil([&] { return lines().contains(line); });
}

bool PanemakerProcess::press(SnapAction action)
{
    const Key key = defaultKey(action);
    return m_desktop.pressKey(key.keysym, key.modifiers);
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

QString PanemakerProcess::describe(xcb_window_t window)
{
    const QRect r = m_desktop.outerFrame(window).value_or(QRect());
    return u"at (%1, %2, %3, %4); log: %5"_s.arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .arg(lines().join(u" | "_s));
}

} // namespace panemaker
