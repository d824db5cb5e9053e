// ProfileFile over untrusted bytes (settings and skin files). What is read
// must survive being written and read again: the second reading gives the
// same bytes and the same answers from every getter. A value set through
// SetString reads back as set, before and after a round trip.
#include "app/profile_file.h"

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using gearloft::ProfileFile;

constexpr std::size_t kMaxInput = 64 * 1024;
constexpr int kMaxLookups = 12;
const QByteArray kDefault("\x01unset");

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The section names and keys the input mentions, so that the getters meet
// names that exist as well as ones that do not.
struct Names {
    QList<QByteArray> sections;
    QList<QByteArray> keys;
};

Names NamesOf(const QByteArray& input) {
    Names names;
    names.sections.append("Settings");
    names.keys.append("Skin");
    for (const QByteArray& line : input.split('\n')) {
        if (names.sections.size() + names.keys.size() >= kMaxLookups) {
            break;
        }
        if (line.startsWith('[')) {
            const qsizetype close = line.indexOf(']');
            if (close > 0) {
                names.sections.append(line.mid(1, close - 1));
            }
        } else if (const qsizetype equals = line.indexOf('='); equals > 0) {
            names.keys.append(line.left(equals));
        }
    }
    return names;
}

void RequireSameAnswers(const ProfileFile& a, const ProfileFile& b, const Names& names) {
    for (const QByteArray& section : names.sections) {
        for (const QByteArray& key : names.keys) {
            const QByteArray value = a.GetString(section, key, kDefault);
            Require(value == b.GetString(section, key, kDefault));
            Require(a.HasKey(section, key) == b.HasKey(section, key));
            Require(a.HasKey(section, key) || value == kDefault);
            Require(a.GetInt(section, key, -7) == b.GetInt(section, key, -7));
            Require(a.GetColor(section, key, 0x123456) == b.GetColor(section, key, 0x123456));
            Require((a.GetColor(section, key, 0) & 0xFF000000u) == 0);
        }
    }
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
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const Names names = NamesOf(input);

    ProfileFile file;
    file.LoadBytes(input);
    const QByteArray written = file.ToBytes();
    ProfileFile again;
    again.LoadBytes(written);
    Require(again.ToBytes() == written);
    RequireSameAnswers(file, again, names);

    // The last line of the input is set as a value under each name pair.
    const QByteArray value = input.mid(input.lastIndexOf('\n') + 1);
    for (const QByteArray& section : names.sections) {
        for (const QByteArray& key : names.keys) {
            if (key.isEmpty() || !file.SetString(section, key, value)) {
                continue;
            }
            // A section of a name that starts with ";" is a comment line.
            if (section.startsWith(';')) {
                return 0;
            }
            const QByteArray expected = value.isEmpty() ? kDefault : value;
            Require(file.HasKey(section, key));
            Require(file.GetString(section, key, kDefault) == expected);
            ProfileFile reread;
            reread.LoadBytes(file.ToBytes());
            Require(reread.GetString(section, key, kDefault) == expected);
            Require(reread.HasKey(section, key));
            return 0;
        }
    }
    return 0;
}
