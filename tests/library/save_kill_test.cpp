// Saves that die or race: a saving process killed at random moments leaves
// the level whole and at most one temporary file beside it, which the next
// save removes; two processes saving one level while a third reads it never
// show the reader a mixed or partial file. Both ways of making the temporary
// file are tried: unnamed until the end, and named and locked from the start.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "chunkfile/file_io.h"
#include "fixtures.h"

namespace tessera_test {
namespace {

struct TreeDeleter {
    void operator()(RifItem* item) const { DeleteRifItem(item); }
};
using Tree = std::unique_ptr<RifItem, TreeDeleter>;

// A level large enough that a save takes a while, in one of two versions
// that differ throughout.
RifItem* MakeVersion(int version) {
    RifItem* root = MakeLevel();
    std::string shape(192 * 1024, '\0');
    std::mt19937 bytes(static_cast<unsigned>(version) + 1);
    for (char& c : shape) {
        c = static_cast<char>(bytes() % 40);  // compressible, but not to nothing
    }
    InsertRifItemChild("SHPBIGVT", shape.data(), static_cast<uint32_t>(shape.size()), root,
                       RIF_LAST);
    return root;
}

// Saves the two versions in turn until killed, or count times; exits 1 when
// a save fails.
[[noreturn]] void SaveInTurn(const std::string& path, int first, int count) {
    Tree versions[2] = {Tree(MakeVersion(0)), Tree(MakeVersion(1))};
    for (int i = 0; count < 0 || i < count; ++i) {
        if (SaveRifFile(versions[(first + i) % 2].get(), path.c_str()) == 0) {
            _exit(1);
        }
    }
    _exit(0);
}

class InterruptedSave : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir.path().empty());
        tessera::SetUnnamedTemporaryFiles(GetParam());
        for (int v = 0; v < 2; ++v) {
            Tree tree(MakeVersion(v));
            ASSERT_NE(0, SaveRifFile(tree.get(), level.c_str()));
            versions[v] = ReadFile(level);
            ASSERT_FALSE(versions[v].empty());
        }
        ASSERT_NE(versions[0], versions[1]);
    }
    void TearDown() override { tessera::SetUnnamedTemporaryFiles(true); }

    bool IsOneVersion(const Bytes& bytes) const {
        return bytes == versions[0] || bytes == versions[1];
    }
    std::vector<std::string> Temporaries() const {
        std::vector<std::string> names = dir.Entries();
        names.erase(std::remove(names.begin(), names.end(), "level.rif"), names.end());
        return names;
    }

    TempDir dir;
    std::string level = dir.File("level.rif");
    Bytes versions[2];
};

TEST_P(InterruptedSave, AKilledSaveLeavesOneVersionAndAtMostOneTemporaryFile) {
    std::mt19937 random(GetParam() ? 18 : 81);
    // Up to about two saves' time, so that kills land in every step.
    const auto start = std::chrono::steady_clock::now();
    {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SaveInTurn(level, 0, 4);
        }
        int status = 0;
        ASSERT_EQ(child, waitpid(child, &status, 0));
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const auto saveMicros =
        std::max<long>(200, static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                                  std::chrono::steady_clock::now() - start)
                                                  .count() /
                                              4));
    std::uniform_int_distribution<long> delay(0, 2 * saveMicros);

    int kills = 0;
    int leftBehind = 0;
    for (int round = 0; round < 200; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SaveInTurn(level, round % 2, -1);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(child, waitpid(child, &status, 0));
        if (WIFSIGNALED(status)) {
            ++kills;
        }
        ASSERT_TRUE(IsOneVersion(ReadFile(level))) << "after kill " << round;
        const std::vector<std::string> left = Temporaries();
        ASSERT_LE(left.size(), 1u) << "after kill " << round << ": " << left.front();
        leftBehind += left.empty() ? 0 : 1;
    }
    RecordProperty("kills", kills);
    RecordProperty("kills_leaving_a_temporary_file", leftBehind);
    std::printf("%d kills, %d left a temporary file until the next save\n", kills, leftBehind);

    // The next save that finishes removes what the last kill left.
    Tree tree(MakeVersion(0));
    ASSERT_NE(0, SaveRifFile(tree.get(), level.c_str()));
    EXPECT_EQ(versions[0], ReadFile(level));
    EXPECT_EQ(std::vector<std::string>{}, Temporaries());
}

TEST_P(InterruptedSave, TwoWritersAndAReaderSeeOnlyWholeVersions) {
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = fork();
        ASSERT_GE(writers[w], 0);
        if (writers[w] == 0) {
            SaveInTurn(level, w, 60);
        }
    }
    int reads = 0;
    int running = 2;
    while (running > 0) {
        const Bytes bytes = ReadFile(level);
        ASSERT_TRUE(IsOneVersion(bytes)) << "read " << reads << " saw " << bytes.size() << " bytes";
        Tree loaded(LoadRifFile(level.c_str()));
        ASSERT_TRUE(loaded) << "read " << reads;
        ++reads;
        for (pid_t& writer : writers) {
            int status = 0;
            if (writer > 0 && waitpid(writer, &status, WNOHANG) == writer) {
                // A save that failed, for instance because another writer's
                // cleaning took its temporary file, fails the test.
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
                writer = 0;
                --running;
            }
        }
    }
    std::printf("%d reads\n", reads);
    EXPECT_TRUE(IsOneVersion(ReadFile(level)));
    EXPECT_EQ(std::vector<std::string>{}, Temporaries());
}

INSTANTIATE_TEST_SUITE_P(TemporaryFiles, InterruptedSave, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Unnamed" : "NamedAndLocked";
                         });

}  // namespace
}  // namespace tessera_test
