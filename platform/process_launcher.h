// Starting the game and the program itself through the system: what runs is
// decided by ResolveLaunch (a Windows program through Wine), and the program
// is detached so that it lives on after Gearloft ends.
#pragma once

#include "app/game_launch.h"
#include "app/start_up_services.h"

namespace gearloft {

class ProcessLauncher : public ProgramLauncher {
public:
    using ProgramLauncher::Launch;
    bool Launch(const LaunchCommand& command, QString* whyNot) override;
};

}  // namespace gearloft
