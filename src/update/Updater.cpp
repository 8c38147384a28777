// The update check, its schedule, and the install's outcome.
#include "update/Updater.h"

#include "platform/Log.h"
#include "update/Installation.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QProcess>

#include <array>
#include <cmath>
#include <gnu/libc-version.h>
#include <memory>
#include <unistd.h>

namespace panemaker {

namespace {

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;

const QString lastCheckKey = QStringLiteral("lastUpdateCheck");
constexpr qint64 checkAge = 20 * 60 * 60;
// A manifest is a few hundred bytes.
constexpr qint64 maximumManifestSize = 64 * 1024;

// Dotted numbers as (major, minor, patch); pieces that are no number are dropped, missing ones are 0.
std::array<int, 3> versionNumbers(const QString &dotted)
{
    std::array<int, 3> numbers{};
    std::size_t count = 0;
    for (const QString &piece : dotted.split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int number = piece.toInt(&ok);
        if (ok && count < numbers.size())
            numbers[count++] = number;
    }
    return numbers;
}

// "5 minutes ago", "yesterday": how long ago, in words.
QString relativeTime(const QDateTime &date, const QDateTime &now)
{
    const qint64 seconds = date.secsTo(now);
    const auto ago = [](qint64 count, QLatin1String unit, const char *one) {
        return count == 1 ? QString::fromLatin1(one) : QStringLiteral("%1 %2s ago").arg(count).arg(unit);
    };
    if (seconds < 60)
        return QStringLiteral("now");
    if (seconds < 3600)
        return ago(seconds / 60, "minute"_L1, "1 minute ago");
    if (seconds < 86400)
        return ago(seconds / 3600, "hour"_L1, "1 hour ago");
    const qint64 days = std::max<qint64>(date.date().daysTo(now.date()), 1);
    if (days < 7)
        return ago(days, "day"_L1, "yesterday");
    if (days < 30)
        return ago(days / 7, "week"_L1, "last week");
    if (days < 365)
        return ago(days / 30, "month"_L1, "last month");
    return ago(days / 365, "year"_L1, "last year");
}

} // namespace

std::optional<Updater::Release> Updater::Release::decode(const QByteArray &json, QString *error)
{
    const auto invalid = [error](const QString &reason) {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (!document.isObject())
        return invalid(parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                    : QStringLiteral("not a JSON object"));
    const QJsonObject object = document.object();
    for (const char *key : {"version", "build", "url", "sha256"})
        if (!object.contains(QLatin1String(key)))
            return invalid(QStringLiteral("no \"%1\"").arg(QLatin1String(key)));
    Release release;
    const QJsonValue build = object.value(QLatin1String("build"));
    // JSON numbers are doubles: an integer is one without a fraction, and exact.
    if (!build.isDouble() || build.toDouble() != double(build.toInteger()) || std::abs(build.toDouble()) > 9e15)
        return invalid(QStringLiteral("\"build\" is not an integer"));
    release.build = build.toInteger();
    for (const auto &[key, field] : {std::pair{"version", &release.version}, {"sha256", &release.sha256}}) {
        if (!object.value(QLatin1String(key)).isString())
            return invalid(QStringLiteral("\"%1\" is not a string").arg(QLatin1String(key)));
        *field = object.value(QLatin1String(key)).toString();
    }
    const QJsonValue url = object.value(QLatin1String("url"));
    release.url = QUrl(url.toString(), QUrl::StrictMode);
    // Over HTTPS only: a plain address would let anyone on the way see, and delay, every update.
    if (!url.isString() || !release.url.isValid() || release.url.scheme() != QLatin1String("https")
        || release.url.host().isEmpty())
        return invalid(QStringLiteral("\"url\" is not an HTTPS address"));
    const QJsonValue minimum = object.value(QLatin1String("minimumSystemVersion"));
    if (minimum.isString())
        release.minimumSystemVersion = minimum.toString();
    else if (!minimum.isUndefined() && !minimum.isNull())
        return invalid(QStringLiteral("\"minimumSystemVersion\" is not a string"));
    return release;
}

Updater::Updater(Preferences &prefs, Bundle bundle, QByteArray designatedKey, QObject *parent)
    : QObject(parent), m_prefs(prefs), m_bundle(std::move(bundle)), m_designatedKey(std::move(designatedKey))
{
    m_network.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    openSite = [](const QUrl &url) { QDesktopServices::openUrl(url); };
    relaunch = relaunchFrom;
}

Updater::~Updater()
{
    delete m_installation;
}

std::optional<QUrl> Updater::siteURL() const
{
    const QJsonValue site = m_bundle.info(QStringLiteral("site"));
    QString host = site.toString();
    while (host.startsWith(QLatin1Char('/')))
        host.remove(0, 1);
    while (host.endsWith(QLatin1Char('/')))
        host.chop(1);
    if (!site.isString() || host.isEmpty() || host.contains(QStringLiteral("$(")))
        return std::nullopt;
    return QUrl(QStringLiteral("https://") + host + QLatin1Char('/'));
}

std::optional<QUrl> Updater::manifestURL() const
{
    const std::optional<QUrl> site = siteURL();
    return site ? std::optional(site->resolved(QUrl(QStringLiteral("version.json")))) : std::nullopt;
}

qint64 Updater::currentBuild() const
{
    return Installation::buildNumber(m_bundle.info(QStringLiteral("build"))).value_or(0);
}

bool Updater::systemSatisfies(const Release &release)
{
    return !release.minimumSystemVersion
           || versionNumbers(QString::fromLatin1(gnu_get_libc_version()))
                  >= versionNumbers(*release.minimumSystemVersion);
}

std::optional<QDateTime> Updater::lastCheck() const
{
    return m_prefs.store().dateValue(lastCheckKey);
}

bool Updater::isPackageManaged() const
{
    return m_bundle.path() == QLatin1String("/usr");
}

QString Updater::statusText(const QDateTime &now) const
{
    switch (m_status.kind) {
    case Status::Kind::idle:
        if (m_release && isPackageManaged())
            return QStringLiteral("Version %1 is available from the package manager that installed Panemaker.")
                .arg(m_release->version);
        if (m_release)
            return QStringLiteral("Version ") + m_release->version + QStringLiteral(" is available.");
        if (const std::optional<QDateTime> last = lastCheck())
            return QStringLiteral("Last checked ") + relativeTime(*last, now) + QLatin1Char('.');
        return QStringLiteral("Not checked yet.");
    case Status::Kind::checking: return QStringLiteral("Checking for updates…");
    case Status::Kind::upToDate: return QStringLiteral("Panemaker is up to date.");
    case Status::Kind::installing: return QStringLiteral("Installing the update. Panemaker will reopen by itself.");
    case Status::Kind::failed: return m_status.message;
    }
    return {};
}

void Updater::start()
{
    Installation::removeLeftovers(m_bundle.path());
    if (!isConfigured())
        return;
    QTimer::singleShot(20s, this, &Updater::checkIfDue);
    m_timer.setInterval(4h);
    m_timer.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Updater::checkIfDue);
    m_timer.start();
}

void Updater::checkIfDue()
{
    if (!m_prefs.checkForUpdates())
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const std::optional<QDateTime> last = lastCheck();
    // A check dated in the future is from a clock that was wrong; waiting for it could take years.
    if (!last || *last > now || last->secsTo(now) > checkAge)
        checkNow();
}

namespace {

// Made when needed only: the first TLS configuration loads the system's certificates.
QNetworkRequest request(const QUrl &url, std::chrono::milliseconds timeout)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(int(timeout.count()));
    // As OpenSSL's own tools do: a certificate authority named in the environment is trusted too.
    if (const QString authorities = qEnvironmentVariable("SSL_CERT_FILE"); !authorities.isEmpty()) {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        ssl.addCaCertificates(authorities);
        request.setSslConfiguration(ssl);
    }
    return request;
}

} // namespace

void Updater::checkNow()
{
    const std::optional<QUrl> manifest = manifestURL();
    if (!manifest || m_status.kind == Status::Kind::checking || m_status.kind == Status::Kind::installing)
        return;
    setStatus({Status::Kind::checking, {}});
    QNetworkReply *reply = m_network.get(request(*manifest, 20s));
    auto tooLarge = std::make_shared<bool>(false);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply, tooLarge](qint64 received) {
        if (received > maximumManifestSize && !*tooLarge) {
            *tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, tooLarge] { checkFinished(reply, *tooLarge); });
}

void Updater::checkFinished(QNetworkReply *reply, bool tooLarge)
{
    reply->deleteLater();
    const int httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QString error;
    std::optional<Release> decoded;
    if (tooLarge)
        error = QStringLiteral("the manifest is larger than %1 bytes").arg(maximumManifestSize);
    else if (httpStatus != 0 && httpStatus != 200)
        error = QStringLiteral("server: HTTP %1").arg(httpStatus);
    else if (reply->error() == QNetworkReply::OperationCanceledError) // what the transfer timeout does
        error = QStringLiteral("no answer within 20 s");
    else if (reply->error() != QNetworkReply::NoError || httpStatus != 200)
        error = reply->errorString();
    else
        decoded = Release::decode(reply->readAll(), &error);
    // An install that started meanwhile keeps its status and its release.
    const bool installing = m_status.kind == Status::Kind::installing;
    if (!decoded) {
        Log::error(QStringLiteral("Update check failed: %1").arg(error));
        if (!installing)
            setStatus({Status::Kind::failed, QStringLiteral("Couldn't check for updates. Try again later.")});
        return;
    }
    m_prefs.store().setDate(lastCheckKey, QDateTime::currentDateTimeUtc());
    Log::info(QStringLiteral("Update check: latest %1 (%2), this is %3")
                  .arg(decoded->version)
                  .arg(decoded->build)
                  .arg(currentBuild()));
    if (installing)
        return;
    const bool offered = currentBuild() < decoded->build && systemSatisfies(*decoded);
    setRelease(offered ? decoded : std::nullopt);
    setStatus({offered ? Status::Kind::idle : Status::Kind::upToDate, {}});
}

void Updater::install()
{
    if (!m_release || m_status.kind == Status::Kind::installing)
        return;
    const std::optional<QUrl> site = siteURL();
    if (isPackageManaged()) {
        Log::info(QStringLiteral("Version %1 comes from the package manager; opened the update site")
                      .arg(m_release->version));
        if (site)
            openSite(*site);
        return;
    }
    setStatus({Status::Kind::installing, {}});
    m_installation = new Installation(*m_release, m_bundle.path(), currentBuild(), m_designatedKey, this);
    connect(m_installation, &Installation::stepFinished, this, &Updater::stepFinished);
    connect(m_installation, &Installation::finished, this, &Updater::installFinished);
    m_installation->start(m_network, request(m_release->url, 120s));
}

void Updater::installFinished(const std::optional<QString> &error)
{
    const QString version = m_release ? m_release->version : QString();
    m_installation->deleteLater();
    if (!error) {
        Log::info(QStringLiteral("Installed %1; relaunching").arg(version));
        relaunch(m_bundle.path());
        return;
    }
    Log::error(QStringLiteral("Update failed: %1").arg(*error));
    setStatus({Status::Kind::failed, QStringLiteral("Couldn't install the update, so the download page was opened.")});
    if (const std::optional<QUrl> site = siteURL())
        openSite(*site);
}

void Updater::setStatus(Status status)
{
    if (status == m_status)
        return;
    m_status = std::move(status);
    Q_EMIT statusChanged(m_status);
}

void Updater::setRelease(std::optional<Release> release)
{
    if (release == m_release)
        return;
    m_release = std::move(release);
    Q_EMIT releaseChanged(m_release);
}

void relaunchFrom(const QString &bundlePath)
{
    // Its own session, so that it outlives this process and whatever ends this process's group.
    const QString script =
        QStringLiteral("while /bin/kill -0 \"$0\" 2>/dev/null; do /bin/sleep 0.2; done; exec \"$1/bin/panemaker\"");
    if (!QProcess::startDetached(QStringLiteral("/usr/bin/setsid"), {QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                                                                     script, QString::number(getpid()), bundlePath}))
        Log::error(QStringLiteral("Couldn't start the shell that reopens Panemaker"));
    QCoreApplication::quit();
}

} // namespace panemaker
