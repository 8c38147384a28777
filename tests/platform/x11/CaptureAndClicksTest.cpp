// Window thumbnails and the click monitor on a real X server, with and without a compositor.
#include "desktop/TestDesktop.h"
#include "platform/x11/X11ClickMonitor.h"
#include "platform/x11/X11Thumbnails.h"

#include <QDir>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <xcb/composite.h>
#include <xcb/xcb_icccm.h>
#include <xcb/xtest.h>

#include <unistd.h>

using namespace panemaker;
using namespace panemaker::x11;
using namespace Qt::StringLiterals;

const QSize cardSize(344, 212);

class CaptureAndClicksTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDesktop> m_desktop;
    TestClient *m_client = nullptr;
    std::unique_ptr<XConnection> m_x;
    std::unique_ptr<X11Thumbnails> m_thumbnails;
    xcb_connection_t *m_own = nullptr; // this process's own windows and its XTEST clicks
    QList<xcb_window_t> m_ownWindows;
    QStringList m_names;
    bool m_compositing = false;

    xcb_window_t open(const QString &options)
    {
        m_names.append(u"w%1"_s.arg(m_names.size()));
        return m_client->open(m_names.last(), options.split(u' '));
    }
    // A window of this process in one colour; managed, or placed where asked (override-redirect).
    xcb_window_t openOwn(QRect rect, std::uint32_t colour, bool managed)
    {
        const xcb_window_t window = xcb_generate_id(m_own);
        const std::uint32_t values[] = {colour, managed ? 0u : 1u};
        xcb_create_window(m_own, XCB_COPY_FROM_PARENT, window, m_desktop->root(), std::int16_t(rect.x()),
                          std::int16_t(rect.y()), std::uint16_t(rect.width()), std::uint16_t(rect.height()), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
        const auto pid = std::uint32_t(::getpid());
        xcb_size_hints_t hints{};
        xcb_icccm_size_hints_set_position(&hints, 1, rect.x(), rect.y());
        xcb_icccm_set_wm_normal_hints(m_own, window, &hints);
        xcb_change_property(m_own, XCB_PROP_MODE_REPLACE, window, m_desktop->atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32,
                            1, &pid);
        xcb_map_window(m_own, window);
        sync();
        m_ownWindows.append(window);
        if (managed)
            [&] { QVERIFY(m_desktop->waitUntil([&] { return m_desktop->frameExtents(window).has_value(); })); }();
        return window;
    }
    void sync() { std::free(xcb_get_input_focus_reply(m_own, xcb_get_input_focus(m_own), nullptr)); }
    bool isViewable(xcb_window_t window)
    {
        const auto reply = xcb_get_window_attributes_reply(m_own, xcb_get_window_attributes(m_own, window), nullptr);
        const bool viewable = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(reply);
        return viewable;
    }
    void setCompositing(bool wanted)
    {
        if (wanted == m_compositing)
            return;
        QVERIFY(wanted); // rows with a compositor come last
        m_desktop->startProcess(u"picom"_s, {u"--backend"_s, u"xrender"_s, u"--config"_s, u"/dev/null"_s});
        const xcb_atom_t selection = m_desktop->atom("_NET_WM_CM_S0");
        QVERIFY(m_desktop->waitUntil([&] {
            const auto owner = xcb_get_selection_owner_reply(m_own, xcb_get_selection_owner(m_own, selection), nullptr);
            const bool owned = owner && owner->owner != XCB_WINDOW_NONE;
            std::free(owner);
            return owned;
        }));
        // It redirects the windows a moment after it owns the selection.
        const xcb_window_t probe = openOwn(QRect(0, 0, 10, 10), 0, false);
        QVERIFY(m_desktop->waitUntil([&] {
            const xcb_pixmap_t pixmap = xcb_generate_id(m_own);
            xcb_generic_error_t *error =
                xcb_request_check(m_own, xcb_composite_name_window_pixmap_checked(m_own, probe, pixmap));
            xcb_free_pixmap(m_own, pixmap);
            std::free(error);
            return !error;
        }));
        m_compositing = true;
    }
    void click(std::uint8_t button)
    {
        xcb_test_fake_input(m_own, XCB_BUTTON_PRESS, button, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
        xcb_test_fake_input(m_own, XCB_BUTTON_RELEASE, button, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
        sync();
    }
private Q_SLOTS:
    void initTestCase()
    {
        qputenv("PANEMAKER_FATAL_X_ERRORS", "1");
        m_desktop = std::make_unique<TestDesktop>();
        m_client = m_desktop->startWithClient();
        QString error;
        m_x = XConnection::open(m_desktop->displayName().toLocal8Bit(), &error);
        QVERIFY2(m_x, qPrintable(error));
        m_thumbnails = std::make_unique<X11Thumbnails>(*m_x);
        m_own = xcb_connect(m_desktop->displayName().toLocal8Bit().constData(), nullptr);
        QVERIFY(!xcb_connection_has_error(m_own));
    }
    void cleanupTestCase() { xcb_disconnect(m_own); }

    void cleanup()
    {
        for (const xcb_window_t window : std::exchange(m_ownWindows, {}))
            xcb_destroy_window(m_own, window);
        sync();
        for (const QString &name : std::exchange(m_names, {}))
            m_client->destroy(name);
        QVERIFY(m_desktop->waitUntil([&] { return m_desktop->clientList().isEmpty(); }));
    }

    // Openbox's frame here adds 2 px to the width and 25 px to the height (its theme's title and border).
    void thumbnailsAreTheFrameScaledToTheCard_data()
    {
        QTest::addColumn<bool>("compositing");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QSize>("size"); // empty: no image
        QTest::addColumn<QRgb>("centre");
        for (const bool compositing : {false, true}) {
            const char *mode = compositing ? "picom" : "no compositor";
            // Frame 1602×1025: s = min(344/1602, 212/1025) = 0.20683, 1602 s = 331.3.
            QTest::addRow("%s: large, on RIGHT", mode) << compositing << u"large"_s << QSize(331, 212) << 0xffd0d0d0u;
            // 172×106 without a frame: s = 2, enlarged.
            QTest::addRow("%s: small, enlarged", mode) << compositing << u"small"_s << QSize(344, 212) << 0xff3366ccu;
            // Frame 402×325, s = min(0.8557, 0.6523) = 0.6523, 402 s = 262.2. The screen shows what
            // covers the window; the compositor keeps the window's own contents.
            QTest::addRow("%s: covered", mode)
                << compositing << u"covered"_s << QSize(262, 212) << (compositing ? 0xffd0d0d0u : 0xff3366ccu);
            QTest::addRow("%s: minimized", mode) << compositing << u"minimized"_s << QSize(0, 0) << 0u;
            QTest::addRow("%s: destroyed", mode) << compositing << u"destroyed"_s << QSize(0, 0) << 0u;
        }
    }
    void thumbnailsAreTheFrameScaledToTheCard()
    {
        QFETCH(bool, compositing);
        QFETCH(QString, window);
        QFETCH(QSize, size);
        QFETCH(QRgb, centre);
        setCompositing(compositing);
        xcb_window_t id = XCB_WINDOW_NONE;
        if (window == u"large") {
            id = open(u"x=1500 y=20 w=1600 h=1000"_s);
        } else if (window == u"small") {
            id = openOwn(QRect(100, 100, 172, 106), 0x3366cc, false);
        } else if (window == u"covered") {
            id = open(u"x=100 y=100 w=400 h=300"_s);
            openOwn(QRect(200, 200, 200, 150), 0x3366cc, false);
        } else if (window == u"minimized") {
            id = open(u"x=100 y=100 w=400 h=300"_s);
            QVERIFY(m_desktop->run(u"xdotool"_s, {u"windowminimize"_s, QString::number(id)}));
            QVERIFY(m_desktop->waitUntil([&] { return !isViewable(id); }));
        } else {
            id = open(u"x=100 y=100 w=400 h=300"_s);
            QVERIFY(m_client->destroy(m_names.takeLast()));
        }
        const QImage image = m_thumbnails->captureWindow(id, cardSize);
        QCOMPARE(image.size(), size);
        if (!image.isNull())
            QCOMPARE(QString::number(image.pixel(size.width() / 2, size.height() / 2), 16),
                     QString::number(centre, 16));
        if (compositing && window == u"covered") {
            const QString directory = QStringLiteral(PANEMAKER_SCREENSHOTS);
            QVERIFY(QDir().mkpath(directory) && image.save(directory + u"/thumbnail-covered.png"_s));
        }
    }

    // Images arrive on the main thread, each with its window's id; a window gone is skipped.
    void captureDeliversEachImageOnTheMainThread()
    {
        const xcb_window_t first = open(u"x=1500 y=20 w=300 h=200"_s), second = open(u"x=100 y=100 w=200 h=300"_s);
        const xcb_window_t gone = open(u"x=100 y=500 w=200 h=100"_s);
        QVERIFY(m_client->destroy(m_names.takeLast()));
        QHash<std::uint32_t, QSize> delivered;
        const auto run =
            m_thumbnails->capture({gone, first, second}, cardSize, [&](std::uint32_t id, const QImage &image) {
                QCOMPARE(QThread::currentThread(), qApp->thread());
                delivered.insert(id, image.size());
            });
        QVERIFY(m_desktop->waitUntil([&] { return delivered.size() == 2; }));
        // Frames 302×225 and 202×325: s = 0.9422 and 0.6523.
        QCOMPARE(delivered, (QHash<std::uint32_t, QSize>{{first, QSize(284, 212)}, {second, QSize(131, 212)}}));
    }

    // Ending a run before its images came drops them, even those already posted.
    void endedRunDeliversNothing()
    {
        const xcb_window_t window = open(u"x=1500 y=20 w=300 h=200"_s);
        auto thumbnails = std::make_unique<X11Thumbnails>(*m_x);
        int calls = 0;
        thumbnails->capture({window, window, window}, cardSize, [&](std::uint32_t, const QImage &) { ++calls; });
        thumbnails.reset(); // waits for the jobs
        QCoreApplication::processEvents();
        QCOMPARE(calls, 0);
    }

    void clicksOfLeftAndRightElsewhereAreReported_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("onOwnWindow");
        QTest::addColumn<bool>("reported");
        QTest::newRow("left, another client") << 1 << false << true;
        QTest::newRow("right, another client") << 3 << false << true;
        QTest::newRow("middle, another client") << 2 << false << false;
        QTest::newRow("left, this process's managed window") << 1 << true << false;
        QTest::newRow("right, this process's managed window") << 3 << true << false;
    }
    void clicksOfLeftAndRightElsewhereAreReported()
    {
        QFETCH(int, button);
        QFETCH(bool, onOwnWindow);
        QFETCH(bool, reported);
        open(u"x=1500 y=100 w=400 h=300"_s);
        openOwn(QRect(200, 200, 300, 200), 0x3366cc, true);
        X11ClickMonitor monitor(m_desktop->displayName().toLocal8Bit());
        int clicks = 0;
        const auto subscription = monitor.monitorClicks([&] { ++clicks; });
        m_desktop->movePointer(onOwnWindow ? 350 : 1700, 300);
        click(std::uint8_t(button));
        // A press not reported has to be waited out; the pointer stays where it was meanwhile.
        QCOMPARE(m_desktop->waitUntil([&] { return clicks > 0; }, reported ? 5000 : 300), reported);
        QCOMPARE(clicks, int(reported));
    }

    // Presses come only while someone subscribes.
    void nothingIsMonitoredWithoutSubscription()
    {
        open(u"x=1500 y=100 w=400 h=300"_s);
        m_desktop->movePointer(1700, 300);
        X11ClickMonitor monitor(m_desktop->displayName().toLocal8Bit());
        int ended = 0, current = 0;
        monitor.monitorClicks([&] { ++ended; }).reset();
        click(1); // no event loop runs before the next subscription: a press selected now would wait for it

        const auto subscription = monitor.monitorClicks([&] { ++current; });
        click(3);
        QVERIFY(m_desktop->waitUntil([&] { return current > 0; }));
        QCOMPARE(ended, 0);
        QCOMPARE(current, 1); // the press while idle never arrives late
    }
};

QTEST_GUILESS_MAIN(CaptureAndClicksTest)
#include "CaptureAndClicksTest.moc"
