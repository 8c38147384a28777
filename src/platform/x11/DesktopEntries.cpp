// Reading desktop entries.
#include "platform/x11/DesktopEntries.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace panemaker::x11 {

namespace {

// Desktop entries are small; a larger file is not one.
constexpr qint64 maximumEntrySize = 256 * 1024;

struct ParsedEntry {
    QString name, icon, windowClass;
    bool hidden = false;
};

ParsedEntry parse(const QString &path)
{
    ParsedEntry entry;
    QFile file(path);
    if (file.size() > maximumEntrySize || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return entry;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QLatin1String("Name"))
            entry.name = value;
        else if (key == QLatin1String("Icon"))
            entry.icon = value;
        else if (key == QLatin1String("StartupWMClass"))
            entry.windowClass = value;
        else if (key == QLatin1String("Hidden"))
            entry.hidden = value == QLatin1String("true");
    }
    return entry;
}

} // namespace

DesktopEntries::DesktopEntries(const QStringList &applicationFolders)
{
    // Earlier folders take precedence, as in the XDG search order.
    for (const QString &folder : applicationFolders) {
        QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const ParsedEntry parsed = parse(path);
            if (parsed.hidden || parsed.name.isEmpty())
                continue;
            const Entry entry{parsed.name, parsed.icon};
            if (!parsed.windowClass.isEmpty() && !m_byWindowClass.contains(parsed.windowClass.toLower()))
                m_byWindowClass.insert(parsed.windowClass.toLower(), entry);
            const QString fileName = QFileInfo(path).completeBaseName().toLower();
            if (!m_byFileName.contains(fileName))
                m_byFileName.insert(fileName, entry);
        }
    }
}

QStringList DesktopEntries::standardFolders()
{
    return QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
}

std::optional<DesktopEntries::Entry> DesktopEntries::find(const QString &className, const QString &instanceName) const
{
    for (const QHash<QString, Entry> *table : {&m_byWindowClass, &m_byFileName}) {
        for (const QString &name : {className, instanceName}) {
            if (name.isEmpty())
                continue;
            if (const auto found = table->constFind(name.toLower()); found != table->constEnd())
                return *found;
        }
    }
    return std::nullopt;
}

QImage DesktopEntries::iconImage(const QString &icon, int preferredSize)
{
    if (icon.isEmpty())
        return {};
    if (QDir::isAbsolutePath(icon))
        return QImage(icon);
    const QStringList sizes{QStringLiteral("%1x%1").arg(preferredSize), QStringLiteral("48x48"),
                            QStringLiteral("128x128"), QStringLiteral("256x256"), QStringLiteral("32x32")};
    for (const QString &data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        for (const QString &size : sizes) {
            const QImage image(QStringLiteral("%1/icons/hicolor/%2/apps/%3.png").arg(data, size, icon));
            if (!image.isNull())
                return image;
        }
        const QImage pixmap(QStringLiteral("%1/pixmaps/%2.png").arg(data, icon));
        if (!pixmap.isNull())
            return pixmap;
    }
    return {};
}

} // namespace panemaker::x11
