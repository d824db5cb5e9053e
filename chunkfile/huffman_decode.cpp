// Huffman decoding: a "REBCRIF1" container back to plain bytes.
//
// The format
// ----------
// A container is a 316-byte header and a stream of 32-bit little-endian
// words (huffman.h has the layout). The header carries no code table, only
// how many codes each length 1 to 11 has and the byte values in canonical
// order, read from the end of the 256-byte order table. The codes are the
// canonical ones: shortest first, consecutive within a length, each length
// starting at twice the end of the one before. A code's bits are written most
// significant first, each into the next free bit of the stream counted from
// bit 0 of its first byte, so the stream is simply a byte stream filled from
// the least significant bit, padded with zeros to a whole word.
//
// The counts come from the file and are not trusted. Building the table
// walks the lengths in order with the number of codes still free at each
// length; a count above it is corrupt ("The file is corrupt!" and "Failed to
// build Huffman table!"), and fewer than 256 codes in all cannot be built
// ("Failed to build Huffman table!"). Building stops as soon as 256 byte
// values have codes; whatever follows is not looked at. So the reserved
// 257th code, which the compressor adds but never writes, and any other
// unassigned code, has no symbol: meeting one in the stream, 11 bits without
// a symbol, is "Input data is corrupt!". A stream that ends before the plain
// size is reached gives null and no message; only the stream's whole words
// are read, never a byte past 316 + dwStreamSize.
//
// Why it is fast
// --------------
// The obvious decoder walks a binary tree one bit per step, which costs a
// dependent load and a branch per bit. Here no code is longer than 11 bits,
// so the next 11 bits of the stream, taken least significant bit first,
// always decide the next symbol, and one 2048-entry table indexed by them
// gives its value and length. Short codes go further: each entry of the main
// table holds every symbol whose code lies wholly inside those 11 bits, up to
// six of them, and how many bits they use, so a stream averaging 2 to 3 bits
// per byte yields three to four bytes per look-up. The entry is 64 bits wide:
// the bit length in its low six bits, so that the entry itself serves as the
// shift count, the number of symbols above it, the symbols in the top six
// bytes. The loop stores the symbols as one 8-byte write and advances the
// output by the count, so the number of symbols costs no branch.
//
// Bits come from a 64-bit buffer refilled eight bytes at a time without a
// branch (the bytes already held are simply loaded again), which leaves at
// least 56 bits: five look-ups per refill. The fast loop runs while eight
// input bytes and a margin of output remain; the last few symbols, and any
// code that matches nothing, go through an exact path that reads the stream
// bit-exactly within its bounds and gives the same outcome, message included,
// as the one-bit-at-a-time walk.
#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>

#include "chunkfile/allocator.h"
#include "chunkfile/bounds.h"
#include "chunkfile/byte_order.h"
#include "chunkfile/cpu_dispatch.h"
#include "chunkfile/diagnostics.h"
#include "chunkfile/huffman.h"
#include "chunkfile/tessera.h"

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tessera {
namespace {

constexpr unsigned kMaxLength = 11;
constexpr unsigned kTableSize = 1u << kMaxLength;
constexpr unsigned kTableMask = kTableSize - 1;
constexpr unsigned kSymbols = 256;

// One entry of the main table: the bits its codes use in bits 0 to 5 (so
// that the entry itself is the shift count), their number in bits 6 to 8,
// and up to six symbols in bytes 2 to 7.
constexpr unsigned kMaxSymbolsPerEntry = 6;
constexpr unsigned kCountShift = 6;
constexpr unsigned kSymbolShift = 16;
// Look-ups per refill: each uses at most 11 of the 56 bits a refill leaves.
constexpr unsigned kLookupsPerRefill = 5;
// Output the fast loop may need per refill: stores of eight bytes at up to
// six symbols per look-up.
constexpr std::size_t kOutputMargin = kLookupsPerRefill * kMaxSymbolsPerEntry + 8;

enum class Outcome {
    kDecoded,
    kUsedUp,   // the stream ended first: null, no message
    kCorrupt,  // 11 bits without a symbol
};

// ---------------------------------------------------------------------------
// Table building
// ---------------------------------------------------------------------------

// single[w] for the next 11 bits w: the symbol in bits 0 to 7 and its code
// length in bits 8 to 11, or 0 where no code matches.
struct Tables {
    std::uint16_t single[kTableSize];
    std::uint64_t multi[kTableSize];
    // The most entries of `single` that codes of one length fill.
    std::uint32_t widestLength = 0;
};

std::uint32_t ReverseBits(std::uint32_t value, unsigned length) {
    std::uint32_t reversed = 0;
    for (unsigned bit = 0; bit < length; ++bit) {
        reversed |= ((value >> bit) & 1u) << (length - 1 - bit);
    }
    return reversed;
}

// Builds the single-symbol table from the header's counts and order, with
// the table messages on failure.
bool BuildSingleTable(const std::uint8_t* header, Tables& tables) {
    std::uint16_t* const single = tables.single;
    std::memset(single, 0, kTableSize * sizeof single[0]);
    tables.widestLength = 0;
    std::uint32_t free = 1;
    unsigned n = 0;
    for (unsigned length = 1; length <= kMaxLength && n < kSymbols; ++length) {
        free *= 2;
        const std::uint32_t count = LoadLe32(header + 16 + 4 * (length - 1));
        if (count > free) {
            Diagnose("ERROR: The file is corrupt!");
            Diagnose("ERROR: Failed to build Huffman table!\n");
            return false;
        }
        // The next free code of this length, counted from the top: codes are
        // handed out in ascending value.
        std::uint32_t code = (1u << length) - free;
        const unsigned first = n;
        for (std::uint32_t i = 0; i < count && n < kSymbols; ++i, ++n, ++code, --free) {
            const std::uint8_t symbol = header[kContainerHeaderSize - 1 - n];
            const std::uint32_t reversed = ReverseBits(code, length);
            const auto entry = static_cast<std::uint16_t>(symbol | length << 8);
            for (std::uint32_t w = reversed; w < kTableSize; w += 1u << length) {
                single[w] = entry;
            }
        }
        tables.widestLength = std::max(tables.widestLength, (n - first) << (kMaxLength - length));
    }
    if (n < kSymbols) {
        Diagnose("ERROR: Failed to build Huffman table!\n");
        return false;
    }
    return true;
}

// Each entry of the main table decodes, from 11 bits, every whole code in
// them, up to six. An entry whose first code matches nothing is 0: it
// consumes nothing and yields nothing.
//
// Entry w is its first code (length L) followed by the codes of entry
// w >> L that end within the 11 - L bits that are really known: both look
// at the same bits from there on, with w >> L simply padded by zeros. Since
// w >> L < w, one ascending pass builds every entry from an earlier one,
// keeping beside each entry where each of its codes ends (a nibble per code).
// Entry 0 is its own successor: the all-zero code repeated.
void BuildMultiTable(const std::uint16_t* single, std::uint64_t* multi) {
    std::uint32_t ends[kTableSize];
    auto make = [](std::uint64_t symbols, unsigned count, unsigned used) {
        return symbols << kSymbolShift | count << kCountShift | used;
    };

    const unsigned zeroLength = single[0] >> 8;
    multi[0] = 0;
    ends[0] = 0;
    if (zeroLength != 0) {
        const unsigned count = std::min(kMaxSymbolsPerEntry, kMaxLength / zeroLength);
        std::uint64_t symbols = 0;
        for (unsigned i = 0; i < count; ++i) {
            symbols |= std::uint64_t{static_cast<std::uint8_t>(single[0])} << (8 * i);
            ends[0] |= (zeroLength * (i + 1)) << (4 * i);
        }
        multi[0] = make(symbols, count, zeroLength * count);
    }

    for (unsigned w = 1; w < kTableSize; ++w) {
        const unsigned length = single[w] >> 8;
        if (length == 0) {
            multi[w] = 0;
            ends[w] = 0;
            continue;
        }
        const unsigned rest = w >> length;
        const std::uint64_t restEntry = multi[rest];
        const unsigned restCount = (restEntry >> kCountShift) & 7;
        const std::uint32_t restEnds = ends[rest];
        const unsigned budget = kMaxLength - length;
        unsigned taken = 0;
        while (taken < restCount && taken < kMaxSymbolsPerEntry - 1 &&
               ((restEnds >> (4 * taken)) & 0xF) <= budget) {
            ++taken;
        }
        const std::uint64_t symbols =
            (restEntry >> kSymbolShift) & ((std::uint64_t{1} << (8 * taken)) - 1);
        const std::uint32_t nibbles = (1u << (4 * taken)) - 1;
        const std::uint32_t shiftedEnds = (restEnds & nibbles) + length * (0x11111111u & nibbles);
        const unsigned used = taken == 0 ? length : (shiftedEnds >> (4 * (taken - 1))) & 0xF;
        multi[w] = make(static_cast<std::uint8_t>(single[w]) | symbols << 8, taken + 1, used);
        ends[w] = length | shiftedEnds << 4;
    }
}

// ---------------------------------------------------------------------------
// Exact path
// ---------------------------------------------------------------------------

// The next min(11, remaining) bits at bit position, zero above the end.
unsigned PeekBits(const std::uint8_t* stream, std::size_t streamBytes, std::uint64_t position) {
    const std::size_t first = static_cast<std::size_t>(position / 8);
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 3 && first + i < streamBytes; ++i) {
        bits |= std::uint32_t{stream[first + i]} << (8 * i);
    }
    return (bits >> (position % 8)) & kTableMask;
}

// Decodes symbol by symbol from bit position, bounded by the stream's end,
// until limit symbols are out (stored from out unless out is null). Gives
// the same outcome as the one-bit walk: a code needs all of its bits inside
// the stream, and "no symbol" is only decided on 11 real bits.
Outcome DecodeExact(const std::uint16_t* single, const std::uint8_t* stream,
                    std::size_t streamBytes, std::uint64_t position, std::uint8_t* out,
                    std::uint64_t limit) {
    const std::uint64_t totalBits = std::uint64_t{streamBytes} * 8;
    for (std::uint64_t produced = 0; produced < limit; ++produced) {
        const std::uint64_t remaining = totalBits - position;
        if (remaining == 0) {
            return Outcome::kUsedUp;
        }
        const std::uint16_t entry = single[PeekBits(stream, streamBytes, position)];
        const unsigned length = entry >> 8;
        if (length == 0) {
            return remaining >= kMaxLength ? Outcome::kCorrupt : Outcome::kUsedUp;
        }
        if (length > remaining) {
            return Outcome::kUsedUp;
        }
        if (out != nullptr) {
            out[produced] = static_cast<std::uint8_t>(entry);
        }
        position += length;
    }
    return Outcome::kDecoded;
}

// ---------------------------------------------------------------------------
// Decoding loop
// ---------------------------------------------------------------------------

// The fast loop; returns where it stopped (output end and bit position).
struct Progress {
    std::uint8_t* out;
    std::uint64_t position;
};

TESSERA_ALWAYS_INLINE inline Progress FastLoop(const std::uint64_t* multi,
                                               const std::uint8_t* stream, std::size_t streamBytes,
                                               std::uint8_t* out, std::size_t plainSize) {
    const std::uint8_t* in = stream;
    const std::uint8_t* const inEnd = stream + streamBytes;
    std::uint8_t* const outEnd = out + plainSize;
    std::uint64_t bitbuf = 0;
    unsigned bitsLeft = 0;

    while (inEnd - in >= 8 && static_cast<std::size_t>(outEnd - out) >= kOutputMargin) {
        // Refill to 56..63 bits: load the next eight bytes above the bits
        // held, and advance over the whole bytes that now sit in the buffer.
        bitbuf |= LoadLe64(in) << bitsLeft;
        in += (63 - bitsLeft) >> 3;
        bitsLeft |= 56;

        // The only chain from one look-up to the next is mask, load, shift.
        std::uint64_t entry = 0;
        auto lookup = [&] {
            entry = multi[bitbuf & kTableMask];
            StoreLe64(out, entry >> kSymbolShift);
            out += (entry >> kCountShift) & 7;
            bitbuf >>= entry & 63;
            bitsLeft -= static_cast<unsigned>(entry & 63);
        };
        static_assert(kLookupsPerRefill == 5);
        lookup();
        lookup();
        lookup();
        lookup();
        lookup();
        // An entry without a symbol consumes nothing, so every look-up after
        // it met the same bits: the last one tells.
        if (entry == 0) {
            break;
        }
    }

    const std::uint64_t position =
        std::uint64_t{static_cast<std::size_t>(in - stream)} * 8 - bitsLeft;
    return {out, position};
}

#if TESSERA_X86_DISPATCH
// The same loop where variable shifts take one instruction (shlx, shrx).
__attribute__((target("bmi2"))) Progress FastLoopBmi2(const std::uint64_t* multi,
                                                      const std::uint8_t* stream,
                                                      std::size_t streamBytes, std::uint8_t* out,
                                                      std::size_t plainSize) {
    return FastLoop(multi, stream, streamBytes, out, plainSize);
}
#endif

Outcome DecodeSequential(const Tables& tables, const std::uint8_t* stream, std::size_t streamBytes,
                         std::uint8_t* out, std::size_t plainSize) {
#if TESSERA_X86_DISPATCH
    const Progress progress = __builtin_cpu_supports("bmi2")
                                  ? FastLoopBmi2(tables.multi, stream, streamBytes, out, plainSize)
                                  : FastLoop(tables.multi, stream, streamBytes, out, plainSize);
#else
    const Progress progress = FastLoop(tables.multi, stream, streamBytes, out, plainSize);
#endif
    const std::size_t left = plainSize - static_cast<std::size_t>(progress.out - out);
    return DecodeExact(tables.single, stream, streamBytes, progress.position, progress.out, left);
}

// ---------------------------------------------------------------------------
// Lanes
// ---------------------------------------------------------------------------
//
// One look-up depends on the one before (its length is the next shift), so
// a single stream is bound by the latency of mask, load and shift. Two or
// three decoders over different parts of the stream have no chain between
// them, and one loop that steps them all runs them side by side.
//
// Every lane but the first starts at a bit that need not begin a code.
// Canonical codes resynchronise: started anywhere, a decoder soon falls onto
// the true code boundaries. So such a lane first decodes a few symbols one
// at a time and records where each begins; once the lane before it,
// decoding from a true boundary, reaches a position the lane recorded, every
// symbol the lane gave from there is a true one. Each lane writes at an
// estimate of its place in the output, a little beyond the share its bits
// suggest, and runs until it reaches the next lane's start or fills its part
// of the output. Once all are done, the lanes are joined in order: the true
// symbols of each are moved down beside those before them, a lane that
// stopped short is taken on from where it stopped, and the rest of the
// stream is decoded from where the last lane joined stopped, by the same
// fast loop and exact path as ever.
//
// Nothing the lanes do is reported. Whenever they cannot prove the result
// (a lane never met the next, a code without a symbol before the meeting
// point), the whole stream is decoded again from bit 0 by the sequential
// path, so the output, status and messages are always those of the
// sequential decoder.

// Symbols each later lane decodes one at a time to find the boundaries, at
// most.
constexpr unsigned kSyncSymbols = 192;
// Bits each lane's fast loop stops short of the next lane's start, to be
// covered one symbol at a time up to the recorded boundaries.
constexpr std::uint64_t kSyncApproach = 64;
// How far before a lane's start the probes start (odd numbers of bits).
constexpr std::uint64_t kProbeDistances[] = {203, 389, 601, 797};
// Streams of at least this many bytes take three lanes, shorter ones two:
// below it, the boundaries a third lane must find cost more than it gains.
constexpr std::size_t kThreeLaneBytes = 48 * 1024;

std::atomic<std::size_t> laneThreshold{kDefaultLaneThreshold};
std::atomic<unsigned> laneCount{0};

struct Lane {
    const std::uint8_t* in;
    std::uint64_t bitbuf;
    unsigned bitsLeft;
    std::uint8_t* out;
    // The lane's fast loop needs eight input bytes before inEnd and a margin
    // of output before outEnd.
    const std::uint8_t* inEnd;
    const std::uint8_t* outEnd;
    // The last entry looked up; 0 for a code without a symbol, which stops
    // the lane.
    std::uint64_t entry;
};

// A lane at bit position of the stream (which holds a byte there).
Lane StartLane(const std::uint8_t* stream, std::uint64_t position, std::uint8_t* out,
               const std::uint8_t* inEnd, const std::uint8_t* outEnd) {
    const std::uint8_t* in = stream + position / 8;
    const auto skip = static_cast<unsigned>(position % 8);
    return {in + 1, std::uint64_t{*in} >> skip, 8 - skip, out, inEnd, outEnd, 1};
}

std::uint64_t LanePosition(const Lane& lane, const std::uint8_t* stream) {
    return std::uint64_t{static_cast<std::size_t>(lane.in - stream)} * 8 - lane.bitsLeft;
}

TESSERA_ALWAYS_INLINE inline void Refill(Lane& lane) {
    lane.bitbuf |= LoadLe64(lane.in) << lane.bitsLeft;
    lane.in += (63 - lane.bitsLeft) >> 3;
    lane.bitsLeft |= 56;
}

TESSERA_ALWAYS_INLINE inline std::uint64_t Lookup(const std::uint64_t* multi, Lane& lane) {
    const std::uint64_t entry = multi[lane.bitbuf & kTableMask];
    StoreLe64(lane.out, entry >> kSymbolShift);
    lane.out += (entry >> kCountShift) & 7;
    lane.bitbuf >>= entry & 63;
    lane.bitsLeft -= static_cast<unsigned>(entry & 63);
    return entry;
}

TESSERA_ALWAYS_INLINE inline bool MetNoSymbol(const Lane& lane) {
    return lane.entry == 0;
}

TESSERA_ALWAYS_INLINE inline bool ReachedItsEnd(const Lane& lane) {
    return lane.inEnd - lane.in < 8;
}

TESSERA_ALWAYS_INLINE inline bool CanGoOn(const Lane& lane) {
    return !MetNoSymbol(lane) && !ReachedItsEnd(lane) &&
           static_cast<std::size_t>(lane.outEnd - lane.out) >= kOutputMargin;
}

// Rounds of one refill and its look-ups that the lane can take before it
// must be checked again: a round reads at most seven new input bytes and
// writes at most kMaxSymbolsPerEntry symbols per look-up. Zero once it
// cannot go on.
TESSERA_ALWAYS_INLINE inline std::size_t RoundsLeft(const Lane& lane) {
    if (!CanGoOn(lane)) {
        return 0;
    }
    const auto input = static_cast<std::size_t>(lane.inEnd - lane.in);
    const auto room = static_cast<std::size_t>(lane.outEnd - lane.out);
    return std::min((input - 8) / 7,
                    (room - kOutputMargin) / (kLookupsPerRefill * kMaxSymbolsPerEntry)) +
           1;
}

// The lanes' fast loops in one, while all of them can go on. The bounds are
// checked once per batch of rounds that none can overrun, so that the loop
// itself holds only the lanes' bits and pointers. An entry without a symbol
// consumes nothing, so every look-up after it met the same bits: the last
// one of each round tells.
template <typename... Lanes>
TESSERA_ALWAYS_INLINE inline void RunTogether(const std::uint64_t* multi, Lanes&... lanes) {
    for (std::size_t rounds = std::min({RoundsLeft(lanes)...}); rounds != 0;
         rounds = std::min({RoundsLeft(lanes)...})) {
        do {
            (Refill(lanes), ...);
            for (unsigned i = 0; i < kLookupsPerRefill; ++i) {
                ((lanes.entry = Lookup(multi, lanes)), ...);
            }
            if ((MetNoSymbol(lanes) || ...)) {
                return;
            }
        } while (--rounds != 0);
    }
}

// Runs every lane as far as it can go, side by side while more than one
// can. The lanes are copied into locals so that they live in registers.
TESSERA_ALWAYS_INLINE inline void RunLanes(const std::uint64_t* multi, Lane (&lanes)[2]) {
    Lane a = lanes[0];
    Lane b = lanes[1];
    RunTogether(multi, a, b);
    RunTogether(multi, a);
    RunTogether(multi, b);
    lanes[0] = a;
    lanes[1] = b;
}

TESSERA_ALWAYS_INLINE inline void RunLanes(const std::uint64_t* multi, Lane (&lanes)[3]) {
    Lane a = lanes[0];
    Lane b = lanes[1];
    Lane c = lanes[2];
    RunTogether(multi, a, b, c);
    if (CanGoOn(a) && CanGoOn(b)) {
        RunTogether(multi, a, b);
    } else if (CanGoOn(a) && CanGoOn(c)) {
        RunTogether(multi, a, c);
    } else if (CanGoOn(b) && CanGoOn(c)) {
        RunTogether(multi, b, c);
    }
    RunTogether(multi, a);
    RunTogether(multi, b);
    RunTogether(multi, c);
    lanes[0] = a;
    lanes[1] = b;
    lanes[2] = c;
}

// One symbol by the single table at position, within the stream; false
// where no whole code with a symbol starts there.
bool StepSymbol(const std::uint16_t* single, const std::uint8_t* stream, std::size_t streamBytes,
                std::uint64_t& position, std::uint8_t* out) {
    const std::uint16_t entry = single[PeekBits(stream, streamBytes, position)];
    const unsigned length = entry >> 8;
    if (length == 0 || position + length > std::uint64_t{streamBytes} * 8) {
        return false;
    }
    if (out != nullptr) {
        *out = static_cast<std::uint8_t>(entry);
    }
    position += length;
    return true;
}

// Decodes on from position, one symbol at a time (stored from out up to
// outEnd unless out is null), until it stands on one of the ascending
// boundaries 0 to last; gives that boundary's index, or -1 where it passes the last
// one or cannot go on.
int Meet(const std::uint16_t* single, const std::uint8_t* stream, std::size_t streamBytes,
         const std::uint64_t* boundary, unsigned last, std::uint64_t& position, std::uint8_t*& out,
         const std::uint8_t* outEnd) {
    unsigned k = 0;
    for (;;) {
        while (k <= last && boundary[k] < position) {
            ++k;
        }
        if (k > last) {
            return -1;
        }
        if (boundary[k] == position) {
            return static_cast<int>(k);
        }
        if ((out != nullptr && out == outEnd) ||
            !StepSymbol(single, stream, streamBytes, position, out)) {
            return -1;
        }
        if (out != nullptr) {
            ++out;
        }
    }
}

// Decodes the stream in L lanes into out (plainSize bytes); false where the
// lanes cannot prove their result and the sequential path must decide. On
// true, outcome is what the sequential path gives.
template <unsigned L>
TESSERA_ALWAYS_INLINE inline bool DecodeInLanes(const Tables& tables, const std::uint8_t* stream,
                                                std::size_t streamBytes, std::uint8_t* out,
                                                std::size_t plainSize, Outcome& outcome) {
    static_assert(L == 2 || L == 3);
    const std::uint64_t totalBits = std::uint64_t{streamBytes} * 8;
    if (totalBits / L < 2 * kSyncApproach) {
        return false;
    }
    // Fewer boundaries for short streams, so that they take the lanes too.
    const auto syncSymbols =
        static_cast<unsigned>(std::clamp<std::uint64_t>(totalBits / (32 * L), 16, kSyncSymbols));
    // Lane j starts at bit split[j] and writes from place[j]: its bits' share
    // of the output, plus j sixty-fourths of it so that no lane runs into the
    // next. What the last lane cannot fit at the end is decoded after the
    // lanes are joined.
    std::uint64_t split[L + 1];
    std::size_t place[L + 1];
    split[0] = 0;
    place[0] = 0;
    for (unsigned j = 1; j < L; ++j) {
        split[j] = totalBits * j / L;
        const auto share = static_cast<std::size_t>(static_cast<double>(plainSize) *
                                                    (static_cast<double>(split[j]) / totalBits));
        place[j] = std::min(plainSize, share + j * (plainSize / 64) + kOutputMargin);
    }
    split[L] = totalBits;
    place[L] = plainSize;
    for (unsigned j = 1; j < L; ++j) {
        if (place[j + 1] - place[j] < syncSymbols + kOutputMargin) {
            return false;
        }
    }

    // Lane j's boundaries: boundary[j - 1][k] is where its k-th symbol
    // begins, boundary[j - 1][syncSymbols] where its fast loop takes over.
    std::uint64_t boundary[L - 1][kSyncSymbols + 1];
    Lane lanes[L];
    for (unsigned j = 0; j < L; ++j) {
        const std::uint8_t* const inEnd =
            j + 1 < L ? stream + (split[j + 1] - kSyncApproach) / 8 : stream + streamBytes;
        if (j == 0) {
            lanes[0] = StartLane(stream, 0, out, inEnd, out + place[1]);
            continue;
        }
        std::uint64_t* const starts = boundary[j - 1];
        std::uint64_t position = split[j];
        for (unsigned k = 0; k < syncSymbols; ++k) {
            starts[k] = position;
            if (!StepSymbol(tables.single, stream, streamBytes, position, out + place[j] + k)) {
                return false;
            }
        }
        starts[syncSymbols] = position;
        if (position / 8 >= streamBytes) {
            return false;
        }
        // Whether the lane before will meet them cannot be known before it
        // gets there, but probes started somewhat earlier at odd bits show
        // whether this code falls into step soon enough: where it does not
        // (as with codes of nearly one length), the lanes would only double
        // the work.
        for (const std::uint64_t distance : kProbeDistances) {
            if (distance > split[j]) {
                break;
            }
            std::uint64_t probe = split[j] - distance;
            std::uint8_t* noOut = nullptr;
            if (Meet(tables.single, stream, streamBytes, starts, syncSymbols, probe, noOut,
                     nullptr) < 0) {
                return false;
            }
        }
        lanes[j] =
            StartLane(stream, position, out + place[j] + syncSymbols, inEnd, out + place[j + 1]);
    }

    RunLanes(tables.multi, lanes);

    // Joining: done is the end of the true output so far, position where
    // its last symbol ends in the stream.
    std::uint8_t* done = lanes[0].out;
    std::uint64_t position = LanePosition(lanes[0], stream);
    for (unsigned j = 1; j < L; ++j) {
        // A lane that filled its part of the output goes on into the room
        // the lanes before it left; one that still cannot reach its end,
        // or met a code without a symbol, is where the joining stops and
        // the rest is decoded from.
        if (!ReachedItsEnd(lanes[j - 1])) {
            Lane more = StartLane(stream, position, done, lanes[j - 1].inEnd, out + place[j]);
            RunTogether(tables.multi, more);
            done = more.out;
            position = LanePosition(more, stream);
            if (!ReachedItsEnd(more)) {
                break;
            }
        }
        // On, one symbol at a time, until standing on a boundary of lane j.
        const int k = Meet(tables.single, stream, streamBytes, boundary[j - 1], syncSymbols,
                           position, done, out + place[j]);
        if (k < 0) {
            return false;
        }
        // Lane j's symbols from boundary k are the true ones.
        const std::uint8_t* const trueFrom = out + place[j] + k;
        const auto moved = static_cast<std::size_t>(lanes[j].out - trueFrom);
        std::memmove(done, trueFrom, moved);
        done += moved;
        position = LanePosition(lanes[j], stream);
    }

    // The rest, from where the lanes joined stop.
    const std::size_t left = plainSize - static_cast<std::size_t>(done - out);
    std::uint64_t tailAt = position;
    std::uint8_t* tailOut = done;
    if (position < totalBits) {
        Lane tail = StartLane(stream, position, done, stream + streamBytes, done + left);
        RunTogether(tables.multi, tail);
        tailAt = LanePosition(tail, stream);
        tailOut = tail.out;
    }
    outcome = DecodeExact(tables.single, stream, streamBytes, tailAt, tailOut,
                          left - static_cast<std::size_t>(tailOut - done));
    return true;
}

#if TESSERA_X86_DISPATCH
template <unsigned L>
__attribute__((target("bmi2"))) bool DecodeInLanesBmi2(const Tables& tables,
                                                       const std::uint8_t* stream,
                                                       std::size_t streamBytes, std::uint8_t* out,
                                                       std::size_t plainSize, Outcome& outcome) {
    return DecodeInLanes<L>(tables, stream, streamBytes, out, plainSize, outcome);
}
#endif

template <unsigned L>
bool DispatchLanes(const Tables& tables, const std::uint8_t* stream, std::size_t streamBytes,
                   std::uint8_t* out, std::size_t plainSize, Outcome& outcome) {
#if TESSERA_X86_DISPATCH
    if (__builtin_cpu_supports("bmi2")) {
        return DecodeInLanesBmi2<L>(tables, stream, streamBytes, out, plainSize, outcome);
    }
#endif
    return DecodeInLanes<L>(tables, stream, streamBytes, out, plainSize, outcome);
}

bool TryLanes(const Tables& tables, const std::uint8_t* stream, std::size_t streamBytes,
              std::uint8_t* out, std::size_t plainSize, Outcome& outcome) {
    if (streamBytes < laneThreshold.load(std::memory_order_relaxed)) {
        return false;
    }
    // Where codes of one length fill nearly all of the code space (as for
    // bytes that do not compress), a decoder started off a boundary stays
    // off it by the same few bits until one of the rare other lengths comes
    // by: the lanes would seldom meet, and even finding that out costs
    // time the sequential path does not spend.
    if (tables.widestLength >= kTableSize - kTableSize / 8) {
        return false;
    }
    unsigned count = laneCount.load(std::memory_order_relaxed);
    if (count == 0) {
        count = streamBytes >= kThreeLaneBytes ? 3 : 2;
    }
    return count == 3 ? DispatchLanes<3>(tables, stream, streamBytes, out, plainSize, outcome)
                      : DispatchLanes<2>(tables, stream, streamBytes, out, plainSize, outcome);
}

Outcome Decode(const Tables& tables, const std::uint8_t* stream, std::size_t streamBytes,
               std::uint8_t* out, std::size_t plainSize) {
    Outcome outcome = Outcome::kDecoded;
    if (TryLanes(tables, stream, streamBytes, out, plainSize, outcome)) {
        return outcome;
    }
    return DecodeSequential(tables, stream, streamBytes, out, plainSize);
}

}  // namespace

// ---------------------------------------------------------------------------
// Container
// ---------------------------------------------------------------------------

namespace {

// A large output lies in memory the allocator has just taken from the
// system, and the first write to each 4 KiB page stops the decoder for the
// kernel to provide it: for outputs of tens of megabytes that costs several
// times what the decoding does. Asking for large pages where the system
// gives them on request makes that one stop per 2 MiB. Only advice: where
// it is not taken, nothing changes.
void AdviseLargePages([[maybe_unused]] void* block, [[maybe_unused]] std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::size_t kLargeOutput = std::size_t{8} << 20;
    if (size < kLargeOutput) {
        return;
    }
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = (reinterpret_cast<std::uintptr_t>(block) + page - 1) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(block) + size) & ~(page - 1);
    if (end > start) {
        madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    }
#endif
}

}  // namespace

void* DecompressContainer(const void* container, std::size_t available, std::uint32_t* outSize) {
    if (container == nullptr || !Fits(0, kContainerHeaderSize, available)) {
        return nullptr;
    }
    const auto* header = static_cast<const std::uint8_t*>(container);
    if (std::memcmp(header, "REBC", 4) != 0 || std::memcmp(header + 4, "RIF1", 4) != 0) {
        return nullptr;
    }
    const std::uint32_t streamSize = LoadLe32(header + 8);
    const std::uint32_t plainSize = LoadLe32(header + 12);
    if (streamSize == 0 || plainSize == 0 || !Fits(kContainerHeaderSize, streamSize, available)) {
        return nullptr;
    }
    if (outSize != nullptr) {
        *outSize = 0;
    }
    const std::uint8_t* stream = header + kContainerHeaderSize;
    // Only whole words are read; a stray byte or three past the last word
    // belong to no word.
    const std::size_t streamBytes = streamSize & ~std::uint32_t{3};

    // Each byte takes at least one bit. A plain size beyond the stream's bits
    // cannot be reached; such a container still fails exactly as a full
    // decode would (table messages, corrupt code or used-up stream), without
    // allocating a buffer it could never fill.
    if (plainSize > std::uint64_t{streamBytes} * 8) {
        Tables tables;
        if (BuildSingleTable(header, tables) &&
            DecodeExact(tables.single, stream, streamBytes, 0, nullptr, plainSize) ==
                Outcome::kCorrupt) {
            Diagnose("ERROR: Input data is corrupt!");
        }
        return nullptr;
    }

    if (std::size_t{plainSize} > SIZE_MAX - 4) {
        return nullptr;  // more than this process can address
    }
    auto* plain = static_cast<std::uint8_t*>(Allocate(std::size_t{plainSize} + 4));
    if (plain == nullptr) {
        return nullptr;
    }
    AdviseLargePages(plain, std::size_t{plainSize} + 4);
    Tables tables;
    if (!BuildSingleTable(header, tables)) {
        Free(plain);
        return nullptr;
    }
    BuildMultiTable(tables.single, tables.multi);
    const Outcome outcome = Decode(tables, stream, streamBytes, plain, plainSize);
    if (outcome != Outcome::kDecoded) {
        if (outcome == Outcome::kCorrupt) {
            Diagnose("ERROR: Input data is corrupt!");
        }
        Free(plain);
        return nullptr;
    }
    std::memset(plain + plainSize, 0, 4);
    if (outSize != nullptr) {
        *outSize = plainSize;
    }
    return plain;
}

void SetLaneThreshold(std::size_t streamBytes) {
    laneThreshold.store(streamBytes, std::memory_order_relaxed);
}

void SetLaneCount(unsigned lanes) {
    laneCount.store(lanes == 2 || lanes == 3 ? lanes : 0, std::memory_order_relaxed);
}

}  // namespace tessera

extern "C" TESSERA_API void* DecompressRif(const void* container, uint32_t* outSize) {
    return tessera::DecompressContainer(container, SIZE_MAX, outSize);
}
