// Installation: one install of a release over the bundle, in an order that keeps the installed
// program whole until the last step. Everything happens in a private folder T beside the
// bundle: the archive is downloaded there and checked against the manifest's digest, unpacked,
// its signature and build checked, and only then are the two folders swapped in one rename.
#pragma once

#include "update/Updater.h"

#include <QFile>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QProcess>

#include <optional>

namespace panemaker {

class Installation final : public QObject {
    Q_OBJECT

public:
    Installation(Updater::Release release, QString bundlePath, qint64 currentBuild, QByteArray designatedKey,
                 QObject *parent = nullptr);
    // Removes T, whatever step it was at.
    ~Installation() override;

    // Downloads with `manager` and `request`, for the release's address; ends with finished().
    void start(QNetworkAccessManager &manager, QNetworkRequest request);

    // Removes the folders of installs whose process has ended before they did.
    static void removeLeftovers(const QString &bundlePath);
    // The decimal text of a build number, signed or not; nothing for anything else.
    static std::optional<qint64> buildNumber(const QJsonValue &value);
    // Why a `tar --list --verbose --quoting-style=c` listing may not be unpacked: an entry
    // outside Panemaker/, an absolute path, "..", or anything but files and folders.
    static std::optional<QString> refusal(const QByteArray &listing);

Q_SIGNALS:
    void stepFinished(panemaker::Updater::Step step);
    // With nothing when the bundle holds the new release, else the reason.
    void finished(const std::optional<QString> &error);

private:
    void received();
    void downloaded();
    void listed(int exitCode);
    void extracted(int exitCode);
    void fail(const QString &reason) { finish(reason); }
    // Removes T and reports, once.
    void finish(const std::optional<QString> &error);
    void removeTemporary();
    QString inT(const QString &name) const { return m_temporary + QLatin1Char('/') + name; }

    Updater::Release m_release;
    QString m_bundle;
    qint64 m_currentBuild;
    QByteArray m_key;
    QString m_temporary;
    QFile m_archive;
    QPointer<QNetworkReply> m_reply;
    QProcess m_tar;
    QByteArray m_listing;
    std::optional<QString> m_failure; // set before a transfer is aborted, so that it is the reason
    bool m_finished = false;
};

} // namespace panemaker
