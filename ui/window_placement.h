// Where a main dialog opens: at its stored top-left corner while that lies
// on the screen, moved as little as needed to show the whole window there.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace gearloft {

// `stored` is the window frame's stored top-left corner, `frame` the frame's
// size. Empty when the stored corner is not on `screen` (the screen may have
// become smaller since it was stored): the window keeps the system's
// placement. Otherwise the corner, moved so that the whole frame lies within
// `available` (the screen without its panels); a frame larger than that
// keeps its top-left corner, with the caption and the first controls, in view.
std::optional<QPoint> PlaceOnScreen(QPoint stored, QSize frame, const QRect& screen,
                                    const QRect& available);

}  // namespace gearloft
