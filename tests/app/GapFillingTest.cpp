// Filling the gaps a snap leaves, on the window manager PANEMAKER_TEST_SESSION names (openbox when unset): real
// key presses open the picker, pick windows of another process and close it.
#include "desktop/TestDesktop.h"
#include "support/PanemakerProcess.h"

#include <QTest>

#include <xcb/xcb.h>

using namespace panemaker;
using namespace Qt::StringLiterals;

namespace {

constexpr xcb_keysym_t returnKey = 0xff0d, escapeKey = 0xff1b;

} // namespace

class GapFillingTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDesktop> m_desktop;
    std::unique_ptr<PanemakerProcess> m_panemaker;
    TestClient *m_client = nullptr;
    QStringList m_opened;

    xcb_window_t open(const QString &title, const QStringList &options = {})
    {
        m_opened.append(u"w%1"_s.arg(m_opened.size() + 1));
        return m_client->openActive(m_opened.last(),
                                    QStringList{u"title="_s + title, u"x=100"_s, u"y=100"_s, u"w=400"_s, u"h=300"_s}
                                        + options);
    }

    // Someone holds the whole keyboard: the picker, once it is shown.
    bool keyboardIsGrabbed()
    {
        xcb_connection_t *c = xcb_connect(qPrintable(m_desktop->displayName()), nullptr);
        auto *reply = xcb_grab_keyboard_reply(
            c, xcb_grab_keyboard(c, 0, m_desktop->root(), XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
            nullptr);
        const bool grabbed = reply && reply->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
        std::free(reply);
        xcb_disconnect(c); // which ends a grab of our own
        return grabbed;
    }
    bool pickerShows(bool shown)
    {
        return m_desktop->waitUntil([&] {
            return m_desktop->shownWindow(u"Fill the gap"_s).has_value() == shown && keyboardIsGrabbed() == shown;
        });
    }
    bool isActive(xcb_window_t window)
    {
        return m_desktop->waitUntil([&] { return m_desktop->activeWindow() == window; });
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("PANEMAKER_FATAL_X_ERRORS", "1");
        m_desktop = std::make_unique<TestDesktop>(TestDesktop::sessionUnderTest());
        m_client = m_desktop->startWithClient();
        m_panemaker = std::make_unique<PanemakerProcess>(*m_desktop);
        QVERIFY(m_panemaker->start({u"askToFillGap=true"_s}));
    }

    void cleanup()
    {
        if (m_desktop->shownWindow(u"Fill the gap"_s))
            m_desktop->pressKey(escapeKey);
        for (const QString &name : std::exchange(m_opened, {}))
            m_client->destroy(name);
        QVERIFY2(!m_panemaker->hasDied(), "Panemaker died");
        QVERIFY(pickerShows(false));
    }

    // The picker opens centred on the right half while the snapped window stays active; part of a title picks.
    void aTypedTitlePicksTheWindowForTheGap()
    {
        open(u"alpha"_s);
        const xcb_window_t beta = open(u"beta"_s);
        const xcb_window_t snapped = open(u"snapped"_s);
        QVERIFY(m_panemaker->snap(SnapAction::leftHalf));
        QVERIFY(m_panemaker->waitForLine(u"Gap picker: 2 candidate windows"_s));
        QVERIFY(pickerShows(true));
        const QPointF centre = QRectF(*m_desktop->shownWindow(u"Fill the gap"_s)).center();
        QVERIFY2(qAbs(centre.x() - 1080) <= 1 && qAbs(centre.y() - m_desktop->leftUsableHeight() / 2.0) <= 1,
                 qPrintable(u"centred at %1, %2"_s.arg(centre.x()).arg(centre.y())));
        QVERIFY(isActive(snapped));
        m_desktop->screenshot(m_desktop->sessionName() + u"-picker"_s);
        for (const char key : {'b', 'e', 't'})
            QVERIFY(m_desktop->pressKey(xcb_keysym_t(key)));
        m_desktop->screenshot(m_desktop->sessionName() + u"-picker-filtered"_s);
        QVERIFY(m_desktop->pressKey(returnKey));
        QVERIFY(m_panemaker->landsAt(beta, {720, 0, 720, m_desktop->leftUsableHeight()}));
        QVERIFY(m_panemaker->waitForLine(u"Gap picker closed: all gaps filled (2 previews)"_s));
        QVERIFY(isActive(snapped));
    }

    // The front-most window goes first; the window snapped first ends in front.
    void threeGapsFillInOrder()
    {
        const xcb_window_t back = open(u"back"_s), middle = open(u"middle"_s), front = open(u"front"_s);
        const xcb_window_t snapped = open(u"snapped"_s);
        QVERIFY(m_panemaker->snap(SnapAction::topLeft));
        QVERIFY(m_panemaker->waitForLine(u"Gap picker: 3 candidate windows"_s));
        QVERIFY(pickerShows(true));
        const int height = m_desktop->leftUsableHeight(), half = height / 2;
        const std::pair<xcb_window_t, QRect> expected[] = {{front, {720, 0, 720, half}},
                                                           {middle, {0, half, 720, height - half}},
                                                           {back, {720, half, 720, height - half}}};
        for (const auto &[window, frame] : expected) {
            QVERIFY(m_desktop->pressKey(returnKey));
            QVERIFY(m_panemaker->landsAt(window, frame));
        }
        QVERIFY(m_panemaker->waitForLine(u"Gap picker closed: all gaps filled (3 previews)"_s));
        QVERIFY(isActive(snapped));
    }

    void picksBringWindowsBackAndKeepTheirSize_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("minimize");
        QTest::addColumn<QRect>("expected"); // height 0: the usable height
        QTest::newRow("minimized") << QStringList() << true << QRect(720, 0, 720, 0);
        QTest::newRow("900 wide at least: flush right")
            << QStringList{u"w=900"_s, u"minw=900"_s} << false << QRect(538, 0, 902, 0); // with its border
    }
    void picksBringWindowsBackAndKeepTheirSize()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, minimize);
        QFETCH(QRect, expected);
        if (!options.isEmpty() && m_desktop->sessionName() != u"openbox"_s)
            QSKIP("Fluxbox and IceWM give a window the size asked for, whatever its minimum");
        const xcb_window_t other = open(u"other"_s, options);
        if (minimize)
            QVERIFY(m_desktop->run(u"xdotool"_s, {u"windowminimize"_s, QString::number(other)}));
        open(u"snapped"_s);
        QVERIFY(m_panemaker->snap(SnapAction::leftHalf));
        QVERIFY(m_panemaker->waitForLine(u"Gap picker: 1 candidate windows"_s));
        QVERIFY(pickerShows(true));
        QVERIFY(m_desktop->pressKey(returnKey));
        expected.setHeight(m_desktop->leftUsableHeight());
        QVERIFY(m_panemaker->landsAt(other, expected));
        QVERIFY(m_desktop->isViewable(other));
    }

    void closesWithItsReason_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("reason");
        QTest::newRow("escape") << u"escape"_s << u"dismissed with esc"_s;
        QTest::newRow("a click on another window") << u"click"_s << u"clicked outside"_s;
        QTest::newRow("another snap") << u"snap"_s << u"cancelled"_s;
    }
    void closesWithItsReason()
    {
        QFETCH(QString, how);
        QFETCH(QString, reason);
        open(u"other"_s, {u"x=1600"_s});
        const xcb_window_t snapped = open(u"snapped"_s);
        QVERIFY(m_panemaker->snap(SnapAction::leftHalf));
        QVERIFY(pickerShows(true));
        if (how == u"escape"_s) {
            QVERIFY(m_desktop->pressKey(escapeKey));
        } else if (how == u"click"_s) {
            m_desktop->movePointer(1700, 200);
            m_desktop->pressButton();
            m_desktop->releaseButton();
        } else {
            QVERIFY(m_panemaker->snap(SnapAction::bottomHalf));
        }
        const QString closed = u"Gap picker closed: %1 ("_s.arg(reason);
        QVERIFY(m_desktop->waitUntil([&] { return !m_panemaker->lines().filter(closed).isEmpty(); }));
        QVERIFY(pickerShows(how == u"snap"_s)); // for the gap the new snap leaves
        if (how == u"escape"_s)
            QVERIFY(isActive(snapped)); // nothing placed: the snapped window is not brought forward, but stays
    }

    void withNoOtherWindowTheEmptyPickerClosesItself()
    {
        open(u"alone"_s);
        QVERIFY(m_panemaker->snap(SnapAction::rightHalf));
        QVERIFY(m_panemaker->waitForLine(u"Gap picker: 0 candidate windows"_s));
        QVERIFY(pickerShows(true));
        m_desktop->screenshot(m_desktop->sessionName() + u"-picker-empty"_s);
        QVERIFY(m_panemaker->waitForLine(u"Gap picker closed: no other windows on this desktop (0 previews)"_s));
    }

    // Last: the compositor stays. The picker turns translucent and thumbnails come from the compositor's copies.
    void withACompositor()
    {
        if (m_desktop->sessionName() != u"openbox"_s)
            QSKIP("the compositor is tried on one window manager");
        QVERIFY(m_desktop->startCompositor());
        open(u"covered"_s);
        open(u"snapped"_s);
        QVERIFY(m_panemaker->snap(SnapAction::rightHalf));
        QVERIFY(pickerShows(true));
        m_desktop->screenshot(u"picker-composited"_s);
        QVERIFY(m_desktop->pressKey(escapeKey));
        QVERIFY(m_panemaker->waitForLine(u"Gap picker closed: dismissed with esc (1 previews)"_s));
    }
};

QTEST_GUILESS_MAIN(GapFillingTest)
#include "GapFillingTest.moc"
