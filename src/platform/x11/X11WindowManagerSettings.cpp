// Edge tiling of Xfwm4, KWin, Mutter, Muffin and Metacity; the window managers are told apart by
// the name they give their check window.
#include "platform/x11/X11WindowManagerSettings.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QXmlStreamReader>

#include <optional>
#include <utility>

namespace panemaker::x11 {

namespace {

enum class Family { xfwm4, kwin, mutter, muffin, metacity, withoutTiling, other };

Family family(const QString &windowManagerName)
{
    // Muffin calls itself "Mutter (Muffin)": it must be told apart before Mutter.
    static const std::pair<const char *, Family> prefixes[] = {
        {"xfwm4", Family::xfwm4},
        {"kwin", Family::kwin},
        {"mutter (muffin)", Family::muffin},
        {"mutter", Family::mutter},
        {"gnome shell", Family::mutter},
        {"metacity", Family::metacity},
        {"openbox", Family::withoutTiling},
        {"fluxbox", Family::withoutTiling},
        {"icewm", Family::withoutTiling},
    };
    for (const auto &[prefix, result] : prefixes) {
        if (windowManagerName.startsWith(QLatin1String(prefix), Qt::CaseInsensitive))
            return result;
    }
    return Family::other;
}

struct ToolOutput {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs an installed tool, untranslated, without a shell; nothing when it is not installed or
// does not finish in time.
std::optional<ToolOutput> runTool(const QString &program, const QStringList &arguments)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return std::nullopt;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process.setProcessEnvironment(environment);
    process.start(path, arguments);
    if (!process.waitForFinished(2000) || process.exitStatus() != QProcess::NormalExit)
        return ToolOutput{};
    return ToolOutput{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()).trimmed(),
                      QString::fromUtf8(process.readAllStandardError())};
}

// A boolean as xfconf, KConfig and GSettings write it.
EdgeTilingState fromBoolean(const QString &text)
{
    const QString value = text.trimmed().toLower();
    if (value == u"true" || value == u"yes" || value == u"on" || value == u"1")
        return EdgeTilingState::on;
    if (value == u"false" || value == u"no" || value == u"off" || value == u"0")
        return EdgeTilingState::off;
    return EdgeTilingState::unknown;
}

QString configFile(const QString &relativePath)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' + relativePath;
}

// Xfwm4: "Automatically tile windows when moving toward the screen edge", property
// /general/tile_on_move of the xfconf channel xfwm4; its default (xfwm4's defaults file) is true.
EdgeTilingState xfwm4EdgeTiling()
{
    if (const auto tool =
            runTool(QStringLiteral("xfconf-query"), {QStringLiteral("-c"), QStringLiteral("xfwm4"),
                                                     QStringLiteral("-p"), QStringLiteral("/general/tile_on_move")})) {
        if (tool->exitCode == 0)
            return fromBoolean(tool->out);
        return tool->err.contains(u"does not exist") ? EdgeTilingState::on : EdgeTilingState::unknown;
    }
    QFile file(configFile(QStringLiteral("xfce4/xfconf/xfce-perchannel-xml/xfwm4.xml")));
    if (!file.exists())
        return EdgeTilingState::on;
    if (!file.open(QIODevice::ReadOnly))
        return EdgeTilingState::unknown;
    // Nested <property name="..."> elements spell the property's path.
    QXmlStreamReader xml(&file);
    QStringList path;
    std::optional<EdgeTilingState> found;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            path.append(xml.attributes().value(QLatin1String("name")).toString());
            if (xml.name() == u"property" && path.size() == 3 && path[1] == u"general" && path[2] == u"tile_on_move")
                found = fromBoolean(xml.attributes().value(QLatin1String("value")).toString());
        } else if (token == QXmlStreamReader::EndElement && !path.isEmpty()) {
            path.removeLast();
        }
    }
    if (xml.hasError())
        return EdgeTilingState::unknown;
    return found.value_or(EdgeTilingState::on);
}

// KWin: [Windows] ElectricBorderMaximize (a window dragged to the top edge is maximised) and
// ElectricBorderTiling (to a side edge, tiled) in kwinrc; both default to true in KWin's kwin.kcfg.
// Tiling is on when either is.
const QStringList kwinKeys{QStringLiteral("ElectricBorderMaximize"), QStringLiteral("ElectricBorderTiling")};

EdgeTilingState combined(const QList<EdgeTilingState> &states)
{
    if (states.contains(EdgeTilingState::on))
        return EdgeTilingState::on;
    return states.contains(EdgeTilingState::unknown) ? EdgeTilingState::unknown : EdgeTilingState::off;
}

EdgeTilingState kwinEdgeTiling()
{
    for (const QString &tool : {QStringLiteral("kreadconfig6"), QStringLiteral("kreadconfig5")}) {
        QList<EdgeTilingState> states;
        for (const QString &key : kwinKeys) {
            const auto output =
                runTool(tool, {QStringLiteral("--file"), QStringLiteral("kwinrc"), QStringLiteral("--group"),
                               QStringLiteral("Windows"), QStringLiteral("--key"), key, QStringLiteral("--default"),
                               QStringLiteral("true")});
            if (!output)
                break;
            states.append(output->exitCode == 0 ? fromBoolean(output->out) : EdgeTilingState::unknown);
        }
        if (states.size() == kwinKeys.size())
            return combined(states);
    }
    QFile file(configFile(QStringLiteral("kwinrc")));
    if (!file.exists())
        return EdgeTilingState::on;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return EdgeTilingState::unknown;
    // KConfig's format: [Group] lines, then Key=value; "[$i]" marks locked groups and keys.
    QList<EdgeTilingState> states{EdgeTilingState::on, EdgeTilingState::on};
    bool inWindows = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inWindows = line == u"[Windows]" || line.startsWith(u"[Windows][$");
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inWindows || equals < 0)
            continue;
        QString key = line.left(equals).trimmed();
        key = key.left(key.indexOf(u"[$"));
        if (const qsizetype index = kwinKeys.indexOf(key); index >= 0)
            states[index] = fromBoolean(line.mid(equals + 1));
    }
    return combined(states);
}

// Mutter, Muffin and Metacity: the boolean edge-tiling of their GSettings schema (org.gnome.mutter,
// org.cinnamon.muffin, org.gnome.metacity in Debian's mutter-common, muffin-common and
// metacity-common). gsettings applies the defaults, GNOME Shell's override among them.
EdgeTilingState gsettingsEdgeTiling(const QString &schema)
{
    const auto tool =
        runTool(QStringLiteral("gsettings"), {QStringLiteral("get"), schema, QStringLiteral("edge-tiling")});
    if (!tool || tool->exitCode != 0)
        return EdgeTilingState::unknown;
    return fromBoolean(tool->out);
}

} // namespace

EdgeTilingState X11WindowManagerSettings::edgeTiling(const QString &windowManagerName) const
{
    switch (family(windowManagerName)) {
    case Family::xfwm4: return xfwm4EdgeTiling();
    case Family::kwin: return kwinEdgeTiling();
    case Family::mutter: return gsettingsEdgeTiling(QStringLiteral("org.gnome.mutter"));
    case Family::muffin: return gsettingsEdgeTiling(QStringLiteral("org.cinnamon.muffin"));
    case Family::metacity: return gsettingsEdgeTiling(QStringLiteral("org.gnome.metacity"));
    case Family::withoutTiling: return EdgeTilingState::off;
    case Family::other: break;
    }
    return EdgeTilingState::unknown;
}

bool X11WindowManagerSettings::openTilingSettings(const QString &windowManagerName)
{
    // The page holding the switch where the tool can be told, else the tool's start page.
    QList<QStringList> commands;
    switch (family(windowManagerName)) {
    case Family::xfwm4: commands = {{QStringLiteral("xfwm4-tweaks-settings")}}; break;
    case Family::kwin:
        commands = {{QStringLiteral("kcmshell6"), QStringLiteral("kcm_kwinscreenedges")},
                    {QStringLiteral("kcmshell5"), QStringLiteral("kcm_kwinscreenedges")},
                    {QStringLiteral("systemsettings"), QStringLiteral("kcm_kwinscreenedges")},
                    {QStringLiteral("systemsettings5"), QStringLiteral("kcm_kwinscreenedges")}};
        break;
    case Family::mutter:
        commands = {{QStringLiteral("gnome-control-center"), QStringLiteral("multitasking")},
                    {QStringLiteral("gnome-tweaks")}};
        break;
    case Family::muffin: commands = {{QStringLiteral("cinnamon-settings"), QStringLiteral("tiling")}}; break;
    case Family::metacity:
        commands = {{QStringLiteral("dconf-editor"), QStringLiteral("/org/gnome/metacity/edge-tiling")}};
        break;
    case Family::withoutTiling:
    case Family::other: break;
    }
    for (const QStringList &command : std::as_const(commands)) {
        const QString path = QStandardPaths::findExecutable(command.first());
        if (!path.isEmpty() && QProcess::startDetached(path, command.mid(1)))
            return true;
    }
    return false;
}

} // namespace panemaker::x11
