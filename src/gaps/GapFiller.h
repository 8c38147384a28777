// GapFiller: after a snap, offers the other windows of the desktop for the space the snap left,
// gap by gap, and puts each chosen window there.
#pragma once

#include "core/GapFilling.h"
#include "gaps/GapPickerPanel.h"
#include "gaps/Gaps.h"
#include "gaps/HighlightWindow.h"
#include "gaps/WindowCandidate.h"
#include "platform/Applications.h"
#include "platform/ClickMonitor.h"
#include "platform/Displays.h"
#include "platform/StageManager.h"
#include "platform/System.h"
#include "platform/WindowThumbnails.h"
#include "platform/Windows.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <optional>

namespace panemaker {

class GapFiller final : public QObject, public GapFilling {
    Q_OBJECT

public:
    struct Platform {
        Windows &windows;
        Applications &applications;
        const Displays &displays;
        System &system;
        const StageManager &stageManager;
        WindowThumbnails &thumbnails;
        ClickMonitor &clicks;
    };

    // `showPreviews` says, at each session, whether windows are shown by their thumbnails.
    GapFiller(Platform platform, std::function<bool()> showPreviews, QObject *parent = nullptr);
    ~GapFiller() override;

    bool isSessionRunning() const override { return m_session.has_value(); }
    void close(bool refocus, const QString &reason) override;
    // Computes the gaps the snap left and fills them.
    void start(const AXWindow &snapped, const Snap &snap) override;
    void start(const AXWindow &snapped, const QList<Gap> &gaps);

    // Keys pressed with Control, Alt or Super while the picker holds the keyboard; true when taken.
    std::function<bool(std::uint32_t nativeKey, std::uint32_t nativeModifiers)> onModifiedKey;

    // The session's windows, while it shows them.
    GapPickerPanel *picker() const { return m_picker; }
    HighlightWindow *highlight() const { return m_highlight; }

private:
    struct Session {
        AXWindow snapped;
        QList<Gap> gaps; // still to fill; the first is the current one
        qsizetype total = 0;
        QList<WindowCandidate> candidates;
        QHash<std::uint32_t, QImage> thumbnails;
        QList<AXWindow> placed;
    };

    void candidatesArrived(int generation, const QList<WindowCandidate> &candidates);
    void presentCurrentGap();
    void showEmptyPicker();
    void startThumbnails();
    void pickerLostKeyboard();
    void place(const WindowCandidate &candidate);
    void ensurePicker();
    void showHighlight(const Rect &frame);
    void monitorClicks();

    Platform m_platform;
    std::function<bool()> m_showPreviews;
    std::optional<Session> m_session;
    // Deleted later: a session may end from within one of their own event handlers.
    QPointer<GapPickerPanel> m_picker;
    QPointer<HighlightWindow> m_highlight;
    std::unique_ptr<ClickMonitor::Subscription> m_clickMonitor;
    std::unique_ptr<WindowThumbnails::Run> m_thumbnails;
    // Counts session starts and closes; late results of an earlier session carry an older count.
    int m_generation = 0;
    // Until then the picker takes the keyboard back whenever it loses it.
    QDeadlineTimer m_holdFocusUntil;
    // Lists windows through the platform: done before the filler goes, and the platform with it.
    QThreadPool m_listing;
};

} // namespace panemaker
