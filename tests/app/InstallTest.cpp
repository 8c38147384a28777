// Panemaker as people get it: installed under any folder by cmake --install and run from wherever that folder
// is moved, and as a Debian package that installs, runs and goes away without a trace.
#include "desktop/TestDesktop.h"
#include "support/PanemakerProcess.h"

#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace panemaker;
using namespace Qt::StringLiterals;

namespace {

// What an installation holds below its prefix.
const QStringList installedFiles = {
    u"bin/panemaker"_s,
    u"share/applications/panemaker.desktop"_s,
    u"share/doc/panemaker/changelog.gz"_s,
    u"share/doc/panemaker/copyright"_s,
    u"share/icons/hicolor/scalable/apps/panemaker.svg"_s,
    u"share/man/man1/panemaker.1.gz"_s,
    u"share/panemaker/info.json"_s,
};

QStringList filesBelow(const QString &root)
{
    QStringList files;
    for (QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories); it.hasNext();)
        files.append(QDir(root).relativeFilePath(it.next()));
    files.sort();
    return files;
}

// Runs a command to its end: its exit status and standard output; standard error goes to the test's log.
std::pair<int, QString> run(const QString &program, const QStringList &arguments,
                            const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess command;
    command.setProcessEnvironment(environment);
    command.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    command.start(program, arguments);
    if (!command.waitForFinished(300000))
        return {-1, {}};
    return {command.exitStatus() == QProcess::NormalExit ? command.exitCode() : -1,
            QString::fromUtf8(command.readAllStandardOutput())};
}

const QString version = u"Panemaker %1 (build 1)\n"_s.arg(QStringLiteral(PANEMAKER_VERSION));

} // namespace

class InstallTest : public QObject {
    Q_OBJECT

    TestDesktop m_desktop;

private Q_SLOTS:
    void initTestCase() { m_desktop.start(); }

    void runsFromAnyFolderItIsInstalledIn_data()
    {
        QTest::addColumn<bool>("withIcon");
        QTest::newRow("as installed") << true;
        QTest::newRow("its icon gone") << false;
    }
    void runsFromAnyFolderItIsInstalledIn()
    {
        QFETCH(bool, withIcon);
        QTemporaryDir place;
        const QString installed = place.filePath(u"installed"_s);
        QCOMPARE(run(u"cmake"_s, {u"--install"_s, QStringLiteral(PANEMAKER_BUILD_DIR), u"--prefix"_s, installed}).first,
                 0);
        QCOMPARE(filesBelow(installed), installedFiles);
        const QString moved = place.filePath(u"elsewhere/Panemaker"_s);
        QVERIFY(QDir().mkpath(place.filePath(u"elsewhere"_s)) && QDir().rename(installed, moved));
        const QString icon = moved + u"/share/icons/hicolor/scalable/apps/panemaker.svg"_s;
        if (!withIcon)
            QVERIFY(QFile::remove(icon));
        QCOMPARE(run(moved + u"/bin/panemaker"_s, {u"--version"_s}), std::pair(0, version));

        PanemakerProcess panemaker(m_desktop, moved + u"/bin/panemaker"_s);
        QVERIFY(panemaker.start({}));
        QVERIFY(!panemaker.lines().filter(u"Launched %1: "_s.arg(moved)).isEmpty());
        QCOMPARE(panemaker.lines().contains(u"Couldn't load the icon %1; drawing it instead"_s.arg(icon)), !withIcon);
        if (withIcon) {
            QCOMPARE(run(moved + u"/bin/panemaker"_s, {}, m_desktop.environment()).first, 0); // shows its settings
            QVERIFY(m_desktop.waitUntil([&] { return m_desktop.shownWindow(u"Panemaker Settings"_s).has_value(); }));
            QVERIFY(m_desktop.screenshot(u"installed-settings-window"_s));
        }
    }

    // The package lists what the program links, passes Debian's checks and, where the test may change the
    // system (root in a container), installs, runs and is removed leaving nothing behind.
    void makesADebianPackage()
    {
#ifdef PANEMAKER_SANITIZED
        QSKIP("packages are made of the plain build");
#endif
        QTemporaryDir place;
        QCOMPARE(run(u"cpack"_s,
                     {u"--config"_s, QStringLiteral(PANEMAKER_BUILD_DIR "/CPackConfig.cmake"), u"-B"_s, place.path()})
                     .first,
                 0);
        const QStringList packages = QDir(place.path()).entryList({u"panemaker_*.deb"_s});
        QCOMPARE(packages.size(), 1);
        const QString deb = place.filePath(packages.constFirst());

        const auto [fieldsRead, fields] = run(u"dpkg-deb"_s, {u"-f"_s, deb, u"Package"_s, u"Version"_s, u"Depends"_s});
        QCOMPARE(fieldsRead, 0);
        QVERIFY2(fields.startsWith(u"Package: panemaker\nVersion: %1\n"_s.arg(QStringLiteral(PANEMAKER_VERSION))),
                 qPrintable(fields));
        for (const QString &dependency :
             {u"libqt6widgets6"_s, u"libqt6network6"_s, u"libxcb-ewmh2"_s, u"libxcb-xinput0"_s, u"libxkbcommon-x11-0"_s,
              u"qt6-qpa-plugins"_s, u"libqt6svg6"_s})
            QVERIFY2(fields.contains(dependency), qPrintable(dependency));

        const auto [listed, contents] = run(u"dpkg-deb"_s, {u"--contents"_s, deb});
        QCOMPARE(listed, 0);
        QStringList files;
        for (const QString &line : contents.split(u'\n', Qt::SkipEmptyParts)) {
            if (!line.endsWith(u'/'))
                files.append(line.section(u' ', -1).mid(6)); // below ./usr/
        }
        QCOMPARE(files, installedFiles);

        const auto [checked, findings] = run(u"lintian"_s, {deb});
        QVERIFY2(!QRegularExpression(u"^[EW]: "_s, QRegularExpression::MultilineOption).match(findings).hasMatch(),
                 qPrintable(findings));
        QCOMPARE(checked, 0);

        if (getuid() != 0 || !(QFile::exists(u"/.dockerenv"_s) || QFile::exists(u"/run/.containerenv"_s)))
            QSKIP("installing the package needs root in a throwaway container");
        if (run(u"dpkg-query"_s, {u"-W"_s, u"-f=${Status}"_s, u"panemaker"_s}).second.contains(u" installed"_s))
            QSKIP("a panemaker package is installed on this machine already: it is left alone");
        qputenv("DEBIAN_FRONTEND", "noninteractive");
        QCOMPARE(run(u"apt-get"_s, {u"install"_s, u"--yes"_s, deb}).first, 0);
        const std::pair<int, QString> installedVersion = run(u"/usr/bin/panemaker"_s, {u"--version"_s});
        const bool allInstalled = std::all_of(installedFiles.begin(), installedFiles.end(),
                                              [](const QString &file) { return QFile::exists(u"/usr/"_s + file); });
        QCOMPARE(run(u"apt-get"_s, {u"remove"_s, u"--yes"_s, u"--purge"_s, u"panemaker"_s}).first, 0);
        QCOMPARE(installedVersion, std::pair(0, version));
        QVERIFY(allInstalled);
        for (const QString &file : installedFiles)
            QVERIFY2(!QFile::exists(u"/usr/"_s + file), qPrintable(file));
        QVERIFY(!QFile::exists(u"/usr/share/panemaker"_s));
    }
};

QTEST_GUILESS_MAIN(InstallTest)
#include "InstallTest.moc"
