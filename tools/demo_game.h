// The built-in demo game: a game folder that Gearloft can be pointed at on
// any machine. It holds a stand-in for the game's executable ("Qel.exe", a
// shell script that logs how it was started) and one level file per row of
// the level catalogue under "Qel_Rifs", shaped like real levels: a root with
// an environment folder (the equipment record and its siblings), a light set,
// shape folders with bulky vertex, polygon and texture-coordinate chunks, and
// sprite banks, 100 KB to 2 MB of chunk stream per level. Most levels are
// compressed containers, some plain streams.
//
// A few rows are awkward on purpose, so that every path of the program can be
// seen by hand. Everything is generated from fixed seeds: two runs write the
// same bytes.
#pragma once

#include <cstdint>
#include <string>

namespace gearloft::demo {

// Rows of the level catalogue that the demo game makes awkward.
constexpr int kMissingFileRow = 9;   // no level file at all
constexpr int kNoRecordRow = 20;     // the environment folder lacks the record
constexpr int kShortRecordRow = 31;  // a record of 23 bytes
constexpr int kCorruptFileRow = 45;  // a compressed file cut short
constexpr int kOddRecordRow = 46;    // dwEquipment 0xC00000E5, 1000 spears
constexpr std::uint32_t kOddEquipment = 0xC00000E5u;
constexpr std::uint32_t kOddSpears = 1000;

// Rows written as plain chunk streams; every other level is compressed.
bool IsPlainRow(int row);

// The name of the log the stand-in executable appends to, in the game folder.
inline constexpr const char* kStartLogName = "qel-starts.log";

struct Options {
    // Scales the bulky chunks; 1.0 gives the full 100 KB to 2 MB per level,
    // tests use a small fraction.
    double scale = 1.0;
};

// Writes the demo game into folder (created when missing). False, with a
// reason in *error, when a file cannot be written.
bool WriteDemoGame(const std::string& folder, const Options& options, std::string* error);

}  // namespace gearloft::demo
