// The program's message boxes (caption "Gearloft", an OK button) and beep.
#pragma once

#include "app/user_interaction.h"

namespace gearloft {

class MessageBoxInteraction : public UserInteraction {
public:
    void ShowMessage(const QString& text, MessageIcon icon) override;
    void Beep() override;
};

}  // namespace gearloft
