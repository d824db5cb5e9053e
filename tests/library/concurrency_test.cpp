// Several threads using the library at once, each on trees of its own: the
// contract a program that loads levels on several threads relies on. Run in
// the ThreadSanitizer build, any shared state the operations touch without
// synchronisation (the heap's failure injection, the diagnostic sink, the
// file hooks) is reported as a race; in every build the results must be
// exactly those of one thread alone.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "chunkfile/allocator.h"
#include "chunkfile/file_io.h"
#include "fixtures.h"

namespace tessera_test {
namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 5;

constexpr char kCorruptChunk[] = "ERROR: ParseRifEx() -> the Rif is corrupt!\n";
constexpr char kOpenFailure[] = "ERROR: LoadRifFile() failed to open file!\n";

// A level that differs from thread to thread: its own bytes and size.
RifItem* MakeThreadLevel(int thread) {
    RifItem* root = MakeLevel();
    std::string bulk(4000 + 1500 * thread, '\0');
    for (std::size_t i = 0; i < bulk.size(); ++i) {
        bulk[i] = static_cast<char>((i * (thread + 3)) % (17 + thread));
    }
    InsertRifItemChild("SHPPOLYS", bulk.data(), static_cast<uint32_t>(bulk.size()), root, RIF_LAST);
    return root;
}

// One thread's work: build, compile, compress, decompress, parse, save, load
// and refuse, comparing each result with the tree it started from. Returns
// what went wrong, empty when nothing did.
std::string Work(int thread, const TempDir& dir) {
    const std::string path = dir.File("level" + std::to_string(thread) + ".rif");
    const std::string missing = dir.File("missing" + std::to_string(thread) + ".rif");
    for (int round = 0; round < kRounds; ++round) {
        RifItem* level = MakeThreadLevel(thread);
        const Bytes stream = Compile(level);
        const Bytes container = Compress(stream);
        if (stream.empty() || container.empty()) {
            DeleteRifItem(level);
            return "compile or compress failed";
        }
        uint32_t plainSize = 0;
        void* plain = DecompressRif(container.data(), &plainSize);
        const bool decoded = plain != nullptr && plainSize == stream.size() &&
                             Bytes(static_cast<unsigned char*>(plain),
                                   static_cast<unsigned char*>(plain) + plainSize) == stream;
        ReleaseBuffer(plain);
        RifItem* parsed = LoadRif(container.data(), static_cast<uint32_t>(container.size()));
        const bool parsedSame = parsed != nullptr && Compile(parsed) == stream;
        DeleteRifItem(parsed);
        const bool saved = SaveRifFile(level, path.c_str()) == 1;
        DeleteRifItem(level);
        RifItem* loaded = LoadRifFile(path.c_str());
        const bool loadedSame = loaded != nullptr && Compile(loaded) == stream;
        DeleteRifItem(loaded);
        if (!decoded || !parsedSame || !saved || !loadedSame) {
            return "round " + std::to_string(round) + " lost data";
        }
        // Two refusals, each with its line.
        Bytes corrupt = stream;
        Put32(corrupt, 20, 5);  // the first child's size is below its header's
        if (LoadRif(corrupt.data(), static_cast<uint32_t>(corrupt.size())) != nullptr ||
            LoadRifFile(missing.c_str()) != nullptr) {
            return "a refusal was taken";
        }
    }
    return {};
}

// A diagnostic hook that counts lines per text; the sink calls it one message
// at a time, so it needs no lock of its own.
void CountLine(const char* message, void* counts) {
    ++(*static_cast<std::map<std::string, int>*>(counts))[message];
}

TEST(Concurrency, ThreadsLoadCompileCompressAndSaveTheirOwnLevels) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    // The heap counts every allocation, on every thread, once armed.
    tessera::FailAllocation(0);
    std::map<std::string, int> lines;
    tessera::SetDiagnosticHook(&CountLine, &lines);

    std::vector<std::string> outcomes(kThreads);
    std::atomic<bool> done{false};
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([thread, &outcomes, &dir] { outcomes[thread] = Work(thread, dir); });
    }
    // Meanwhile the file hooks change under the savers' feet, as a test on
    // another thread may do: reads and writes move fewer bytes per call,
    // which must change nothing in the files.
    std::thread hooks([&done] {
        for (std::size_t limit = 0; !done.load(); limit = (limit + 4093) % 20000) {
            tessera::SetFileTransferLimit(limit);
            std::this_thread::yield();
        }
    });
    for (std::thread& thread : threads) {
        thread.join();
    }
    done = true;
    hooks.join();
    tessera::SetFileTransferLimit(0);
    tessera::SetDiagnosticHook(nullptr, nullptr);

    for (int thread = 0; thread < kThreads; ++thread) {
        EXPECT_EQ(outcomes[thread], "") << "thread " << thread;
    }
    EXPECT_GT(tessera::AllocationCount(), 0u);
    const std::map<std::string, int> expected = {{kCorruptChunk, kThreads * kRounds},
                                                 {kOpenFailure, kThreads * kRounds}};
    EXPECT_EQ(lines, expected);
}

}  // namespace
}  // namespace tessera_test
