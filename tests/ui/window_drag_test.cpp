// Dragging a caption-less window by its background, on the offscreen
// platform, where the window system offers no move of its own.
#include "ui/window_drag.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QWidget>

#include <gtest/gtest.h>

namespace gearloft {
namespace {

// A frameless window with a button, a label that counts as background and
// a label that does not.
class WindowDragTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        window.setFixedSize(300, 200);
        button.setGeometry(200, 150, 80, 30);
        handle.setGeometry(10, 10, 100, 20);
        other.setGeometry(10, 100, 100, 20);
        drag = new WindowDrag(&window);
        drag->setSystemMoveAllowed(false);
        drag->addHandle(&handle);
        window.move(100, 100);
        window.show();
        QCoreApplication::processEvents();
    }

    void TearDown() override {
        if (QWidget::mouseGrabber() != nullptr) {
            QWidget::mouseGrabber()->releaseMouse();
        }
    }

    // Sends a mouse event at a global position to the widget under it, as
    // the window system would (to the grabber while there is one), and lets
    // Qt pass an ignored press on to the parents.
    void Send(QEvent::Type type, const QPoint& global, Qt::MouseButtons buttons) {
        QWidget* target = QWidget::mouseGrabber();
        if (target == nullptr) {
            target = window.childAt(window.mapFromGlobal(global));
            if (target == nullptr) {
                target = &window;
            }
        }
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, target->mapFromGlobal(QPointF(global)), QPointF(global), button,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
        QCoreApplication::processEvents();
    }

    // Presses at `from` (window coordinates), moves by `by` in two steps and
    // releases; returns how far the window moved.
    QPoint DragFrom(const QPoint& from, const QPoint& by) {
        const QPoint start = window.pos();
        const QPoint global = window.mapToGlobal(from);
        Send(QEvent::MouseButtonPress, global, Qt::LeftButton);
        Send(QEvent::MouseMove, global + by / 2, Qt::LeftButton);
        Send(QEvent::MouseMove, global + by, Qt::LeftButton);
        Send(QEvent::MouseButtonRelease, global + by, Qt::NoButton);
        return window.pos() - start;
    }

    QWidget window;
    QPushButton button{QStringLiteral("OK"), &window};
    QLabel handle{QStringLiteral("banner"), &window};
    QLabel other{QStringLiteral("link"), &window};
    WindowDrag* drag = nullptr;
};

TEST_F(WindowDragTest, WhereAPressStartsADrag) {
    struct Case {
        const char* name;
        QPoint from;
        QPoint moved;  // what a drag by (37, -21) moves the window by
    };
    const QPoint by(37, -21);
    const Case cases[] = {
        {"background", QPoint(150, 60), by},
        {"handle label", QPoint(20, 15), by},
        {"button", QPoint(210, 160), QPoint(0, 0)},
        {"label that is not a handle", QPoint(20, 105), QPoint(0, 0)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DragFrom(c.from, by), c.moved) << c.name;
        EXPECT_FALSE(drag->isDragging()) << c.name;
        EXPECT_EQ(QWidget::mouseGrabber(), nullptr) << c.name;
    }
}

TEST_F(WindowDragTest, MouseIsGrabbedOnlyWhileDragging) {
    const QPoint global = window.mapToGlobal(QPoint(150, 60));
    Send(QEvent::MouseButtonPress, global, Qt::LeftButton);
    EXPECT_TRUE(drag->isDragging());
    EXPECT_EQ(QWidget::mouseGrabber(), &window);
    // Moving back over the button keeps dragging the window.
    Send(QEvent::MouseMove, window.mapToGlobal(QPoint(210, 160)), Qt::LeftButton);
    EXPECT_TRUE(drag->isDragging());
    Send(QEvent::MouseButtonRelease, window.mapToGlobal(QPoint(210, 160)), Qt::NoButton);
    EXPECT_FALSE(drag->isDragging());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST_F(WindowDragTest, MoveWithoutTheButtonEndsALostDrag) {
    const QPoint global = window.mapToGlobal(QPoint(150, 60));
    Send(QEvent::MouseButtonPress, global, Qt::LeftButton);
    const QPoint held = window.pos();
    // The release went to another program: the next move has no button.
    Send(QEvent::MouseMove, global + QPoint(50, 50), Qt::NoButton);
    EXPECT_FALSE(drag->isDragging());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(window.pos(), held);
}

TEST_F(WindowDragTest, HidingTheWindowEndsTheDrag) {
    Send(QEvent::MouseButtonPress, window.mapToGlobal(QPoint(150, 60)), Qt::LeftButton);
    ASSERT_TRUE(drag->isDragging());
    window.hide();
    EXPECT_FALSE(drag->isDragging());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

}  // namespace
}  // namespace gearloft
