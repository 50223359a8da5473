// The "HandMove" cursor of the full-size viewer: an open hand, drawn by our
// own code at run time, shown while the picture can be dragged.
#pragma once

#include <QCursor>
#include <QImage>

namespace quorvane {

// The open hand, 32 by 32, transparent around a black outline and white fill.
QImage DrawHandMove();

// The cursor made from DrawHandMove, its hot spot in the palm.
QCursor HandMoveCursor();

} // namespace quorvane
