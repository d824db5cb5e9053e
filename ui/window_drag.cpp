#include "ui/window_drag.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace gearloft {

WindowDrag::WindowDrag(QWidget* window) : QObject(window), m_window(window) {
    m_window->installEventFilter(this);
}

void WindowDrag::addHandle(QWidget* handle) {
    if (handle == nullptr || handle == m_window) {
        return;
    }
    m_handles.emplace_back(handle);
    handle->installEventFilter(this);
}

bool WindowDrag::StartsDrag(const QPoint& globalPos) const {
    // The widget under the mouse decides, not the one that received the
    // event: a press that a child ignored travels on to the window.
    const QWidget* hit = m_window->childAt(m_window->mapFromGlobal(globalPos));
    if (hit == nullptr) {
        return true;
    }
    return std::any_of(m_handles.begin(), m_handles.end(),
                       [hit](const QPointer<QWidget>& handle) { return handle == hit; });
}

bool WindowDrag::Press(QMouseEvent* event) {
    const QPoint globalPos = event->globalPosition().toPoint();
    if (event->button() != Qt::LeftButton || !StartsDrag(globalPos)) {
        return false;
    }
    event->accept();
    QWindow* handle = m_window->windowHandle();
    if (m_systemMoveAllowed && handle != nullptr && handle->startSystemMove()) {
        return true;  // the window system moves the window until release
    }
    m_pressPoint = globalPos;
    m_windowOrigin = m_window->pos();
    m_dragging = true;
    // Moves without a button must reach us too, to end a drag whose release
    // went elsewhere.
    m_hadMouseTracking = m_window->hasMouseTracking();
    m_window->setMouseTracking(true);
    m_window->grabMouse();
    return true;
}

void WindowDrag::Follow(const QPoint& globalPos) {
    m_window->move(m_windowOrigin + (globalPos - m_pressPoint));
}

void WindowDrag::Stop() {
    if (!m_dragging) {
        return;
    }
    m_dragging = false;
    m_window->releaseMouse();
    m_window->setMouseTracking(m_hadMouseTracking);
}

bool WindowDrag::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_window &&
        std::none_of(m_handles.begin(), m_handles.end(),
                     [watched](const QPointer<QWidget>& handle) { return handle == watched; })) {
        return false;
    }
    switch (event->type()) {
        case QEvent::MouseButtonPress:
            return !m_dragging && Press(static_cast<QMouseEvent*>(event));
        case QEvent::MouseMove:
            if (m_dragging) {
                auto* move = static_cast<QMouseEvent*>(event);
                if ((move->buttons() & Qt::LeftButton) == 0) {
                    Stop();  // the release went elsewhere: never keep the window on the mouse
                } else {
                    Follow(move->globalPosition().toPoint());
                }
                return true;
            }
            return false;
        case QEvent::MouseButtonRelease:
            if (m_dragging && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                Stop();
                return true;
            }
            return m_dragging;
        case QEvent::Hide:
        case QEvent::WindowDeactivate:
            if (watched == m_window) {
                Stop();  // the grab ends with the window's turn
            }
            return false;
        default:
            return false;
    }
}

}  // namespace gearloft
