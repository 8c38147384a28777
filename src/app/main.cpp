// panemaker: the entry point. Connects to the X display, hands over to a running instance
// or becomes the one, and runs until asked to quit; or asks the running one to snap.
#include "app/CommandLine.h"
#include "app/Program.h"
#include "app/SingleInstance.h"
#include "platform/Bundle.h"
#include "platform/Log.h"
#include "update/DesignatedKey.h"

#include <QApplication>
#include <QFileInfo>
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

int requestAction(SnapAction action)
{
    const QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty()) {
        std::fprintf(stderr, "panemaker: no X display: DISPLAY is not set\n");
        return ExitStatus::failure;
    }
    QString message;
    switch (SingleInstance::requestAction(display, action, &message)) {
    case SingleInstance::Request::done: return ExitStatus::success;
    case SingleInstance::Request::refused:
        std::fprintf(stderr, "panemaker: refused: %s\n", qPrintable(message));
        return ExitStatus::refused;
    case SingleInstance::Request::notRunning:
        std::fprintf(stderr, "panemaker: %s\n", qPrintable(message));
        return ExitStatus::notRunning;
    case SingleInstance::Request::failed: break;
    }
    std::fprintf(stderr, "panemaker: %s\n", qPrintable(message));
    return ExitStatus::failure;
}

// Wires the program over an open X connection and runs the event loop.
int run(QApplication &app, x11::XConnection &x, const Bundle &bundle, const QString &programPath)
{
    const QString display = qEnvironmentVariable("DISPLAY");
    SingleInstance instance(display);
    QString error;
    switch (instance.start(&error)) {
    case SingleInstance::Role::first: break;
    case SingleInstance::Role::handedOver:
        std::fprintf(stderr, "panemaker: already running on %s; asked it to show itself\n", qPrintable(display));
        return ExitStatus::success;
    case SingleInstance::Role::failed:
        std::fprintf(stderr, "panemaker: %s\n", qPrintable(error));
        return ExitStatus::failure;
    }

    x.deliverEvents();
    QObject::connect(&x, &x11::XConnection::connectionLost, &app, [] {
        Log::error(QStringLiteral("Lost the connection to the X display; quitting"));
        QCoreApplication::exit(ExitStatus::failure);
    });
    Program program(x, Preferences::shared(), bundle.path(), programPath, designatedKey());
    AppDelegate &delegate = program.delegate();
    QObject::connect(&instance, &SingleInstance::reopenRequested, &delegate, &AppDelegate::reopen);
    instance.onAction = [&delegate](SnapAction action) { return delegate.manager().perform(action); };
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
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine command = CommandLine::parse(arguments);
    const QString programPath = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const Bundle bundle = Bundle::ofProgram(programPath);
    switch (command.request) {
    case CommandLine::Request::invalid:
        std::fprintf(stderr, "panemaker: %s\n", qPrintable(command.error));
        return ExitStatus::usage;
    case CommandLine::Request::help:
        std::fputs(qPrintable(CommandLine::helpText()), stdout);
        return ExitStatus::success;
    case CommandLine::Request::version:
        if (bundle.version().isEmpty()) {
            std::fprintf(stderr, "panemaker: no version: %s/share/panemaker/info.json is missing or unreadable\n",
                         qPrintable(bundle.path()));
            return ExitStatus::failure;
        }
        std::printf("Panemaker %s (build %s)\n", qPrintable(bundle.version()),
                    qPrintable(bundle.info(QStringLiteral("build")).toString()));
        return ExitStatus::success;
    case CommandLine::Request::action: {
        QCoreApplication app(argc, argv);
        return requestAction(*command.action);
    }
    case CommandLine::Request::run: break;
    }

    // Connecting first: Qt would abort without a display, and this says it in one line instead.
    QString error;
    std::unique_ptr<x11::XConnection> x = x11::XConnection::open({}, &error);
    if (!x) {
        std::fprintf(stderr, "panemaker: %s\n", qPrintable(error));
        return ExitStatus::failure;
    }
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Panemaker"));
    app.setApplicationVersion(bundle.version());
    const int status = run(app, *x, bundle, programPath);
    x.reset(); // its socket notifier must go while the application still exists
    return status;
}
