// The window manager's edge tiling, read from its settings files and tools, and this user's
// processes, read from /proc.
#include "platform/x11/ProcProcesses.h"
#include "platform/x11/X11WindowManagerSettings.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace panemaker;
using namespace panemaker::x11;
using Files = QMap<QString, QByteArray>;
Q_DECLARE_METATYPE(Files)
Q_DECLARE_METATYPE(panemaker::EdgeTilingState)

namespace {

// A file's content; "/" makes it a folder (unreadable as a file), "->target" a link.
void write(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (content == "/")
        QDir().mkpath(path);
    else if (content.startsWith("->"))
        QFile::link(QString::fromUtf8(content.mid(2)), path);
    else if (file.open(QIODevice::WriteOnly))
        file.write(content), file.setPermissions(file.permissions() | QFile::ExeOwner);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList names(const QList<RunningProcess> &processes, std::int32_t pid)
{
    QStringList found;
    for (const RunningProcess &process : processes)
        if (process.pid == pid)
            found.append(process.name);
    return found;
}

} // namespace

class WindowManagerSettingsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The files are under a fresh folder: config/ is XDG_CONFIG_HOME, bin/ all of PATH and
    // share/ all of XDG_DATA_DIRS.
    void edgeTiling_data()
    {
        QTest::addColumn<QString>("windowManager");
        QTest::addColumn<Files>("files");
        QTest::addColumn<EdgeTilingState>("expected");
        const QString xfwm = "config/xfce4/xfconf/xfce-perchannel-xml/xfwm4.xml", kwin = "config/kwinrc";
        const auto xfconf = [](const char *property) {
            return "<channel name=\"xfwm4\"><property name=\"general\"><property name=\"theme\"/>"
                   + QByteArray(property) + "</property></channel>";
        };
        // gsettings with the schemas (unless `schemas` is false) and the user's values in its keyfile.
        const auto gsettings = [](const char *keyfile, bool schemas = true) {
            Files files{{"bin/gsettings", "->/usr/bin/gsettings"}, {"config/glib-2.0/settings/keyfile", keyfile}};
            if (schemas)
                files.insert("share", "->/usr/share");
            return files;
        };
        const auto row = [](const char *name, const QString &wm, const Files &files, EdgeTilingState expected) {
            QTest::newRow(name) << wm << files << expected;
        };
        using enum EdgeTilingState;
        row("xfwm4 without a file", "Xfwm4", {}, on);
        row("xfwm4 off", "Xfwm4", {{xfwm, xfconf("<property name=\"tile_on_move\" type=\"bool\" value=\"false\"/>")}},
            off);
        row("xfwm4 without the key", "xfwm4", {{xfwm, xfconf("<property name=\"tile_on_move_x\" value=\"false\"/>")}},
            on);
        row("xfwm4 garbage", "Xfwm4", {{xfwm, "<channel name=\"xfwm4\"><property"}}, unknown);
        row("xfwm4 unreadable", "Xfwm4", {{xfwm, "/"}}, unknown);
        row("xfconf-query off", "Xfwm4", {{"bin/xfconf-query", "#!/bin/sh\necho false\n"}}, off);
        row("xfconf-query without the key", "Xfwm4",
            {{"bin/xfconf-query", "#!/bin/sh\necho 'Property \"/general/tile_on_move\" does not exist' >&2\nexit 1"}},
            on);
        row("xfconf-query failing", "Xfwm4", {{"bin/xfconf-query", "#!/bin/sh\nexit 1\n"}}, unknown);
        row("kwin without a file", "KWin", {}, on);
        row("kwin maximize off", "KWin", {{kwin, "[Windows]\nElectricBorderMaximize=false\n"}}, on);
        row("kwin both off", "KWin",
            {{kwin, "[Desktops]\nNumber=2\n[Windows]\nElectricBorderMaximize=false\nElectricBorderTiling[$i]=false\n"}},
            off);
        row("kwin both off elsewhere", "KWin",
            {{kwin, "[Windows2]\nElectricBorderMaximize=false\nElectricBorderTiling=false\n"}}, on);
        row("kwin unreadable", "KWin", {{kwin, "/"}}, unknown);
        row("kreadconfig5 off", "KWin", {{"bin/kreadconfig5", "#!/bin/sh\necho false\n"}}, off);
        row("mutter on", "Mutter", gsettings("[org/gnome/mutter]\nedge-tiling=true\n"), on);
        row("gnome shell off", "GNOME Shell",
            gsettings("[org/gnome/mutter]\nedge-tiling=false\n[org/cinnamon/muffin]\nedge-tiling=true\n"), off);
        row("mutter without gsettings", "Mutter", {}, unknown);
        row("muffin off", "Mutter (Muffin)",
            gsettings("[org/gnome/mutter]\nedge-tiling=true\n[org/cinnamon/muffin]\nedge-tiling=false\n"), off);
        row("muffin without its schema", "Mutter (Muffin)", gsettings("", false), unknown);
        row("metacity by default", "Metacity", gsettings(""), on);
        row("metacity off", "Metacity", gsettings("[org/gnome/metacity]\nedge-tiling=false\n"), off);
        row("icewm", "IceWM 3.3.1 (Linux 6.1.0/x86_64)", {}, off);
        row("another", "Marco", gsettings("[org/gnome/mutter]\nedge-tiling=true\n"), unknown);
        row("none", "", {}, unknown);
    }
    void edgeTiling()
    {
        QFETCH(QString, windowManager);
        QFETCH(Files, files);
        QFETCH(EdgeTilingState, expected);
        QTemporaryDir root;
        for (auto file = files.cbegin(); file != files.cend(); ++file)
            write(root.filePath(file.key()), file.value());
        qputenv("GSETTINGS_BACKEND", "keyfile");
        qputenv("XDG_CONFIG_HOME", root.filePath("config").toLocal8Bit());
        qputenv("PATH", root.filePath("bin").toLocal8Bit());
        qputenv("XDG_DATA_DIRS", root.filePath("share").toLocal8Bit());
        QCOMPARE(X11WindowManagerSettings().edgeTiling(windowManager), expected);
    }

    void openTilingSettings_data()
    {
        QTest::addColumn<QString>("windowManager");
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("started"); // the tool's name and arguments; empty: none
        const auto row = [](const char *name, const char *wm, const char *tool, const char *started) {
            QTest::newRow(name) << wm << tool << started;
        };
        row("xfwm4", "Xfwm4", "xfwm4-tweaks-settings", "xfwm4-tweaks-settings ");
        row("cinnamon", "Mutter (Muffin)", "cinnamon-settings", "cinnamon-settings tiling");
        row("another desktop's tool", "KWin", "cinnamon-settings", "");
        row("openbox", "Openbox", "obconf", "");
    }
    void openTilingSettings()
    {
        QFETCH(QString, windowManager);
        QFETCH(QString, tool);
        QFETCH(QString, started);
        QTemporaryDir root;
        const QString log = root.filePath("started");
        write(root.filePath("bin/" + tool), "#!/bin/sh\necho \"${0##*/} $*\" > " + log.toLocal8Bit());
        qputenv("PATH", root.filePath("bin").toLocal8Bit());
        QCOMPARE(X11WindowManagerSettings().openTilingSettings(windowManager), !started.isEmpty());
        if (!started.isEmpty())
            QTRY_COMPARE(readAll(log), started.toUtf8() + "\n");
    }

    // One process in a made-up /proc; "ours" in its status stands for our real user id.
    void processes_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArrayList>("cmdline"); // the first is its comm
        QTest::addColumn<QStringList>("expected");
        const QByteArray ours = "Name:\tx\nUid:\tours\tours\tours\tours\n";
        QTest::newRow("binary") << ours << QByteArrayList{"cortile", "-v"} << QStringList{"cortile"};
        QTest::newRow("another user's") << QByteArray("Uid:\t99999\tours\tours\tours\n") << QByteArrayList{"cortile"}
                                        << QStringList{};
        QTest::newRow("python script") << ours << QByteArrayList{"python3", "-u", "/usr/bin/quicktile", "-d"}
                                       << QStringList{"quicktile"};
        QTest::newRow("python module") << ours << QByteArrayList{"python3.11", "-m", "quicktile", "-d"}
                                       << QStringList{"quicktile"};
        QTest::newRow("shell command") << ours << QByteArrayList{"sh", "-c", "x-tile"} << QStringList{"sh"};
        QTest::newRow("gone") << QByteArray() << QByteArrayList{"cortile"} << QStringList{};
        QTest::newRow("garbled") << QByteArray("Uid:\tx\n") << QByteArrayList{"cortile"} << QStringList{};
    }
    void processes()
    {
        QFETCH(QByteArray, status);
        QFETCH(QByteArrayList, cmdline);
        QFETCH(QStringList, expected);
        QTemporaryDir root;
        if (!status.isEmpty())
            write(root.filePath("4242/status"), status.replace("ours", QByteArray::number(getuid())));
        write(root.filePath("4242/comm"), cmdline.first() + '\n');
        write(root.filePath("4242/cmdline"), cmdline.join('\0'));
        QCOMPARE(names(ProcProcesses(root.path()).running(), 4242), expected);
    }

    // A program named like a snapper, and a shell running a script named like one, in the real /proc.
    void realProcesses()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy("/bin/sleep", dir.filePath("zentile")));
        write(dir.filePath("x-tile"), "read line\n");
        QProcess binary, script;
        binary.start(dir.filePath("zentile"), {"60"});
        script.start("/bin/sh", {dir.filePath("x-tile")});
        QVERIFY(binary.waitForStarted() && script.waitForStarted());
        const auto binaryPid = std::int32_t(binary.processId()), scriptPid = std::int32_t(script.processId());
        ProcProcesses processes;
        QTRY_COMPARE(names(processes.running(), binaryPid), QStringList{"zentile"});
        QCOMPARE(names(processes.running(), scriptPid), QStringList{"x-tile"});
        processes.terminate(binaryPid);
        processes.terminate(scriptPid);
        QVERIFY(binary.waitForFinished(2000) && script.waitForFinished(2000));
        QCOMPARE(names(processes.running(), binaryPid), QStringList{});
    }
};

QTEST_GUILESS_MAIN(WindowManagerSettingsTest)
#include "WindowManagerSettingsTest.moc"
