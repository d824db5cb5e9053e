// The program's ways of telling the user something without a window of its
// own: modal message boxes (caption "Gearloft", an OK button) and the default
// beep. The program holds one implementation; tests replace it to assert the
// texts and icons without a modal loop.
#pragma once

#include <QString>

namespace gearloft {

enum class MessageIcon { Information, Error };

// The answers to "this file changed on disk since it was loaded".
enum class ChangedFileAnswer {
    Overwrite,  // write the edits over the other program's changes
    Reload,     // drop the edits and read the file as it is now
    Cancel,     // write nothing and keep editing
};

class UserInteraction {
public:
    virtual ~UserInteraction() = default;
    virtual void ShowMessage(const QString& text, MessageIcon icon) = 0;
    virtual void Beep() = 0;
    // Asks what to do before saving over the file at path, which something
    // else has changed since it was loaded. The answer of a service that
    // cannot ask is Cancel, which overwrites nothing.
    virtual ChangedFileAnswer AskAboutChangedFile(const QString& path) {
        static_cast<void>(path);
        return ChangedFileAnswer::Cancel;
    }
};

}  // namespace gearloft
