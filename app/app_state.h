// The application-wide state of one run of Gearloft: created empty when the
// program starts, filled by start-up, valid until the program ends.
#pragma once

#include "app/app_paths.h"
#include "app/library_binding.h"
#include "app/profile_file.h"

#include <QLibrary>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>

namespace gearloft {

class UrlOpener;
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
    ProfileFile settings;    // the settings file, written back at exit
    ProfileFile activeSkin;  // the chosen skin's description
    TesseraRecord tessera;   // the library bound at start-up; null before and after
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
    QString strLaunchParameters;     // set by Start
    QString programPath;             // the program's own executable
    QString helpFilePath;            // <program>.html beside it or in the documentation
    AppPaths paths;                  // where settings, levels.cfg, skins and help are
    UserInteraction* ui = nullptr;   // message boxes and beeps
    UrlOpener* urlOpener = nullptr;  // web and mail links
};

}  // namespace gearloft
