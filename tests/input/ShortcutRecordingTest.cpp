// Recording a shortcut: what the next key press does to the recorded action's shortcut, to the
// action that held the combination before, and to the recording itself.
#include "input/ShortcutRecording.h"
#include "fake/FakeDesktop.h"

#include <QTemporaryDir>
#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;

class ShortcutRecordingTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    static QString held(const Preferences &prefs, SnapAction action)
    {
        const auto found = prefs.shortcuts().find(action);
        return found == prefs.shortcuts().end()
                   ? u"none"_s
                   : u"%1/0x%2"_s.arg(found->second.keyCode).arg(found->second.modifiers, 0, 16);
    }

private Q_SLOTS:
    // Recording maximize (Control+Option+Return, 36/0x1800); left half holds Control+Option+Left (123/0x1800).
    void theNextKeyDecides_data()
    {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<quint64>("flags");
        QTest::addColumn<QString>("maximize");
        QTest::addColumn<QString>("leftHalf");
        QTest::addColumn<bool>("stillRecording"); // with a beep
        using namespace EventModifier;
        const quint64 capsLock = 0x10000;
        QTest::newRow("left half's combination moves")
            << 123 << quint64(control | option) << u"123/0x1800"_s << u"none"_s << false;
        QTest::newRow("F5 alone") << 96 << quint64(0) << u"96/0x0"_s << u"123/0x1800"_s << false;
        QTest::newRow("Option+A") << 0 << quint64(option) << u"0/0x800"_s << u"123/0x1800"_s << false;
        QTest::newRow("Command+A") << 0 << quint64(command) << u"0/0x100"_s << u"123/0x1800"_s << false;
        QTest::newRow("Shift+A beeps") << 0 << quint64(shift) << u"36/0x1800"_s << u"123/0x1800"_s << true;
        QTest::newRow("Delete clears") << 51 << quint64(0) << u"none"_s << u"123/0x1800"_s << false;
        QTest::newRow("Forward Delete clears, Caps Lock on")
            << 117 << capsLock << u"none"_s << u"123/0x1800"_s << false;
        QTest::newRow("Control+Delete is a shortcut")
            << 51 << quint64(control) << u"51/0x1000"_s << u"123/0x1800"_s << false;
        QTest::newRow("Escape cancels, Caps Lock on") << 53 << capsLock << u"36/0x1800"_s << u"123/0x1800"_s << false;
        QTest::newRow("Shift+Escape beeps") << 53 << quint64(shift) << u"36/0x1800"_s << u"123/0x1800"_s << true;
    }
    void theNextKeyDecides()
    {
        QFETCH(int, keyCode);
        QFETCH(quint64, flags);
        QFETCH(QString, maximize);
        QFETCH(QString, leftHalf);
        QFETCH(bool, stillRecording);
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        Preferences prefs(path);
        FakeDesktop desktop;
        ShortcutRecording recording(prefs, desktop);
        recording.start(SnapAction::maximize);
        QVERIFY(recording.handleKey(std::uint16_t(keyCode), flags));
        QCOMPARE(held(prefs, SnapAction::maximize), maximize);
        QCOMPARE(held(prefs, SnapAction::leftHalf), leftHalf);
        QCOMPARE(recording.action().has_value(), stillRecording);
        QCOMPARE(desktop.beeps, int(stillRecording));
        QCOMPARE(held(Preferences(path), SnapAction::maximize), maximize); // in the file, not only in memory
    }

    // A second start ends the first recording; keys reach the settings window again once it is over.
    void recordingsComeAndGo()
    {
        Preferences prefs(m_dir.filePath(u"comings"_s));
        FakeDesktop desktop;
        ShortcutRecording recording(prefs, desktop);
        QStringList seen;
        connect(&recording, &ShortcutRecording::actionChanged, this,
                [&](const std::optional<SnapAction> &action) { seen.append(action ? action->rawValue() : u"none"_s); });
        QVERIFY(!recording.handleKey(0, EventModifier::control));
        recording.start(SnapAction::leftHalf);
        recording.start(SnapAction::topHalf);
        recording.stop();
        recording.stop();
        QCOMPARE(seen.join(u' '), u"leftHalf none topHalf none"_s);
        QVERIFY(!recording.handleKey(53, 0));
        QCOMPARE(held(prefs, SnapAction::leftHalf), u"123/0x1800"_s);
    }
};

QTEST_MAIN(ShortcutRecordingTest)
#include "ShortcutRecordingTest.moc"
