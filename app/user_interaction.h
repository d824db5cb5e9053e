// The program's ways of telling the user something without a window of its
// own: modal message boxes (caption "Gearloft", an OK button) and the default
// beep. The program holds one implementation; tests replace it to assert the
// texts and icons without a modal loop.
#pragma once

#include <QString>

namespace gearloft {

enum class MessageIcon { Information, Error };

class UserInteraction {
public:
    virtual ~UserInteraction() = default;
    virtual void ShowMessage(const QString& text, MessageIcon icon) = 0;
    virtual void Beep() = 0;
};

}  // namespace gearloft
