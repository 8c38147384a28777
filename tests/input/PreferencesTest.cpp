// Preferences over a real settings file: defaults, write-through, reading, files we can't use.
#include "input/Preferences.h"
#include "input/Observe.h"
#include "support/LogCapture.h"

#include <QFile>
#include <QMetaProperty>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

const QVariantMap defaults{
    {u"askToFillGap"_s, true},    {u"showPreviews"_s, true},
    {u"dragToSnap"_s, true},      {u"windowGap"_s, 0.0},
    {u"checkForUpdates"_s, true}, {u"shortcuts"_s, QVariant::fromValue(Shortcut::defaultShortcuts())}};

} // namespace

class PreferencesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    QByteArray m_property;          // the one whose notifications heard() records
    QVariantList m_heard;           // what its getter read then
    QByteArrayList m_fileWhenHeard; // and what the file held

public Q_SLOTS:
    void heard()
    {
        m_heard.append(sender()->property(m_property));
        m_fileWhenHeard.append(contents(m_path));
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_path = m_dir->filePath(u"panemaker.conf"_s);
    }

    // An empty file reads the defaults and gets only the launch mark. Every assignment, even of
    // the value held, is announced with the new value and then reaches the disk; a fresh store
    // over the file reads it, and nothing else changed.
    void eachSettingIsWrittenThroughAndReadBack_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QByteArray>("line");
        for (const char *name : {"askToFillGap", "showPreviews", "dragToSnap", "checkForUpdates"})
            QTest::newRow(name) << QByteArray(name) << QVariant(false) << name + "=false"_ba;
        QTest::newRow("negative gap") << "windowGap"_ba << QVariant(-5.0) << "windowGap=-5"_ba;
        QTest::newRow("fraction of a gap") << "windowGap"_ba << QVariant(0.1) << "windowGap=0.1"_ba;
        QTest::newRow("a shortcut") // compact JSON, quoted as QSettings quotes it
            << "shortcuts"_ba << QVariant::fromValue(ShortcutMap{{SnapAction::center, {4294967295u, 0x100}}})
            << "shortcuts=\"@ByteArray("
                   + R"({"center":{"keyCode":4294967295,"modifiers":256}})"_ba.replace('"', "\\\"") + ")\"";
        QTest::newRow("no shortcuts") << "shortcuts"_ba << QVariant::fromValue(ShortcutMap())
                                      << "shortcuts=@ByteArray({})"_ba;
    }
    void eachSettingIsWrittenThroughAndReadBack()
    {
        QFETCH(QByteArray, property);
        QFETCH(QVariant, value);
        QFETCH(QByteArray, line);
        Preferences prefs(m_path);
        QVERIFY(prefs.isFirstLaunch());
        QCOMPARE(contents(m_path), "[General]\nhasLaunched=true\n"_ba);
        for (auto setting = defaults.begin(); setting != defaults.end(); ++setting)
            QCOMPARE(prefs.property(setting.key().toLatin1()), *setting);

        m_property = property;
        m_heard.clear();
        m_fileWhenHeard.clear();
        const QMetaObject &meta = *prefs.metaObject();
        connect(&prefs, meta.property(meta.indexOfProperty(property)).notifySignal(), this,
                metaObject()->method(metaObject()->indexOfSlot("heard()")));
        const QVariant initial = prefs.property(property);
        QVERIFY(prefs.setProperty(property, initial));
        QVERIFY(contents(m_path).contains("\n" + property + "="));
        QVERIFY(prefs.setProperty(property, value));
        QVERIFY2(contents(m_path).contains("\n" + line + "\n"), contents(m_path).constData());
        QCOMPARE(m_heard, (QVariantList{initial, value}));
        QVERIFY(!m_fileWhenHeard.last().contains(line));

        const Preferences fresh(m_path);
        QVERIFY(!fresh.isFirstLaunch());
        for (auto setting = defaults.begin(); setting != defaults.end(); ++setting)
            QCOMPARE(fresh.property(setting.key().toLatin1()), setting.key() == property ? value : *setting);
    }

    // A value of another type reads as missing (the registered default, or false and 0); the
    // shortcuts blob is all or nothing, each shortcut two whole numbers in the unsigned 32-bit
    // range. A start over a launched file writes nothing to it, and keeps a copy of it when its
    // shortcuts can't be read.
    void startsReadWhatTheyCan_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QVariant>("expected");
        QTest::addColumn<QString>("error"); // %1: the settings file
        QTest::newRow("0") << u"showPreviews"_s << QVariant(u"0"_s) << QVariant(true) << QString();
        QTest::newRow("byte array") << u"dragToSnap"_s << QVariant("false"_ba) << QVariant(true) << QString();
        QTest::newRow("false") << u"checkForUpdates"_s << QVariant(u"false"_s) << QVariant(false) << QString();
        QTest::newRow("inf") << u"windowGap"_s << QVariant(u"inf"_s) << QVariant(0.0) << QString();
        QTest::newRow("nan") << u"windowGap"_s << QVariant(u"nan"_s) << QVariant(0.0) << QString();
        QTest::newRow("large") << u"windowGap"_s << QVariant(u"99999999999999999999"_s) << QVariant(1e20) << QString();

        const auto shortcuts = [](const char *name, const QVariant &stored, const ShortcutMap &expected,
                                  const QString &error = {}) {
            QTest::newRow(name) << u"shortcuts"_s << stored << QVariant::fromValue(expected) << error;
        };
        const ShortcutMap all = Shortcut::defaultShortcuts();
        const QString unreadable = u"The shortcuts in the settings file %1 can't be read; using the defaults "
                                   u"(kept the file as %1.damaged)"_s;
        shortcuts("empty object means none", "{}"_ba, {});
        shortcuts("member named after no action is skipped",
                  R"({"center":{"keyCode":8,"modifiers":0},"Center":{"keyCode":1,"modifiers":0}})"_ba,
                  {{SnapAction::center, {8, 0}}});
        shortcuts("a key given twice stays with the first action",
                  R"({"rightHalf":{"keyCode":1,"modifiers":0},"leftHalf":{"keyCode":1,"modifiers":0}})"_ba,
                  {{SnapAction::leftHalf, {1, 0}}},
                  u"The shortcut of rightHalf is also leftHalf's; only leftHalf keeps it"_s);
        shortcuts("largest numbers; other members are ignored",
                  R"({"center":{"x":[],"keyCode":4294967295,"modifiers":4294967295}})"_ba,
                  {{SnapAction::center, {4294967295u, 4294967295u}}});
        const auto spoiled = [&](const char *name, const QByteArray &member) {
            shortcuts(name, R"({"leftHalf":{"keyCode":1,"modifiers":0},)" + member + "}", all, unreadable);
        };
        spoiled("member without modifiers spoils all", R"("center":{"keyCode":8})");
        spoiled("member without keyCode", R"("center":{"modifiers":0})");
        spoiled("negative", R"("center":{"keyCode":-1,"modifiers":0})");
        spoiled("beyond 32 bits", R"("center":{"keyCode":4294967296,"modifiers":0})");
        spoiled("fraction", R"("center":{"keyCode":1.5,"modifiers":0})");
        spoiled("number as text", R"("center":{"keyCode":"1","modifiers":0})");
        spoiled("bad member named after no action", R"("nothing":5)");
        shortcuts("array", "[]"_ba, all, unreadable);
        shortcuts("text", QString::fromLatin1(R"({"leftHalf":{"keyCode":1,"modifiers":0}})"), all, unreadable);
    }
    void startsReadWhatTheyCan()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QVariant, expected);
        QFETCH(QString, error);
        {
            QSettings file(m_path, QSettings::IniFormat);
            file.setValue(u"hasLaunched"_s, true);
            file.setValue(key, stored);
        }
        const QByteArray before = contents(m_path);
        LogCapture log;
        QCOMPARE(Preferences(m_path).property(key.toLatin1()), expected);
        QCOMPARE(log.errors(), error.isEmpty() ? QStringList() : QStringList{QString(error).replace("%1"_L1, m_path)});
        QCOMPARE(contents(m_path), before);
        QCOMPARE(contents(m_path + u".damaged"_s), error.contains("kept the file"_L1) ? before : QByteArray());
    }

    // Observers get the current value first, then every change while their owner lives.
    void shortcutEditsAreObservedAndSaved()
    {
        Preferences prefs(m_path);
        auto owner = std::make_unique<QObject>();
        QList<size_t> heard;
        observe(&prefs, &Preferences::shortcuts, &Preferences::shortcutsChanged, owner.get(),
                [&](const ShortcutMap &shortcuts) { heard.append(shortcuts.size()); });
        prefs.setShortcut(Shortcut{123, 0x1800}, SnapAction::maximize); // leftHalf's
        prefs.setShortcut(std::nullopt, SnapAction::center);
        ShortcutMap expected = Shortcut::defaultShortcuts();
        expected.erase(SnapAction::leftHalf);
        expected.erase(SnapAction::center);
        expected[SnapAction::maximize] = {123, 0x1800};
        QCOMPARE(Preferences(m_path).shortcuts(), expected);
        prefs.setWindowGap(6);
        prefs.restoreDefaultShortcuts(); // and nothing else
        QCOMPARE(Preferences(m_path).shortcuts(), Shortcut::defaultShortcuts());
        QCOMPARE(Preferences(m_path).windowGap(), 6.0);
        owner.reset();
        prefs.setShortcuts({});
        QCOMPARE(heard, (QList<size_t>{18, 17, 16, 18}));
    }

    // A file we can't parse is moved aside and the defaults used; one a rewrite would lose
    // comments or hand-written values of is copied aside at the first write. A later such file
    // does not replace the first one kept, and a file Panemaker wrote is never kept.
    void filesWeCannotKeepAreKeptAsDamaged_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<double>("gap");
        QTest::addColumn<QString>("line"); // %1: the settings file
        const QString damaged = u"Settings file %1 is damaged"_s;
        QTest::newRow("line the format cannot parse") << "[General]\nwindowGap=8\nnot a setting\n"_ba << 0.0 << damaged;
        QTest::newRow("invalid UTF-8") << "[General]\nwindowGap=8\ntitle=caf\xe9\n"_ba << 0.0 << damaged;
        QTest::newRow("larger than any settings file")
            << "[General]\nwindowGap=8\nx="_ba + QByteArray(SettingsFile::maximumSize, 'x') << 0.0 << damaged;
        QTest::newRow("written by hand") << "; mine\n[General]\nwindowGap=4\nhasLaunched=true\naskToFillGap=false\n"_ba
                                         << 4.0
                                         << u"Settings file %1 has what a rewrite would drop; kept it as %1.damaged"_s;
    }
    void filesWeCannotKeepAreKeptAsDamaged()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(double, gap);
        QFETCH(QString, line);
        writeFile(m_path, bytes);
        LogCapture log;
        Preferences(m_path).setDragToSnap(false);
        QCOMPARE(log.errors().size() + log.events().size(), 1);
        QVERIFY2((log.errors() + log.events()).first().startsWith(line.arg(m_path)), qPrintable(line));
        QCOMPARE(contents(m_path + u".damaged"_s), bytes);
        Preferences(m_path).setShowPreviews(false);
        QCOMPARE(Preferences(m_path).windowGap(), gap);

        writeFile(m_path, bytes);
        Preferences(m_path).setDragToSnap(false);
        QCOMPARE(contents(m_path + u".damaged.1"_s), bytes);
    }

    // Settings that can't reach the disk live on in memory, and the store reads them back.
    void changesThatCannotBeSavedAreKeptInMemory()
    {
        QVERIFY(QDir().mkpath(m_path));
        writeFile(m_dir->filePath(u"blocker"_s), "a file where a folder should be");
        const QString blocked = m_dir->filePath(u"blocker/panemaker.conf"_s);
        LogCapture log;
        for (const QString &path : {m_path, blocked}) {
            Preferences prefs(path);
            prefs.setWindowGap(8);
            QCOMPARE(prefs.store().doubleValue(u"windowGap"_s), 8.0);
            QVERIFY(prefs.store().boolValue(u"hasLaunched"_s));
        }
        QCOMPARE(log.errors().first(), u"Settings file %1 can't be used (not a regular file); using the defaults, "
                                       u"changes won't be saved"_s.arg(m_path));
        QCOMPARE(log.errors().last(), u"Couldn't save windowGap to the settings file %1"_s.arg(blocked));
    }
};

QTEST_GUILESS_MAIN(PreferencesTest)
#include "PreferencesTest.moc"
