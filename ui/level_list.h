// The level list that both main dialogs share: one combo box row per
// catalogue row, changed only by a deliberate choice of the user.
#pragma once

class QComboBox;

namespace gearloft {

class LevelCatalogue;

// Fills the list with the catalogue's names and sets it up:
// - a turn of the mouse wheel over the closed list changes nothing (it would
//   reload the level and drop the edits); a click in the open list or the
//   keyboard while the list has the focus still choose a level;
// - the open list is as wide as its longest name, but no wider than the
//   screen less a margin; a longer name is cut with an ellipsis.
void SetUpLevelList(QComboBox& list, const LevelCatalogue& catalogue);

// The margin the open list leaves on the screen, on each side together.
inline constexpr int kLevelListScreenMargin = 64;

}  // namespace gearloft
