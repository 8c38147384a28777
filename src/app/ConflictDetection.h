// ConflictDetection: other tools that move windows on the same gestures, and the window
// manager's own edge tiling, which would fight with this program; and their remedies.
#pragma once

#include "platform/Processes.h"
#include "platform/System.h"
#include "platform/WindowManagerSettings.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <optional>

namespace panemaker {

// A running tool that snaps or tiles windows, as its users know it.
struct OtherSnapper {
    std::int32_t pid = 0;
    QString name;

    bool operator==(const OtherSnapper &) const = default;
};

class ConflictDetection final : public QObject {
    Q_OBJECT

public:
    ConflictDetection(Processes &processes, WindowManagerSettings &settings, System &system, QObject *parent = nullptr);

    // The known snapping tools running now, scanned afresh on each call.
    QList<OtherSnapper> runningOtherSnappers() const;
    // "A", "A and B", "A, B and C": the names as a sentence lists them.
    static QString appNamesList(const QList<OtherSnapper> &snappers);
    // Asks each to quit, without waiting or forcing.
    void quit(const QList<OtherSnapper> &snappers);

    // The edge tiling state last read; `off` until the first read has come back.
    EdgeTilingState edgeTilingState() const { return m_edgeTiling; }
    // Reads the running window manager's edge tiling again, off the main thread; reports a change.
    void refreshEdgeTiling();
    void openTilingSettings();

    // While watching (the settings window is open), the processes are scanned and the edge
    // tiling read every 2 seconds, off the main thread, and changes are reported; never otherwise.
    void setWatching(bool watching);

Q_SIGNALS:
    void otherSnappersChanged(const QList<panemaker::OtherSnapper> &snappers);
    void edgeTilingStateChanged(panemaker::EdgeTilingState state);

private:
    // Reads off the main thread, then hands the results to `apply` on the main thread. No
    // process list is taken when `scan` is false.
    void readInBackground(bool scan);
    void apply(const std::optional<QList<OtherSnapper>> &snappers, EdgeTilingState state);

    Processes &m_processes;
    WindowManagerSettings &m_settings;
    System &m_system;
    EdgeTilingState m_edgeTiling = EdgeTilingState::off;
    // The list last reported to the watchers.
    QList<OtherSnapper> m_snappers;
    QTimer m_watch{this};
    // A read still under way when the timer fires again is not started twice.
    int m_pendingScans = 0;
    // One thread, so that results come back in order; destroyed first, it waits for a read
    // under way, which therefore never outlives this object.
    QThreadPool m_pool;
};

} // namespace panemaker
