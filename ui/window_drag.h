// Moving a caption-less window by dragging its background.
//
// A left press on the window's own surface, or on one of the handle widgets
// added to it, starts a move: through the window system where it offers one
// (QWindow::startSystemMove), otherwise by moving the window with the mouse
// while it is grabbed. A press on any other child control (a button, a link,
// a list) belongs to that control and never starts a drag.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <vector>

class QMouseEvent;
class QWidget;

namespace gearloft {

class WindowDrag : public QObject {
    Q_OBJECT
public:
    // Watches `window` (a top-level widget) and becomes its child.
    explicit WindowDrag(QWidget* window);

    // A child of the window that counts as background: a press on it drags
    // the window too (a label that does not react to clicks, for example).
    void addHandle(QWidget* handle);

    // False keeps the drag manual even where the window system could move
    // the window itself; tests use it to see the window follow the mouse.
    void setSystemMoveAllowed(bool allowed) { m_systemMoveAllowed = allowed; }

    bool isDragging() const { return m_dragging; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool StartsDrag(const QPoint& globalPos) const;
    bool Press(QMouseEvent* event);
    void Follow(const QPoint& globalPos);
    void Stop();

    QWidget* m_window;
    std::vector<QPointer<QWidget>> m_handles;
    bool m_systemMoveAllowed = true;
    bool m_dragging = false;
    bool m_hadMouseTracking = false;
    // Where the drag began: the mouse (global) and the window's position.
    // Each step places the window at its origin plus the mouse's movement,
    // so a move the window system applies late never adds up to drift.
    QPoint m_pressPoint;
    QPoint m_windowOrigin;
};

}  // namespace gearloft
