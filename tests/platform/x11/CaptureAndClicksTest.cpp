// Window thumbnails and the click monitor on a real X server, with and without a compositor.
#include "desktop/TestDesktop.h"
#include "platform/x11/X11MouseMonitor.h"
#include "platform/x11/X11Thumbnails.h"

#include <QDir>
#include <QTest>

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
    xcb_connection_t *m_own = nullptr; // this process's own windows and its XTEST clicks
    QList<xcb_window_t> m_ownWindows;
    QStringList m_names;

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

    // A window 400×300 half covered by one of 0x3366cc, and a minimized one, which has no image. Openbox's
    // frame adds 2 px and 25 px: 402×325, s = min(344/402, 212/325) = 0.6523, 402 s = 262.2.
    void thumbnailsAreTheFrameScaledToTheCard_data()
    {
        QTest::addColumn<bool>("compositing");
        QTest::addColumn<QRgb>("centre");
        // The screen shows what covers the window; the compositor keeps the window's own contents.
        QTest::newRow("no compositor") << false << 0xff3366ccu;
        QTest::newRow("picom") << true << 0xffd0d0d0u; // last: picom stays
    }
    void thumbnailsAreTheFrameScaledToTheCard()
    {
        QFETCH(bool, compositing);
        QFETCH(QRgb, centre);
        QVERIFY(!compositing || m_desktop->startCompositor());
        const xcb_window_t covered = open(u"x=100 y=100 w=400 h=300"_s);
        const xcb_window_t minimized = open(u"x=600 y=100 w=400 h=300"_s);
        const xcb_window_t cover = openOwn(QRect(200, 200, 200, 150), 0x3366cc, false);
        // picom redirects the windows a moment after it owns its selection: wait until a pixmap can be named.
        QVERIFY(!compositing || m_desktop->waitUntil([&] {
            const xcb_pixmap_t pixmap = xcb_generate_id(m_own);
            const XReply<xcb_generic_error_t> error{
                xcb_request_check(m_own, xcb_composite_name_window_pixmap_checked(m_own, cover, pixmap))};
            xcb_free_pixmap(m_own, pixmap);
            return !error;
        }));
        QVERIFY(m_desktop->run(u"xdotool"_s, {u"windowminimize"_s, QString::number(minimized)}));
        const X11Thumbnails thumbnails(*m_x);
        // Openbox hides it a moment after the request; shown, it would have an image all along.
        QVERIFY(m_desktop->waitUntil([&] { return thumbnails.captureWindow(minimized, cardSize).isNull(); }));
        const QImage image = thumbnails.captureWindow(covered, cardSize);
        QCOMPARE(image.size(), QSize(262, 212));
        QCOMPARE(QString::number(image.pixel(131, 106), 16), QString::number(centre, 16));
        if (compositing) // what a card shows of a covered window
            QVERIFY(QDir().mkpath(QStringLiteral(PANEMAKER_SCREENSHOTS))
                    && image.save(QStringLiteral(PANEMAKER_SCREENSHOTS "/thumbnail-covered.png")));
    }

    // A run ended before its images came delivers none of them, even those already posted.
    void anEndedRunDeliversNothing()
    {
        const xcb_window_t window = open(u"x=100 y=100 w=300 h=200"_s);
        auto thumbnails = std::make_unique<X11Thumbnails>(*m_x);
        int kept = 0, ended = 0;
        const auto run = thumbnails->capture({window}, cardSize, [&](std::uint32_t, const QImage &) { ++kept; });
        thumbnails->capture({window, window}, cardSize, [&](std::uint32_t, const QImage &) { ++ended; });
        thumbnails.reset(); // waits for the jobs
        QCoreApplication::processEvents();
        QCOMPARE(kept, 1);
        QCOMPARE(ended, 0);
    }

    // Every row first ends a subscription and presses while nobody subscribes: that press never arrives.
    void clicksOfLeftAndRightElsewhereAreReported_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("onOwnWindow");
        QTest::addColumn<bool>("reported");
        QTest::newRow("right, another client") << 3 << false << true;
        QTest::newRow("middle, another client") << 2 << false << false;
        QTest::newRow("left, this process's managed window") << 1 << true << false;
    }
    void clicksOfLeftAndRightElsewhereAreReported()
    {
        QFETCH(int, button);
        QFETCH(bool, onOwnWindow);
        QFETCH(bool, reported);
        open(u"x=1500 y=100 w=400 h=300"_s);
        openOwn(QRect(200, 200, 300, 200), 0x3366cc, true);
        m_desktop->movePointer(onOwnWindow ? 350 : 1700, 300);
        const X11Displays displays(*m_x);
        X11MouseMonitor monitor(m_desktop->displayName().toLocal8Bit(), displays, m_x->frameClock());
        int ended = 0, clicks = 0;
        monitor.monitorClicks([&] { ++ended; }).reset();
        click(1); // no event loop runs before the next subscription: a press selected now would wait for it
        const auto subscription = monitor.monitorClicks([&] { ++clicks; });
        click(std::uint8_t(button));
        // A press not reported has to be waited out; the pointer stays where it was meanwhile.
        QCOMPARE(m_desktop->waitUntil([&] { return clicks > 0; }, reported ? 5000 : 300), reported);
        QCOMPARE(clicks, int(reported));
        QCOMPARE(ended, 0);
    }
};

QTEST_GUILESS_MAIN(CaptureAndClicksTest)
#include "CaptureAndClicksTest.moc"
