// What the benchmarks share: how they give up, the session their argument names, and Panemaker
// started on it.
#pragma once

#include "desktop/TestDesktop.h"
#include "support/PanemakerProcess.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void fail(const QString &why)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(why));
    std::exit(1);
}

// The session named as the only argument; openbox when there is none.
inline panemaker::TestDesktop::Session sessionArgument(const QStringList &arguments)
{
    const QString name = arguments.value(1, QStringLiteral("openbox"));
    const std::optional<panemaker::TestDesktop::Session> session = panemaker::TestDesktop::sessionNamed(name);
    if (!session)
        fail(QStringLiteral("no session named ") + name);
    return *session;
}

// Starts Panemaker with these settings and waits until its shortcuts are registered.
inline void startPanemaker(panemaker::PanemakerProcess &panemaker, const QStringList &settings)
{
    if (!panemaker.start(settings) || !panemaker.waitForLine(QStringLiteral("Registered 18 shortcuts; failed: ")))
        fail(QStringLiteral("Panemaker did not start: ") + panemaker.lines().join(u'\n'));
}
