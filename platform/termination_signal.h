// Ends the program cleanly when the system asks it to (SIGTERM, SIGINT,
// SIGHUP: the session ending, `kill`, Ctrl+C in a terminal): every open
// window is closed as if the user had closed it and no later dialog waits,
// so the main dialog ends without starting the game and the exit steps
// write the settings back.
#pragma once

namespace gearloft {

// Installs the handlers; call once, after the application object exists.
// False when the signals could not be caught (they then end the program as
// before).
bool CloseWindowsOnTermination();

}  // namespace gearloft
