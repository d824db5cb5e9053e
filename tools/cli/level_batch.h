// The equipment of many levels without a window: each level is loaded,
// changed and saved by its own LoadedLevel, exactly as the main dialog does it
// (so the bytes on disk are the dialog's), on a pool of threads, one level
// per thread at a time, two threads per core.
#pragma once

#include "app/app_state.h"
#include "app/level_catalogue.h"
#include "chunkfile/tessera.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace gearloft::cli {

// What a level's file holds, as the list shows it.
enum class LevelState { kOk, kMissing, kUnreadable, kNotChunkFile, kNoRecord };
QString LevelStateText(LevelState state);

// The changes of one run of set: only what was named.
struct EquipmentChange {
    std::array<std::optional<bool>, kSwitchCount> switches;  // bit 0 ... bit 5
    std::optional<std::uint32_t> spears;                     // 0 to 255
    bool restoreDefaults = false;  // the row's defaults, as Restore writes them
    bool empty() const;
};

struct LevelResult {
    int row = -1;
    QString path;
    LevelState state = LevelState::kMissing;
    std::array<bool, kSwitchCount> switches{};  // as read (before any change)
    std::uint32_t spears = 0;                   // the record's word as read
    bool failed = false;                        // the level could not be done
    QString error;                              // why, for the user
};

struct LevelBatch {
    TesseraRecord lib;
    GameLocation game;
    const LevelCatalogue& catalogue;
};

// Reads (change null) or changes every row of `rows` in parallel on up to
// `threads` threads (0: two per core). `progress` is called on the calling
// thread with the number of levels done so far, now and then, and once at the
// end. Results come in the order of `rows`.
std::vector<LevelResult> RunLevels(const LevelBatch& batch, const std::vector<int>& rows,
                                   const EquipmentChange* change, int threads,
                                   const std::function<void(int done)>& progress);

}  // namespace gearloft::cli
