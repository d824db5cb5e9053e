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

// A description is a few lines; a file larger than this is no description and
// is not read, so that a stray large file costs neither the memory nor the
// time of reading it.
inline constexpr qint64 kMaxDescriptionBytes = 1024 * 1024;

enum class DescriptionRead {
    Read,        // loaded into the profile file
    Unreadable,  // missing, or the system refused to read it
    NotAFile,    // a folder, a pipe, a device: opening it could block
    TooLarge,    // larger than kMaxDescriptionBytes
};

// Loads the description file at path into `into` when it is a regular file of
// at most kMaxDescriptionBytes. A refused file leaves `into` as it was.
DescriptionRead ReadDescription(const QString& path, ProfileFile& into);

}  // namespace gearloft::skin
