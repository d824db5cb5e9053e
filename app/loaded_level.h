// LoadedLevel: one level file opened for editing its equipment record.
//
// The record is the data block of the chunk "QELENVIR" inside the folder
// "REBENVDT" directly below the level's root. Its words are little-endian:
//
//   offset  0  16 bytes   not interpreted, kept
//   offset 16  dwEquipment   bits 0-5 the six switches; bits 6-31 kept
//   offset 20  dwSpearCount  spears the player is given
//   offset 24  any rest      not interpreted, kept
//
// A record shorter than 24 bytes is not used. The record is changed in place
// in the loaded tree (the library hands out the item's own block) and the
// whole tree is saved back, so every byte but the six bits and the count
// comes back as it was read.
//
// The class holds no widgets: a main dialog gives it a LevelView (control
// exchange, enabling, the wait cursor) and a SpearCount (how that dialog
// shows the count), and tests drive it through fakes of both.
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

#include "app/library_binding.h"
#include "chunkfile/tessera.h"

namespace gearloft {

struct AppState;
class LevelCatalogue;

constexpr std::uint32_t kRecordMinSize = 24;
constexpr std::uint32_t kEquipmentOffset = 16;
constexpr std::uint32_t kSpearCountOffset = 20;

// The values that a dialog's data exchange moves to and from its controls.
struct LevelFields {
    int nLevel = 0;                  // catalogue row, the level list's selection
    std::array<bool, 6> switches{};  // Pistol ... Jet pack, bit 0 ... bit 5
};

// How one dialog holds the spear count being edited. The plain dialog keeps
// it in its spin control (SpinSpearCount); the skinned dialog keeps it in an
// integer exchanged with its text field (FieldSpearCount).
class SpearCount {
public:
    virtual ~SpearCount() = default;
    // A count chosen by the program: 0 when a load starts, 30 for Restore.
    virtual void Set(std::uint32_t count) = 0;
    // The record's dwSpearCount word, as a load finds it.
    virtual void ShowRecordValue(std::uint32_t word) = 0;
    // The value to write into dwSpearCount (0 to 255).
    virtual std::uint32_t ValueToSave() = 0;
};

// The dialog side of a loaded level.
class LevelView {
public:
    virtual ~LevelView() = default;
    // Copies the controls' values into fields; false when a control holds a
    // value that cannot be taken (the view has told the user why). The level
    // list's selection is taken even then, so that a load still follows it.
    virtual bool ExchangeFromControls(LevelFields& fields) = 0;
    virtual void ExchangeToControls(const LevelFields& fields) = 0;
    // The six switches and the count's controls.
    virtual void SetEditingEnabled(bool enabled) = 0;
    // Shows or removes the wait cursor; calls come in pairs.
    virtual void SetBusy(bool busy) = 0;
};

// The spin control of the plain dialog: a position kept within 0 to 255.
class SpinControl {
public:
    virtual ~SpinControl() = default;
    virtual int position() const = 0;
    virtual void setPosition(int position) = 0;  // clamps to the range
};

// Plain dialog: the count lives in the spin control. A stored count shows as
// its low 16 bits kept within the range, and the position is what is saved.
class SpinSpearCount final : public SpearCount {
public:
    explicit SpinSpearCount(SpinControl& spin) : m_spin(spin) {}
    void Set(std::uint32_t count) override;
    void ShowRecordValue(std::uint32_t word) override;
    std::uint32_t ValueToSave() override;

private:
    SpinControl& m_spin;
};

// Skinned dialog: the count is an integer that the dialog exchanges with its
// text field. It shows the stored word whole; a value above 255 (taken as
// unsigned, so a negative one too) is saved as 255.
class FieldSpearCount final : public SpearCount {
public:
    void Set(std::uint32_t count) override { nSpears = static_cast<std::int32_t>(count); }
    void ShowRecordValue(std::uint32_t word) override { nSpears = static_cast<std::int32_t>(word); }
    std::uint32_t ValueToSave() override;

    std::int32_t nSpears = 0;
};

class LoadedLevel {
public:
    LoadedLevel(AppState& state, const LevelCatalogue& catalogue, LevelView& view,
                SpearCount& count);
    ~LoadedLevel();
    LoadedLevel(const LoadedLevel&) = delete;
    LoadedLevel& operator=(const LoadedLevel&) = delete;

    // (Re)loads the level of the list's selection. Stores it as "Last Level"
    // first; a missing or unreadable file leaves no level loaded.
    void Load();
    // Writes the switches and the count into the record and saves the file.
    // False when nothing was written. When the file on disk is no longer the
    // one that was loaded (another program saved it, replaced it or removed
    // it), the user is asked first: overwrite it, reload it (dropping the
    // edits) or cancel.
    bool Save();
    // Sets the level's default equipment and 30 spears, then saves.
    bool Restore();
    // Sets the launch parameters "-n <stem>" for the selected level; false
    // (with a beep) when the selection names no level.
    bool Start();
    // Frees the loaded tree and lets go of the library it came from.
    void Release();

    LevelFields fields;

    const QString& levelPath() const { return m_strLevelPath; }
    bool isLoaded() const { return m_pRoot != nullptr; }
    bool hasRecord() const { return m_pEnvItem != nullptr; }
    // Why the last Load refused the file before reading it ("it is a named
    // pipe, not a file", "it is 4 GiB, more than ..."); empty otherwise.
    const QString& loadRefusal() const { return m_loadRefusal; }

    // The level file of a row: <game dir>Qel_Rifs/<stem>.rif. When that
    // exact path does not exist, a folder and file of the same names in other
    // letter case are used (a copy of the game taken from a file system that
    // ignores case).
    static QString levelFilePath(const QString& gameDir, const QString& stem);

    // What a save checks against: the file's bytes as they were when it was
    // loaded or last saved, by size and SHA-256. Comparing bytes rather than
    // times sees a change made within the file system's clock tick, and asks
    // nothing when another program only touched the file or wrote it back
    // unchanged, as nothing of theirs would be lost.
    struct DiskStamp {
        bool exists = false;
        qint64 size = 0;
        QByteArray hash;
        bool operator==(const DiskStamp&) const = default;
    };
    static DiskStamp StampOf(const QString& path);

private:
    class BusyGuard;
    void SetEditingEnabled(bool enabled);
    // False when the user chose to write nothing (after a reload or cancel).
    bool ConfirmOverwriteIfChanged();

    AppState& m_state;
    const LevelCatalogue& m_catalogue;
    LevelView& m_view;
    SpearCount& m_count;
    // The library that made m_pRoot, kept while the tree lives: the tree is
    // freed by that library's code even when the program has let go of it.
    TesseraRecord m_tessera;
    RifItem* m_pRoot = nullptr;
    RifItem* m_pEnvItem = nullptr;
    QString m_strLevelPath;
    DiskStamp m_loadedStamp;  // the file as it was when loaded or last saved
    QString m_loadRefusal;
};

}  // namespace gearloft
