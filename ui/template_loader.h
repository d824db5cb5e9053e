// Dialog templates: Qt Designer forms in the resources, loaded at run time.
#pragma once

#include <QString>

class QDialog;

namespace gearloft {

// Loads the form at resourcePath (":/gearloft/dialog/145.ui") and gives its
// size, title and controls to `dialog`. Controls marked invisible in the form
// stay hidden. False when the form is missing or cannot be read.
bool LoadTemplateInto(QDialog& dialog, const QString& resourcePath);

}  // namespace gearloft
