#include "ui/template_loader.h"

#include <QDialog>
#include <QFile>
#include <QUiLoader>
#include <QWidget>

#include <memory>

namespace gearloft {

namespace {

class StandardWidgetLoader : public QUiLoader {
public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
        static const QStringList kStandard = {
            QStringLiteral("QWidget"),     QStringLiteral("QFrame"),    QStringLiteral("QLabel"),
            QStringLiteral("QPushButton"), QStringLiteral("QLineEdit"), QStringLiteral("QComboBox"),
        };
        if (!kStandard.contains(className)) {
            return nullptr;
        }
        return QUiLoader::createWidget(className, parent, name);
    }
};

}  // namespace

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

QWidget* LoadStandardTemplate(const QString& resourcePath, QWidget* parent, QString* whyNot) {
    QFile file(resourcePath);
    if (!file.open(QIODevice::ReadOnly)) {
        *whyNot = QStringLiteral("%1 is missing").arg(resourcePath);
        return nullptr;
    }
    StandardWidgetLoader loader;
    loader.clearPluginPaths();
    QWidget* form = loader.load(&file, parent);
    if (form == nullptr) {
        *whyNot = QStringLiteral("%1 cannot be read: %2").arg(resourcePath, loader.errorString());
    }
    return form;
}

}  // namespace gearloft
