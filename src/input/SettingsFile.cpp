// The settings file: typed reads, write-through, and what happens to a file we cannot use.
#include "input/SettingsFile.h"

#include "platform/Log.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>

namespace panemaker {

namespace {

enum class FileState { usable, unreadable, damaged };

struct Inspection {
    FileState state = FileState::usable;
    QString reason;
};

// Checks what QSettings would not: it reads any bytes, replaces what is not UTF-8, drops
// lines it cannot parse, and writes the result back on the next change.
Inspection inspect(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    if (!info.isFile())
        return {FileState::unreadable, QStringLiteral("not a regular file")};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {FileState::unreadable, file.errorString()};
    // Reading asks for a buffer of the size asked for: no more than the file holds.
    const QByteArray bytes = file.read(std::min(file.size(), SettingsFile::maximumSize) + 1);
    if (bytes.size() > SettingsFile::maximumSize)
        return {FileState::damaged, QStringLiteral("larger than %1 bytes").arg(SettingsFile::maximumSize)};
    QStringDecoder decoder(QStringDecoder::Utf8);
    // The decoder is lazy: only converting its result runs it.
    [[maybe_unused]] const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return {FileState::damaged, QStringLiteral("not UTF-8 text")};
    return {};
}

QString asideName(const QString &path)
{
    const QString base = path + QStringLiteral(".damaged");
    QString name = base;
    for (int n = 1; QFileInfo::exists(name); ++n)
        name = base + QLatin1Char('.') + QString::number(n);
    return name;
}

} // namespace

SettingsFile::SettingsFile(const QString &path) : m_path(path)
{
    open();
}

SettingsFile::~SettingsFile() = default;

void SettingsFile::open()
{
    Inspection inspection = inspect(m_path);
    if (inspection.state == FileState::usable) {
        auto settings = std::make_unique<QSettings>(m_path, QSettings::IniFormat);
        settings->allKeys(); // parses the file, so that status() tells
        if (settings->status() == QSettings::NoError) {
            m_settings = std::move(settings);
            return;
        }
        inspection = settings->status() == QSettings::FormatError
                         ? Inspection{FileState::damaged, QStringLiteral("not in the settings format")}
                         : Inspection{FileState::unreadable, QStringLiteral("access denied")};
    }

    if (inspection.state == FileState::damaged) {
        const QString aside = asideName(m_path);
        if (QFile::rename(m_path, aside)) {
            Log::error(QStringLiteral("Settings file %1 is damaged (%2); kept it as %3 and started from the defaults")
                           .arg(m_path, inspection.reason, aside));
            m_settings = std::make_unique<QSettings>(m_path, QSettings::IniFormat);
            return;
        }
    }
    Log::error(QStringLiteral("Settings file %1 can't be used (%2); using the defaults, changes won't be saved")
                   .arg(m_path, inspection.reason));
}

void SettingsFile::registerDefaults(const QVariantMap &defaults)
{
    m_defaults.insert(defaults);
}

std::optional<QVariant> SettingsFile::stored(const QString &key) const
{
    if (!m_settings)
        return m_unsaved.contains(key) ? std::optional(m_unsaved.value(key)) : std::nullopt;
    const QVariant value = m_settings->value(key);
    return value.isValid() ? std::optional(value) : std::nullopt;
}

// The INI format keeps booleans and numbers as text: "true"/"false" and decimal numbers.
std::optional<bool> SettingsFile::storedBool(const QString &key) const
{
    const std::optional<QVariant> value = stored(key);
    if (!value)
        return std::nullopt;
    if (value->typeId() == QMetaType::Bool)
        return value->toBool();
    if (value->typeId() != QMetaType::QString)
        return std::nullopt;
    const QString text = value->toString();
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    return std::nullopt;
}

std::optional<double> SettingsFile::storedDouble(const QString &key) const
{
    const std::optional<QVariant> value = stored(key);
    if (!value)
        return std::nullopt;
    bool ok = false;
    double number = 0;
    if (value->typeId() == QMetaType::Double)
        number = value->toDouble(&ok);
    else if (value->typeId() == QMetaType::QString)
        number = value->toString().toDouble(&ok);
    // Infinities and NaN would poison every frame computed from the value.
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

bool SettingsFile::boolValue(const QString &key) const
{
    if (const std::optional<bool> value = storedBool(key))
        return *value;
    const QVariant fallback = m_defaults.value(key);
    return fallback.typeId() == QMetaType::Bool && fallback.toBool();
}

double SettingsFile::doubleValue(const QString &key) const
{
    if (const std::optional<double> value = storedDouble(key))
        return *value;
    const QVariant fallback = m_defaults.value(key);
    return fallback.typeId() == QMetaType::Double ? fallback.toDouble() : 0.0;
}

std::optional<QByteArray> SettingsFile::dataValue(const QString &key) const
{
    const std::optional<QVariant> value = stored(key);
    if (!value || value->typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return value->toByteArray();
}

std::optional<QDateTime> SettingsFile::dateValue(const QString &key) const
{
    const std::optional<QVariant> value = stored(key);
    if (!value || value->typeId() != QMetaType::QString)
        return std::nullopt;
    const QDateTime date = QDateTime::fromString(value->toString(), Qt::ISODateWithMs);
    return date.isValid() ? std::optional(date) : std::nullopt;
}

bool SettingsFile::setBool(const QString &key, bool value)
{
    return storedBool(key) == value || write(key, value);
}

bool SettingsFile::setDouble(const QString &key, double value)
{
    return storedDouble(key) == value || write(key, value);
}

bool SettingsFile::setData(const QString &key, const QByteArray &value)
{
    return dataValue(key) == value || write(key, value);
}

bool SettingsFile::setDate(const QString &key, const QDateTime &value)
{
    return write(key, value.toUTC().toString(Qt::ISODateWithMs));
}

std::optional<QString> SettingsFile::keepCopy()
{
    if (m_keptCopy)
        return m_keptCopy;
    const QString aside = asideName(m_path);
    if (!QFile::copy(m_path, aside)) {
        Log::error(QStringLiteral("Couldn't keep a copy of the settings file %1 as %2").arg(m_path, aside));
        return std::nullopt;
    }
    m_keptCopy = aside;
    return aside;
}

bool SettingsFile::rewritesAsItIs() const
{
    QFile original(m_path);
    if (!original.open(QIODevice::ReadOnly))
        return true; // nothing there to lose
    const QByteArray bytes = original.readAll();
    QTemporaryDir scratch;
    const QString rewritten = scratch.filePath(QStringLiteral("rewritten.conf"));
    {
        QSettings copy(rewritten, QSettings::IniFormat);
        for (const QString &key : m_settings->allKeys())
            copy.setValue(key, m_settings->value(key));
    }
    QFile result(rewritten);
    return result.open(QIODevice::ReadOnly) && result.readAll() == bytes;
}

bool SettingsFile::write(const QString &key, const QVariant &value)
{
    if (!m_settings) {
        m_unsaved.insert(key, value);
        return false;
    }
    // QSettings rewrites the whole file: comments, the order of keys and values written by hand
    // in forms it does not keep would be lost.
    if (!m_rewriteChecked && !m_keptCopy && QFileInfo::exists(m_path) && !rewritesAsItIs()) {
        const std::optional<QString> aside = keepCopy();
        if (!aside)
            return false; // the value lives on in memory; the file keeps what it has
        Log::info(QStringLiteral("Settings file %1 has what a rewrite would drop; kept it as %2").arg(m_path, *aside));
    }
    m_rewriteChecked = true;
    m_settings->setValue(key, value);
    m_settings->sync();
    if (m_settings->status() == QSettings::NoError)
        return true;
    Log::error(QStringLiteral("Couldn't save %1 to the settings file %2").arg(key, m_path));
    return false;
}

} // namespace panemaker
