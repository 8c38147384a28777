// The integration-test desktop itself: Openbox leaves every key to the tests, and nothing outlives the desktop.
#include "desktop/TestDesktop.h"

#include <QTest>

#include <X11/keysym.h>

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

using namespace panemaker;

class TestDesktopTest final : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDesktop> m_desktop;
    TestClient *m_client = nullptr;

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
