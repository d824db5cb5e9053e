// The application-wide state of one run of Gearloft: created empty when the
// program starts, filled by start-up, valid until the program ends.
#pragma once

#include "app/profile_file.h"
#include "chunkfile/tessera.h"

#include <QLibrary>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>

namespace gearloft {

class UserInteraction;

// Where the game is: its folder (always ending in a separator) and the full
// path of its executable.
struct GameLocation {
    QString strGameDir;
    QString strGameExe;
};

struct AppState {
    ProfileFile settings;     // the settings file, written back at exit
    ProfileFile activeSkin;   // the chosen skin's description
    TESSERAEXPORT tessera{};  // filled by the library's TesseraInit
    GameLocation game;
    std::uint32_t splashDuration = 0;  // milliseconds; 0 means no splash
    std::uint32_t skinBackColor = 0;   // 0x00BBGGRR
    std::uint32_t skinTextColor = 0;
    // The active skin: its module (freed at exit, after the library), its
    // name and the folders whose descriptions the skin menu lists, in order
    // (a "Skin" setting names a file of the first folder that holds it).
    std::unique_ptr<QLibrary> skinModule;
    QString skinName;
    QStringList skinFolders;
    // Description files behind the skin menu's entries, rewritten each time
    // the menu is built; entry 0 is the plain look and stays empty.
    std::array<QString, 10> skinFiles;
    bool restartRequested = false;
    QString strLaunchParameters;    // set by Start
    QString programPath;            // the program's own executable
    QString helpFilePath;           // <program>.html beside it
    UserInteraction* ui = nullptr;  // message boxes and beeps
};

}  // namespace gearloft
