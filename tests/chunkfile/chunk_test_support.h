// Helpers shared by the chunk-file tests: capturing the library's diagnostic
// lines, and building chunk streams byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "chunkfile/diagnostics.h"
#include "tests/support/captured_lines.h"

namespace tessera_test {

using Bytes = std::vector<std::uint8_t>;

inline constexpr char kCreationFailure[] =
    "WARNING (Tessera.dll): memory allocation failure during creation of RIF item!\n";
inline constexpr char kSetDataFailure[] =
    "WARNING (Tessera.dll): memory allocation failure in SetRifItemData(..)!\n";
inline constexpr char kNotAStream[] =
    "WARNING: ParseRif() the buffer does not contain a valid REBINFF2 item\n";
inline constexpr char kCorruptChunk[] = "ERROR: ParseRifEx() -> the Rif is corrupt!\n";
inline constexpr char kCorruptFolder[] = "ERROR: the Rif is corrupt!\n";
inline constexpr char kAllocationFailure[] = "ERROR: memory allocation failure!\n";
inline constexpr char kCompileFailure[] =
    "WARNING (Tessera.dll): memory allocation failure during compilation!\n";

// Raw bytes, field by field, for streams that are wrong on purpose.
class StreamBytes {
public:
    // An 8-byte identifier; short ones are spelled with their zero bytes.
    StreamBytes& Id(const char (&identifier)[9]) {
        bytes_.insert(bytes_.end(), identifier, identifier + 8);
        return *this;
    }
    // A 32-bit little-endian size field.
    StreamBytes& Size(std::uint32_t size) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes_.push_back(static_cast<std::uint8_t>(size >> shift));
        }
        return *this;
    }
    // count payload bytes of one value.
    StreamBytes& Fill(std::size_t count, std::uint8_t value = 0xA5) {
        bytes_.insert(bytes_.end(), count, value);
        return *this;
    }
    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

// A well-formed chunk: identifier, exact size, payload.
inline Bytes Chunk(const char (&identifier)[9], const Bytes& payload) {
    StreamBytes header;
    header.Id(identifier).Size(static_cast<std::uint32_t>(12 + payload.size()));
    Bytes chunk = header.bytes();
    chunk.insert(chunk.end(), payload.begin(), payload.end());
    return chunk;
}

// A well-formed folder chunk holding the given chunks back to back.
inline Bytes Folder(const char (&identifier)[9], std::initializer_list<Bytes> children) {
    Bytes payload;
    for (const Bytes& child : children) {
        payload.insert(payload.end(), child.begin(), child.end());
    }
    return Chunk(identifier, payload);
}

}  // namespace tessera_test
