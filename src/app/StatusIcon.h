// StatusIcon: the icon of the tray, the settings window and the desktop entry.
#pragma once

#include "platform/Bundle.h"

#include <QIcon>

namespace panemaker {

// A window with its left pane filled, tilted by 30 degrees: light with a dark outline, so that
// it reads on light and dark panels alike. The bundle's scalable icon; where it is missing or
// Qt cannot draw SVG, the same picture drawn in code.
QIcon applicationIcon(const Bundle &bundle);

// `icon` with an orange dot in its top-left corner, cut free by a transparent ring: an update is
// offered. Orange rather than the icon's ink, as trays draw it as it is, on dark and light panels.
QIcon statusIconWithBadge(const QIcon &icon);

} // namespace panemaker
