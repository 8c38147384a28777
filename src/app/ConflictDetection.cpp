// Other snapping tools and the window manager's edge tiling: found, worded and remedied.
#include "app/ConflictDetection.h"

#include <QLocale>
#include <QMetaObject>
#include <QStringList>

#include <algorithm>

namespace panemaker {

namespace {

// Standalone tools that snap or tile the windows of an EWMH window manager on keys or drags,
// the same gestures as ours, and so fight with it. Window managers themselves are left out (only
// one runs at a time), as are extensions and scripts that live inside one (they are not
// processes). Most run as daemons without a window, so they are found by executable name (or
// script or module name for the Python ones), and named as their own documentation names them.
struct KnownSnapper {
    const char *executable;
    const char *name;
};
constexpr KnownSnapper knownSnappers[] = {
    {"quicktile", "QuickTile"}, {"x-tile", "X Tile"},     {"xpytile", "xpytile"},  {"xpytile.py", "xpytile"},
    {"pytyle3", "PyTyle"},      {"pytyle2", "PyTyle"},    {"pytyle", "PyTyle"},    {"zentile", "Zentile"},
    {"cortile", "Cortile"},     {"opensnap", "OpenSnap"}, {"pygrid.py", "PyGrid"}, {"pygrid", "PyGrid"},
};

// The kernel keeps only the first 15 bytes of an executable's name (`comm`), so names are compared
// after the same cut.
constexpr qsizetype commLength = 15;

QString knownName(const QString &processName)
{
    const QString cut = processName.left(commLength);
    for (const KnownSnapper &known : knownSnappers) {
        if (QLatin1String(known.executable).left(commLength) == cut)
            return QString::fromLatin1(known.name);
    }
    return {};
}

QList<OtherSnapper> snappersAmong(const QList<RunningProcess> &processes)
{
    QList<OtherSnapper> snappers;
    for (const RunningProcess &process : processes) {
        if (QString name = knownName(process.name); !name.isEmpty())
            snappers.append({process.pid, std::move(name)});
    }
    return snappers;
}

} // namespace

ConflictDetection::ConflictDetection(Processes &processes, WindowManagerSettings &settings, System &system,
                                     QObject *parent)
    : QObject(parent), m_processes(processes), m_settings(settings), m_system(system)
{
    m_pool.setMaxThreadCount(1);
    m_watch.setInterval(2000);
    connect(&m_watch, &QTimer::timeout, this, [this] {
        if (m_pendingScans == 0)
            readInBackground(true);
    });
}

QList<OtherSnapper> ConflictDetection::runningOtherSnappers() const
{
    return snappersAmong(m_processes.running());
}

QString ConflictDetection::appNamesList(const QList<OtherSnapper> &snappers)
{
    QStringList names;
    for (const OtherSnapper &snapper : snappers)
        names.append(snapper.name.isEmpty() ? QStringLiteral("Another window manager") : snapper.name);
    return QLocale().createSeparatedList(names);
}

void ConflictDetection::quit(const QList<OtherSnapper> &snappers)
{
    // A list shown a while ago may hold a process that has ended, and its number may belong to
    // another program by now: only a number that still runs a known tool is asked to quit.
    const QList<OtherSnapper> running = runningOtherSnappers();
    for (const OtherSnapper &snapper : snappers) {
        if (std::ranges::any_of(running, [&](const OtherSnapper &live) { return live.pid == snapper.pid; }))
            m_processes.terminate(snapper.pid);
    }
}

void ConflictDetection::refreshEdgeTiling()
{
    readInBackground(false);
}

void ConflictDetection::openTilingSettings()
{
    m_settings.openTilingSettings(m_system.windowManagerName());
}

void ConflictDetection::setWatching(bool watching)
{
    if (watching == m_watch.isActive())
        return;
    if (!watching) {
        m_watch.stop();
        return;
    }
    // The settings window has just taken its list: changes are reported against it.
    m_snappers = runningOtherSnappers();
    m_watch.start();
}

void ConflictDetection::readInBackground(bool scan)
{
    const QString windowManager = m_system.windowManagerName();
    if (scan)
        ++m_pendingScans;
    m_pool.start([this, scan, windowManager] {
        std::optional<QList<OtherSnapper>> snappers;
        if (scan)
            snappers = snappersAmong(m_processes.running());
        const EdgeTilingState state = m_settings.edgeTiling(windowManager);
        QMetaObject::invokeMethod(
            this, [this, snappers, state] { apply(snappers, state); }, Qt::QueuedConnection);
    });
}

void ConflictDetection::apply(const std::optional<QList<OtherSnapper>> &snappers, EdgeTilingState state)
{
    if (snappers) {
        --m_pendingScans;
        if (m_watch.isActive() && *snappers != m_snappers) {
            m_snappers = *snappers;
            Q_EMIT otherSnappersChanged(m_snappers);
        }
    }
    if (state != m_edgeTiling) {
        m_edgeTiling = state;
        Q_EMIT edgeTilingStateChanged(state);
    }
}

} // namespace panemaker
