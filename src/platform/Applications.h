// Applications: the running applications that own windows, and what the user knows them by.
#pragma once

#include "platform/Windows.h"

#include <QImage>
#include <QList>
#include <QString>

#include <optional>

namespace panemaker {

struct Application {
    std::int32_t pid = 0;
    QString name; // "app" when nothing better is known
    QImage icon;  // null when there is none
    bool isHidden = false;
    bool isRegular = false;  // has at least one standard or dialog window
    QList<AXWindow> windows; // in the order the window manager lists them
};

class Applications {
public:
    virtual ~Applications() = default;

    // Every application with windows except this program, in the order their first window
    // was listed. Safe to call from any thread.
    virtual QList<Application> runningApplications() const = 0;
    // The name the user knows the application by; nothing when no window of it is known.
    virtual std::optional<QString> name(std::int32_t pid) const = 0;
    virtual void unhide(std::int32_t pid) = 0;
};

} // namespace panemaker
