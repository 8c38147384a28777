// panemaker-release: makes the release key, and signs and packs an application directory into
// Panemaker.tar.gz with the version.json that announces it.
#include "update/CodeSignature.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSaveFile>

#include <algorithm>
#include <cstdio>
#include <optional>

using namespace panemaker;

namespace {

const char *const usage =
    "usage: panemaker-release keygen KEYFILE | public-key KEYFILE | pack DIRECTORY KEYFILE OUTDIR --url URL "
    "[--minimum-system-version V] | verify DIRECTORY PUBLICKEY_BASE64\n";

int failure(const QString &text)
{
    std::fprintf(stderr, "panemaker-release: %s\n", qPrintable(QString(text).replace(u'\n', u' ')));
    return 1;
}

int printKey(const std::optional<QByteArray> &key, const QString &error)
{
    if (!key)
        return failure(error);
    std::printf("%s\n", key->toBase64().constData());
    return 0;
}

struct Info {
    QString version;
    int build = 0;
};

// The bundle's own information list says which release this is; without it nothing is packed.
std::optional<Info> readInfo(const QString &directory, QString *error)
{
    QFile file(directory + QStringLiteral("/share/panemaker/info.json"));
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(file.fileName());
        return std::nullopt;
    }
    const QJsonObject info = QJsonDocument::fromJson(file.readAll()).object();
    const QString build = info.value(u"build").toString();
    const bool digits =
        !build.isEmpty() && std::all_of(build.begin(), build.end(), [](QChar c) { return c.isDigit(); });
    bool inRange = false;
    const int number = build.toInt(&inRange);
    if (!digits || !inRange || info.value(u"version").toString().isEmpty()) {
        *error = QStringLiteral("%1 lacks a \"version\" or a decimal \"build\"").arg(file.fileName());
        return std::nullopt;
    }
    return Info{info.value(u"version").toString(), number};
}

int pack(const QString &directory, const QString &keyFile, const QString &outDir, const QString &url,
         const QString &minimumSystemVersion)
{
    QString error;
    const auto info = readInfo(directory, &error);
    if (!info)
        return failure(error);
    const QString bundle = QDir(directory).canonicalPath();
    if (!QDir().mkpath(outDir))
        return failure(QStringLiteral("cannot create %1").arg(outDir));
    const QString out = QDir(outDir).canonicalPath();
    if (out == bundle || out.startsWith(bundle + u'/'))
        return failure(QStringLiteral("%1 is inside the directory it would pack").arg(outDir));
    if (!sign(directory, keyFile, &error))
        return failure(error);

    // Names sorted and owners zeroed so the archive depends on the files only; the top
    // directory is renamed rather than staged to avoid copying the bundle.
    const QString archive = out + QStringLiteral("/Panemaker.tar.gz");
    QProcess tar;
    tar.start(QStringLiteral("/usr/bin/tar"),
              {"--create", "--gzip", "--file", archive, "--sort=name", "--numeric-owner", "--owner=0", "--group=0",
               "--transform=s,^\\.,Panemaker,", "--directory", bundle, "."});
    if (!tar.waitForFinished(-1) || tar.exitStatus() != QProcess::NormalExit || tar.exitCode() != 0) {
        QFile::remove(archive);
        return failure(
            QStringLiteral("tar failed: %1").arg(QString::fromLocal8Bit(tar.readAllStandardError()).trimmed()));
    }
    const auto hash = sha256Hex(archive, &error);
    if (!hash)
        return failure(error);

    QJsonObject manifest{
        {"version", info->version}, {"build", info->build}, {"url", url}, {"sha256", QString::fromLatin1(*hash)}};
    if (!minimumSystemVersion.isEmpty())
        manifest.insert(u"minimumSystemVersion", minimumSystemVersion);
    QSaveFile file(out + QStringLiteral("/version.json"));
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(manifest).toJson()) < 0 || !file.commit())
        return failure(QStringLiteral("cannot write %1").arg(file.fileName()));
    std::printf("%s\n%s\n", qPrintable(archive), qPrintable(file.fileName()));
    return 0;
}

int run(QStringList arguments)
{
    const QString command = arguments.value(0);
    QString url, minimumSystemVersion;
    QStringList positional;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (command == u"pack" && (argument == u"--url" || argument == u"--minimum-system-version")
            && i + 1 < arguments.size())
            (argument == u"--url" ? url : minimumSystemVersion) = arguments[++i];
        else if (argument.startsWith(u"--"))
            return -1;
        else
            positional.append(argument);
    }
    QString error;
    if (command == u"keygen" && positional.size() == 1)
        return printKey(generateKey(positional[0], &error), error);
    if (command == u"public-key" && positional.size() == 1)
        return printKey(publicKeyOf(positional[0], &error), error);
    if (command == u"pack" && positional.size() == 3 && !url.isEmpty())
        return pack(positional[0], positional[1], positional[2], url, minimumSystemVersion);
    if (command == u"verify" && positional.size() == 2) {
        const auto key =
            QByteArray::fromBase64Encoding(positional[1].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!key || key.decoded.size() != 32)
            return failure(QStringLiteral("not the base64 of a 32-byte public key: %1").arg(positional[1]));
        return verify(positional[0], key.decoded, &error) ? 0 : failure(error);
    }
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const int status = run(application.arguments().mid(1));
    if (status >= 0)
        return status;
    std::fputs(usage, stderr);
    return 2;
}
