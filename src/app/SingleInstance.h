// SingleInstance: one Panemaker per user and display; a second start hands over to the first,
// and `panemaker --action` asks it to snap.
#pragma once

#include "core/SnapAction.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace panemaker {

class SingleInstance final : public QObject {
    Q_OBJECT

public:
    enum class Role {
        first,      // this process is the instance; later starts hand over to it
        handedOver, // another instance runs and was asked to show itself: exit
        failed,     // neither: the reason is in the error text
    };

    enum class Request {
        done,
        refused,    // the instance could not carry it out; the reason is in the message
        notRunning, // no instance runs on this display
        failed,     // it runs but did not answer; the reason is in the message
    };

    explicit SingleInstance(const QString &displayName, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Decides in one step, by a lock held for the life of this object, in a directory only
    // this user can enter: $XDG_RUNTIME_DIR, else $XDG_CACHE_HOME/panemaker.
    Role start(QString *error);

    // Asks the instance running on the display to perform the action, and waits for its answer.
    static Request requestAction(const QString &displayName, SnapAction action, QString *message);

    // Carries out an action a later `--action` asked for: why it could not, or nothing.
    std::function<std::optional<QString>(SnapAction)> onAction;

Q_SIGNALS:
    void reopenRequested();

private:
    bool listen(const QString &socketPath);
    void read(QLocalSocket *socket);

    QString m_display;
    int m_lock = -1;
    QLocalServer *m_server = nullptr;
};

} // namespace panemaker
