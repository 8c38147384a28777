// X11Applications: applications as the windows of one process, named from their desktop
// entries.
#pragma once

#include "platform/Applications.h"
#include "platform/x11/DesktopEntries.h"
#include "platform/x11/X11Windows.h"

#include <QFileSystemWatcher>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QTimer>

#include <future>
#include <memory>

namespace panemaker::x11 {

class X11Applications final : public Applications {
public:
    static constexpr int iconSize = 64;

    // `applicationFolders` are searched for desktop entries in the background from the start,
    // and again whenever one of them changes.
    X11Applications(XConnection &x, const X11Windows &windows,
                    QStringList applicationFolders = DesktopEntries::standardFolders());

    QList<Application> runningApplications() const override;
    std::optional<QString> name(std::int32_t pid) const override;
    // X11 has no hidden applications.
    void unhide(std::int32_t) override {}

private:
    // The latest reading of the desktop entries, waiting for it when it is still under way.
    std::shared_ptr<const DesktopEntries> entries() const;
    void readEntries();
    // The desktop entry's name, else the window's class, else "app".
    QString nameOf(const WindowFacts &window) const;
    std::vector<WindowFacts> clients(unsigned parts) const;

    const XConnection &m_x;
    const X11Windows &m_windows;
    QStringList m_folders;
    QFileSystemWatcher m_folderWatcher;
    QTimer m_rereadTimer;
    mutable QMutex m_entriesMutex;
    std::shared_future<std::shared_ptr<const DesktopEntries>> m_entries;
    // Names by pid, until a window comes or goes: a pid is used again only after its windows are gone.
    mutable QMutex m_namesMutex;
    mutable QHash<std::int32_t, QString> m_names;
    QObject m_subscriber; // ends the subscription with this object
};

} // namespace panemaker::x11
