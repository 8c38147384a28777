// X11Applications: applications as the windows of one process, named from their desktop
// entries.
#pragma once

#include "platform/Applications.h"
#include "platform/x11/DesktopEntries.h"
#include "platform/x11/X11Windows.h"

#include <memory>
#include <mutex>

namespace panemaker::x11 {

class X11Applications final : public Applications {
public:
    static constexpr int iconSize = 64;

    // `applicationFolders` are searched for desktop entries on first use.
    X11Applications(const XConnection &x, const X11Windows &windows,
                    QStringList applicationFolders = DesktopEntries::standardFolders());

    QList<Application> runningApplications() const override;
    // X11 has no hidden applications.
    void unhide(std::int32_t) override {}

private:
    const DesktopEntries &entries() const;

    const XConnection &m_x;
    const X11Windows &m_windows;
    QStringList m_folders;
    mutable std::once_flag m_entriesLoaded;
    mutable std::unique_ptr<DesktopEntries> m_entries;
};

} // namespace panemaker::x11
