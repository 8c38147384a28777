// Preferences over a real settings file: defaults, decoding, write-through, damaged files.
#include "input/Preferences.h"
#include "input/Observe.h"
#include "support/LogCapture.h"
#include "support/Printing.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(panemaker::ShortcutMap)

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

ShortcutMap onlyLeftHalfAndCenter()
{
    return {{SnapAction::leftHalf, {123, 0x1800}}, {SnapAction::center, {8, 0x100}}};
}

} // namespace

class PreferencesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;

    // A settings file holding the given INI lines, written as another program would.
    QString fileWith(const QByteArray &lines)
    {
        writeFile(m_path, "[General]\n" + lines + "\n");
        return m_path;
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir().mkpath(m_dir->filePath(u"panemaker"_s)));
        m_path = m_dir->filePath(u"panemaker/panemaker.conf"_s);
    }

    void emptyStoreReadsDefaultsAndMarksTheLaunch()
    {
        {
            Preferences prefs(m_path);
            QVERIFY(prefs.askToFillGap() && prefs.showPreviews() && prefs.dragToSnap() && prefs.checkForUpdates());
            QCOMPARE(prefs.windowGap(), 0.0);
            QCOMPARE(prefs.shortcuts(), Shortcut::defaultShortcuts());
            QVERIFY(prefs.isFirstLaunch());
        }
        QSettings file(m_path, QSettings::IniFormat);
        QCOMPARE(file.allKeys(), QStringList{u"hasLaunched"_s});
        QCOMPARE(file.value(u"hasLaunched"_s).toString(), u"true"_s);

        QVERIFY(!Preferences(m_path).isFirstLaunch());
    }

    void valuesSurviveANewStore()
    {
        {
            Preferences prefs(m_path);
            prefs.setAskToFillGap(false);
            prefs.setShowPreviews(false);
            prefs.setDragToSnap(false);
            prefs.setCheckForUpdates(false);
            prefs.setWindowGap(12.5);
            prefs.setShortcuts(onlyLeftHalfAndCenter());
        }
        const Preferences again(m_path);
        QVERIFY(!again.askToFillGap() && !again.showPreviews() && !again.dragToSnap() && !again.checkForUpdates());
        QCOMPARE(again.windowGap(), 12.5);
        QCOMPARE(again.shortcuts(), onlyLeftHalfAndCenter());
        QCOMPARE(QSettings(m_path, QSettings::IniFormat).value(u"shortcuts"_s).typeId(), QMetaType::QByteArray);
    }

    void startsLeaveTheFileAsItIs_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("written by hand") << QByteArray(
            "; mine\n[General]\nwindowGap=4\nhasLaunched=true\nshortcuts=\"{}\"\nnotOurs=1\n");
        QTest::newRow("after the first launch") << QByteArray();
    }
    void startsLeaveTheFileAsItIs()
    {
        QFETCH(QByteArray, bytes);
        if (bytes.isEmpty())
            Preferences{m_path};
        else
            writeFile(m_path, bytes);
        const QByteArray before = contents(m_path);
        for (int start = 0; start < 3; ++start)
            Preferences{m_path};
        QCOMPARE(contents(m_path), before);
    }

    void aRewriteKeepsTheFileAsTheUserWroteItFirst()
    {
        const QByteArray bytes = "; mine\n[General]\nwindowGap=4\nhasLaunched=true\naskToFillGap=false\n";
        writeFile(m_path, bytes);
        LogCapture log;
        Preferences(m_path).setWindowGap(8);
        Preferences(m_path).setWindowGap(10); // a file Panemaker wrote loses nothing
        QCOMPARE(contents(m_path + u".damaged"_s), bytes);
        QVERIFY(!QFileInfo::exists(m_path + u".damaged.1"_s));
        QCOMPARE(log.events(),
                 QStringList{u"Settings file %1 has what a rewrite would drop; kept it as %1.damaged"_s.arg(m_path)});
        QCOMPARE(Preferences(m_path).windowGap(), 10.0);
        QVERIFY(!Preferences(m_path).askToFillGap());
    }

    void unreadableShortcutsAreReportedAndKept_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("not JSON") << QByteArray("@ByteArray({leftHalf)");
        QTest::newRow("plain quotes, as written by hand")
            << QByteArray("\"{\\\"leftHalf\\\":{\\\"keyCode\\\":123,\\\"modifiers\\\":6144}}\"");
    }
    void unreadableShortcutsAreReportedAndKept()
    {
        QFETCH(QByteArray, value);
        const QByteArray bytes = "[General]\nhasLaunched=true\nshortcuts=" + value + "\n";
        writeFile(m_path, bytes);
        LogCapture log;
        QCOMPARE(Preferences(m_path).shortcuts(), Shortcut::defaultShortcuts());
        QCOMPARE(log.errors(), QStringList{u"The shortcuts in the settings file %1 can't be read; using the defaults "
                                           u"(kept the file as %1.damaged)"_s.arg(m_path)});
        QCOMPARE(contents(m_path + u".damaged"_s), bytes);
        QCOMPARE(contents(m_path), bytes);
    }

    void aKeyGivenTwiceStaysWithTheFirstAction()
    {
        QSettings(m_path, QSettings::IniFormat)
            .setValue(u"shortcuts"_s, QByteArray(R"({"rightHalf":{"keyCode":123,"modifiers":6144},)"
                                                 R"("leftHalf":{"keyCode":123,"modifiers":6144}})"));
        LogCapture log;
        QCOMPARE(Preferences(m_path).shortcuts(), (ShortcutMap{{SnapAction::leftHalf, {123, 0x1800}}}));
        QCOMPARE(log.errors(), QStringList{u"The shortcut of rightHalf is also leftHalf's; only leftHalf keeps it"_s});
    }

    void gapIsStoredUnchanged_data()
    {
        QTest::addColumn<double>("gap");
        QTest::newRow("negative") << -5.0;
        QTest::newRow("large") << 1000.0;
        QTest::newRow("fraction") << 0.1;
    }
    void gapIsStoredUnchanged()
    {
        QFETCH(double, gap);
        Preferences(m_path).setWindowGap(gap);
        QCOMPARE(Preferences(m_path).windowGap(), gap);
    }

    void shortcutBlobDecoding_data()
    {
        QTest::addColumn<QByteArray>("blob");
        QTest::addColumn<ShortcutMap>("expected");
        const ShortcutMap defaults = Shortcut::defaultShortcuts();
        QTest::newRow("empty object means no shortcuts") << QByteArray("{}") << ShortcutMap();
        QTest::newRow("unknown member is skipped")
            << QByteArray(R"({"leftHalf":{"keyCode":123,"modifiers":6144},"center":{"keyCode":8,"modifiers":256},)"
                          R"("LeftHalf":{"keyCode":1,"modifiers":0}})")
            << onlyLeftHalfAndCenter();
        QTest::newRow("member without modifiers spoils all")
            << QByteArray(R"({"leftHalf":{"keyCode":123,"modifiers":6144},"center":{"keyCode":8}})") << defaults;
        QTest::newRow("bad unknown member spoils all")
            << QByteArray(R"({"leftHalf":{"keyCode":123,"modifiers":6144},"nothing":5})") << defaults;
        QTest::newRow("number beyond 32 bits")
            << QByteArray(R"({"center":{"keyCode":8,"modifiers":4294967296}})") << defaults;
        QTest::newRow("array") << QByteArray("[]") << defaults;
        QTest::newRow("not JSON") << QByteArray("{leftHalf") << defaults;
        QTest::newRow("empty blob") << QByteArray() << defaults;
        QTest::newRow("invalid UTF-8 in a name")
            << QByteArray("{\"left\xff\":{\"keyCode\":1,\"modifiers\":0}}") << defaults;
        QTest::newRow("deep nesting") << QByteArray(100000, '[') << defaults;
    }
    void shortcutBlobDecoding()
    {
        QFETCH(QByteArray, blob);
        QFETCH(ShortcutMap, expected);
        {
            QSettings file(m_path, QSettings::IniFormat);
            file.setValue(u"shortcuts"_s, blob);
        }
        const QByteArray before = contents(m_path);
        QCOMPARE(Preferences(m_path).shortcuts(), expected);
        // The fallback is not written back: only the launch mark is added.
        QCOMPARE(QSettings(m_path, QSettings::IniFormat).value(u"shortcuts"_s).toByteArray(), blob);
        QVERIFY(contents(m_path).startsWith(before.left(before.indexOf("shortcuts"))));
    }

    void valuesOfTheWrongTypeReadAsMissing()
    {
        const QByteArray lines = "askToFillGap=yes\nshowPreviews=0\ndragToSnap=@ByteArray(false)\n"
                                 "checkForUpdates=false\nwindowGap=nan\nshortcuts={}\nhasLaunched=1";
        fileWith(lines);
        const Preferences prefs(m_path);
        QVERIFY(prefs.askToFillGap() && prefs.showPreviews() && prefs.dragToSnap());
        QVERIFY(!prefs.checkForUpdates());
        QCOMPARE(prefs.windowGap(), 0.0);
        QCOMPARE(prefs.shortcuts(), Shortcut::defaultShortcuts());
        QVERIFY(prefs.isFirstLaunch());
        const QByteArray after = contents(m_path);
        for (const QByteArray &line : lines.split('\n')) {
            if (!line.startsWith("hasLaunched"))
                QVERIFY2(after.contains(line), line.constData());
        }
    }

    void gapsOutsideTheDoubleRangeReadAsMissing_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("infinite") << QByteArray("1e999") << 0.0;
        QTest::newRow("inf") << QByteArray("inf") << 0.0;
        QTest::newRow("words") << QByteArray("eight") << 0.0;
        QTest::newRow("large but finite") << QByteArray("99999999999999999999") << 1e20;
        QTest::newRow("plain") << QByteArray("-4") << -4.0;
    }
    void gapsOutsideTheDoubleRangeReadAsMissing()
    {
        QFETCH(QByteArray, text);
        QFETCH(double, expected);
        fileWith("windowGap=" + text);
        QCOMPARE(Preferences(m_path).windowGap(), expected);
    }

    void givingAShortcutTakesItFromItsHolder()
    {
        Preferences prefs(m_path);
        QSignalSpy spy(&prefs, &Preferences::shortcutsChanged);
        const Shortcut leftHalf = prefs.shortcuts().at(SnapAction::leftHalf);
        prefs.setShortcut(leftHalf, SnapAction::maximize);
        QCOMPARE(spy.count(), 1);
        QVERIFY(!prefs.shortcuts().contains(SnapAction::leftHalf));
        QCOMPARE(prefs.shortcuts().at(SnapAction::maximize), leftHalf);
        QCOMPARE(prefs.shortcuts().size(), size_t(17));
        QCOMPARE(Preferences(m_path).shortcuts(), prefs.shortcuts());
    }

    void clearingRemovesOnlyThatAction()
    {
        Preferences prefs(m_path);
        ShortcutMap expected = Shortcut::defaultShortcuts();
        expected.erase(SnapAction::center);
        prefs.setShortcut(std::nullopt, SnapAction::center);
        QCOMPARE(prefs.shortcuts(), expected);
    }

    void clearingEverythingStaysClearedAndRestoringBringsDefaults()
    {
        {
            Preferences prefs(m_path);
            prefs.setWindowGap(6);
            for (SnapAction action : SnapAction::all())
                prefs.setShortcut(std::nullopt, action);
        }
        QCOMPARE(QSettings(m_path, QSettings::IniFormat).value(u"shortcuts"_s), QVariant(QByteArray("{}")));
        Preferences prefs(m_path);
        QCOMPARE(prefs.shortcuts(), ShortcutMap());
        QSignalSpy spy(&prefs, &Preferences::shortcutsChanged);
        prefs.restoreDefaultShortcuts();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(Preferences(m_path).shortcuts(), Shortcut::defaultShortcuts());
        QCOMPARE(Preferences(m_path).windowGap(), 6.0);
    }

    // Observers hear of an assignment before the file does, even when nothing changes.
    void equalAssignmentNotifiesThenWrites()
    {
        Preferences prefs(m_path);
        QVERIFY(!contents(m_path).contains("askToFillGap"));
        int notified = 0;
        connect(&prefs, &Preferences::askToFillGapChanged, this, [&](bool value) {
            ++notified;
            QVERIFY(value);
            QVERIFY(!contents(m_path).contains("askToFillGap"));
        });
        prefs.setAskToFillGap(prefs.askToFillGap());
        QCOMPARE(notified, 1);
        QVERIFY(contents(m_path).contains("askToFillGap=true"));
    }

    void observersGetTheCurrentValueFirst()
    {
        Preferences prefs(m_path);
        QList<double> seen;
        auto owner = std::make_unique<QObject>();
        observe(&prefs, &Preferences::windowGap, &Preferences::windowGapChanged, owner.get(),
                [&](double gap) { seen.append(gap); });
        QCOMPARE(seen, QList<double>{0.0});
        prefs.setWindowGap(4);
        owner.reset();
        prefs.setWindowGap(8);
        QCOMPARE(seen, (QList<double>{0.0, 4.0}));
    }

    void damagedFileIsKeptAsideAndDefaultsUsed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("line the format cannot parse") << QByteArray("[General]\nwindowGap=8\nnot a setting\n");
        QTest::newRow("unterminated section") << QByteArray("[General\nwindowGap=8\n");
        QTest::newRow("invalid UTF-8") << QByteArray("[General]\nwindowGap=8\ntitle=caf\xe9\n");
        QTest::newRow("binary") << QByteArray("\x00\x01\x02windowGap=8", 12);
        QTest::newRow("larger than any settings file")
            << QByteArray("[General]\nwindowGap=8\nx=") + QByteArray(SettingsFile::maximumSize, 'x');
    }
    void damagedFileIsKeptAsideAndDefaultsUsed()
    {
        QFETCH(QByteArray, bytes);
        writeFile(m_path, bytes);
        LogCapture log;
        {
            Preferences prefs(m_path);
            QCOMPARE(prefs.windowGap(), 0.0);
            QVERIFY(prefs.isFirstLaunch());
            prefs.setDragToSnap(false);
        }
        QCOMPARE(log.errors().size(), 1);
        QVERIFY2(log.errors().first().startsWith(u"Settings file %1 is damaged"_s.arg(m_path)),
                 qPrintable(log.errors().first()));
        QCOMPARE(contents(m_path + u".damaged"_s), bytes);
        QSettings fresh(m_path, QSettings::IniFormat);
        QCOMPARE(fresh.allKeys(), (QStringList{u"dragToSnap"_s, u"hasLaunched"_s}));

        // A second damaged file does not replace the first one kept.
        writeFile(m_path, bytes);
        const Preferences again(m_path);
        QCOMPARE(contents(m_path + u".damaged.1"_s), bytes);
    }

    void unreadableFileGivesDefaultsAndKeepsChangesInMemory()
    {
        QDir().mkpath(m_path); // a directory where the file should be
        LogCapture log;
        Preferences prefs(m_path);
        QCOMPARE(prefs.shortcuts(), Shortcut::defaultShortcuts());
        QVERIFY(prefs.isFirstLaunch());
        prefs.setWindowGap(8);
        QCOMPARE(prefs.windowGap(), 8.0);
        QCOMPARE(log.errors().size(), 1);
        QVERIFY(log.errors().first().contains(u"can't be used"_s));
        QVERIFY(QFileInfo(m_path).isDir());
        QDir(m_path).removeRecursively();
    }

    void failedWritesAreLogged()
    {
        const QString blocked = m_dir->filePath(u"blocker"_s);
        writeFile(blocked, "a file where a folder should be");
        LogCapture log;
        Preferences prefs(blocked + u"/panemaker.conf"_s);
        prefs.setWindowGap(8);
        QCOMPARE(prefs.windowGap(), 8.0);
        QCOMPARE(log.errors().size(), 2); // the launch mark and the gap
        QVERIFY(log.errors().last().startsWith(u"Couldn't save windowGap"_s));
    }
};

QTEST_GUILESS_MAIN(PreferencesTest)
#include "PreferencesTest.moc"
