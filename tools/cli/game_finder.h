// Finding the game without asking anybody: the search the dialog program
// makes at start-up (the registry stand-in, then the program's folder, the
// current folder and PATH), with a file dialog that always declines and a
// registry that is only read. A command-line run never changes where the
// dialog program looks.
#pragma once

#include "app/app_state.h"

#include <QString>

namespace gearloft::cli {

// True, with the game in *game, when it was found; false when the search
// came to the point where the dialog program would ask for it.
bool FindGameQuietly(const QString& programDir, GameLocation* game);

// The game in the folder `dir` named on the command line. False, with the
// reason in *error, when that is not a folder.
bool GameInFolder(const QString& dir, GameLocation* game, QString* error);

}  // namespace gearloft::cli
