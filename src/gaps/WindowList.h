// WindowList: the other windows of the current desktop that could fill a gap, in the order the
// picker shows them.
#pragma once

#include "gaps/WindowCandidate.h"
#include "platform/Applications.h"
#include "platform/StageManager.h"
#include "platform/Windows.h"

#include <QList>
#include <QObject>
#include <QThreadPool>

#include <functional>

namespace panemaker::WindowList {

struct Sources {
    const Windows &windows;
    const Applications &applications;
    const StageManager &stageManager;
};

// The candidates, front-most visible windows first, then windows the window server does not
// show, then minimised windows, then those of hidden applications. Slow: it asks about every
// window, so it runs off the main thread.
QList<WindowCandidate> list(Sources sources, const QList<AXWindow> &exclude);

// Lists on a thread of `pool` and hands the result to `completion` on the main thread, later and
// exactly once, unless `context` is gone by then. The sources must outlive the pool's work.
void candidates(Sources sources, const QList<AXWindow> &exclude, QThreadPool &pool, QObject *context,
                std::function<void(QList<WindowCandidate>)> completion);

} // namespace panemaker::WindowList
