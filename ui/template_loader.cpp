#include "ui/template_loader.h"

#include <QDialog>
#include <QFile>
#include <QUiLoader>
#include <QWidget>

#include <memory>

namespace gearloft {

QWidget* LoadTemplate(const QString& resourcePath, QWidget* parent) {
    QFile file(resourcePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return nullptr;
    }
    QUiLoader loader;
    return loader.load(&file, parent);
}

bool LoadTemplateInto(QDialog& dialog, const QString& resourcePath) {
    std::unique_ptr<QWidget> form(LoadTemplate(resourcePath, nullptr));
    if (form == nullptr) {
        return false;
    }
    dialog.setFixedSize(form->size());
    dialog.setWindowTitle(form->windowTitle());
    // The form's font is the one its positions were measured in; the
    // controls inherit it from the dialog once they move there.
    if (form->testAttribute(Qt::WA_SetFont)) {
        dialog.setFont(form->font());
    }
    const QList<QWidget*> controls =
        form->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* control : controls) {
        const bool hidden = control->testAttribute(Qt::WA_WState_ExplicitShowHide) &&
                            control->testAttribute(Qt::WA_WState_Hidden);
        control->setParent(&dialog);
        control->setVisible(!hidden);
    }
    return true;
}

}  // namespace gearloft
