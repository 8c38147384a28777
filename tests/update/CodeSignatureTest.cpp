// CodeSignatureTest: a release packed by the real release tool verifies once extracted, and every
// kind of tampering with the extracted tree is refused, by the library and by the tool.
#include "update/CodeSignature.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace panemaker;

namespace {

const QString releaseTool = QStringLiteral(PANEMAKER_RELEASE_TOOL);

struct Run {
    int code = -1;
    QByteArray out, err;
};

Run run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

// Runs a shell script in the directory $1 (made if missing); the arguments follow as $2, $3...
Run shellIn(const QString &directory, const QString &script, const QStringList &arguments = {})
{
    return run("sh", QStringList{"-c", R"(mkdir -p "$1" && cd "$1" && )" + script, "sh", directory} + arguments);
}

// A tree like an installed bundle with $2 as its build number, not owned by root where that can
// be changed (the archive must not record owners).
const QString bundle = R"(mkdir -p bin share/panemaker share/applications share/empty &&
printf '\177ELF program' > bin/panemaker && chmod 755 bin/panemaker && echo '[Desktop Entry]' > share/applications/panemaker.desktop &&
printf '{"version": "0.1.0", "build": "%s", "site": "h/p"}' "$2" > share/panemaker/info.json &&
{ chown -R 1:1 . 2>/dev/null || true; })";

} // namespace

class CodeSignatureTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QByteArray m_key;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        const Run keygen = run(releaseTool, {"keygen", path("key.pem")});
        QCOMPARE(keygen.code, 0);
        m_key = QByteArray::fromBase64(keygen.out.trimmed());
        QCOMPARE(run("stat", {"-c", "%a", path("key.pem")}).out, "600\n");
        QCOMPARE(run(releaseTool, {"public-key", path("key.pem")}).out, keygen.out);
        QCOMPARE(run(releaseTool, {"keygen", path("other.pem")}).code, 0);
        QCOMPARE(shellIn(path("bundle"), bundle, {"12"}).code, 0);
        const QStringList pack{"pack", path("bundle"), path("key.pem"), path("out"), "--url", "u"};
        QCOMPARE(run(releaseTool, pack + QStringList{"--minimum-system-version", "2.36"}).code, 0);
        QDir().mkpath(path("extracted"));
        QCOMPARE(run("/usr/bin/tar", {"-xzf", path("out/Panemaker.tar.gz"), "-C", path("extracted")}).code, 0);
    }

    void canonicalListIsSortedByBytesWithModesAndHashes()
    {
        const QString empty = " e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855 ";
        const QString tree = "mkdir -p a e/f && printf abc > b && touch a/c a-b a/CodeSignature B CodeSignature && "
                             "chmod 640 b && chmod 4755 a/c && chmod 600 a-b && chmod 444 B";
        QCOMPARE(shellIn(path("list"), tree).code, 0);
        QCOMPARE(canonicalList(path("list")).value_or("none"),
                 ("444" + empty + "B\n600" + empty + "a-b\n644" + empty + "a/CodeSignature\n755" + empty
                  + "a/c\n640 ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad b\n")
                     .toUtf8());
    }

    void packedReleaseVerifiesAndIsAnnounced()
    {
        QString error;
        QVERIFY2(verify(path("extracted/Panemaker"), m_key, &error), qPrintable(error));
        QCOMPARE(run(releaseTool, {"verify", path("extracted/Panemaker"), m_key.toBase64()}).code, 0);
        QVERIFY(!verify(path("extracted/Panemaker"), QByteArray())); // a build without a key
        QCOMPARE(QDir(path("extracted")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"Panemaker"});
        const Run listing = run("/usr/bin/tar", {"-tvzf", path("out/Panemaker.tar.gz"), "--numeric-owner"});
        QCOMPARE(listing.out.count(" 0/0 "), listing.out.count('\n'));

        QFile file(path("out/version.json"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QJsonObject manifest = QJsonDocument::fromJson(file.readAll()).object();
        QCOMPARE(manifest.take("sha256").toString().toLatin1(),
                 run("sha256sum", {path("out/Panemaker.tar.gz")}).out.left(64));
        const QJsonObject expected{{"build", 12}, {"minimumSystemVersion", "2.36"}, {"url", "u"}, {"version", "0.1.0"}};
        QCOMPARE(manifest, expected);
    }

    void tamperedTreesDoNotVerify_data()
    {
        QTest::addColumn<QString>("tamper"); // sh in the copied tree; $2 is the tool, $3 another key
        QTest::newRow("one byte changed") << "printf '\\177ELF prograM' > bin/panemaker";
        QTest::newRow("file added") << "touch share/empty/x";
        QTest::newRow("hidden file added") << "touch .x";
        QTest::newRow("file removed") << "rm share/applications/panemaker.desktop";
        QTest::newRow("file moved") << "mv share/applications/panemaker.desktop share/applications/p.desktop";
        QTest::newRow("made executable") << "chmod +x share/panemaker/info.json";
        QTest::newRow("symlink added") << "ln -s ../applications share/empty/l";
        QTest::newRow("file replaced by a link to it") << "mv bin/panemaker .. && ln -s \"$PWD/../panemaker\" bin/";
        QTest::newRow("signed by another key") << "\"$2\" pack . \"$3\" ../other --url u";
        QTest::newRow("signature truncated") << "truncate -s 40 CodeSignature";
        QTest::newRow("signature garbage") << "echo garbage > CodeSignature";
        QTest::newRow("signature removed") << "rm CodeSignature";
    }

    void tamperedTreesDoNotVerify()
    {
        QFETCH(QString, tamper);
        const QString tree = path("tampered/") + QTest::currentDataTag();
        QDir().mkpath(path("tampered"));
        QCOMPARE(run("cp", {"-a", path("extracted/Panemaker"), tree}).code, 0);
        QVERIFY(verify(tree, m_key));
        QCOMPARE(shellIn(tree, tamper, {releaseTool, path("other.pem")}).code, 0);
        QString error;
        QVERIFY(!verify(tree, m_key, &error));
        QVERIFY(!error.isEmpty());
        const Run checked = run(releaseTool, {"verify", tree, m_key.toBase64()});
        QCOMPARE(checked.code, 1);
        QCOMPARE(checked.err.count('\n'), 1);
    }

    void toolFailures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QCOMPARE(shellIn(path("fifo"), bundle + " && mkfifo bin/pipe", {"3"}).code, 0);
        QCOMPARE(shellIn(path("badbuild"), bundle, {"+3"}).code, 0);
        const QString key = path("key.pem"), out = path("out2");
        QTest::newRow("no command") << QStringList{} << 2;
        QTest::newRow("pack without url") << QStringList{"pack", path("bundle"), key, out} << 2;
        QTest::newRow("keygen over a file") << QStringList{"keygen", key} << 1;
        QTest::newRow("public-key of no key") << QStringList{"public-key", path("bundle/bin/panemaker")} << 1;
        QTest::newRow("pack a fifo") << QStringList{"pack", path("fifo"), key, out, "--url", "u"} << 1;
        QTest::newRow("pack a bad build") << QStringList{"pack", path("badbuild"), key, out, "--url", "u"} << 1;
        QTest::newRow("pack without info") << QStringList{"pack", path("list"), key, out, "--url", "u"} << 1;
        QTest::newRow("verify with no key") << QStringList{"verify", path("extracted/Panemaker"), ""} << 1;
    }

    void toolFailures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        const Run failed = run(releaseTool, arguments);
        QCOMPARE(failed.code, code);
        QCOMPARE(failed.err.count('\n'), 1);
        QVERIFY(!QFile::exists(path("out2/Panemaker.tar.gz")));
    }
};

QTEST_GUILESS_MAIN(CodeSignatureTest)
#include "CodeSignatureTest.moc"
