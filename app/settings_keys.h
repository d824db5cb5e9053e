// The program's settings: every key of the section "Settings" of the settings
// file, with its default, in one table.
#pragma once

#include "app/profile_file.h"

namespace gearloft::settings {

inline constexpr char kSection[] = "Settings";

struct IntKey {
    const char* name;
    int defaultValue;
};

// The catalogue row selected first; written by every level load.
inline constexpr IntKey kLastLevel{"Last Level", 0};
// The main dialog's top-left corner; -1 leaves the default placement.
inline constexpr IntKey kPosX{"Pos X", -1};
inline constexpr IntKey kPosY{"Pos Y", -1};
// How long the splash screen shows, in milliseconds.
inline constexpr IntKey kSplashScreen{"Splash Screen", 2000};
// Nonzero: Start hands the chosen level to the game.
inline constexpr IntKey kStartLevel{"Start Level", 0};
// The skin description to use; empty for the plain dialog.
inline constexpr char kSkin[] = "Skin";

inline int Read(const ProfileFile& file, IntKey key) {
    return file.GetInt(kSection, key.name, key.defaultValue);
}

inline bool Write(ProfileFile& file, IntKey key, int value) {
    return file.SetInt(kSection, key.name, value);
}

}  // namespace gearloft::settings
