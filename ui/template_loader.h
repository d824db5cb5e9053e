// Dialog templates: Qt Designer forms in the resources, loaded at run time.
#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace gearloft {

// Builds the form at resourcePath as a new widget owned by parent; null when
// the form is missing or cannot be read.
QWidget* LoadTemplate(const QString& resourcePath, QWidget* parent);

// Loads the form at resourcePath (":/gearloft/dialog/145.ui") and gives its
// size, title, font and controls to `dialog`. Controls marked invisible in
// the form stay hidden. False when the form is missing or cannot be read.
bool LoadTemplateInto(QDialog& dialog, const QString& resourcePath);

// For forms that someone else wrote (a skin's template): builds only the
// standard widget classes (QWidget, QFrame, QLabel, QPushButton, QLineEdit,
// QComboBox) and no plugin; an element of any other class is left out with
// everything inside it. Null, with the reason in *whyNot, when the form is
// missing or cannot be read.
QWidget* LoadStandardTemplate(const QString& resourcePath, QWidget* parent, QString* whyNot);

}  // namespace gearloft
