// The shared frame clock.
#include "platform/x11/FrameClock.h"

namespace panemaker::x11 {

FrameClock::FrameClock(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(interval);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &FrameClock::ticked);
}

void FrameClock::hold(const QObject *holder)
{
    m_holders.insert(holder);
    if (!m_timer.isActive())
        m_timer.start();
}

void FrameClock::release(const QObject *holder)
{
    m_holders.remove(holder);
    if (m_holders.isEmpty())
        m_timer.stop();
}

} // namespace panemaker::x11
