// The autostart entry: written whole or not at all, and read as the session reads it.
#include "app/LaunchAtLogin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace panemaker {

namespace {

// The program as one argument of an Exec line: quoted, with the characters that stay special
// inside quotes escaped, then every backslash doubled again for the file's string escaping, and
// a percent sign doubled so that it is not taken for a field code.
QString execArgument(const QString &path)
{
    QString quoted;
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'%', QStringLiteral("%%"));
    return u'"' + quoted + u'"';
}

} // namespace

LaunchAtLogin::LaunchAtLogin(QString programPath) : m_programPath(std::move(programPath)) {}

QString LaunchAtLogin::entryPath() const
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/autostart/panemaker.desktop");
}

bool LaunchAtLogin::isEnabled() const
{
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    bool inEntry = false, ours = false, switchedOff = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inEntry = line == u"[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inEntry || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed(), value = line.mid(equals + 1).trimmed();
        if (key == u"Exec")
            ours = value == execArgument(m_programPath) || value == m_programPath;
        else if (key == u"Hidden")
            switchedOff = switchedOff || value == u"true";
        else if (key == u"X-GNOME-Autostart-enabled")
            switchedOff = switchedOff || value == u"false";
    }
    return ours && !switchedOff;
}

bool LaunchAtLogin::setEnabled(bool enabled)
{
    const QString path = entryPath();
    if (!enabled)
        return !QFileInfo::exists(path) || QFile::remove(path);
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    const QString entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=Panemaker\nExec=")
                          + execArgument(m_programPath) + QStringLiteral("\nX-GNOME-Autostart-enabled=true\n");
    file.write(entry.toUtf8());
    return file.commit();
}

} // namespace panemaker
