// The install steps, each started when the one before has ended, so that the event loop runs
// throughout: the download and both tar runs are waited for by signals, never by blocking.
#include "update/Installation.h"

#include "update/CodeSignature.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonValue>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace panemaker {

namespace {

const QString leftoverPrefix = QStringLiteral(".panemaker-update-");
const QString tar = QStringLiteral("/usr/bin/tar");
// A release holds a handful of files; a listing this long is no release of ours.
constexpr qsizetype maximumListingSize = 1024 * 1024;

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QByteArray path8(const QString &path)
{
    return QFile::encodeName(path);
}

// Running from a read-only filesystem or an AppImage's temporary mount, where a replaced copy
// would be gone, or refused, on the next start.
bool isTranslocated(const QString &bundle)
{
    struct statvfs filesystem {};
    return bundle.contains(QStringLiteral("/.mount_"))
           || (statvfs(path8(bundle).constData(), &filesystem) == 0 && (filesystem.f_flag & ST_RDONLY));
}

// A C-quoted name of tar's listing, without its quotes.
std::optional<QByteArray> unquote(QByteArrayView quoted)
{
    QByteArray name;
    for (qsizetype i = 0; i < quoted.size(); ++i) {
        if (quoted[i] != '\\') {
            name += quoted[i];
            continue;
        }
        if (++i == quoted.size())
            return std::nullopt;
        static const QByteArray escapes = "\\\\\"\"n\nt\ta\ab\bf\fr\rv\v??";
        if (const qsizetype at = escapes.indexOf(quoted[i]); at >= 0 && at % 2 == 0) {
            name += escapes[at + 1];
        } else if (const int code = i + 2 < quoted.size() ? quoted.sliced(i, 3).toByteArray().toInt(nullptr, 8) : 0;
                   code > 0 && code < 256) {
            name += char(code);
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return name;
}

// Swaps the two folders in one step, so that the bundle is at no moment missing; where the
// filesystem cannot, moves the old one aside and back again when the new one cannot follow.
bool exchange(const QString &staged, const QString &bundle, const QString &aside, QString *error)
{
    if (renameat2(AT_FDCWD, path8(staged).constData(), AT_FDCWD, path8(bundle).constData(), RENAME_EXCHANGE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        *error = QStringLiteral("couldn't exchange %1 with the update: %2").arg(bundle, systemError());
        return false;
    }
    if (std::rename(path8(bundle).constData(), path8(aside).constData()) != 0) {
        *error = QStringLiteral("couldn't move %1 aside: %2").arg(bundle, systemError());
        return false;
    }
    if (std::rename(path8(staged).constData(), path8(bundle).constData()) == 0)
        return true;
    *error = QStringLiteral("couldn't move the update to %1: %2").arg(bundle, systemError());
    std::rename(path8(aside).constData(), path8(bundle).constData());
    return false;
}

} // namespace

Installation::Installation(Updater::Release release, QString bundlePath, qint64 currentBuild, QByteArray designatedKey,
                           QObject *parent)
    : QObject(parent), m_release(std::move(release)), m_bundle(std::move(bundlePath)), m_currentBuild(currentBuild),
      m_key(std::move(designatedKey))
{
    m_tar.setProgram(tar);
    m_tar.setStandardErrorFile(QProcess::nullDevice());
}

Installation::~Installation()
{
    // An install cut short by the program's end reports nothing: whoever listened may be gone.
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
    m_tar.disconnect(this);
    if (m_tar.state() != QProcess::NotRunning) {
        m_tar.kill();
        m_tar.waitForFinished(1000);
    }
    removeTemporary();
}

void Installation::start(QNetworkAccessManager &manager, QNetworkRequest request)
{
    if (isTranslocated(m_bundle))
        return fail(QStringLiteral("the program runs from a read-only or temporary mount: %1").arg(m_bundle));
    const QString parent = QFileInfo(m_bundle).path();
    if (access(path8(parent).constData(), W_OK) != 0 || access(path8(m_bundle).constData(), W_OK) != 0)
        return fail(QStringLiteral("the folder %1 is not writable").arg(parent));

    QByteArray name = path8(parent + QLatin1Char('/') + leftoverPrefix + QString::number(getpid()) + "-XXXXXX");
    if (!mkdtemp(name.data()))
        return fail(QStringLiteral("couldn't create a temporary folder in %1: %2").arg(parent, systemError()));
    m_temporary = QFile::decodeName(name);

    m_archive.setFileName(inT(QStringLiteral("Panemaker.tar.gz")));
    // Unbuffered, so that a full disk shows at the write that did not fit.
    if (!m_archive.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return fail(QStringLiteral("couldn't create %1: %2").arg(m_archive.fileName(), m_archive.errorString()));
    request.setUrl(m_release.url);
    m_reply = manager.get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &Installation::received);
    connect(m_reply, &QNetworkReply::finished, this, &Installation::downloaded);
}

void Installation::received()
{
    const QByteArray data = m_reply->readAll();
    if (m_archive.size() + data.size() > Updater::maximumDownloadSize)
        m_failure = QStringLiteral("the download is larger than %1 bytes").arg(Updater::maximumDownloadSize);
    else if (m_archive.write(data) != data.size())
        m_failure = QStringLiteral("couldn't write %1: %2").arg(m_archive.fileName(), m_archive.errorString());
    if (m_failure)
        m_reply->abort();
}

void Installation::downloaded()
{
    m_reply->deleteLater();
    if (!m_failure && m_reply->error() == QNetworkReply::NoError)
        received();
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_failure)
        return fail(*m_failure);
    if (status != 0 && status != 200)
        return fail(QStringLiteral("server: the download answered HTTP %1").arg(status));
    if (m_reply->error() == QNetworkReply::OperationCanceledError) // what the transfer timeout does
        return fail(QStringLiteral("no answer within 120 s"));
    if (m_reply->error() != QNetworkReply::NoError || status != 200)
        return fail(m_reply->errorString());
    m_archive.close();

    QString error;
    const std::optional<QByteArray> digest = sha256Hex(m_archive.fileName(), &error);
    if (!digest)
        return fail(error);
    if (*digest != m_release.sha256.toLower().toLatin1())
        return fail(QStringLiteral("checksum: the download's SHA-256 is %1, the manifest's %2")
                        .arg(QString::fromLatin1(*digest), m_release.sha256));
    Q_EMIT stepFinished(Updater::Step::downloaded);

    // Listed before it is unpacked: tar would write what leaves the tree before anything
    // inside could be checked.
    m_tar.setArguments({QStringLiteral("--list"), QStringLiteral("--verbose"), QStringLiteral("--numeric-owner"),
                        QStringLiteral("--quoting-style=c"), QStringLiteral("--gzip"), QStringLiteral("--file"),
                        m_archive.fileName()});
    connect(&m_tar, &QProcess::readyReadStandardOutput, this, [this] {
        m_listing += m_tar.readAllStandardOutput();
        if (m_listing.size() > maximumListingSize)
            m_tar.kill();
    });
    connect(&m_tar, &QProcess::finished, this, &Installation::listed);
    m_tar.start();
}

void Installation::listed(int exitCode)
{
    disconnect(&m_tar, nullptr, this, nullptr);
    m_listing += m_tar.readAllStandardOutput();
    if (m_tar.exitStatus() != QProcess::NormalExit || exitCode != 0 || m_listing.size() > maximumListingSize)
        return fail(QStringLiteral("couldn't list the archive (tar exited with %1)").arg(exitCode));
    if (const std::optional<QString> refused = refusal(m_listing))
        return fail(*refused);
    const QString volume = inT(QStringLiteral("volume"));
    if (!QDir().mkdir(volume))
        return fail(QStringLiteral("couldn't create %1").arg(volume));
    // The modes are part of the signature, so the user's umask must not change them.
    m_tar.setArguments({QStringLiteral("--extract"), QStringLiteral("--gzip"), QStringLiteral("--file"),
                        m_archive.fileName(), QStringLiteral("--directory"), volume, QStringLiteral("--no-same-owner"),
                        QStringLiteral("--preserve-permissions")});
    m_tar.setStandardOutputFile(QProcess::nullDevice());
    connect(&m_tar, &QProcess::finished, this, &Installation::extracted);
    m_tar.start();
}

void Installation::extracted(int exitCode)
{
    disconnect(&m_tar, nullptr, this, nullptr);
    const QString volume = inT(QStringLiteral("volume"));
    const QString staged = inT(QStringLiteral("Panemaker"));
    std::optional<QString> moveError;
    if (m_tar.exitStatus() != QProcess::NormalExit || exitCode != 0)
        moveError = QStringLiteral("couldn't unpack the archive (tar exited with %1)").arg(exitCode);
    else if (std::rename(path8(volume + QStringLiteral("/Panemaker")).constData(), path8(staged).constData()) != 0)
        moveError = QStringLiteral("the archive holds no Panemaker folder: %1").arg(systemError());
    QDir(volume).removeRecursively();
    if (moveError)
        return fail(*moveError);
    Q_EMIT stepFinished(Updater::Step::extracted);

    QString error;
    if (!verify(staged, m_key, &error))
        return fail(QStringLiteral("signature: ") + error);
    Q_EMIT stepFinished(Updater::Step::verified);

    const std::optional<qint64> build = buildNumber(Bundle(staged).info(QStringLiteral("build")));
    if (!build || *build <= m_currentBuild)
        return fail(QStringLiteral("notNewer: the update's build %1 is not newer than %2")
                        .arg(build ? QString::number(*build) : QStringLiteral("(none)"))
                        .arg(m_currentBuild));
    if (!exchange(staged, m_bundle, inT(QStringLiteral("previous")), &error))
        return fail(error);
    Q_EMIT stepFinished(Updater::Step::replaced);
    finish(std::nullopt);
}

void Installation::finish(const std::optional<QString> &error)
{
    if (m_finished)
        return;
    m_finished = true;
    removeTemporary();
    Q_EMIT finished(error);
}

void Installation::removeTemporary()
{
    m_archive.close();
    if (!m_temporary.isEmpty())
        QDir(m_temporary).removeRecursively();
    m_temporary.clear();
}

void Installation::removeLeftovers(const QString &bundlePath)
{
    const QString parent = QFileInfo(bundlePath).path();
    static const QRegularExpression name(QLatin1Char('^') + QRegularExpression::escape(leftoverPrefix)
                                         + QStringLiteral("([0-9]+)-[A-Za-z0-9]{6}$"));
    for (const QString &entry : QDir(parent).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch match = name.match(entry);
        struct stat info {};
        const QString path = parent + QLatin1Char('/') + entry;
        // Only our own folders, of processes that are gone: another start may be installing.
        if (!match.hasMatch() || lstat(path8(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode)
            || info.st_uid != getuid())
            continue;
        const pid_t pid = match.captured(1).toInt();
        if (pid > 0 && pid != getpid() && kill(pid, 0) != 0 && errno == ESRCH)
            QDir(path).removeRecursively();
    }
}

std::optional<qint64> Installation::buildNumber(const QJsonValue &value)
{
    static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
    bool ok = false;
    const qint64 number =
        value.isString() && decimal.match(value.toString()).hasMatch() ? value.toString().toLongLong(&ok) : 0;
    return ok ? std::optional(number) : std::nullopt;
}

std::optional<QString> Installation::refusal(const QByteArray &listing)
{
    // "<type><permissions> <uid>/<gid> <size> <date> <time> "<name>"[ -> or link to "<target>"]"
    static const QRegularExpression entry(QStringLiteral(R"re(^(.)\S{9} \S+ +\S+ \S+ \S+ "((?:[^"\\]|\\.)*)".*$)re"));
    for (const QByteArray &line : listing.split('\n')) {
        if (line.isEmpty())
            continue;
        const QRegularExpressionMatch match = entry.match(QString::fromLatin1(line));
        if (!match.hasMatch())
            return QStringLiteral("the archive's listing has a line that is no entry: %1")
                .arg(QString::fromLatin1(line));
        const std::optional<QByteArray> name = unquote(match.captured(2).toLatin1());
        const QString shown = name ? QString::fromUtf8(*name) : match.captured(2);
        if (!name || name->startsWith('/'))
            return QStringLiteral("the archive holds an absolute path: %1").arg(shown);
        if (name->split('/').contains(".."))
            return QStringLiteral("the archive holds a path with \"..\": %1").arg(shown);
        if (*name != "Panemaker/" && !name->startsWith("Panemaker/"))
            return QStringLiteral("the archive holds a path outside Panemaker/: %1").arg(shown);
        // A link's target follows its name; its type letter alone tells it.
        if (const QString type = match.captured(1); type != QLatin1String("-") && type != QLatin1String("d"))
            return QStringLiteral("the archive holds a link or a special file: %1").arg(shown);
    }
    return std::nullopt;
}

} // namespace panemaker
