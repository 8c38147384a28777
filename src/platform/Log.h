// Log: the program's one log, category "app". Lines go to syslog (ident "panemaker") and,
// when it is a terminal, to standard error; tests divert them to a sink.
#pragma once

#include <QString>

#include <functional>

namespace panemaker {

class Log final {
public:
    enum class Level { Default, Error };
    using Sink = std::function<void(Level, const QString &)>;

    static constexpr const char *category = "app";

    static void write(Level level, const QString &text);
    static void info(const QString &text) { write(Level::Default, text); }
    static void error(const QString &text) { write(Level::Error, text); }

    // Sends every line to the sink instead of syslog and standard error, or restores those
    // when the sink is empty; returns the sink it replaced. Safe from any thread.
    static Sink setSink(Sink sink);

    // A boolean as log lines write it.
    static QString text(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }
};

} // namespace panemaker
