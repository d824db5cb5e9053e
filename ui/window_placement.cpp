#include "ui/window_placement.h"

#include <algorithm>

namespace gearloft {

std::optional<QPoint> PlaceOnScreen(QPoint stored, QSize frame, const QRect& screen,
                                    const QRect& available) {
    if (!screen.contains(stored)) {
        return std::nullopt;
    }
    const QRect area = available.isValid() ? available : screen;
    // Right and bottom edges first, then the left and top ones, so that a
    // frame wider or taller than the area is cut on the far side.
    const int x = std::max(std::min(stored.x(), area.x() + area.width() - frame.width()), area.x());
    const int y =
        std::max(std::min(stored.y(), area.y() + area.height() - frame.height()), area.y());
    return QPoint(x, y);
}

}  // namespace gearloft
