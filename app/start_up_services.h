// The services that start-up takes from its surroundings: the registry store,
// the Open file dialog that asks for the game and the launcher of programs.
// The program passes the platform's implementations; tests substitute their
// own so that every run is repeatable and needs no window or child process.
#pragma once

#include "app/game_launch.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace gearloft {

// The machine-wide root is the only one the program uses.
enum class RegistryRoot { LocalMachine };

class RegistryStore {
public:
    virtual ~RegistryStore() = default;
    // The stored text, or defaultValue when the key, the value or the store
    // is missing or the text is longer than the 4095 bytes a caller accepts.
    virtual QByteArray ReadRegistryString(RegistryRoot root, const QByteArray& keyPath,
                                          const QByteArray& valueName,
                                          const QByteArray& defaultValue) = 0;
    // Creates the key when needed and stores the text; false when the store
    // cannot be written.
    virtual bool WriteRegistryString(RegistryRoot root, const QByteArray& keyPath,
                                     const QByteArray& valueName, const QByteArray& text) = 0;
};

// Asks the user for the game's executable.
class GameFileDialog {
public:
    virtual ~GameFileDialog() = default;
    // Shows the dialog until the user cancels (empty result) or chooses a
    // file that `accept` takes; a file that it refuses keeps the dialog open.
    virtual QString ChooseGame(const std::function<bool(const QString& path)>& accept) = 0;
};

// Starts a program that lives on after Gearloft ends.
class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    // A native program directly, a Windows one through Wine in its prefix
    // (ResolveLaunch). On failure returns false and a sentence for the user
    // in whyNot.
    virtual bool Launch(const LaunchCommand& command, QString* whyNot) = 0;
    // An empty workingDir keeps the current folder.
    bool Launch(const QString& program, const QStringList& arguments, const QString& workingDir,
                QString* whyNot) {
        return Launch(LaunchCommand{program, arguments, workingDir, QString()}, whyNot);
    }
};

}  // namespace gearloft
