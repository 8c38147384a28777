// Listing the windows that could fill a gap.
#include "gaps/WindowList.h"

#include <QCoreApplication>
#include <QHash>
#include <QPointer>

#include <algorithm>

namespace panemaker::WindowList {

namespace {

constexpr int hiddenRank = 30000;
constexpr int minimizedRank = 20000;
constexpr int offScreenRank = 10000;

// Windows that are not meant to be placed: dialogs stay with their window while it is shown,
// full-screen windows have a place of their own, and windows set aside elsewhere stay there.
bool isOffered(const Windows::Details &window, bool applicationHidden, const QList<AXWindow> &exclude,
               const QSet<std::uint32_t> &setAside)
{
    if (window.kind == Windows::Kind::other || !window.isOnCurrentDesktop || window.isFullScreen)
        return false;
    if (window.kind == Windows::Kind::dialog && (!(applicationHidden || window.isMinimized) || !window.canMinimize))
        return false;
    return !exclude.contains(window.window) && !setAside.contains(window.window.id);
}

} // namespace

QList<WindowCandidate> list(Sources sources, const QList<AXWindow> &exclude)
{
    const QList<ServerWindow> onScreen = sources.windows.serverWindows();
    const QSet<std::uint32_t> setAside = sources.stageManager.stripEntryWindowIDs();
    QList<Application> applications = sources.applications.runningApplications();
    applications.removeIf([](const Application &app) { return !app.isRegular; });
    // Every window in one go: asking application by application waits for the answers once each.
    QList<AXWindow> windows;
    for (const Application &app : std::as_const(applications))
        windows.append(app.windows);
    QHash<std::uint32_t, Windows::Details> details;
    for (const Windows::Details &window : sources.windows.details(windows))
        details.insert(window.window.id, window);

    QList<std::pair<int, WindowCandidate>> ranked;
    for (const Application &app : std::as_const(applications)) {
        for (const AXWindow &listed : app.windows) {
            const auto read = details.constFind(listed.id);
            if (read == details.cend() || !isOffered(*read, app.isHidden, exclude, setAside))
                continue;
            const Windows::Details &window = *read;
            // The window server knows windows by the ids the windows have here: windows of one
            // application in the same place stay apart.
            const auto found = std::ranges::find(onScreen, window.window.id, &ServerWindow::id);
            const std::optional<ServerWindow> record = found != onScreen.end() ? std::optional(*found) : std::nullopt;
            const int rank = app.isHidden         ? hiddenRank
                             : window.isMinimized ? minimizedRank
                             : !record            ? offScreenRank
                                                  : record->order;
            const auto state = app.isHidden         ? WindowCandidate::State::hidden
                               : window.isMinimized ? WindowCandidate::State::minimized
                                                    : WindowCandidate::State::visible;
            ranked.append(
                {rank, WindowCandidate{window.window, record ? std::optional(record->id) : std::nullopt,
                                       window.title.isEmpty() ? app.name : window.title, app.name, app.icon, state}});
        }
    }
    std::ranges::stable_sort(ranked, {}, &std::pair<int, WindowCandidate>::first);
    QList<WindowCandidate> candidates;
    for (auto &[rank, candidate] : ranked)
        candidates.append(std::move(candidate));
    return candidates;
}

void candidates(Sources sources, const QList<AXWindow> &exclude, QThreadPool &pool, QObject *context,
                std::function<void(QList<WindowCandidate>)> completion)
{
    // The context is looked at on the main thread only, where it may go.
    pool.start([sources, exclude, context = QPointer(context), completion] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [context, completion, found = list(sources, exclude)] {
                if (context)
                    completion(found);
            },
            Qt::QueuedConnection);
    });
}

} // namespace panemaker::WindowList
