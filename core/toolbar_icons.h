// The program's toolbar pictures (20 × 20), drawn here rather than loaded: index 0–15 in
// toolbar order (open, move to beginning, play, pause, stop, move to end, mark start, mark
// end, mark all, move to segment start, play segment, move to segment end, zoom in, zoom out,
// best fit, split now). Other indices give an empty picture. The menus' check image (18 × 18)
// is drawn here too.
#pragma once

#include <QPixmap>

QPixmap ToolbarPixmap(int index);
QPixmap MenuCheckPixmap();
