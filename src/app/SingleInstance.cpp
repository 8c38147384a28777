// The local socket between a running Panemaker and a second start.
#include "app/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>

#include <unistd.h>

namespace panemaker {

namespace {

constexpr int handOverTimeoutMs = 2000;
const QByteArray reopenMessage = "reopen\n";

} // namespace

SingleInstance::SingleInstance(const QString &displayName, QObject *parent) : QObject(parent)
{
    QString display = displayName;
    display.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9.]")), QStringLiteral("_"));
    m_name = QStringLiteral("panemaker-%1-%2").arg(getuid()).arg(display);
}

bool SingleInstance::handOver()
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(handOverTimeoutMs))
        return false;
    socket.write(reopenMessage);
    return socket.waitForBytesWritten(handOverTimeoutMs);
}

bool SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Nobody answered, so a socket file left there belongs to an instance that died.
    QLocalServer::removeServer(m_name);
    if (!m_server->listen(m_name))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains(reopenMessage))
                    Q_EMIT reopenRequested();
                socket->disconnectFromServer();
            });
        }
    });
    return true;
}

} // namespace panemaker
