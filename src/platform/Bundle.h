// Bundle: the directory Panemaker runs from, laid out as it is installed: bin/panemaker,
// share/panemaker/info.json (its version, build and update site) and its icon.
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace panemaker {

class Bundle final {
public:
    // The bundle of the program at `programPath`: the folder above its bin/.
    static Bundle ofProgram(const QString &programPath);

    // Reads the information list once; a missing or unreadable one holds nothing.
    explicit Bundle(QString path);
    // A bundle with this information list, whatever its folder holds.
    Bundle(QString path, QJsonObject info) : m_path(std::move(path)), m_info(std::move(info)) {}

    const QString &path() const { return m_path; }
    // The information list's value under "version", "build" or "site"; undefined when missing.
    QJsonValue info(const QString &key) const { return m_info.value(key); }
    // The version shown to people, or empty.
    QString version() const { return info(QStringLiteral("version")).toString(); }
    QString iconPath() const;

private:
    QString m_path;
    QJsonObject m_info;
};

} // namespace panemaker
