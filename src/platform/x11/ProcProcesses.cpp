// This user's processes read from /proc; every entry may vanish while it is read.
#include "platform/x11/ProcProcesses.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <optional>

#include <signal.h>
#include <unistd.h>

namespace panemaker::x11 {

namespace {

QByteArray readSmallFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(64 * 1024);
}

// The real uid: the first number of the "Uid:" line.
std::optional<uint> realUid(const QByteArray &status)
{
    for (const QByteArray &line : status.split('\n')) {
        if (!line.startsWith("Uid:"))
            continue;
        bool ok = false;
        const uint uid = line.mid(4).simplified().split(' ').value(0).toUInt(&ok);
        return ok ? std::optional(uid) : std::nullopt;
    }
    return std::nullopt;
}

// Snapping tools are often scripts; for them `comm` names only the interpreter.
bool isInterpreter(const QString &comm)
{
    static const QRegularExpression interpreters(
        QStringLiteral("^(python[0-9.]*|perl[0-9.]*|ruby[0-9.]*|node|nodejs|lua[0-9.]*|gjs|sh|bash|dash|zsh|ksh)$"));
    return interpreters.match(comm).hasMatch();
}

// The script's base name: the first argument that is not an option, which is also the module
// of `python -m module`; nothing for a command line (`-c`, `-e`) or no script at all.
QString scriptName(const QByteArray &cmdline)
{
    const QList<QByteArray> args = cmdline.split('\0');
    for (const QByteArray &arg : args.mid(1)) {
        if (arg == "-c" || arg == "-e")
            return {};
        if (!arg.isEmpty() && !arg.startsWith('-'))
            return QFileInfo(QString::fromLocal8Bit(arg)).fileName();
    }
    return {};
}

} // namespace

ProcProcesses::ProcProcesses(QString procRoot) : m_root(std::move(procRoot)) {}

QList<RunningProcess> ProcProcesses::running() const
{
    const uint ourUid = getuid();
    QList<RunningProcess> result;
    const QStringList entries = QDir(m_root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        const std::int32_t pid = entry.toInt(&isPid);
        if (!isPid || pid <= 0)
            continue;
        const QString dir = m_root + u'/' + entry + u'/';
        if (realUid(readSmallFile(dir + QStringLiteral("status"))) != ourUid)
            continue;
        QString name = QString::fromLocal8Bit(readSmallFile(dir + QStringLiteral("comm"))).trimmed();
        if (isInterpreter(name)) {
            const QString script = scriptName(readSmallFile(dir + QStringLiteral("cmdline")));
            if (!script.isEmpty())
                name = script;
        }
        if (!name.isEmpty())
            result.append({pid, name});
    }
    return result;
}

void ProcProcesses::terminate(std::int32_t pid)
{
    if (pid > 0)
        ::kill(pid, SIGTERM);
}

} // namespace panemaker::x11
