// The skin menu's contents: the skin descriptions found in the skin folders,
// listed by file name so that the menu is the same on every file system.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace gearloft {

// At most this many skins are listed; further files are not read.
constexpr int kMaxListedSkins = 9;
// A menu entry shows at most this many characters of a skin's name.
constexpr int kSkinEntryLength = 32;

struct SkinMenuEntry {
    QString text;  // the name, cut to kSkinEntryLength characters
    QString file;  // the description's file name, as "Skin" stores it
};

struct SkinMenuContents {
    std::vector<SkinMenuEntry> skins;
    // The checked entry: 0 for the plain look, 1 to 9 for skins[marked - 1].
    int marked = 0;
};

// Reads the "*.skn" files of each folder in turn, each folder's in file-name
// order; a file name already met in an earlier folder is passed over (the
// "Skin" setting would name the earlier one). A file that cannot be read, is
// not a skin or has no name is skipped. The last listed skin whose name
// equals activeName (without case) is marked.
SkinMenuContents ScanSkins(const QStringList& folders, const QString& activeName);

}  // namespace gearloft
