// The compressed container: a 316-byte header and a Huffman-coded bit stream.
//
// Header, all integers unsigned 32-bit little-endian:
//   0   magic "REBCRIF1"
//   8   dwStreamSize  bytes of coded stream after the header (whole 32-bit words)
//   12  dwPlainSize   bytes of plain data
//   16  11 counts     codes of length 1 to 11
//   60  256 bytes     the byte values; the one at 315 - n owns the n-th canonical code
//   316 the stream    codes most significant bit first, packed from bit 0 of each byte
//
// Every byte value has a code, and one code more than that (the last and
// longest) is reserved: the compressor never writes it, and the decoder treats
// it as data without a symbol, that is as corrupt input.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessera {

constexpr std::size_t kContainerHeaderSize = 316;

// Codes size bytes of data into a new container from the library heap and
// stores its length through outSize (when given). Null for null data or size
// 0 (outSize untouched) and on allocation failure (outSize 0). The same input
// always gives the same bytes.
void* CompressContainer(const void* data, std::uint32_t size, std::uint32_t* outSize);

// Decodes the container at container, of which available bytes are readable
// (SIZE_MAX when the caller trusts the header), into a new buffer from the
// library heap: the plain bytes followed by four zero bytes; stores the plain
// length through outSize (when given).
//
// Null, outSize untouched and no message: fewer than 316 bytes, wrong magic,
// a stream or plain size of 0, or a stream that runs past available.
// Null, outSize 0: a header whose counts make no code (one or two messages),
// a code that matches no symbol ("ERROR: Input data is corrupt!"), a stream
// that ends before the plain size is reached, or allocation failure (no
// message). Never reads past 316 + dwStreamSize.
void* DecompressContainer(const void* container, std::size_t available, std::uint32_t* outSize);

// Streams of at least this many bytes are decoded in interleaved lanes, two
// or, for longer streams, three (the result is the same either way). Tests
// lower it to reach the lane paths with small inputs, or raise it to
// SIZE_MAX to decode sequentially.
constexpr std::size_t kDefaultLaneThreshold = 16 * 1024;
void SetLaneThreshold(std::size_t streamBytes);
// Test hook: the number of lanes, 2 or 3, for every stream the threshold
// lets through; 0 (or any other number) chooses by the stream's size.
void SetLaneCount(unsigned lanes);

}  // namespace tessera
