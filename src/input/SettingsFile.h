// SettingsFile: the user's settings, one INI file read with types and written through on
// every change of a value. A damaged file is moved aside rather than overwritten, and a file
// that a rewrite would lose something of is copied aside before the first write.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <optional>

class QSettings;

namespace panemaker {

class SettingsFile final {
public:
    // Files larger than this are not settings of ours and are treated as damaged.
    static constexpr qint64 maximumSize = 1024 * 1024;

    explicit SettingsFile(const QString &path);
    ~SettingsFile();
    SettingsFile(const SettingsFile &) = delete;
    SettingsFile &operator=(const SettingsFile &) = delete;

    QString path() const { return m_path; }

    // Fallbacks for keys that hold no value of the right type; kept in memory, never written.
    void registerDefaults(const QVariantMap &defaults);

    // A value of another type than asked for reads as missing: the registered default,
    // else false, 0 or nothing.
    bool boolValue(const QString &key) const;
    double doubleValue(const QString &key) const;
    std::optional<QByteArray> dataValue(const QString &key) const;
    // Kept as ISO 8601 text in UTC; text that is no such date reads as missing.
    std::optional<QDateTime> dateValue(const QString &key) const;

    // Each write of a new value reaches the disk before it returns; false (and a log line) when
    // it could not. Writing the value a key already holds leaves the file alone.
    bool setBool(const QString &key, bool value);
    bool setDouble(const QString &key, double value);
    bool setData(const QString &key, const QByteArray &value);
    bool setDate(const QString &key, const QDateTime &value);

    bool contains(const QString &key) const { return stored(key).has_value(); }
    // Copies the file aside as a damaged one, for a value in it that can't be used; the copy's
    // name. Once per run: the copy holds the file as it was before this run changed it.
    std::optional<QString> keepCopy();

private:
    std::optional<QVariant> stored(const QString &key) const;
    std::optional<bool> storedBool(const QString &key) const;
    std::optional<double> storedDouble(const QString &key) const;
    bool write(const QString &key, const QVariant &value);
    void open();
    // Whether writing the file as QSettings does would give back exactly these bytes.
    bool rewritesAsItIs() const;

    bool m_rewriteChecked = false;
    std::optional<QString> m_keptCopy;
    QString m_path;
    std::unique_ptr<QSettings> m_settings; // null when the file cannot be used at all
    QVariantMap m_unsaved;                 // what was written while the file cannot be used
    QVariantMap m_defaults;
};

} // namespace panemaker
