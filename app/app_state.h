// The application-wide state of one run of Gearloft: created empty when the
// program starts, filled by start-up, valid until the program ends.
#pragma once

#include "app/app_paths.h"
#include "app/profile_file.h"
#include "chunkfile/tessera.h"

#include <QString>

#include <cstdint>

namespace gearloft {

class UserInteraction;

// Where the game is: its folder (always ending in a separator) and the full
// path of its executable.
struct GameLocation {
    QString strGameDir;
    QString strGameExe;
    // The Wine prefix the game is installed in; empty for a game outside one.
    QString winePrefix;
};

struct AppState {
    ProfileFile settings;     // the settings file, written back at exit
    ProfileFile activeSkin;   // the chosen skin's description
    TESSERAEXPORT tessera{};  // filled by the library's TesseraInit
    GameLocation game;
    std::uint32_t splashDuration = 0;  // milliseconds; 0 means no splash
    std::uint32_t skinBackColor = 0;   // 0x00BBGGRR
    std::uint32_t skinTextColor = 0;
    bool restartRequested = false;
    QString strLaunchParameters;    // set by Start
    QString programPath;            // the program's own executable
    QString helpFilePath;           // <program>.html beside it or in the documentation
    AppPaths paths;                 // where settings, levels.cfg, skins and help are
    UserInteraction* ui = nullptr;  // message boxes and beeps
};

}  // namespace gearloft
