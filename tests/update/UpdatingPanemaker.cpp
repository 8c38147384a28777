// UpdatingPanemaker: the panemaker program, trusting the tests' update key, that checks for an
// update as soon as it runs and installs what it is offered, as a user who chose the update would.
// With --die-after STEP it is killed the moment the install has finished that step, as a power
// cut would.
#include "app/Program.h"
#include "update/DesignatedKey.h"

#include <QApplication>
#include <QFileInfo>
#include <QMetaEnum>

#include <csignal>

using namespace panemaker;

int main(int argc, char **argv)
{
    QString error;
    std::unique_ptr<x11::XConnection> x = x11::XConnection::open({}, &error);
    if (!x)
        qFatal("%s", qPrintable(error));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication app(argc, argv);
    const int dieAfter = app.arguments().value(1) == QLatin1String("--die-after")
                             ? QMetaEnum::fromType<Updater::Step>().keyToValue(qPrintable(app.arguments().value(2)))
                             : -1;
    x->deliverEvents();
    int status = 0;
    {
        // Gone before the connection it uses.
        const QString programPath = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
        Program program(*x, Preferences::shared(), Bundle::ofProgram(programPath).path(), programPath, designatedKey());
        Updater &updater = program.delegate().updater();
        QObject::connect(&updater, &Updater::releaseChanged, &updater, [&updater] { updater.install(); });
        QObject::connect(&updater, &Updater::stepFinished, &updater, [dieAfter](Updater::Step step) {
            if (int(step) == dieAfter)
                std::raise(SIGKILL);
        });
        program.delegate().applicationDidFinishLaunching();
        updater.checkNow();
        status = app.exec();
    }
    x.reset();
    return status;
}
