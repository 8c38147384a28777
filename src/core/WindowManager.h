// WindowManager: carries out snap actions on windows, corrects what applications refuse,
// and remembers where windows were so that they can be restored.
#pragma once

#include "core/GapFilling.h"
#include "core/SnapAction.h"
#include "core/SnapPreferences.h"
#include "core/UsableArea.h"
#include "platform/Applications.h"
#include "platform/Displays.h"
#include "platform/System.h"
#include "platform/Windows.h"

#include <QHash>
#include <QList>

#include <functional>
#include <optional>

namespace panemaker {

class WindowManager final {
public:
    // How many windows `restore` remembers.
    static constexpr int historyLimit = 64;

    struct Platform {
        Windows &windows;
        const Displays &displays;
        const UsableArea &usableArea;
        const Applications &applications;
        System &system;
    };

    // `gapFilling` may be null: then snaps leave their gaps alone.
    WindowManager(Platform platform, const SnapPreferences &prefs, GapFilling *gapFilling);

    // Run when a snap finds that windows cannot be moved at all.
    std::function<void()> onNeedsAccess;

    // Why a snap was not carried out (it beeped), or nothing when it was.
    using Refusal = std::optional<QString>;

    // Snaps the focused window.
    Refusal perform(SnapAction action);
    // Snaps a given window, on the given display or else the one showing most of it.
    Refusal perform(SnapAction action, const AXWindow &window, const std::optional<Screen> &screen);
    // Where the action would put a window on that display; nothing for the actions that
    // depend on the window.
    std::optional<Rect> previewFrame(SnapAction action, const Screen &screen) const;

private:
    struct Entry {
        Rect original; // before the first snap of a run of snaps
        Rect applied;  // where the last snap left the window
    };

    void cancelFillSession();
    QString applicationName(std::int32_t pid) const;
    Refusal restore(const AXWindow &window, std::optional<std::uint32_t> id, const Rect &area, double gap);
    // Beeps and hands the reason back; `line` is logged, as an error or else as an event.
    Refusal refuse(const QString &line, bool isError) const;
    void record(std::uint32_t id, const Rect &before, const Rect &applied);
    void forget(std::uint32_t id);
    // The preferred space between windows, or none when it is out of bounds.
    double usableGap() const;
    // The frame `cut` gives with the gap, or with none (and `gap` set to 0) where the gap leaves
    // the window no room.
    Rect withRoom(const std::function<Rect(double gap)> &cut, double &gap) const;
    void reportIgnoredGap(double gap, const QString &why) const;

    Platform m_platform;
    const SnapPreferences &m_prefs;
    GapFilling *m_gapFilling;
    QHash<std::uint32_t, Entry> m_history;
    QList<std::uint32_t> m_historyOrder; // oldest first
    mutable QString m_lastGapReport;
};

} // namespace panemaker
