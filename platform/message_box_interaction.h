// The program's message boxes (caption "Gearloft", an OK button) and beep.
#pragma once

#include "app/user_interaction.h"

namespace gearloft {

class MessageBoxInteraction : public UserInteraction {
public:
    void ShowMessage(const QString& text, MessageIcon icon) override;
    void Beep() override;
    // Overwrite, Reload and Cancel, Cancel being the default and Esc.
    ChangedFileAnswer AskAboutChangedFile(const QString& path) override;
};

// A message's text as the box shows it: line breaks kept, and each quoted
// name ('...') on an unwrapped line of its own, so a path is never broken.
QString MessageBoxHtml(const QString& text);

}  // namespace gearloft
