// panemaker: the entry point. Connects to the X display, hands over to a running instance
// or becomes the one, and runs until asked to quit.
#include "app/Program.h"
#include "app/SingleInstance.h"
#include "app/StatusIcon.h"
#include "platform/Log.h"

#include <QApplication>
#include <QDir>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <malloc.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace panemaker;

namespace {

int signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
}

// SIGTERM, SIGINT and SIGHUP (its terminal closed) end the event loop, so that everything is
// torn down in order.
void quitOnTerminationSignals(QCoreApplication &app)
{
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

// Wires the program over an open X connection and runs the event loop.
int run(QApplication &app, x11::XConnection &x)
{
    const QString display = qEnvironmentVariable("DISPLAY");
    SingleInstance instance(display);
    QString error;
    switch (instance.start(&error)) {
    case SingleInstance::Role::first: break;
    case SingleInstance::Role::handedOver:
        std::fprintf(stderr, "panemaker: already running on %s; asked it to show itself\n", qPrintable(display));
        return 0;
    case SingleInstance::Role::failed: std::fprintf(stderr, "panemaker: %s\n", qPrintable(error)); return 1;
    }

    x.deliverEvents();
    QObject::connect(&x, &x11::XConnection::connectionLost, &app, [] {
        Log::error(QStringLiteral("Lost the connection to the X display; quitting"));
        QCoreApplication::exit(1);
    });
    const QString bundle = QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).canonicalPath();
    Program program(x, Preferences::shared(), bundle, QCoreApplication::applicationFilePath());
    AppDelegate &delegate = program.delegate();
    QObject::connect(&instance, &SingleInstance::reopenRequested, &delegate, &AppDelegate::reopen);
    quitOnTerminationSignals(app);
    delegate.applicationDidFinishLaunching();
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    // Window captures pass through buffers of megabytes. A fixed threshold keeps them in their own
    // mappings, returned when freed, instead of growing the heap for the rest of the day.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    // Connecting first: Qt would abort without a display, and this says it in one line instead.
    QString error;
    std::unique_ptr<x11::XConnection> x = x11::XConnection::open({}, &error);
    if (!x) {
        std::fprintf(stderr, "panemaker: %s\n", qPrintable(error));
        return 1;
    }
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Panemaker"));
    app.setApplicationVersion(QStringLiteral(PANEMAKER_VERSION));
    app.setWindowIcon(statusIcon());
    const int status = run(app, *x);
    x.reset(); // its socket notifier must go while the application still exists
    return status;
}
