// The catalogue file "levels.cfg" over untrusted bytes: whatever it holds,
// every row of the catalogue keeps a name to show and a stem that is a file
// name of its own, and applying the same file twice changes nothing more.
#include "app/level_catalogue.h"
#include "app/profile_file.h"

#include <QByteArray>
#include <QChar>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using gearloft::LevelCatalogue;

constexpr std::size_t kMaxInput = 64 * 1024;

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void RequireSound(const LevelCatalogue& catalogue) {
    for (int row = 0; row < catalogue.rowCount(); ++row) {
        const QString name = catalogue.displayName(row);
        Require(!name.isEmpty());
        Require(name == name.trimmed());
        Require(!name.contains(QChar(0)));
        Require(LevelCatalogue::isUsableStem(catalogue.stem(row)));
    }
    Require(catalogue.displayName(-1).isEmpty() && catalogue.stem(catalogue.rowCount()).isEmpty());
}

}  // namespace

// Each input makes many small allocations; shorter allocation stacks keep
// the sanitizer's bookkeeping from taking most of the time.
extern "C" const char* __asan_default_options() {
    return "malloc_context_size=8";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kMaxInput) {
        return 0;
    }
    gearloft::ProfileFile file;
    file.LoadBytes(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));

    // Copies of the built-in rows share their texts: no work per input.
    static const LevelCatalogue builtIn;
    LevelCatalogue catalogue = builtIn;
    const int taken = catalogue.ApplyOverrides(file);
    Require(taken >= 0 && taken <= 2 * LevelCatalogue::kRowCount);
    RequireSound(catalogue);

    // The values taken replace what the rows had; taking them again leaves
    // every row as it is.
    LevelCatalogue twice = catalogue;
    Require(twice.ApplyOverrides(file) == taken);
    for (int row = 0; row < catalogue.rowCount(); ++row) {
        Require(twice.displayName(row) == catalogue.displayName(row));
        Require(twice.stem(row) == catalogue.stem(row));
    }
    return 0;
}
