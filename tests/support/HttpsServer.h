// HttpsServer: a real HTTPS server on loopback, with a certificate authority only the tests trust.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>
#include <utility>

class QSslServer;
class QSslSocket;

namespace panemaker::test {

// The certificates of one test run: a CA made with the openssl command line tool in `directory`,
// and a server certificate it signs for 127.0.0.1 and localhost.
struct TestCertificates {
    QString caFile; // PEM of the CA certificate: what a client must trust
    QSslCertificate server;
    QSslKey serverKey;
    // Nothing (and the reason in *error) when openssl fails.
    static std::optional<TestCertificates> make(const QString &directory, QString *error = nullptr);
};

class HttpsServer final : public QObject {
public:
    struct Response {
        enum class Body { whole, truncated, endless };
        Response(int status = 200, QByteArray body = {}, Body kind = Body::whole)
            : status(status), body(std::move(body)), kind(kind)
        {
        }
        int status = 200;
        QByteArray body;
        QList<std::pair<QByteArray, QByteArray>> headers; // extra headers, e.g. Location
        // truncated: announces Content-Length of the whole body, sends half of it, then closes.
        // endless: chunked, 64 KiB chunks of 'x' until the client goes away.
        Body kind = Body::whole;
    };

    explicit HttpsServer(const TestCertificates &certificates, QObject *parent = nullptr);
    // Makes certificates in `directory`, has this process and the programs it starts trust them
    // (SSL_CERT_FILE) and listens with them; nothing, with the reason, when either fails.
    static std::unique_ptr<HttpsServer> startTrusted(const QString &directory, QString *error);
    bool listen(); // 127.0.0.1, a free port
    quint16 port() const;
    QUrl url(const QString &path) const; // path starts with "/"
    // Replaces an earlier response for the path (matched without its query).
    void serve(const QString &path, Response response);
    static Response redirect(const QUrl &to, int status = 302);
    int requests(const QString &path) const; // GETs received for the path
    int requests() const;                    // all requests

private:
    void accept(QSslSocket *socket);
    void answer(QSslSocket *socket, const QByteArray &head);

    QSslServer *m_server;
    QHash<QString, Response> m_responses;
    QHash<QString, int> m_gets;
    int m_requests = 0;
};

// The release manifest an update site serves: version 0.2.0 of this build, at `archive`.
QByteArray manifest(int build, const QUrl &archive, const QString &sha256 = QStringLiteral("00"));

} // namespace panemaker::test
