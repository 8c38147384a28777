// HttpsServer: a real HTTPS server on loopback, with a certificate authority only the tests trust.
#include "support/HttpsServer.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslServer>
#include <QSslSocket>

#include <memory>

namespace panemaker::test {

namespace {

// Our own configuration, so the system's openssl.cnf cannot add or drop extensions.
constexpr char config[] = R"([req]
distinguished_name = name
x509_extensions = ca
[name]
[ca]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
)";

constexpr char serverExtensions[] = R"(subjectAltName = IP:127.0.0.1, DNS:localhost
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
)";

bool openssl(const QString &directory, const QStringList &arguments, QString *error)
{
    QProcess process;
    process.setWorkingDirectory(directory);
    process.start(QStringLiteral("openssl"), arguments);
    const bool finished = process.waitForFinished(20000);
    if (finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    if (error) {
        *error = QStringLiteral("openssl %1: %2 %3")
                     .arg(arguments.join(u' '),
                          process.error() == QProcess::UnknownError ? QString() : process.errorString(),
                          QString::fromLocal8Bit(process.readAllStandardError()).trimmed());
    }
    process.kill();
    process.waitForFinished(1000);
    return false;
}

bool write(const QString &path, const QByteArray &contents, QString *error)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size())
        return true;
    if (error)
        *error = path + QStringLiteral(": ") + file.errorString();
    return false;
}

QByteArray reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 404: return "Not Found";
    default: return "Status";
    }
}

// Keeps at most this much unsent, so an endless body follows the client's pace.
constexpr qint64 backlog = 256 * 1024;

void sendEndless(QSslSocket *socket)
{
    static const QByteArray chunk = "10000\r\n" + QByteArray(64 * 1024, 'x') + "\r\n";
    while (socket->state() == QAbstractSocket::ConnectedState
           && socket->bytesToWrite() + socket->encryptedBytesToWrite() < backlog)
        socket->write(chunk);
}

} // namespace

std::optional<TestCertificates> TestCertificates::make(const QString &directory, QString *error)
{
    const QDir dir(directory);
    const QStringList key = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    if (!write(dir.filePath("openssl.cnf"), config, error)
        || !write(dir.filePath("server.ext"), serverExtensions, error)
        || !openssl(
            directory,
            QStringList{"req", "-x509", "-config", "openssl.cnf"} + key
                + QStringList{"-keyout", "ca.key", "-out", "ca.pem", "-subj", "/CN=Panemaker test CA", "-days", "2"},
            error)
        || !openssl(directory,
                    QStringList{"req", "-new", "-config", "openssl.cnf"} + key
                        + QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1"},
                    error)
        || !openssl(directory,
                    {"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
                     "-days", "2", "-extfile", "server.ext", "-out", "server.pem"},
                    error))
        return std::nullopt;

    TestCertificates certificates;
    certificates.caFile = dir.filePath("ca.pem");
    const QList<QSslCertificate> server = QSslCertificate::fromPath(dir.filePath("server.pem"));
    QFile keyFile(dir.filePath("server.key"));
    if (server.size() != 1 || !keyFile.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("openssl wrote no readable server certificate or key in ") + directory;
        return std::nullopt;
    }
    certificates.server = server.first();
    certificates.serverKey = QSslKey(keyFile.readAll(), QSsl::Ec);
    if (certificates.serverKey.isNull()) {
        if (error)
            *error = QStringLiteral("Qt cannot read the server key openssl wrote in ") + directory;
        return std::nullopt;
    }
    return certificates;
}

HttpsServer::HttpsServer(const TestCertificates &certificates, QObject *parent)
    : QObject(parent), m_server(new QSslServer(this))
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(certificates.server);
    configuration.setPrivateKey(certificates.serverKey);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_server->setSslConfiguration(configuration);
    // The server hands out a socket once its handshake is over; failed handshakes never arrive.
    connect(m_server, &QSslServer::pendingConnectionAvailable, this, [this] {
        while (QTcpSocket *socket = m_server->nextPendingConnection())
            accept(static_cast<QSslSocket *>(socket));
    });
}

bool HttpsServer::listen()
{
    return m_server->listen(QHostAddress::LocalHost, 0);
}

quint16 HttpsServer::port() const
{
    return m_server->serverPort();
}

QUrl HttpsServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("https://127.0.0.1:%1%2").arg(port()).arg(path));
}

void HttpsServer::serve(const QString &path, Response response)
{
    m_responses.insert(path, std::move(response));
}

HttpsServer::Response HttpsServer::redirect(const QUrl &to, int status)
{
    Response response;
    response.status = status;
    response.headers.append({"Location", to.toEncoded()});
    return response;
}

int HttpsServer::requests(const QString &path) const
{
    return m_gets.value(path);
}

int HttpsServer::requests() const
{
    return m_requests;
}

void HttpsServer::accept(QSslSocket *socket)
{
    connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    // The request head so far; it is answered once, anything the client sends after it is dropped.
    auto head = std::make_shared<std::optional<QByteArray>>(QByteArray());
    const auto read = [this, socket, head] {
        const QByteArray data = socket->readAll();
        if (!*head)
            return;
        (*head)->append(data);
        const qsizetype end = (*head)->indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray request = (*head)->left(end);
        head->reset();
        answer(socket, request);
    };
    connect(socket, &QSslSocket::readyRead, this, read);
    // The request may have come with the end of the handshake.
    if (socket->bytesAvailable() > 0)
        read();
}

void HttpsServer::answer(QSslSocket *socket, const QByteArray &head)
{
    ++m_requests;
    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    const QByteArray method = requestLine.value(0);
    const QString target = QString::fromUtf8(requestLine.value(1));
    const QString path = target.left(target.indexOf(u'?'));
    if (method == "GET")
        ++m_gets[path];

    Response response;
    if (const auto found = m_responses.constFind(path); method == "GET" && found != m_responses.cend()) {
        response = *found;
    } else {
        response.status = 404;
        response.body = "Not found: " + path.toUtf8() + '\n';
    }

    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reason(response.status) + "\r\n";
    bool typed = false;
    for (const auto &[name, value] : std::as_const(response.headers)) {
        out += name + ": " + value + "\r\n";
        typed = typed || name.compare("Content-Type", Qt::CaseInsensitive) == 0;
    }
    if (!typed)
        out += "Content-Type: application/octet-stream\r\n";
    if (response.kind == Response::Body::endless)
        out += "Transfer-Encoding: chunked\r\n";
    else
        out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";

    switch (response.kind) {
    case Response::Body::whole: socket->write(out + response.body); break;
    case Response::Body::truncated: socket->write(out + response.body.left(response.body.size() / 2)); break;
    case Response::Body::endless: {
        socket->write(out);
        // Refilled as the network takes the data; stops when the client goes (the socket closes).
        connect(socket, &QSslSocket::encryptedBytesWritten, socket, [socket] { sendEndless(socket); });
        sendEndless(socket);
        return;
    }
    }
    // Closes once everything written has gone out.
    socket->disconnectFromHost();
}

std::unique_ptr<HttpsServer> HttpsServer::startTrusted(const QString &directory, QString *error)
{
    QDir().mkpath(directory);
    const std::optional<TestCertificates> certificates = TestCertificates::make(directory, error);
    if (!certificates)
        return nullptr;
    qputenv("SSL_CERT_FILE", QFile::encodeName(certificates->caFile));
    auto server = std::make_unique<HttpsServer>(*certificates);
    if (server->listen())
        return server;
    *error = QStringLiteral("the server cannot listen");
    return nullptr;
}

QByteArray manifest(int build, const QUrl &archive, const QString &sha256)
{
    return QJsonDocument(
               QJsonObject{{"version", "0.2.0"}, {"build", build}, {"url", archive.toString()}, {"sha256", sha256}})
        .toJson();
}

} // namespace panemaker::test
