// LogCapture: collects the program's log lines for as long as it lives.
#pragma once

#include "platform/Log.h"

#include <QMutex>
#include <QStringList>

namespace panemaker {

class LogCapture final {
public:
    LogCapture()
    {
        m_previous = Log::setSink([this](Log::Level level, const QString &text) {
            QMutexLocker lock(&m_mutex);
            (level == Log::Level::Error ? m_errors : m_events).append(text);
        });
    }
    ~LogCapture() { Log::setSink(m_previous); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList errors() const
    {
        QMutexLocker lock(&m_mutex);
        return m_errors;
    }
    QStringList events() const
    {
        QMutexLocker lock(&m_mutex);
        return m_events;
    }

private:
    mutable QMutex m_mutex;
    QStringList m_errors, m_events;
    Log::Sink m_previous;
};

} // namespace panemaker
