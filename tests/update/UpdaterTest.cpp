// UpdaterTest: the updater against a real HTTPS server on loopback, with releases packed and
// signed by the real release tool and unpacked by the real tar. Every failed install must leave
// the installed folder exactly as it was and nothing beside it.
#include "update/Updater.h"

#include "support/HttpsServer.h"
#include "support/LogCapture.h"
#include "update/TreeDigest.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gnu/libc-version.h>
#include <unistd.h>

using namespace panemaker;
using namespace panemaker::test;

namespace {

const QString releaseTool = QStringLiteral(PANEMAKER_RELEASE_TOOL);
using Kind = Updater::Status::Kind;

// Runs a shell script in $1 (made if missing); the arguments follow as $2, $3...
QByteArray sh(const QString &directory, const QString &script, const QStringList &arguments = {})
{
    QProcess process;
    process.start("sh", QStringList{"-c", R"(set -e; mkdir -p "$1"; cd "$1"; )" + script, "sh", directory} + arguments);
    process.waitForFinished(60000);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        qWarning("%s failed: %s", qPrintable(script), process.readAllStandardError().constData());
    return process.exitCode() == 0 ? process.readAllStandardOutput() : "failed";
}

// An installed bundle's files, with $2 as its build and $3 as its update site.
const QString bundleTree = R"(mkdir -p bin share/panemaker && printf '\177ELF %s' "$2" > bin/panemaker &&
chmod 755 bin/panemaker && printf '{"version": "0.%s.0", "build": "%s", "site": "%s"}' "$2" "$2" "$3" > share/panemaker/info.json)";

QByteArray sha256(const QString &file)
{
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
}

} // namespace

class UpdaterTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<HttpsServer> m_server;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString site() const { return QStringLiteral("127.0.0.1:%1/updates/").arg(m_server->port()); }

    // The archive of a release: the bundle with build $2, packed and signed, then spoilt by `spoil`
    // in the folder that holds Panemaker/ and the archive.
    QString release(const QString &name, const QString &spoil = QString(), int build = 2,
                    const QString &key = "key.pem")
    {
        const QString work = path("releases/" + name);
        sh(work + "/Panemaker", bundleTree, {QString::number(build), site()});
        sh(work,
           QString("\"$2\" pack Panemaker \"$3\" . --url u > /dev/null && tar -xzf Panemaker.tar.gz && ")
               + (spoil.isEmpty() ? "true" : spoil),
           {releaseTool, path(key)});
        return work + "/Panemaker.tar.gz";
    }

    struct Installed {
        QString root, bundle;
        std::unique_ptr<Preferences> prefs;
        std::unique_ptr<Updater> updater;
        QList<QUrl> opened;
        QStringList relaunched;
    };

    // A bundle of build 1 in its own folder, and an updater for it that has been offered the
    // release that the server's manifest names.
    std::unique_ptr<Installed> installed(const QString &name, const QString &root = QString())
    {
        auto i = std::make_unique<Installed>();
        i->root = root.isEmpty() ? path("installed/" + name) : root;
        i->bundle = i->root + "/Panemaker";
        sh(i->bundle, bundleTree, {"1", site()});
        i->prefs = std::make_unique<Preferences>(path("prefs/" + name + ".conf"));
        i->updater = std::make_unique<Updater>(*i->prefs, Bundle(i->bundle), m_key);
        i->updater->openSite = [i = i.get()](const QUrl &url) { i->opened.append(url); };
        i->updater->relaunch = [i = i.get()](const QString &bundle) { i->relaunched.append(bundle); };
        return i;
    }

    void offer(const QString &archive, const QByteArray &digest = {})
    {
        QFile file(archive);
        QVERIFY(file.open(QIODevice::ReadOnly));
        m_server->serve("/archive.tar.gz", {200, file.readAll()});
        serveManifest(2, digest.isEmpty() ? sha256(archive) : digest);
    }

    void serveManifest(int build, const QByteArray &digest = "00")
    {
        m_server->serve("/updates/version.json", {200, manifest(build, m_server->url("/archive.tar.gz"), digest)});
    }

    QByteArray m_key;

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        m_server = HttpsServer::startTrusted(m_dir.path(), &error);
        QVERIFY2(m_server, qPrintable(error));
        m_key = QByteArray::fromBase64(
            sh(path("."), "\"$2\" keygen key.pem && \"$2\" keygen other.pem >/dev/null", {releaseTool}).trimmed());
        QCOMPARE(m_key.size(), 32);
    }

    void checkOffersOnlyANewerBuildForThisSystem_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("offered");
        const auto manifest = [](const QByteArray &extra) {
            return "{\"version\": \"0.2.0\", \"build\": 2, \"url\": \"https://h/a.tar.gz\", \"sha256\": \"ab\"" + extra
                   + "}";
        };
        const QByteArray newerSystem = QByteArray(gnu_get_libc_version()).replace(".", ".9");
        QTest::newRow("newer build") << manifest("") << int(Kind::idle) << true;
        QTest::newRow("same build") << manifest("").replace("2,", "1,") << int(Kind::upToDate) << false;
        QTest::newRow("system too old") << manifest(", \"minimumSystemVersion\": \"" + newerSystem + "\"")
                                        << int(Kind::upToDate) << false;
        QTest::newRow("unknown keys, odd version")
            << manifest(", \"minimumSystemVersion\": \"2.x.3\", \"notes\": [1]") << int(Kind::idle) << true;
        QTest::newRow("not JSON") << QByteArray("<html>") << int(Kind::failed) << false;
        QTest::newRow("no sha256") << manifest("").replace(", \"sha256\": \"ab\"", "") << int(Kind::failed) << false;
        QTest::newRow("build as text") << manifest("").replace("2,", "\"2\",") << int(Kind::failed) << false;
        QTest::newRow("endless manifest") << QByteArray("endless") << int(Kind::failed) << false;
        QTest::newRow("plain HTTP download") << manifest("").replace("https:", "http:") << int(Kind::failed) << false;
    }

    void checkOffersOnlyANewerBuildForThisSystem()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, kind);
        QFETCH(bool, offered);
        const auto i = installed(QTest::currentDataTag());
        QCOMPARE(i->updater->manifestURL(), m_server->url("/updates/version.json"));
        m_server->serve("/updates/version.json",
                        body == "endless" ? HttpsServer::Response(200, {}, HttpsServer::Response::Body::endless)
                                          : HttpsServer::Response(200, body));
        LogCapture log;
        i->updater->checkNow();
        QCOMPARE(i->updater->statusText(), "Checking for updates…");
        QTRY_VERIFY(i->updater->status().kind != Kind::checking);
        QCOMPARE(int(i->updater->status().kind), kind);
        QCOMPARE(i->updater->release().has_value(), offered);
        QCOMPARE(i->updater->lastCheck().has_value(), kind != int(Kind::failed));
        if (kind == int(Kind::failed)) {
            QCOMPARE(i->updater->statusText(), "Couldn't check for updates. Try again later.");
            QVERIFY(log.errors().value(0).startsWith("Update check failed: "));
        } else {
            QCOMPARE(log.events().last(), QStringLiteral("Update check: latest 0.2.0 (%1), this is 1")
                                              .arg(body.contains("\"build\": 1") ? 1 : 2));
        }
    }

    void checkIsDueOnceADayAndKeepsAnOfferThroughFailures()
    {
        const auto i = installed("schedule");
        serveManifest(2);
        const int before = m_server->requests();
        // The one timer that may wake the program while idle, and only with an update site.
        Updater unconfigured(*i->prefs, Bundle("/opt/panemaker", {{"build", "1"}}), m_key);
        unconfigured.start();
        i->updater->start();
        QVERIFY(!unconfigured.findChild<QTimer *>()->isActive());
        const QTimer *timer = i->updater->findChild<QTimer *>();
        QVERIFY(timer->isActive() && timer->interval() == 4 * 3600 * 1000);
        i->prefs->setCheckForUpdates(false);
        i->updater->checkIfDue();
        QCOMPARE(i->updater->statusText(), "Not checked yet.");
        i->prefs->setCheckForUpdates(true);
        i->prefs->store().setDate("lastUpdateCheck", QDateTime::currentDateTimeUtc().addSecs(-19 * 3600));
        i->updater->checkIfDue();
        QCOMPARE(m_server->requests(), before);
        QCOMPARE(i->updater->statusText(), "Last checked 19 hours ago.");

        i->prefs->store().setDate("lastUpdateCheck", QDateTime::currentDateTimeUtc().addSecs(-21 * 3600));
        i->updater->checkIfDue();
        i->updater->checkNow(); // while one runs: nothing
        QTRY_COMPARE(int(i->updater->status().kind), int(Kind::idle));
        QCOMPARE(m_server->requests(), before + 1);
        QCOMPARE(i->updater->statusText(), "Version 0.2.0 is available.");

        m_server->serve("/updates/version.json", {500, "down"});
        i->updater->checkNow();
        QTRY_COMPARE(int(i->updater->status().kind), int(Kind::failed));
        QVERIFY(i->updater->release());
        i->prefs->store().setDate("lastUpdateCheck", QDateTime::currentDateTimeUtc().addDays(300));
        i->updater->checkIfDue(); // a date in the future is no recent check
        QCOMPARE(int(i->updater->status().kind), int(Kind::checking));
    }

    void installReplacesTheBundleAndRelaunches_data()
    {
        QTest::addColumn<bool>("upperCaseDigest");
        QTest::newRow("digest in lower case") << false;
        QTest::newRow("digest in upper case") << true;
    }

    void installReplacesTheBundleAndRelaunches()
    {
        QFETCH(bool, upperCaseDigest);
        const QString archive = release(QString("good-%1").arg(upperCaseDigest));
        const auto i = installed(QTest::currentDataTag());
        offer(archive, upperCaseDigest ? sha256(archive).toUpper() : QByteArray());
        i->updater->checkNow();
        QTRY_VERIFY(i->updater->release());
        QSignalSpy steps(i->updater.get(), &Updater::stepFinished);
        LogCapture log;
        i->updater->checkNow(); // ends while the install runs, and must leave it be
        i->updater->install();
        i->updater->install(); // a second one while the first runs: nothing
        QCOMPARE(i->updater->statusText(), "Installing the update. Panemaker will reopen by itself.");
        QTRY_COMPARE(i->relaunched, QStringList{i->bundle});
        QCOMPARE(int(i->updater->status().kind), int(Kind::installing));
        QCOMPARE(steps.size(), 4);
        QCOMPARE(steps.last().first().value<Updater::Step>(), Updater::Step::replaced);
        QCOMPARE(treeDigest(i->bundle), treeDigest(QFileInfo(archive).path() + "/Panemaker"));
        QCOMPARE(QDir(i->root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"Panemaker"});
        QVERIFY(log.events().contains("Installed 0.2.0; relaunching"));
        QCOMPARE(m_server->requests("/archive.tar.gz"), 1 + upperCaseDigest); // the first row's too
    }

    void failedInstallLeavesTheBundleAsItWas_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("serving"); // how the server answers for the archive
        QTest::addColumn<QString>("reason");  // a pattern of the log line
        const auto row = [](const char *name, const QString &archive, const QString &serving, const QString &reason) {
            QTest::newRow(name) << archive << serving << reason;
        };
        const QString good = release("good");
        const QString repack = " && tar -czf Panemaker.tar.gz Panemaker";
        row("wrong checksum", good, "wrong digest", "checksum");
        row("signed by another key", release("other", {}, 2, "other.pem"), "", "signature");
        row("file added after signing", release("added", "touch Panemaker/bin/x" + repack), "", "signature");
        row("file changed after signing", release("changed", "echo x >> Panemaker/bin/panemaker" + repack), "",
            "signature");
        row("../ path",
            release("dotdot", "tar -czf Panemaker.tar.gz Panemaker Panemaker/bin "
                              "--transform 's,^Panemaker/bin$,Panemaker/../../bin,'"),
            "", "\"..\"");
        row("absolute path",
            release("absolute", "tar -czPf Panemaker.tar.gz Panemaker \"$PWD/Panemaker/bin/panemaker\""), "",
            "absolute path");
        row("link leaving the tree", release("link", "ln -s /etc Panemaker/etc" + repack), "", "archive holds a link");
        row("build not newer", release("same", {}, 1), "", "notNewer");
        row("404", good, "nothing", "server: the download answered HTTP 404");
        row("redirect to plain HTTP", good, "redirect", "HTTP 302");
        row("truncated download", good, "truncated", "closed");
        row("far larger than a release", good, "endless", "larger than");
        row("unwritable folder", good, "unwritable", "read-only|not writable");
        row("disk full",
            release("big", "head -c 3000000 /dev/urandom > Panemaker/bin/big && "
                           "\"$2\" pack Panemaker \"$3\" . --url u >/dev/null"),
            "full disk", "couldn't write");
    }

    void failedInstallLeavesTheBundleAsItWas()
    {
        QFETCH(QString, archive);
        QFETCH(QString, serving);
        QFETCH(QString, reason);
        const QString root = path("installed/") + QTest::currentDataTag();
        const bool isRoot = getuid() == 0;
        if (serving == "full disk" && !(isRoot && sh(root, "mount -t tmpfs -o size=1m tmpfs .") != "failed"))
            QSKIP("needs root to mount a small filesystem");
        const auto i = installed(QTest::currentDataTag(), root);
        offer(archive, serving == "wrong digest" ? QByteArray(64, 'a') : QByteArray());
        i->updater->checkNow();
        QTRY_VERIFY(i->updater->release());
        if (serving == "nothing")
            m_server->serve("/archive.tar.gz", {404, "no"});
        if (serving == "redirect")
            m_server->serve("/archive.tar.gz", HttpsServer::redirect(QUrl("http://127.0.0.1:1/archive.tar.gz")));
        if (serving == "truncated" || serving == "endless") {
            QFile f(archive);
            QVERIFY(f.open(QIODevice::ReadOnly));
            HttpsServer::Response response(200, f.readAll());
            response.kind =
                serving == "truncated" ? HttpsServer::Response::Body::truncated : HttpsServer::Response::Body::endless;
            m_server->serve("/archive.tar.gz", response);
        }
        if (serving == "unwritable")
            QCOMPARE(sh(root, isRoot ? "mount --bind . . && mount -o remount,bind,ro ." : "chmod 555 ."), "");
        const QByteArray before = treeDigest(i->bundle);
        LogCapture log;
        i->updater->install();
        QTRY_VERIFY_WITH_TIMEOUT(i->updater->status().kind == Kind::failed, 60000);
        QCOMPARE(i->updater->statusText(), "Couldn't install the update, so the download page was opened.");
        QVERIFY2(log.errors().value(0).startsWith("Update failed: ")
                     && log.errors().value(0).contains(QRegularExpression(reason)),
                 qPrintable(log.errors().value(0)));
        QCOMPARE(i->opened, QList<QUrl>{QUrl("https://" + site())});
        QVERIFY(i->relaunched.isEmpty());
        QVERIFY(i->updater->release()); // still offered, to try again
        QCOMPARE(treeDigest(i->bundle), before);
        QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"Panemaker"});
        if (serving == "unwritable" || serving == "full disk")
            sh(root, isRoot ? "cd / && umount \"$1\"" : "chmod 755 .");
    }

    void packageManagedCopyOpensTheSiteInstead()
    {
        Preferences prefs(path("prefs/package.conf"));
        Updater updater(prefs, Bundle("/usr", {{"build", "1"}, {"site", site()}}), m_key);
        QList<QUrl> opened;
        updater.openSite = [&opened](const QUrl &url) { opened.append(url); };
        serveManifest(2);
        updater.checkNow();
        QTRY_VERIFY(updater.release());
        const int requests = m_server->requests();
        updater.install();
        QCOMPARE(opened, QList<QUrl>{QUrl("https://" + site())});
        QCOMPARE(m_server->requests(), requests);
        QCOMPARE(updater.statusText(), "Version 0.2.0 is available from the package manager that installed Panemaker.");
    }
};

QTEST_GUILESS_MAIN(UpdaterTest)
#include "UpdaterTest.moc"
