// A slow, literal container codec that the tests, fuzz targets and the
// benchmark hold the library's codec against.
//
// Both directions follow the format's description step by step with no
// shortcut: the compressor ranks by repeated minimum search, merges tree
// nodes by scanning every candidate and packs through a 32-bit accumulator;
// the decoder builds the 4096-entry implicit tree and walks it one bit at a
// time. Nothing here is shared with the library's code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace reference {

// The container for a non-empty input (empty for an empty input).
std::vector<std::uint8_t> Compress(const std::uint8_t* data, std::size_t size);

enum class Status {
    kRefused,  // not a container, or shorter than its header claims: outSize untouched
    kFailed,   // null after outSize was set to 0; messages tells what was said
    kDecoded,
};

struct Decoded {
    Status status = Status::kRefused;
    std::vector<std::uint8_t> plain;
    std::vector<std::string> messages;
};

// Decodes the container of which available bytes are readable.
Decoded Decode(const std::uint8_t* container, std::size_t available);

}  // namespace reference
