// The lock and the local socket between a running Panemaker and a later start.
#include "app/SingleInstance.h"

#include "platform/Log.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace panemaker {

namespace {

// A later start waits this long for the instance to listen, and a request this long for its answer.
constexpr int connectTimeoutMs = 2000;
constexpr int answerTimeoutMs = 5000;
// "reopen", or "action " and an action's name; anything longer is no message of ours.
constexpr qsizetype maximumMessageSize = 64;
const QByteArray reopenMessage = "reopen";
const QByteArray actionPrefix = "action ";

// Only this user may enter it: ours, no access for others, not a link to somewhere else.
bool isPrivateDirectory(const QString &path)
{
    struct stat status {};
    return !path.isEmpty() && QDir::isAbsolutePath(path) && lstat(QFile::encodeName(path).constData(), &status) == 0
           && S_ISDIR(status.st_mode) && status.st_uid == getuid() && (status.st_mode & 077) == 0;
}

QString privateDirectory()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (isPrivateDirectory(runtime))
        return runtime;
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!QDir::isAbsolutePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    const QString own = cache + QStringLiteral("/panemaker");
    QDir().mkpath(cache);
    mkdir(QFile::encodeName(own).constData(), 0700);
    return isPrivateDirectory(own) ? own : QString();
}

QString instanceName(QString displayName)
{
    return QStringLiteral("/panemaker-")
           + displayName.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9.]")), QStringLiteral("_"));
}

// Qt's X11 platform plugin ends the process with exit() when the X server goes away, past every
// destructor: the socket file is removed at exit then.
QByteArray listeningSocketPath;

void removeListeningSocket()
{
    if (!listeningSocketPath.isEmpty())
        unlink(listeningSocketPath.constData());
}

// The other end of a local socket runs as this user.
bool peerIsOwnUser(const QLocalSocket &socket)
{
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0
           && credentials.uid == getuid();
}

// Connects to the instance's socket: the holder of the lock may still be on its way to listening.
bool connectToInstance(QLocalSocket &socket, const QString &socketPath)
{
    const QDeadlineTimer deadline(connectTimeoutMs);
    while (!deadline.hasExpired()) {
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(int(deadline.remainingTime())))
            return peerIsOwnUser(socket);
        QThread::msleep(20);
    }
    return false;
}

bool handOver(const QString &socketPath)
{
    QLocalSocket socket;
    return connectToInstance(socket, socketPath) && socket.write(reopenMessage + '\n') > 0
           && socket.waitForBytesWritten(connectTimeoutMs);
}

} // namespace

SingleInstance::SingleInstance(const QString &displayName, QObject *parent) : QObject(parent), m_display(displayName) {}

SingleInstance::~SingleInstance()
{
    delete m_server; // removes the socket file while the lock still guards it
    listeningSocketPath.clear();
    if (m_lock >= 0)
        close(m_lock);
}

SingleInstance::Role SingleInstance::start(QString *error)
{
    const QString directory = privateDirectory();
    if (directory.isEmpty()) {
        *error = QStringLiteral("no private directory for the instance lock: set XDG_RUNTIME_DIR");
        return Role::failed;
    }
    const QString base = directory + instanceName(m_display);
    m_lock = open(QFile::encodeName(base + QStringLiteral(".lock")).constData(),
                  O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_lock < 0) {
        *error = QStringLiteral("can't open the instance lock in %1").arg(directory);
        return Role::failed;
    }
    const QString socketPath = base + QStringLiteral(".socket");
    if (flock(m_lock, LOCK_EX | LOCK_NB) != 0) {
        if (handOver(socketPath))
            return Role::handedOver;
        *error = QStringLiteral("another Panemaker runs on this display but does not answer");
        return Role::failed;
    }
    if (!listen(socketPath))
        Log::error(QStringLiteral("Couldn't listen for later starts; they will not reach this one"));
    return Role::first;
}

SingleInstance::Request SingleInstance::requestAction(const QString &displayName, SnapAction action, QString *message)
{
    const QString directory = privateDirectory();
    const QString base = directory + instanceName(displayName);
    // Nobody holds the lock: nothing runs, and there is no point in waiting for it to listen.
    const int lock =
        open(QFile::encodeName(base + QStringLiteral(".lock")).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    const bool held = lock >= 0 && flock(lock, LOCK_SH | LOCK_NB) != 0;
    if (lock >= 0)
        close(lock);
    if (directory.isEmpty() || !held) {
        *message = QStringLiteral("Panemaker is not running on %1").arg(displayName);
        return Request::notRunning;
    }
    QLocalSocket socket;
    if (!connectToInstance(socket, base + QStringLiteral(".socket"))) {
        *message = QStringLiteral("the running Panemaker does not answer");
        return Request::failed;
    }
    socket.write(actionPrefix + action.rawValue().toLatin1() + '\n');
    const QDeadlineTimer deadline(answerTimeoutMs);
    while (!socket.canReadLine() && socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired())
        socket.waitForReadyRead(int(deadline.remainingTime()));
    const QByteArray answer = socket.readLine(maximumMessageSize * 16).trimmed();
    if (answer == "done")
        return Request::done;
    if (answer.startsWith("refused ")) {
        // The reason may name a window's application: no control characters reach the terminal.
        *message = QString::fromUtf8(answer.sliced(8));
        for (QChar &c : *message) {
            if (c.category() == QChar::Other_Control)
                c = u'?';
        }
        return Request::refused;
    }
    *message = QStringLiteral("the running Panemaker did not answer");
    return Request::failed;
}

bool SingleInstance::listen(const QString &socketPath)
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // The lock is ours: whatever is at the socket's path was left by an instance that died.
    QLocalServer::removeServer(socketPath);
    if (!m_server->listen(socketPath))
        return false;
    static const bool removedAtExit = std::atexit(removeListeningSocket) == 0;
    if (removedAtExit)
        listeningSocketPath = QFile::encodeName(m_server->fullServerName());
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            if (!peerIsOwnUser(*socket)) {
                Log::error(QStringLiteral("Refused a start of Panemaker by another user"));
                socket->abort();
                continue;
            }
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        }
    });
    return true;
}

void SingleInstance::read(QLocalSocket *socket)
{
    const QByteArray pending = socket->peek(maximumMessageSize + 1);
    const qsizetype end = pending.indexOf('\n');
    if (end < 0 && pending.size() <= maximumMessageSize)
        return; // the rest is on its way
    // One message per connection: whatever follows it is not read.
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    const QByteArray message = end < 0 ? QByteArray() : pending.first(end);
    const std::optional<SnapAction> action =
        message.startsWith(actionPrefix)
            ? SnapAction::fromRawValue(QString::fromLatin1(message.sliced(actionPrefix.size())))
            : std::nullopt;
    if (message == reopenMessage) {
        Q_EMIT reopenRequested();
    } else if (action && onAction) {
        const std::optional<QString> refusal = onAction(*action);
        socket->write(refusal ? "refused " + refusal->toUtf8().replace('\n', ' ') + '\n' : QByteArray("done\n"));
    } else {
        Log::error(QStringLiteral("Dropped a malformed message from a later start"));
    }
    socket->disconnectFromServer();
}

} // namespace panemaker
