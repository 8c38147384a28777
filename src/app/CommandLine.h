// CommandLine: what `panemaker` was asked to do, and the statuses it exits with.
#pragma once

#include "core/SnapAction.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace panemaker {

// Scripts tell the outcomes of `--action` apart by these.
namespace ExitStatus {
constexpr int success = 0;
constexpr int failure = 1;    // no display, or the running instance did not answer
constexpr int usage = 2;      // an unknown option or action
constexpr int notRunning = 3; // `--action` without a running instance
constexpr int refused = 4;    // `--action` the instance could not carry out
} // namespace ExitStatus

struct CommandLine {
    enum class Request { run, help, version, action, invalid };

    Request request = Request::run;
    std::optional<SnapAction> action; // with Request::action
    QString error;                    // with Request::invalid

    // `arguments` starts with the program's name.
    static CommandLine parse(const QStringList &arguments);
    static QString helpText();
};

} // namespace panemaker
