// LevelCatalogue: the game's levels in the order the level list shows them.
//
// Row i of the catalogue is entry i of the level list, so the list's
// selection index is the catalogue row wherever a level is named by number
// ("Last Level" included). The rows come in fixed groups: three campaigns
// (rows 0-9, 10-20, 21-31: main levels, then bonus levels), 14 deathmatch
// levels (32-45) and 13 co-operative levels (46-58); the last 9 deathmatch
// and the last 8 co-operative rows belong to the game's extended edition.
//
// The built-in names and file stems are those of the bundled demo game. A
// player's own copy of the game names its files differently, so a catalogue
// file "levels.cfg" beside the program may replace any row's display name and
// stem (see ApplyOverrides and the README).
#pragma once

#include <QString>

#include <array>
#include <cstdint>

namespace gearloft {

class ProfileFile;

// Equipment bits of the level record's dwEquipment word; bit n is the switch
// edited by check box 1001 + n.
enum EquipmentBit : std::uint32_t {
    kPistol = 0x01,
    kShoulderCannon = 0x02,
    kDisk = 0x04,
    kGrapplingHook = 0x08,
    kMedicomp = 0x10,
    kJetPack = 0x20,
};
constexpr std::uint32_t kEquipmentMask = 0x3F;
constexpr int kSwitchCount = 6;

class LevelCatalogue {
public:
    static constexpr int kRowCount = 59;
    static constexpr std::uint32_t kDefaultSpears = 30;

    // The built-in rows.
    LevelCatalogue();

    int rowCount() const { return kRowCount; }
    bool isValidRow(int row) const { return row >= 0 && row < kRowCount; }
    // Both are empty for a row outside the catalogue.
    QString displayName(int row) const;
    QString stem(int row) const;

    // The equipment bits a level starts with when its defaults are restored
    // (0 for a row outside the catalogue).
    static std::uint32_t defaultEquipment(int row);

    // Replaces display names and stems from a catalogue file: section
    // "Level <row>" (row 0 to 58) with the keys "Name" and "Stem", either of
    // which may be left out. A value that cannot be used (an empty name, a
    // stem that is empty, holds a path separator or a control character, or
    // is "." or "..") is ignored with a debug line; the row keeps what it had.
    // Returns the number of values taken.
    int ApplyOverrides(const ProfileFile& file);
    // Reads the catalogue file at path when it exists and applies it.
    int ApplyOverrideFile(const QString& path);

    // "levels.cfg" in the folder of the given program path (the running
    // program's own folder when programPath is empty).
    static QString overrideFilePath(const QString& programPath);

    // True when a stem is usable as a file name of its own.
    static bool isUsableStem(const QString& stem);

private:
    struct Row {
        QString displayName;
        QString stem;
    };
    std::array<Row, kRowCount> m_rows;
};

}  // namespace gearloft
