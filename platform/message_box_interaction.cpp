#include "platform/message_box_interaction.h"

#include <QApplication>
#include <QMessageBox>

namespace gearloft {

void MessageBoxInteraction::ShowMessage(const QString& text, MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Information,
                    QStringLiteral("Gearloft"), text, QMessageBox::Ok);
    box.exec();
}

void MessageBoxInteraction::Beep() {
    QApplication::beep();
}

}  // namespace gearloft
