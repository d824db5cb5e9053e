// Where a main dialog opens for a stored position: a table of positions near
// every edge of a screen with panels, and of screens that do not hold it.
#include "ui/window_placement.h"

#include <gtest/gtest.h>

namespace gearloft {
namespace {

TEST(PlaceOnScreen, MovesTheWindowWhollyOntoTheScreenThatHoldsThePosition) {
    const QSize window(360, 240);
    const QRect screen(0, 0, 1920, 1080);
    const QRect bottomPanel(0, 0, 1920, 1040);
    const QRect topAndLeftPanels(48, 30, 1872, 1050);
    const QRect second(1920, 0, 1280, 1024);  // a screen to the right of the first
    struct Case {
        const char* name;
        QPoint stored;
        QSize frame;
        QRect screen;
        QRect available;
        std::optional<QPoint> placed;
    } const cases[] = {
        {"well inside", {100, 100}, window, screen, bottomPanel, QPoint(100, 100)},
        {"top-left corner", {0, 0}, window, screen, bottomPanel, QPoint(0, 0)},
        {"touching the right edge", {1560, 100}, window, screen, bottomPanel, QPoint(1560, 100)},
        {"near the right edge", {1800, 100}, window, screen, bottomPanel, QPoint(1560, 100)},
        {"near the bottom edge", {100, 1000}, window, screen, bottomPanel, QPoint(100, 800)},
        {"on the bottom panel", {100, 1060}, window, screen, bottomPanel, QPoint(100, 800)},
        {"last pixel of the screen", {1919, 1079}, window, screen, bottomPanel, QPoint(1560, 800)},
        {"under the top panel", {100, 5}, window, screen, topAndLeftPanels, QPoint(100, 30)},
        {"on the left panel", {10, 100}, window, screen, topAndLeftPanels, QPoint(48, 100)},
        {"near the right edge of a second screen",
         {3150, 1000},
         window,
         second,
         second,
         QPoint(2840, 784)},
        {"window larger than the screen",
         {500, 500},
         QSize(2000, 1200),
         screen,
         bottomPanel,
         QPoint(0, 0)},
        {"no panels known", {1900, 1070}, window, screen, QRect(), QPoint(1560, 840)},
        {"right of the screen", {1920, 5}, window, screen, bottomPanel, std::nullopt},
        {"below the screen", {5, 1080}, window, screen, bottomPanel, std::nullopt},
        {"left of the screen", {-1, 5}, window, screen, bottomPanel, std::nullopt},
        {"above the screen", {5, -1}, window, screen, bottomPanel, std::nullopt},
        {"left of a second screen", {1900, 5}, window, second, second, std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<QPoint> placed =
            PlaceOnScreen(c.stored, c.frame, c.screen, c.available);
        ASSERT_EQ(placed.has_value(), c.placed.has_value()) << c.name;
        if (placed) {
            EXPECT_EQ(placed->x(), c.placed->x()) << c.name;
            EXPECT_EQ(placed->y(), c.placed->y()) << c.name;
        }
    }
}

}  // namespace
}  // namespace gearloft
