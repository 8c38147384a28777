// FrameClock: one tick a frame for every part of the program that needs one while something
// moves, so that a drag wakes the program once a frame and not once for each of them.
#pragma once

#include <QObject>
#include <QSet>
#include <QTimer>

#include <chrono>

namespace panemaker::x11 {

class FrameClock final : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds interval{16};

    explicit FrameClock(QObject *parent = nullptr);

    // The clock ticks while anyone holds it, and never otherwise.
    void hold(const QObject *holder);
    void release(const QObject *holder);

Q_SIGNALS:
    void ticked();

private:
    QSet<const QObject *> m_holders;
    QTimer m_timer;
};

} // namespace panemaker::x11
