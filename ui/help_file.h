// F1 in the main dialogs: the help file beside the program, opened by the
// desktop's own viewer for it.
#pragma once

namespace gearloft {

struct AppState;

// Opens state.helpFilePath (<program>.html beside the program when it is
// empty). Tells the user when the file is missing, and, apart from that,
// when nothing on the system can show it.
void OpenHelpFile(const AppState& state);

}  // namespace gearloft
