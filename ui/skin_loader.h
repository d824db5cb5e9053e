// Loading the skin named by the "Skin" setting, and its colours.
#pragma once

#include <QPalette>
#include <QString>

#include <cstdint>

namespace gearloft {

struct AppState;

// Reads the description file into state.activeSkin, takes its colours and
// name, and loads its module. True when the skinned dialog is to run
// (state.skinModule is then loaded). A description that cannot be read, is
// not a skin or names no module gives false without a message; a module
// that does not load gives false after "ERROR: Failed to load Skin
// resources.". A relative module name is looked for beside the description
// and in the program's folder first, then by the system's own search.
bool LoadSkin(AppState& state, const QString& descriptionFile);

// Frees the skin module, if one is loaded.
void ReleaseSkin(AppState& state);

// A palette with the skin's background and text colours (0x00BBGGRR).
QPalette SkinPalette(std::uint32_t backColor, std::uint32_t textColor);

}  // namespace gearloft
