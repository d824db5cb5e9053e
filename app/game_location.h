// Finding the game: the directory stored in the registry, then the Wine
// prefixes whose registry names it, then the default search, then the user's
// choice in an Open file dialog.
#pragma once

#include "app/app_state.h"
#include "app/start_up_services.h"
#include "app/wine_prefixes.h"

#include <QString>
#include <QStringList>

namespace gearloft {

class UserInteraction;

inline constexpr char kGameExecutable[] = "Qel.exe";
inline constexpr char kGameRegistryKey[] = "Software\\Ombrine\\Qelmarch";
inline constexpr char kGameRegistryValue[] = "Path";
// Beside "Path" in our own store: the Wine prefix the game was found in.
inline constexpr char kGamePrefixValue[] = "WinePrefix";

struct GameSearch {
    RegistryStore& registry;
    GameFileDialog& fileDialog;
    UserInteraction& ui;
    // The default search order: the program's folder, the current folder,
    // then the folders of PATH.
    QStringList defaultSearchDirs;
};

// Fills `game` and returns true when the game was found or chosen; false when
// the user cancelled the dialog (nothing is shown then). `wine` gives the
// Wine prefixes to look in before the default search; none when empty.
bool FindGame(GameLocation& game, GameSearch& search, const WineSearch& wine = {});

// The same search without asking anyone, for programs that never ask: the
// registry store, the Wine prefixes, then the default search. A location
// found elsewhere than in the store is remembered there. False when the game
// was not found (`game` then holds nothing useful).
bool LocateGame(GameLocation& game, RegistryStore& registry, const WineSearch& wine,
                const QStringList& defaultSearchDirs);

// The folders of the default search for a program living in programDir.
QStringList DefaultSearchDirs(const QString& programDir);

// The file called `name`, compared without regard to letter case, in the
// given folders in order; empty when none holds one. Game files copied from
// other media come in any case.
QString SearchFile(const QString& name, const QStringList& dirs);

// True when the file name of path (without its folder) is the game's
// executable's name in any letter case.
bool IsGameExecutableName(const QString& path);

}  // namespace gearloft
