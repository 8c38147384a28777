// What the benchmarks read about a process from /proc: its memory, its wake-ups, its CPU time.
#pragma once

#include <QDir>
#include <QFile>

#include <optional>

// VmRSS in kB, or -1 when it cannot be read.
inline qint64 residentKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Adds up a figure of every thread of a process: `read` gets a thread's folder in /proc.
template <typename Read> std::optional<qint64> sumOverThreads(qint64 pid, Read read)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    const QStringList threads = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (threads.isEmpty())
        return std::nullopt;
    qint64 total = 0;
    for (const QString &thread : threads)
        total += read(tasks.filePath(thread));
    return total;
}

// Every time a thread sleeps and is woken again counts as a context switch.
inline std::optional<qint64> contextSwitches(qint64 pid)
{
    return sumOverThreads(pid, [](const QString &thread) {
        QFile status(thread + QStringLiteral("/status"));
        qint64 switches = 0;
        if (!status.open(QIODevice::ReadOnly))
            return switches;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:") || line.startsWith("nonvoluntary_ctxt_switches:"))
                switches += line.split(':').last().trimmed().toLongLong();
        }
        return switches;
    });
}

// Time spent on a CPU in nanoseconds, as the scheduler counts it (finer than the 10 ms ticks of /proc/PID/stat).
inline std::optional<qint64> cpuNs(qint64 pid)
{
    return sumOverThreads(pid, [](const QString &thread) {
        QFile schedstat(thread + QStringLiteral("/schedstat"));
        return schedstat.open(QIODevice::ReadOnly) ? schedstat.readAll().split(' ').first().toLongLong() : qint64(0);
    });
}
