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
            (level == Log::Level::Error ? m_errors : m_lines).append(text);
            m_all.append(text);
        });
    }
    ~LogCapture() { Log::setSink(m_previous); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList all() const
    {
        QMutexLocker lock(&m_mutex);
        return m_all;
    }
    QStringList errors() const
    {
        QMutexLocker lock(&m_mutex);
        return m_errors;
    }
    QStringList events() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lines;
    }

private:
    mutable QMutex m_mutex;
    QStringList m_all, m_errors, m_lines;
    Log::Sink m_previous;
};

} // namespace panemaker
