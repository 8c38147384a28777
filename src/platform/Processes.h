// Processes: the programs this user runs, for noticing other tools that move windows.
#pragma once

#include <QList>
#include <QString>

#include <cstdint>

namespace panemaker {

struct RunningProcess {
    std::int32_t pid = 0;
    // The executable's name, or the script's for a program run by an interpreter.
    QString name;

    bool operator==(const RunningProcess &) const = default;
};

class Processes {
public:
    virtual ~Processes() = default;

    // This user's processes, read afresh. Safe to call from any thread.
    virtual QList<RunningProcess> running() const = 0;
    // Asks the process to quit, politely; does not wait.
    virtual void terminate(std::int32_t pid) = 0;
};

} // namespace panemaker
