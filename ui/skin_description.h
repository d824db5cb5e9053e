// A skin description: a profile file whose section "Skin.Layout" holds the
// signature "Gearloft", the skin's display name and its module's file name,
// and whose section "Skin.Colors" holds its background and text colours.
#pragma once

#include "app/profile_file.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace gearloft::skin {

inline constexpr char kLayout[] = "Skin.Layout";
inline constexpr char kColors[] = "Skin.Colors";
inline constexpr char kSignature[] = "Signature";
inline constexpr char kName[] = "Name";
inline constexpr char kModule[] = "Module";
inline constexpr char kBackground[] = "Background";
inline constexpr char kText[] = "Text";
inline constexpr char kDescriptionSuffix[] = ".skn";

// True when the description carries the signature "Gearloft" (ASCII
// letters compared without case).
bool HasSignature(const ProfileFile& description);

// The display name, decoded from the file's bytes.
QString DisplayName(const ProfileFile& description);

}  // namespace gearloft::skin
