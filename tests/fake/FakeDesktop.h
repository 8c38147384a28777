// FakeDesktop: windows, applications and the session in memory, for the logic that moves
// windows. Windows obey their minimum sizes; the stack is the `order` the test gives.
#pragma once

#include "platform/Applications.h"
#include "platform/Processes.h"
#include "platform/System.h"
#include "platform/WindowManagerSettings.h"
#include "platform/Windows.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace panemaker {

class FakeDesktop final : public Windows,
                          public Applications,
                          public System,
                          public Processes,
                          public WindowManagerSettings {
public:
    struct Window {
        std::int32_t pid = 100;
        Rect frame{};
        QSizeF minimumSize{};
        bool fullScreen = false;
        bool frameReadable = true;
        bool onServerList = true; // false: the window server does not list it
        Kind kind = Kind::standard;
        bool minimized = false;
        bool canMinimize = true;
        QString title{};
        int order = 0; // in the window server's front-to-back list
    };

    QHash<std::uint32_t, Window> windows;
    std::optional<std::uint32_t> focused;
    QHash<std::int32_t, QString> names;
    QSet<std::int32_t> hiddenApplications;
    bool trusted = true;
    mutable int trustQueries = 0;
    std::function<void()> accessWatcher;
    QString windowManager = QStringLiteral("Openbox");
    QList<RunningProcess> processes;
    QHash<QString, EdgeTilingState> edgeTilingByWindowManager{{QStringLiteral("Openbox"), EdgeTilingState::off}};
    QStringList tilingSettingsOpened;
    std::int32_t ownPid = 1;
    int beeps = 0;
    int setFrameResult = 0;

    // Adds a window and focuses it.
    AXWindow add(std::uint32_t id, const Rect &frame, std::int32_t pid = 100)
    {
        windows.insert(id, Window{pid, frame});
        focused = id;
        return AXWindow{id, pid};
    }

    std::optional<Snapshot> snapshot(const AXWindow &w) const override
    {
        const std::optional<Rect> readable = frame(w);
        const Window &window = windows[w.id];
        return readable ? std::optional(Snapshot{*readable, window.fullScreen, window.kind,
                                                 window.onServerList ? std::optional(w.id) : std::nullopt})
                        : std::nullopt;
    }
    std::optional<Rect> frame(const AXWindow &w) const override
    {
        const bool readable = windows.contains(w.id) && windows[w.id].frameReadable;
        return readable ? std::optional(windows[w.id].frame) : std::nullopt;
    }
    int setFrame(const AXWindow &w, const Rect &frame) override
    {
        if (!windows.contains(w.id))
            return -3;
        const QSizeF minimum = windows[w.id].minimumSize;
        windows[w.id].frame = {frame.x, frame.y, std::max(frame.width, minimum.width()),
                               std::max(frame.height, minimum.height())};
        return setFrameResult;
    }
    int setPosition(const AXWindow &w, QPointF topLeft) override
    {
        const QSizeF size = windows.value(w.id).frame.size();
        return setFrame(w, {topLeft.x(), topLeft.y(), size.width(), size.height()});
    }
    void focus(const AXWindow &w) override
    {
        focused = w.id;
        if (windows.contains(w.id))
            windows[w.id].minimized = false;
    }
    std::optional<AXWindow> focusedWindow() const override
    {
        const bool exists = focused && windows.contains(*focused);
        return exists ? std::optional(AXWindow{*focused, windows[*focused].pid}) : std::nullopt;
    }
    void minimize(const AXWindow &w) override { windows[w.id].minimized = true; }
    // The front-most window holding the point.
    std::optional<AXWindow> windowAt(QPointF point) const override
    {
        std::optional<AXWindow> found;
        int order = 0;
        for (auto w = windows.cbegin(); w != windows.cend(); ++w) {
            if (!w->minimized && w->frame.contains(point) && (!found || w->order < order)) {
                found = AXWindow{w.key(), w->pid};
                order = w->order;
            }
        }
        return found;
    }
    QList<ServerWindow> serverWindows() const override
    {
        QList<ServerWindow> listed;
        for (auto w = windows.cbegin(); w != windows.cend(); ++w) {
            if (w->onServerList && !w->minimized && w->frameReadable)
                listed.append(ServerWindow{w.key(), w->pid, w->frame, w->order});
        }
        std::ranges::sort(listed, {}, &ServerWindow::order);
        return listed;
    }
    QList<Details> details(const QList<AXWindow> &list) const override
    {
        QList<Details> found;
        for (const AXWindow &w : list) {
            if (const auto window = windows.constFind(w.id); window != windows.cend())
                found.append(Details{w, window->kind, window->fullScreen, window->minimized, window->canMinimize, true,
                                     window->title});
        }
        return found;
    }

    // One application per pid, in the order of the window ids; named from `names`.
    QList<Application> runningApplications() const override
    {
        QList<std::uint32_t> ids = windows.keys();
        std::ranges::sort(ids);
        QList<Application> apps;
        for (std::uint32_t id : ids) {
            const Window &w = windows[id];
            auto app = std::ranges::find(apps, w.pid, &Application::pid);
            if (app == apps.end())
                app = apps.insert(apps.end(), Application{w.pid,
                                                          names.value(w.pid, QStringLiteral("app")),
                                                          {},
                                                          hiddenApplications.contains(w.pid),
                                                          false,
                                                          {}});
            app->windows.append(AXWindow{id, w.pid});
            app->isRegular = app->isRegular || w.kind != Kind::other;
        }
        return apps;
    }
    std::optional<QString> name(std::int32_t pid) const override
    {
        return names.contains(pid) ? std::optional(names[pid]) : std::nullopt;
    }
    void unhide(std::int32_t pid) override { hiddenApplications.remove(pid); }

    bool isAccessTrusted() const override
    {
        ++trustQueries;
        return trusted;
    }
    void beep() override { ++beeps; }
    void watchAccess(std::function<void()> onChange) override { accessWatcher = std::move(onChange); }
    std::int32_t processId() const override { return ownPid; }
    bool isCompositing() const override { return false; }
    QString windowManagerName() const override { return trusted ? windowManager : QString(); }

    QList<RunningProcess> running() const override { return processes; }
    void terminate(std::int32_t pid) override
    {
        processes.removeIf([pid](const RunningProcess &process) { return process.pid == pid; });
    }

    EdgeTilingState edgeTiling(const QString &windowManagerName) const override
    {
        return edgeTilingByWindowManager.value(windowManagerName, EdgeTilingState::unknown);
    }
    bool openTilingSettings(const QString &windowManagerName) override
    {
        tilingSettingsOpened.append(windowManagerName);
        return true;
    }
};

} // namespace panemaker
