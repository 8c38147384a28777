// The integration-test desktop itself: its monitors, Openbox's behaviour, the test client, input and clean-up.
#include "desktop/TestDesktop.h"

#include <QTest>

#include <xcb/randr.h>
#include <xcb/xcb_icccm.h>

#include <X11/keysym.h>

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

using namespace panemaker;

namespace {

struct Monitor {
    QString name;
    QRect geometry;
    bool primary = false;
    bool operator==(const Monitor &) const = default;
};

} // namespace

namespace QTest {
template <>
char *toString(const Monitor &monitor)
{
    return qstrdup(qPrintable(QStringLiteral("%1 %2,%3 %4x%5%6")
                                  .arg(monitor.name)
                                  .arg(monitor.geometry.x())
                                  .arg(monitor.geometry.y())
                                  .arg(monitor.geometry.width())
                                  .arg(monitor.geometry.height())
                                  .arg(monitor.primary ? QStringLiteral(" primary") : QString())));
}
} // namespace QTest

class TestDesktopTest final : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDesktop> m_desktop;
    TestClient *m_client = nullptr;

    QList<Monitor> monitors()
    {
        xcb_connection_t *connection = m_desktop->connection();
        QList<Monitor> result;
        xcb_randr_get_monitors_reply_t *reply =
            xcb_randr_get_monitors_reply(connection, xcb_randr_get_monitors(connection, m_desktop->root(), 1), nullptr);
        if (!reply)
            return result;
        for (auto it = xcb_randr_get_monitors_monitors_iterator(reply); it.rem; xcb_randr_monitor_info_next(&it)) {
            xcb_get_atom_name_reply_t *name =
                xcb_get_atom_name_reply(connection, xcb_get_atom_name(connection, it.data->name), nullptr);
            result.append({name ? QString::fromLatin1(xcb_get_atom_name_name(name), xcb_get_atom_name_name_length(name))
                                : QString(),
                           QRect(it.data->x, it.data->y, it.data->width, it.data->height), bool(it.data->primary)});
            std::free(name);
        }
        std::free(reply);
        return result;
    }

    // Drains the test connection until a key press arrives; nothing when none comes.
    std::optional<xcb_key_press_event_t> nextKeyPress()
    {
        std::optional<xcb_key_press_event_t> press;
        TestDesktop::waitUntil([&] {
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_desktop->connection())) {
                if ((event->response_type & 0x7f) == XCB_KEY_PRESS && !press)
                    press = *reinterpret_cast<xcb_key_press_event_t *>(event);
                std::free(event);
            }
            return press.has_value();
        });
        return press;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_desktop = std::make_unique<TestDesktop>();
        QString error;
        QVERIFY2(m_desktop->start(&error), qPrintable(error));
        QVERIFY(m_desktop->displayName().startsWith(u':'));
        m_client = m_desktop->startClient(&error);
        QVERIFY2(m_client, qPrintable(error));
    }

    void hasTheTwoMonitors()
    {
        QCOMPARE(monitors(), (QList<Monitor>{{QStringLiteral("LEFT"), QRect(0, 0, 1440, 900), true},
                                             {QStringLiteral("RIGHT"), QRect(1440, 0, 1920, 1080), false}}));
    }

    void openboxBindsNoKeys_data()
    {
        QTest::addColumn<xcb_keysym_t>("key");
        QTest::addColumn<QList<xcb_keysym_t>>("modifiers");
        QTest::addColumn<uint16_t>("state");
        QTest::newRow("Ctrl+Alt+Left") << xcb_keysym_t(XK_Left) << QList<xcb_keysym_t>{XK_Control_L, XK_Alt_L}
                                       << uint16_t(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
        QTest::newRow("Alt+Tab") << xcb_keysym_t(XK_Tab) << QList<xcb_keysym_t>{XK_Alt_L} << uint16_t(XCB_MOD_MASK_1);
        QTest::newRow("Super+Right") << xcb_keysym_t(XK_Right) << QList<xcb_keysym_t>{XK_Super_L}
                                     << uint16_t(XCB_MOD_MASK_4);
    }

    // A grab Openbox already holds would be refused, and a key it binds would never reach us.
    void openboxBindsNoKeys()
    {
        QFETCH(xcb_keysym_t, key);
        QFETCH(QList<xcb_keysym_t>, modifiers);
        QFETCH(uint16_t, state);
        xcb_connection_t *connection = m_desktop->connection();
        const std::optional<xcb_keycode_t> keycode = m_desktop->keycode(key);
        QVERIFY(keycode);
        xcb_generic_error_t *error =
            xcb_request_check(connection, xcb_grab_key_checked(connection, 0, m_desktop->root(), state, *keycode,
                                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        const int errorCode = error ? error->error_code : 0;
        std::free(error);
        QCOMPARE(errorCode, 0);

        QVERIFY(m_desktop->pressKey(key, modifiers));
        const std::optional<xcb_key_press_event_t> press = nextKeyPress();
        xcb_ungrab_key(connection, *keycode, m_desktop->root(), state);
        QVERIFY(press);
        QCOMPARE(press->detail, *keycode);
        QCOMPARE(press->state, state);
    }

    void managesAWindowWhereItAsked()
    {
        const std::optional<xcb_window_t> window =
            m_client->open(QStringLiteral("plain"), {QStringLiteral("x=100"), QStringLiteral("y=100"),
                                                     QStringLiteral("w=400"), QStringLiteral("h=300")});
        QVERIFY2(window, qPrintable(m_client->lastError()));
        const std::optional<QRect> client = m_desktop->clientGeometry(*window);
        const std::optional<QMargins> extents = m_desktop->frameExtents(*window);
        QVERIFY(client && extents);
        QCOMPARE(client->size(), QSize(400, 300));
        QVERIFY(extents->top() > 0);
        QCOMPARE(m_desktop->outerFrame(*window).value_or(QRect()), client->marginsAdded(*extents));
        QCOMPARE(client->marginsAdded(*extents).topLeft(), QPoint(100, 100));
        QCOMPARE(m_client->state(QStringLiteral("plain")).value_or(QRect()), *client);

        const auto pid = m_desktop->atom("_NET_WM_PID");
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            m_desktop->connection(),
            xcb_get_property(m_desktop->connection(), 0, *window, pid, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        QVERIFY(reply && xcb_get_property_value_length(reply) == 4);
        const qint64 windowPid = *static_cast<uint32_t *>(xcb_get_property_value(reply));
        std::free(reply);
        QCOMPARE(windowPid, m_client->pid());
        QVERIFY(windowPid != getpid());
    }

    // Openbox maximizes to the monitor it sees, so this also shows it knows the two monitors.
    void maximizesToTheLeftMonitor()
    {
        const std::optional<xcb_window_t> window =
            m_client->open(QStringLiteral("maximized"), {QStringLiteral("maximized=1")});
        QVERIFY2(window, qPrintable(m_client->lastError()));
        QVERIFY(TestDesktop::waitUntil([&] { return m_desktop->outerFrame(*window) == QRect(0, 0, 1440, 900); }));
        QVERIFY(m_client->destroy(QStringLiteral("maximized")));
    }

    void honoursSizeLimits()
    {
        const std::optional<xcb_window_t> window =
            m_client->open(QStringLiteral("limited"),
                           {QStringLiteral("w=500"), QStringLiteral("h=400"), QStringLiteral("minw=200"),
                            QStringLiteral("minh=150"), QStringLiteral("maxw=300"), QStringLiteral("maxh=250")});
        QVERIFY2(window, qPrintable(m_client->lastError()));
        xcb_size_hints_t hints{};
        QVERIFY(xcb_icccm_get_wm_normal_hints_reply(
            m_desktop->connection(), xcb_icccm_get_wm_normal_hints(m_desktop->connection(), *window), &hints, nullptr));
        QVERIFY(hints.flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE);
        QVERIFY(hints.flags & XCB_ICCCM_SIZE_HINT_P_MAX_SIZE);
        QCOMPARE(QSize(hints.min_width, hints.min_height), QSize(200, 150));
        QCOMPARE(QSize(hints.max_width, hints.max_height), QSize(300, 250));
        QVERIFY(TestDesktop::waitUntil(
            [&] { return m_desktop->clientGeometry(*window).value_or(QRect()).size() == QSize(300, 250); }));
        QVERIFY(m_client->destroy(QStringLiteral("limited")));
    }

    void activatesAndDragsByTheTitleBar()
    {
        const std::optional<xcb_window_t> first = m_client->open(
            QStringLiteral("first"), {QStringLiteral("x=1600"), QStringLiteral("y=50"), QStringLiteral("w=300")});
        const std::optional<xcb_window_t> second = m_client->open(
            QStringLiteral("second"), {QStringLiteral("x=2000"), QStringLiteral("y=50"), QStringLiteral("w=300")});
        QVERIFY2(first && second, qPrintable(m_client->lastError()));
        m_desktop->activate(*first);
        QVERIFY(TestDesktop::waitUntil([&] { return m_desktop->activeWindow() == first; }));

        const QRect start = *m_desktop->outerFrame(*second);
        const QPoint grip(start.center().x(), start.top() + m_desktop->frameExtents(*second)->top() / 2);
        m_desktop->movePointer(grip.x(), grip.y());
        QCOMPARE(m_desktop->pointer(), grip);
        m_desktop->pressButton();
        // Openbox starts the move on the first motion past its threshold and follows only the later ones.
        m_desktop->movePointer(grip.x() + 2, grip.y());
        for (const QPoint step : {QPoint(10, 10), QPoint(-300, 200)}) {
            m_desktop->movePointer(grip.x() + step.x(), grip.y() + step.y());
            QVERIFY(TestDesktop::waitUntil([&] { return m_desktop->outerFrame(*second) == start.translated(step); }));
        }
        m_desktop->releaseButton();
        QVERIFY(TestDesktop::waitUntil([&] { return m_desktop->activeWindow() == second; }));
        QCOMPARE(m_desktop->outerFrame(*second).value_or(QRect()), start.translated(-300, 200));
    }

    void opensDocksAndOverrideRedirectWindows_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("managed");
        QTest::newRow("dock") << QStringList{QStringLiteral("type=dock"),
                                             QStringLiteral("strut=0,0,30,0,0,0,0,0,0,1439,0,0"),
                                             QStringLiteral("w=1440"), QStringLiteral("h=30")}
                              << true;
        QTest::newRow("override-redirect") << QStringList{QStringLiteral("override=1")} << false;
    }

    void opensDocksAndOverrideRedirectWindows()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, managed);
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        const std::optional<xcb_window_t> window = m_client->open(name, options);
        QVERIFY2(window, qPrintable(m_client->lastError()));
        QVERIFY(m_desktop->isViewable(*window));
        QCOMPARE(m_desktop->isManaged(*window), managed);
        QVERIFY(m_client->destroy(name));
    }

    void forgetsADestroyedWindow()
    {
        const std::optional<xcb_window_t> window = m_client->open(QStringLiteral("doomed"));
        QVERIFY2(window, qPrintable(m_client->lastError()));
        QVERIFY(m_desktop->clientList().contains(*window));
        QVERIFY(m_client->destroy(QStringLiteral("doomed")));
        QVERIFY(TestDesktop::waitUntil([&] { return !m_desktop->clientList().contains(*window); }));
        QCOMPARE(m_client->request(QStringLiteral("state doomed")).value_or(QString()),
                 QStringLiteral("error no window doomed"));
    }

    void endsEveryProcessItStarted()
    {
        const QList<qint64> pids = m_desktop->processIds();
        QCOMPARE(pids.size(), 3); // Xvfb, Openbox, the client
        m_client = nullptr;
        m_desktop.reset();
        for (qint64 pid : pids)
            QVERIFY2(::kill(pid_t(pid), 0) == -1 && errno == ESRCH, qPrintable(QString::number(pid)));
    }
};

QTEST_GUILESS_MAIN(TestDesktopTest)
#include "TestDesktopTest.moc"
