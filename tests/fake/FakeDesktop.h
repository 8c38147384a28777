// FakeDesktop: windows, applications and the session in memory, for the logic that moves
// windows. Windows obey their minimum sizes; the stack, minimising and titles are not modelled.
#pragma once

#include "platform/Applications.h"
#include "platform/System.h"
#include "platform/Windows.h"

#include <QHash>

#include <algorithm>

namespace panemaker {

class FakeDesktop final : public Windows, public Applications, public System {
public:
    struct Window {
        std::int32_t pid = 100;
        Rect frame{};
        QSizeF minimumSize{};
        bool fullScreen = false;
        bool frameReadable = true;
        bool onServerList = true; // false: the window server does not list it
        Kind kind = Kind::standard;
    };

    QHash<std::uint32_t, Window> windows;
    std::optional<std::uint32_t> focused;
    QHash<std::int32_t, QString> names;
    bool trusted = true;
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
    void focus(const AXWindow &w) override { focused = w.id; }
    std::optional<AXWindow> focusedWindow() const override
    {
        const bool exists = focused && windows.contains(*focused);
        return exists ? std::optional(AXWindow{*focused, windows[*focused].pid}) : std::nullopt;
    }
    void minimize(const AXWindow &) override {}
    std::optional<AXWindow> windowAt(QPointF) const override { return std::nullopt; }
    QList<ServerWindow> serverWindows() const override { return {}; }
    std::optional<bool> isMinimized(const AXWindow &) const override { return std::nullopt; }
    std::optional<bool> canMinimize(const AXWindow &) const override { return std::nullopt; }
    std::optional<QString> title(const AXWindow &) const override { return std::nullopt; }

    QList<Application> runningApplications() const override { return {}; }
    std::optional<QString> name(std::int32_t pid) const override
    {
        return names.contains(pid) ? std::optional(names[pid]) : std::nullopt;
    }
    void unhide(std::int32_t) override {}

    bool isAccessTrusted() const override { return trusted; }
    void beep() override { ++beeps; }
    std::int32_t processId() const override { return ownPid; }
    bool isCompositing() const override { return false; }
};

} // namespace panemaker
