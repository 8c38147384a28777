// Log lines to syslog, a terminal, or a test's sink.
#include "platform/Log.h"

#include <QMutex>

#include <cstdio>
#include <syslog.h>
#include <unistd.h>

namespace panemaker {

namespace {

QMutex sinkMutex;
Log::Sink currentSink;

void writeToSystem(Log::Level level, const QString &text)
{
    // PANEMAKER_LOG_STDERR asks for the lines on standard error even when it is no terminal.
    static const bool toTerminal = isatty(STDERR_FILENO) == 1 || qEnvironmentVariableIsSet("PANEMAKER_LOG_STDERR");
    static const bool opened = [] {
        openlog("panemaker", LOG_PID, LOG_USER);
        return true;
    }();
    Q_UNUSED(opened);

    const QByteArray line = QStringLiteral("[%1] %2").arg(QLatin1String(Log::category), text).toUtf8();
    syslog(level == Log::Level::Error ? LOG_ERR : LOG_NOTICE, "%s", line.constData());
    if (toTerminal) {
        std::fprintf(stderr, "panemaker: %s\n", line.constData());
        std::fflush(stderr);
    }
}

} // namespace

void Log::write(Level level, const QString &text)
{
    Sink sink;
    {
        QMutexLocker lock(&sinkMutex);
        sink = currentSink;
    }
    if (sink)
        sink(level, text);
    else
        writeToSystem(level, text);
}

Log::Sink Log::setSink(Sink sink)
{
    QMutexLocker lock(&sinkMutex);
    std::swap(currentSink, sink);
    return sink;
}

} // namespace panemaker
