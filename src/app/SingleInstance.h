// SingleInstance: one Panemaker per user and display; a second start hands over to the first.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace panemaker {

class SingleInstance final : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(const QString &displayName, QObject *parent = nullptr);

    // True when another instance answered and was asked to show itself: this one should exit.
    bool handOver();
    // Becomes the instance that later starts hand over to; false when it cannot listen.
    bool listen();

Q_SIGNALS:
    void reopenRequested();

private:
    QString m_name;
    QLocalServer *m_server = nullptr;
};

} // namespace panemaker
