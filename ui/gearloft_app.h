// GearloftApp: one run of the program from start to end. Start-up binds the
// library, finds the game, shows the splash screen, runs the main dialog and
// starts the game after Start; the exit steps free the library, write the
// settings back and, when a skin change asked for it, start the program again.
#pragma once

#include "app/app_state.h"
#include "app/library_binding.h"
#include "app/start_up_services.h"
#include "app/wine_prefixes.h"

#include <QStringList>

#include <functional>
#include <optional>

namespace gearloft {

// Everything a run takes from its surroundings; tests pass their own.
struct StartUpServices {
    UserInteraction* ui = nullptr;
    RegistryStore* registry = nullptr;
    GameFileDialog* fileDialog = nullptr;
    ProgramLauncher* launcher = nullptr;
    // Runs the plain main dialog modally and returns its end code (1 Start).
    std::function<int(AppState&)> runMainDialog;
    // Runs the skinned main dialog with state.skinModule; without it skins
    // are not offered at start-up.
    std::function<int(AppState&)> runSkinnedMainDialog;
    // Shows the splash screen for state.splashDuration; the real one when empty.
    std::function<void(AppState&)> runSplash;
    // The command line without the program's name.
    QStringList arguments;
    // Where to look for the library and for the game; the program's own
    // places (beside it, then the system's search) when not given.
    std::optional<QStringList> libraryCandidates;
    std::optional<QStringList> gameSearchDirs;
    // The Wine prefixes to look for the game in; none when empty.
    WineSearch wine;
    // Where settings, levels.cfg, skins and help are; decided from the
    // program's path and the user's folders when not given.
    std::optional<AppPaths> paths;
};

class GearloftApp {
public:
    // state.programPath must be the program's full path.
    GearloftApp(AppState& state, StartUpServices services);
    ~GearloftApp();
    GearloftApp(const GearloftApp&) = delete;
    GearloftApp& operator=(const GearloftApp&) = delete;

    // Start-up, then the exit steps. Returns the process's exit code: 0 after
    // the main dialog ran, 1 when start-up ended early.
    int Run();

private:
    bool StartUp();
    void LaunchGame();
    void ExitSteps();

    AppState& m_state;
    StartUpServices m_services;
    LibraryBinding m_tessera;
    bool m_keepSettingsFile = false;  // the settings file could not be read
};

}  // namespace gearloft
