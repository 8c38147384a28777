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
#include <QThreadPool>

#include <memory>

namespace panemaker::x11 {

class X11Applications final : public Applications {
public:
    static constexpr int iconSize = 64;

    // `applicationFolders` are searched for desktop entries in the background from the start,
    // and again when one of them changes.
    X11Applications(XConnection &x, const X11Windows &windows,
                    QStringList applicationFolders = DesktopEntries::standardFolders());

    QList<Application> runningApplications() const override;
    std::optional<QString> name(std::int32_t pid) const override;
    // X11 has no hidden applications.
    void unhide(std::int32_t) override {}

private:
    std::shared_ptr<const DesktopEntries> entries() const;
    void forgetEntries();
    // The desktop entry's name, else the window's class, else "app".
    QString nameOf(const WindowFacts &window) const;
    std::vector<WindowFacts> clients(unsigned parts) const;

    const XConnection &m_x;
    const X11Windows &m_windows;
    QStringList m_folders;
    mutable QMutex m_entriesMutex;
    mutable std::shared_ptr<const DesktopEntries> m_entries;
    QFileSystemWatcher m_folderWatcher;
    // Names by pid, until a window comes or goes: a pid is used again only after its windows are gone.
    mutable QMutex m_namesMutex;
    mutable QHash<std::int32_t, QString> m_names;
    QObject m_subscriber; // ends the subscriptions with this object
    QThreadPool m_loader; // last: waits for the reading before anything it uses goes
};

} // namespace panemaker::x11
