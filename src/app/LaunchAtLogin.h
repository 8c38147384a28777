// LaunchAtLogin: the session's autostart entry that starts this program when the user logs in.
#pragma once

#include <QString>

namespace panemaker {

class LaunchAtLogin final {
public:
    // `programPath` is what the entry runs; the entry lives in $XDG_CONFIG_HOME/autostart.
    explicit LaunchAtLogin(QString programPath);

    // Whether an entry of this program is present and not switched off by the user.
    bool isEnabled() const;
    // Writes or removes the entry; false when the file cannot be written or removed.
    bool setEnabled(bool enabled);

    QString entryPath() const;

private:
    QString m_programPath;
};

} // namespace panemaker
