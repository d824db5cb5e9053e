#include "platform/wait_cursor.h"

#include <QApplication>
#include <QCursor>

namespace gearloft {

WaitCursor::WaitCursor() {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

WaitCursor::~WaitCursor() {
    QApplication::restoreOverrideCursor();
}

}  // namespace gearloft
