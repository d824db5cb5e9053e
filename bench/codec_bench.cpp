// Speed of the container codec against its peers on the same bytes, in one
// run: zlib's Huffman-only raw deflate and its inflate, libdeflate's decoder
// of zlib's stream, the literal one-bit-at-a-time decoder of the tests, the
// container decoder with its lanes switched off, and memcpy. After the benchmarks a summary prints
// each row's MB/s, its ratio to memcpy of the same bytes and to its peer, next to the target ratio.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "chunkfile/allocator.h"
#include "chunkfile/huffman.h"
#include "tests/codec/reference_codec.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// ---------------------------------------------------------------------------
// Inputs
// ---------------------------------------------------------------------------

// About 40% zeros; the rest 1 + a geometric draw: some 2.3 bits per byte.
Bytes SkewedBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::bernoulli_distribution zero(0.4);
    std::geometric_distribution<int> tail(0.45);
    Bytes out(size);
    for (auto& byte : out) {
        byte = zero(random) ? 0 : static_cast<std::uint8_t>(std::min(1 + tail(random), 255));
    }
    return out;
}

// Sentences of common English words drawn with Zipf-like frequencies.
Bytes EnglishLikeText(std::size_t size, std::uint32_t seed) {
    static const char* const kWords[] = {
        "the",     "of",       "and",   "to",     "a",     "in",        "is",     "it",
        "you",     "that",     "he",    "was",    "for",   "on",        "are",    "with",
        "as",      "his",      "they",  "be",     "at",    "one",       "have",   "this",
        "from",    "or",       "had",   "by",     "word",  "but",       "what",   "some",
        "we",      "can",      "out",   "other",  "were",  "all",       "there",  "when",
        "up",      "use",      "your",  "how",    "said",  "an",        "each",   "she",
        "which",   "do",       "their", "time",   "if",    "will",      "way",    "about",
        "many",    "then",     "them",  "write",  "would", "like",      "so",     "these",
        "her",     "long",     "make",  "thing",  "see",   "him",       "two",    "has",
        "look",    "more",     "day",   "could",  "go",    "come",      "did",    "number",
        "sound",   "no",       "most",  "people", "my",    "over",      "know",   "water",
        "than",    "call",     "first", "who",    "may",   "down",      "side",   "been",
        "now",     "find",     "level", "player", "spear", "shoulder",  "cannon", "pistol",
        "grapple", "medicomp", "jet",   "pack",   "disk",  "equipment", "game",   "world"};
    constexpr std::size_t kCount = sizeof kWords / sizeof kWords[0];
    std::vector<double> weights(kCount);
    for (std::size_t i = 0; i < kCount; ++i) {
        weights[i] = 1.0 / static_cast<double>(i + 1);
    }
    std::mt19937 random(seed);
    std::discrete_distribution<std::size_t> word(weights.begin(), weights.end());
    std::uniform_int_distribution<int> sentenceLength(4, 16);
    Bytes out;
    out.reserve(size + 64);
    std::size_t lineStart = 0;
    while (out.size() < size) {
        const int words = sentenceLength(random);
        for (int w = 0; w < words; ++w) {
            std::string text = kWords[word(random)];
            if (w == 0) {
                text[0] = static_cast<char>(text[0] - 'a' + 'A');
            }
            text += w + 1 == words ? (random() % 5 == 0 ? "? " : ". ")
                                   : (random() % 9 == 0 ? ", " : " ");
            if (out.size() - lineStart + text.size() > 72) {
                out.push_back('\n');
                lineStart = out.size();
            }
            out.insert(out.end(), text.begin(), text.end());
        }
    }
    out.resize(size);
    return out;
}

Bytes RandomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes out(size);
    for (auto& byte : out) {
        byte = static_cast<std::uint8_t>(random());
    }
    return out;
}

double EntropyBitsPerByte(const Bytes& bytes) {
    double counts[256] = {};
    for (std::uint8_t b : bytes) {
        counts[b] += 1;
    }
    double bits = 0;
    for (double c : counts) {
        if (c > 0) {
            const double p = c / static_cast<double>(bytes.size());
            bits -= p * std::log2(p);
        }
    }
    return bits;
}

// ---------------------------------------------------------------------------
// Peers
// ---------------------------------------------------------------------------

// zlib's raw deflate stream (no zlib header) with Huffman coding only.
Bytes ZlibHuffmanOnly(const Bytes& plain) {
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_HUFFMAN_ONLY);
    Bytes out(deflateBound(&stream, plain.size()));
    stream.next_in = const_cast<Bytef*>(plain.data());
    stream.avail_in = static_cast<uInt>(plain.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END) {
        std::abort();
    }
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

struct Input {
    std::string name;
    Bytes plain;
    Bytes container;  // ours
    Bytes zlib;       // zlib's Huffman-only raw deflate stream
};

std::vector<Input>& Inputs() {
    static std::vector<Input> inputs;
    return inputs;
}

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "codec_bench: %s\n", what);
        std::exit(1);
    }
}

void AddInput(std::string name, Bytes plain) {
    Input input{std::move(name), std::move(plain), {}, {}};
    std::uint32_t size = 0;
    void* container = tessera::CompressContainer(input.plain.data(), input.plain.size(), &size);
    Check(container != nullptr, "compression failed");
    input.container.assign(static_cast<std::uint8_t*>(container),
                           static_cast<std::uint8_t*>(container) + size);
    tessera::Free(container);
    Check(input.container == reference::Compress(input.plain.data(), input.plain.size()),
          "container differs from the reference compressor's");
    input.zlib = ZlibHuffmanOnly(input.plain);
    Inputs().push_back(std::move(input));
}

// ---------------------------------------------------------------------------
// Benchmarks
// ---------------------------------------------------------------------------

void Memcpy(benchmark::State& state, const Input* input) {
    Bytes out(input->plain.size());
    for (auto _ : state) {
        std::memcpy(out.data(), input->plain.data(), out.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * out.size()));
}

void TesseraDecode(benchmark::State& state, const Input* input) {
    for (auto _ : state) {
        std::uint32_t size = 0;
        void* plain =
            tessera::DecompressContainer(input->container.data(), input->container.size(), &size);
        benchmark::DoNotOptimize(plain);
        tessera::Free(plain);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input->plain.size()));
}

// The same decoder with the interleaved lanes switched off.
void TesseraSequentialDecode(benchmark::State& state, const Input* input) {
    tessera::SetLaneThreshold(SIZE_MAX);
    TesseraDecode(state, input);
    tessera::SetLaneThreshold(tessera::kDefaultLaneThreshold);
}

void OracleDecode(benchmark::State& state, const Input* input) {
    for (auto _ : state) {
        reference::Decoded decoded =
            reference::Decode(input->container.data(), input->container.size());
        benchmark::DoNotOptimize(decoded.plain.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input->plain.size()));
}

void ZlibInflate(benchmark::State& state, const Input* input) {
    z_stream stream{};
    inflateInit2(&stream, -15);
    Bytes out(input->plain.size());
    for (auto _ : state) {
        inflateReset(&stream);
        stream.next_in = const_cast<Bytef*>(input->zlib.data());
        stream.avail_in = static_cast<uInt>(input->zlib.size());
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        Check(inflate(&stream, Z_FINISH) == Z_STREAM_END, "inflate failed");
        benchmark::DoNotOptimize(out.data());
    }
    inflateEnd(&stream);
    Check(out == input->plain, "inflate gave other bytes");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * out.size()));
}

void LibdeflateDecode(benchmark::State& state, const Input* input) {
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    Bytes out(input->plain.size());
    for (auto _ : state) {
        Check(libdeflate_deflate_decompress(decompressor, input->zlib.data(), input->zlib.size(),
                                            out.data(), out.size(), nullptr) == LIBDEFLATE_SUCCESS,
              "libdeflate failed");
        benchmark::DoNotOptimize(out.data());
    }
    libdeflate_free_decompressor(decompressor);
    Check(out == input->plain, "libdeflate gave other bytes");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * out.size()));
}

// libdeflate decoding into a buffer allocated for each call, as the
// container decoder's callers get theirs: for large outputs the allocator
// hands out fresh pages each time, and their first touch costs what the
// decoding does.
void LibdeflateFreshDecode(benchmark::State& state, const Input* input) {
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    for (auto _ : state) {
        void* out = tessera::Allocate(input->plain.size() + 4);
        Check(out != nullptr, "out of memory");
        Check(
            libdeflate_deflate_decompress(decompressor, input->zlib.data(), input->zlib.size(), out,
                                          input->plain.size(), nullptr) == LIBDEFLATE_SUCCESS,
            "libdeflate failed");
        benchmark::DoNotOptimize(out);
        tessera::Free(out);
    }
    libdeflate_free_decompressor(decompressor);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input->plain.size()));
}

void TesseraEncode(benchmark::State& state, const Input* input) {
    for (auto _ : state) {
        std::uint32_t size = 0;
        void* container = tessera::CompressContainer(
            input->plain.data(), static_cast<std::uint32_t>(input->plain.size()), &size);
        benchmark::DoNotOptimize(container);
        tessera::Free(container);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input->plain.size()));
}

void ZlibDeflate(benchmark::State& state, const Input* input) {
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_HUFFMAN_ONLY);
    Bytes out(deflateBound(&stream, input->plain.size()));
    for (auto _ : state) {
        deflateReset(&stream);
        stream.next_in = const_cast<Bytef*>(input->plain.data());
        stream.avail_in = static_cast<uInt>(input->plain.size());
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        Check(deflate(&stream, Z_FINISH) == Z_STREAM_END, "deflate failed");
        benchmark::DoNotOptimize(out.data());
    }
    deflateEnd(&stream);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input->plain.size()));
}

// ---------------------------------------------------------------------------
// Summary
// ---------------------------------------------------------------------------

// Prints only the median of each benchmark's repetitions, without colour,
// and remembers each run's time by name for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    SummaryReporter() : ConsoleReporter(OO_None) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        std::vector<Run> shown;
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate ? run.aggregate_name == "median"
                                                  : run.repetitions <= 1) {
                shown.push_back(run);
            }
        }
        ConsoleReporter::ReportRuns(shown);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !run.error_occurred) {
                // CPU time: on a shared machine, time spent preempted is not
                // the code's.
                const double seconds = run.cpu_accumulated_time / run.iterations;
                samples_[run.run_name.function_name].push_back(seconds);
            }
        }
    }

    // Seconds per iteration, or 0 when the benchmark did not run.
    double Seconds(const std::string& name) const {
        auto found = samples_.find(name);
        if (found == samples_.end()) {
            return 0;
        }
        std::vector<double> sorted = found->second;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }

private:
    std::map<std::string, std::vector<double>> samples_;
};

struct Row {
    const char* operation;
    const char* peer;  // null: memcpy only
    double target;     // 0: no target
};

void PrintSummary(const SummaryReporter& reporter) {
    std::printf("\nSummary (CPU time, median of 3 repetitions; ratios are speed over speed)\n");
    std::printf("%-14s %-16s %9s %9s  %-16s %7s %7s\n", "input", "operation", "MB/s", "x memcpy",
                "peer", "x peer", "target");
    int missed = 0;
    for (const Input& input : Inputs()) {
        const bool random = input.name.find("random") != std::string::npos;
        const bool text = input.name.find("text") != std::string::npos;
        const double decodeTarget = random ? 0 : text ? 2.5 : 4.0;
        const double encodeTarget = random ? 5.0 : 6.0;
        const std::vector<Row> rows = {
            {"memcpy", nullptr, 0},
            {"tessera_decode", random ? "oracle_decode" : "libdeflate_decode",
             random ? 2.5 : decodeTarget},
            {"tessera_decode", "tessera_sequential", 1.0},
            {"tessera_sequential", random ? "oracle_decode" : "libdeflate_decode", 0},
            {"tessera_decode", "libdeflate_fresh", 0},
            {"libdeflate_decode", nullptr, 0},
            {"libdeflate_fresh", nullptr, 0},
            {"zlib_inflate", nullptr, 0},
            {"oracle_decode", nullptr, 0},
            {"tessera_encode", "zlib_deflate", encodeTarget},
            {"zlib_deflate", nullptr, 0},
        };
        const double bytes = static_cast<double>(input.plain.size());
        const double memcpySeconds = reporter.Seconds("memcpy/" + input.name);
        for (const Row& row : rows) {
            if (random && row.peer != nullptr && std::strcmp(row.peer, "libdeflate_fresh") == 0) {
                continue;  // zlib stores random bytes raw: nothing to decode
            }
            const double seconds = reporter.Seconds(std::string(row.operation) + "/" + input.name);
            if (seconds <= 0 || memcpySeconds <= 0) {
                continue;
            }
            std::printf("%-14s %-16s %9.1f %9.3f", input.name.c_str(), row.operation,
                        bytes / seconds / 1e6, memcpySeconds / seconds);
            if (row.peer != nullptr) {
                const double peerSeconds =
                    reporter.Seconds(std::string(row.peer) + "/" + input.name);
                const double ratio = peerSeconds > 0 ? peerSeconds / seconds : 0;
                const bool met = row.target == 0 || ratio >= row.target;
                missed += met ? 0 : 1;
                std::printf("  %-16s %7.2f %6.1fx %s", row.peer, ratio, row.target,
                            met ? "met" : "MISSED");
            }
            std::printf("\n");
        }
        std::printf("%-14s %.2f bits of entropy per byte; container %zu bytes, zlib %zu bytes\n",
                    input.name.c_str(), EntropyBitsPerByte(input.plain), input.container.size(),
                    input.zlib.size());
    }
    std::printf("%s\n", missed == 0 ? "All targets met." : "Some targets missed.");
    std::printf(
        "(Random bytes: zlib stores them raw, so the decoder's peer there is the\n"
        "one-bit-at-a-time reference decoder.)\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::uint32_t seed = 1;
    for (const auto& [size, name] :
         {std::pair{std::size_t{64} << 10, "64KiB"}, std::pair{std::size_t{4} << 20, "4MiB"},
          std::pair{std::size_t{32} << 20, "32MiB"}}) {
        AddInput(std::string("skewed_") + name, SkewedBytes(size, seed++));
        AddInput(std::string("text_") + name, EnglishLikeText(size, seed++));
        AddInput(std::string("random_") + name, RandomBytes(size, seed++));
    }

    using Function = void (*)(benchmark::State&, const Input*);
    const std::pair<const char*, Function> functions[] = {
        {"memcpy", Memcpy},
        {"tessera_decode", TesseraDecode},
        {"tessera_sequential", TesseraSequentialDecode},
        {"libdeflate_decode", LibdeflateDecode},
        {"libdeflate_fresh", LibdeflateFreshDecode},
        {"zlib_inflate", ZlibInflate},
        {"oracle_decode", OracleDecode},
        {"tessera_encode", TesseraEncode},
        {"zlib_deflate", ZlibDeflate},
    };
    for (const Input& input : Inputs()) {
        for (const auto& [name, function] : functions) {
            benchmark::RegisterBenchmark((std::string(name) + "/" + input.name).c_str(), function,
                                         &input)
                ->Unit(benchmark::kMicrosecond)
                ->Repetitions(3)
                ->MinTime(0.2);
        }
    }
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
