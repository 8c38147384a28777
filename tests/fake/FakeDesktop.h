// FakeDesktop: windows, applications and the session in memory, for the logic that moves
// windows. Windows obey their minimum sizes; everything else is set by the test.
#pragma once

#include "platform/Applications.h"
#include "platform/System.h"
#include "platform/Windows.h"

#include <QHash>
#include <QList>

#include <algorithm>

namespace panemaker {

class FakeDesktop final : public Windows, public Applications, public System {
public:
    struct Window {
        std::int32_t pid = 100;
        Rect frame;
        QSizeF minimumSize;
        bool fullScreen = false;
        bool frameReadable = true;
        bool onServerList = true; // false: the window server does not list it
        Kind kind = Kind::standard;
        QString title;
    };

    QHash<std::uint32_t, Window> windows;
    QList<std::uint32_t> stack; // front first
    std::optional<std::uint32_t> focused;
    QHash<std::int32_t, QString> names;
    bool trusted = true;
    std::int32_t ownPid = 1;
    int beeps = 0;
    int setFrameResult = 0;
    QList<std::pair<std::uint32_t, Rect>> setFrames;
    QList<std::pair<std::uint32_t, QPointF>> setPositions;

    AXWindow add(std::uint32_t id, const Rect &frame, std::int32_t pid = 100)
    {
        windows.insert(id, Window{pid, frame, {}, false, true, true, Kind::standard, {}});
        stack.prepend(id);
        focused = id;
        return AXWindow{id, pid};
    }

    std::optional<Snapshot> snapshot(const AXWindow &w) const override
    {
        const std::optional<Rect> readable = frame(w);
        if (!readable)
            return std::nullopt;
        const Window &window = windows[w.id];
        return Snapshot{*readable, window.fullScreen, window.kind,
                        window.onServerList ? std::optional(w.id) : std::nullopt};
    }
    std::optional<Rect> frame(const AXWindow &w) const override
    {
        const auto found = windows.constFind(w.id);
        if (found == windows.constEnd() || !found->frameReadable)
            return std::nullopt;
        return found->frame;
    }
    int setFrame(const AXWindow &w, const Rect &frame) override
    {
        setFrames.append({w.id, frame});
        if (!windows.contains(w.id))
            return -3;
        Window &window = windows[w.id];
        window.frame = {frame.x, frame.y, std::max(frame.width, window.minimumSize.width()),
                        std::max(frame.height, window.minimumSize.height())};
        return setFrameResult;
    }
    int setPosition(const AXWindow &w, QPointF topLeft) override
    {
        setPositions.append({w.id, topLeft});
        if (!windows.contains(w.id))
            return -3;
        windows[w.id].frame.x = topLeft.x();
        windows[w.id].frame.y = topLeft.y();
        return 0;
    }
    void focus(const AXWindow &w) override
    {
        stack.removeAll(w.id);
        stack.prepend(w.id);
        focused = w.id;
    }
    void minimize(const AXWindow &) override {}
    std::optional<AXWindow> focusedWindow() const override
    {
        if (!focused || !windows.contains(*focused))
            return std::nullopt;
        return AXWindow{*focused, windows.value(*focused).pid};
    }
    std::optional<AXWindow> windowAt(QPointF point) const override
    {
        for (const ServerWindow &entry : serverWindows()) {
            if (entry.frame.contains(point))
                return AXWindow{entry.id, entry.pid};
        }
        return std::nullopt;
    }
    QList<ServerWindow> serverWindows() const override
    {
        QList<ServerWindow> list;
        for (int order = 0; order < stack.size(); ++order) {
            const Window &w = windows[stack[order]];
            if (w.onServerList)
                list.append(ServerWindow{stack[order], w.pid, w.frame, order});
        }
        return list;
    }
    std::optional<bool> isMinimized(const AXWindow &w) const override
    {
        return windows.contains(w.id) ? std::optional(false) : std::nullopt;
    }
    std::optional<bool> canMinimize(const AXWindow &w) const override { return isMinimized(w).has_value(); }
    std::optional<QString> title(const AXWindow &w) const override { return field(w, &Window::title); }

    QList<Application> runningApplications() const override { return {}; }
    std::optional<QString> name(std::int32_t pid) const override
    {
        return names.contains(pid) ? std::optional(names.value(pid)) : std::nullopt;
    }
    void unhide(std::int32_t) override {}

    bool isAccessTrusted() const override { return trusted; }
    void beep() override { ++beeps; }
    std::int32_t processId() const override { return ownPid; }

private:
    template <typename T> std::optional<T> field(const AXWindow &w, T Window::*member) const
    {
        const auto found = windows.constFind(w.id);
        return found == windows.constEnd() ? std::nullopt : std::optional<T>((*found).*member);
    }
};

} // namespace panemaker
