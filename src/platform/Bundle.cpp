// Reading the bundle's information list.
#include "platform/Bundle.h"

#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace panemaker {

namespace {

// Far more than the three short values it holds.
constexpr qint64 maximumInfoSize = 64 * 1024;

} // namespace

Bundle Bundle::ofProgram(const QString &programPath)
{
    return Bundle(QDir(QFileInfo(programPath).path() + QStringLiteral("/..")).canonicalPath());
}

Bundle::Bundle(QString path) : m_path(std::move(path))
{
    QFile file(m_path + QStringLiteral("/share/panemaker/info.json"));
    if (!file.exists())
        return;
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(file.open(QIODevice::ReadOnly) ? file.read(maximumInfoSize) : QByteArray(), &error);
    if (document.isObject())
        m_info = document.object();
    else
        Log::error(QStringLiteral("Couldn't read %1: %2").arg(file.fileName(), error.errorString()));
}

QString Bundle::iconPath() const
{
    return m_path + QStringLiteral("/share/icons/hicolor/scalable/apps/panemaker.svg");
}

} // namespace panemaker
