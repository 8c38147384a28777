// InstallUpdateTest: a whole install on a test desktop. The running program finds the update on a
// real HTTPS server, installs it over its own folder and is followed there by the new build; and an
// install killed at any step still leaves a folder that starts, with nothing left beside it.
#include "desktop/TestDesktop.h"
#include "support/HttpsServer.h"
#include "update/TreeDigest.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace panemaker;
using namespace panemaker::test;

namespace {

const QString updating = QStringLiteral(PANEMAKER_UPDATING_PROGRAM);

// The processes whose program is this file, or below this folder: the relaunched ones too, which
// the test did not start.
QList<pid_t> runningPrograms(const QString &program)
{
    QList<pid_t> found;
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs))
        if (pid.toInt() > 0 && QFile::symLinkTarget("/proc/" + pid + "/exe").startsWith(program))
            found.append(pid.toInt());
    return found;
}

} // namespace

class InstallUpdateTest : public QObject {
    Q_OBJECT
    TestDesktop m_desktop;
    QTemporaryDir m_dir;
    std::unique_ptr<HttpsServer> m_server;
    QByteArray m_oldTree, m_newTree;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // A bundle of build 1 in root/Panemaker, and its digest; `program` is its bin/panemaker.
    QString bundle(const QString &root, const QString &program, const QString &build)
    {
        const QString bundle = root + "/Panemaker";
        QDir().mkpath(bundle + "/bin");
        QDir().mkpath(bundle + "/share/panemaker");
        QFile::copy(program, bundle + "/bin/panemaker");
        QFile info(bundle + "/share/panemaker/info.json");
        info.open(QIODevice::WriteOnly);
        const QString site = QStringLiteral("127.0.0.1:%1").arg(m_server->port());
        info.write(
            QJsonDocument(QJsonObject{{"version", "0." + build + ".0"}, {"build", build}, {"site", site}}).toJson());
        return bundle;
    }

    // Starts the bundle's program with the desktop's environment, trusting the server, its log in root.log.
    std::unique_ptr<QProcess> start(const QString &bundle, const QStringList &arguments = {})
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = m_desktop.environment();
        environment.insert("PANEMAKER_LOG_STDERR", "1");
        process->setProcessEnvironment(environment);
        // A file, not a pipe: the relaunched program inherits it and writes on after this one is gone.
        process->setStandardErrorFile(QFileInfo(bundle).path() + ".log", QIODevice::Append);
        process->start(bundle + "/bin/panemaker", arguments);
        return process;
    }

    QStringList log(const QString &bundle) const
    {
        QFile file(QFileInfo(bundle).path() + ".log");
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    int launches(const QString &bundle) const
    {
        return int(log(bundle).filter("[app] Launched " + bundle + ":").size());
    }

    static bool ends(QProcess &process)
    {
        return QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000);
    }

    QStringList beside(const QString &bundle) const
    {
        return QDir(QFileInfo(bundle).path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

private Q_SLOTS:
    // A failed case must not leave a program running that later starts would hand over to.
    void cleanup()
    {
        for (pid_t pid : runningPrograms(m_dir.path()))
            ::kill(pid, SIGKILL);
    }

    void initTestCase()
    {
        m_desktop.start();
        QString error;
        m_server = HttpsServer::startTrusted(m_dir.path(), &error);
        QVERIFY2(m_server, qPrintable(error));

        // The release: this tree's panemaker as build 2, signed with the key the updating program trusts.
        const QString release = bundle(path("release"), QStringLiteral(PANEMAKER_PROGRAM), "2");
        QProcess pack;
        pack.start(QStringLiteral(PANEMAKER_RELEASE_TOOL),
                   {"pack", release, QStringLiteral(PANEMAKER_TEST_KEY), path("out"), "--url",
                    m_server->url("/a.tar.gz").toString()});
        QVERIFY(pack.waitForFinished(60000) && pack.exitCode() == 0);
        m_newTree = treeDigest(release);
        QFile archive(path("out/Panemaker.tar.gz")), manifest(path("out/version.json"));
        QVERIFY(archive.open(QIODevice::ReadOnly) && manifest.open(QIODevice::ReadOnly));
        m_server->serve("/a.tar.gz", {200, archive.readAll()});
        m_server->serve("/version.json", {200, manifest.readAll()});
        m_oldTree = treeDigest(bundle(path("old"), updating, "1"));
    }

    void installsAndRelaunchesFromTheSameFolder()
    {
        const QString installed = bundle(path("relaunch"), updating, "1");
        const std::unique_ptr<QProcess> old = start(installed);
        QVERIFY(ends(*old)); // waiting without blocking: this process is the server
        QCOMPARE(old->exitCode(), 0);
        QVERIFY(log(installed).contains("panemaker: [app] Installed 0.2.0; relaunching"));
        QVERIFY2(QTest::qWaitFor([&] { return launches(installed) == 2; }, 20000),
                 qPrintable(log(installed).join('\n')));

        const QList<pid_t> relaunched = runningPrograms(installed + "/bin/panemaker");
        for (pid_t pid : relaunched)
            ::kill(pid, SIGTERM);
        QVERIFY(QTest::qWaitFor([&] { return runningPrograms(installed + "/bin/panemaker").isEmpty(); }, 10000));
        QCOMPARE(relaunched.size(), 1);
        QVERIFY(relaunched.first() != old->processId());
        QCOMPARE(treeDigest(installed), m_newTree);
        QCOMPARE(beside(installed), QStringList{"Panemaker"});
    }

    void aKilledInstallLeavesAWorkingFolder_data()
    {
        QTest::addColumn<bool>("replaced");
        QTest::newRow("downloaded") << false;
        QTest::newRow("extracted") << false;
        QTest::newRow("replaced") << true;
    }

    void aKilledInstallLeavesAWorkingFolder()
    {
        QFETCH(bool, replaced);
        const QString installed = bundle(path(QTest::currentDataTag()), updating, "1");
        const std::unique_ptr<QProcess> cut = start(installed, {"--die-after", QTest::currentDataTag()});
        QVERIFY(ends(*cut));
        QCOMPARE(cut->exitStatus(), QProcess::CrashExit);
        QCOMPARE(beside(installed).size(), 2); // the install's own folder is still there

        // No update this time: the next start only has to work and clean up.
        QFile manifest(path("out/version.json"));
        QVERIFY(manifest.open(QIODevice::ReadOnly));
        m_server->serve("/version.json", {404, "none"});
        const std::unique_ptr<QProcess> next = start(installed);
        const bool launched = QTest::qWaitFor([&] { return launches(installed) == 2; }, 20000);
        m_server->serve("/version.json", {200, manifest.readAll()});
        QVERIFY2(launched, qPrintable(log(installed).join('\n')));
        QCOMPARE(beside(installed), QStringList{"Panemaker"});
        QCOMPARE(treeDigest(installed), replaced ? m_newTree : m_oldTree);
        next->terminate();
        QVERIFY(next->waitForFinished(10000));
    }
};

QTEST_GUILESS_MAIN(InstallUpdateTest)
#include "InstallUpdateTest.moc"
