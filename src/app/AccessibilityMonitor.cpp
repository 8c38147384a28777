// Access, polled while missing and asked again after each notice of the session.
#include "app/AccessibilityMonitor.h"

namespace panemaker {

AccessibilityMonitor::AccessibilityMonitor(System &system, QObject *parent)
    : QObject(parent), m_system(system), m_trusted(system.isAccessTrusted())
{
    m_poll.setInterval(1000);
    connect(&m_poll, &QTimer::timeout, this, &AccessibilityMonitor::refresh);
    m_afterNotice.setSingleShot(true);
    m_afterNotice.setInterval(500);
    connect(&m_afterNotice, &QTimer::timeout, this, &AccessibilityMonitor::refresh);
    system.watchAccess([this] { m_afterNotice.start(); });
    if (!m_trusted)
        m_poll.start();
}

AccessibilityMonitor::~AccessibilityMonitor()
{
    m_system.watchAccess({});
}

void AccessibilityMonitor::refresh()
{
    const bool trusted = m_system.isAccessTrusted();
    if (trusted)
        m_poll.stop();
    else if (!m_poll.isActive())
        m_poll.start();
    if (trusted == m_trusted)
        return;
    m_trusted = trusted;
    Q_EMIT trustedChanged(trusted);
}

} // namespace panemaker
