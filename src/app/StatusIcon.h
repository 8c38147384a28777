// StatusIcon: the tray icon, drawn in code so that it needs no file.
#pragma once

#include <QIcon>

namespace panemaker {

// A window with its left pane filled, tilted by 30 degrees: light with a dark outline, so that
// it reads on light and dark panels alike. Drawn once, at the sizes trays ask for.
QIcon statusIcon();

} // namespace panemaker
