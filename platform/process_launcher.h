// Starting the game and the program itself through the system: what runs is
// decided by ResolveLaunch (a Windows program through Wine), and the program
// is detached so that it lives on after Gearloft ends.
#pragma once

#include "app/game_launch.h"
#include "app/start_up_services.h"

#include <utility>

namespace gearloft {

class ProcessLauncher : public ProgramLauncher {
public:
    // `findProgram` finds Wine; tests pass their own.
    explicit ProcessLauncher(ProgramFinder findProgram = FindOnPath)
        : m_findProgram(std::move(findProgram)) {}

    using ProgramLauncher::Launch;
    bool Launch(const LaunchCommand& command, QString* whyNot) override;

private:
    ProgramFinder m_findProgram;
};

}  // namespace gearloft
