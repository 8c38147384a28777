// Reading the command line.
#include "app/CommandLine.h"

#include <QCommandLineParser>

namespace panemaker {

CommandLine CommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, {});
    const QCommandLineOption version(QStringLiteral("version"), {});
    const QCommandLineOption action(QStringLiteral("action"), {}, QStringLiteral("ACTION"));
    parser.addOptions({help, version, action});
    CommandLine line;
    if (!parser.parse(arguments)) {
        line.request = Request::invalid;
        line.error = parser.errorText();
    } else if (!parser.positionalArguments().isEmpty()) {
        line.request = Request::invalid;
        line.error = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().constFirst());
    } else if (parser.isSet(help)) {
        line.request = Request::help;
    } else if (parser.isSet(version)) {
        line.request = Request::version;
    } else if (parser.isSet(action)) {
        const QString name = parser.value(action);
        line.action = SnapAction::fromRawValue(name);
        line.request = line.action ? Request::action : Request::invalid;
        line.error = QStringLiteral("unknown action '%1' (panemaker --help lists them)").arg(name);
    }
    return line;
}

QString CommandLine::helpText()
{
    QString actions;
    for (SnapAction::Group group : SnapAction::allGroups()) {
        QStringList names;
        for (SnapAction action : SnapAction::actions(group))
            names.append(action.rawValue());
        actions += QStringLiteral("  %1: %2\n").arg(SnapAction::title(group), names.join(QStringLiteral(", ")));
    }
    return QStringLiteral("Usage: panemaker [--action ACTION | --help | --version]\n"
                          "\n"
                          "Snaps windows to halves, quarters, thirds and more, with global shortcuts, a tray menu\n"
                          "or by dragging them to a screen edge. Without options it starts, or shows the settings\n"
                          "window of the Panemaker already running on this display.\n"
                          "\n"
                          "  --action ACTION  ask the running Panemaker to snap the focused window, and wait\n"
                          "  -h, --help       show this help\n"
                          "  --version        show the version\n"
                          "\n"
                          "Actions:\n"
                          "%1"
                          "\n"
                          "Exit status: 0 done, 1 failed, 2 unknown option or action, 3 Panemaker is not running,\n"
                          "4 the action was refused (no window to snap, or it cannot be moved).\n")
        .arg(actions);
}

} // namespace panemaker
