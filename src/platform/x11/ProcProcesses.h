// ProcProcesses: this user's processes as /proc lists them.
#pragma once

#include "platform/Processes.h"

namespace panemaker::x11 {

class ProcProcesses final : public Processes {
public:
    // `procRoot` is where the proc file system is mounted.
    explicit ProcProcesses(QString procRoot = QStringLiteral("/proc"));

    // The processes with our real user id, each named by its `comm` (the kernel cuts it to 15
    // bytes), or for an interpreter by the script or module it runs.
    QList<RunningProcess> running() const override;
    // SIGTERM.
    void terminate(std::int32_t pid) override;

private:
    QString m_root;
};

} // namespace panemaker::x11
