#pragma once
// The window's icon (_NET_WM_ICON): the small board of the desktop entry's
// icon (packaging/vrd4empfaenger.svg), drawn here so that it needs neither
// an installed icon theme nor Qt's SVG plugin.
#include <QIcon>

namespace vrd4::app {

QIcon fensterSymbol();

}  // namespace vrd4::app
