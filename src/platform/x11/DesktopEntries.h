// DesktopEntries: the names and icons that installed applications' desktop entries give,
// found by window class.
#pragma once

#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>

#include <optional>

namespace panemaker::x11 {

class DesktopEntries final {
public:
    struct Entry {
        QString name;
        QString icon; // a theme icon name or a path
    };

    // Reads every desktop entry under the given application folders.
    explicit DesktopEntries(const QStringList &applicationFolders);
    // The folders of the XDG data directories.
    static QStringList standardFolders();

    // The entry whose StartupWMClass, else whose file name, matches one of the window's
    // class names (case does not matter).
    std::optional<Entry> find(const QString &className, const QString &instanceName) const;
    // The image for an entry's icon: a path, or a name looked up in the icon folders.
    static QImage iconImage(const QString &icon, int preferredSize);

private:
    QHash<QString, Entry> m_byWindowClass;
    QHash<QString, Entry> m_byFileName;
};

} // namespace panemaker::x11
