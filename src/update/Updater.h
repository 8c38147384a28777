// Updater: looks for a newer release on the update site about once a day or when asked, and
// installs the offered one in place of the running program when the user chooses it.
#pragma once

#include "input/Preferences.h"
#include "platform/Bundle.h"

#include <QDateTime>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <optional>

namespace panemaker {

class Installation;

class Updater final : public QObject {
    Q_OBJECT

public:
    // What the manifest "version.json" on the update site names.
    struct Release {
        QString version;
        qint64 build = 0;
        QUrl url;
        QString sha256;
        std::optional<QString> minimumSystemVersion;

        bool operator==(const Release &) const = default;
        // Nothing, with the reason, when a required key is missing or of another type, or the
        // address is not an HTTPS URL. Unknown keys are ignored.
        static std::optional<Release> decode(const QByteArray &json, QString *error = nullptr);
    };

    struct Status {
        enum class Kind { idle, checking, upToDate, installing, failed };
        Kind kind = Kind::idle;
        QString message; // what failed, in words for the user

        bool operator==(const Status &) const = default;
    };

    // The steps of an install, announced as each one ends.
    enum class Step { downloaded, extracted, verified, replaced };
    Q_ENUM(Step)

    static constexpr qint64 maximumDownloadSize = 256 * 1024 * 1024;

    // `bundle` is the folder the program runs from; an update must be signed by the owner of
    // `designatedKey` (32 raw Ed25519 bytes; empty accepts none).
    Updater(Preferences &prefs, Bundle bundle, QByteArray designatedKey, QObject *parent = nullptr);
    ~Updater() override;

    const std::optional<Release> &release() const { return m_release; }
    const Status &status() const { return m_status; }

    // https://<site>/, from the bundle's "site"; nothing when it has none.
    std::optional<QUrl> siteURL() const;
    std::optional<QUrl> manifestURL() const;
    bool isConfigured() const { return manifestURL().has_value(); }
    // The bundle's "build"; 0 when it has none that is a number.
    qint64 currentBuild() const;
    // Whether the running C library is at least the release's minimum system version.
    static bool systemSatisfies(const Release &release);
    std::optional<QDateTime> lastCheck() const;
    // Installed by the system's package manager (under /usr): the package manager replaces it,
    // never the program itself.
    bool isPackageManaged() const;
    // The status in words, as the settings show it.
    QString statusText(const QDateTime &now = QDateTime::currentDateTimeUtc()) const;

    // Removes what an install that was cut short left beside the bundle, then, when an update
    // site is configured, checks 20 s later and every 4 hours whether a check is due.
    void start();
    // Checks when automatic checks are on and the last check is more than 20 hours old.
    void checkIfDue();
    // Fetches the manifest unless a check or an install runs; returns at once.
    void checkNow();
    // Downloads, verifies and installs the offered release, then relaunches; returns at once.
    void install();

    // Opens the update site in the user's browser; replaceable for tests.
    std::function<void(const QUrl &)> openSite;
    // Starts the program installed at the bundle path once this process has ended, then
    // quits; replaceable for tests.
    std::function<void(const QString &bundlePath)> relaunch;

Q_SIGNALS:
    void releaseChanged(const std::optional<panemaker::Updater::Release> &release);
    void statusChanged(const panemaker::Updater::Status &status);
    void stepFinished(panemaker::Updater::Step step);

private:
    void setStatus(Status status);
    void setRelease(std::optional<Release> release);
    void checkFinished(QNetworkReply *reply, bool tooLarge);
    void installFinished(const std::optional<QString> &error);

    Preferences &m_prefs;
    Bundle m_bundle;
    QByteArray m_designatedKey;
    QNetworkAccessManager m_network;
    std::optional<Release> m_release;
    Status m_status;
    QTimer m_timer{this};
    QPointer<Installation> m_installation;
};

// The relaunch: a shell in its own session waits for this process to end, then starts the
// program of the bundle.
void relaunchFrom(const QString &bundlePath);

} // namespace panemaker
