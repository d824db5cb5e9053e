// Starting the game and the program itself: a native executable directly, a
// Windows program through `wine` when it is on the path.
#pragma once

#include "app/start_up_services.h"

namespace gearloft {

enum class ExecutableKind { Native, Windows, Unknown };

// Looks at the file's first bytes: an ELF image or a "#!" script with the
// executable bit is native, an "MZ" image is a Windows program.
ExecutableKind KindOfExecutable(const QString& path);

class ProcessLauncher : public ProgramLauncher {
public:
    bool Launch(const QString& program, const QStringList& arguments, const QString& workingDir,
                QString* whyNot) override;
};

}  // namespace gearloft
