// SingleInstance: one Panemaker per user and display; a second start hands over to the first.
#pragma once

#include <QObject>
#include <QString>

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

    explicit SingleInstance(const QString &displayName, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Decides in one step, by a lock held for the life of this object, in a directory only
    // this user can enter: $XDG_RUNTIME_DIR, else $XDG_CACHE_HOME/panemaker.
    Role start(QString *error);

Q_SIGNALS:
    void reopenRequested();

private:
    bool handOver(const QString &socketPath);
    bool listen(const QString &socketPath);
    void read(QLocalSocket *socket);

    QString m_display;
    int m_lock = -1;
    QLocalServer *m_server = nullptr;
};

} // namespace panemaker
