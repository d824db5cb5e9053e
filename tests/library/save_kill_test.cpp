// Saves that die or race: a saving process killed at random moments leaves
// the level whole and at most one temporary file beside it, which the next
// save removes; two processes saving one level while a third reads it never
// show the reader a mixed or partial file. Both ways of making the temporary
// file are tried: unnamed until the end, and named and locked from the start.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "chunkfile/file_io.h"
#include "fixtures.h"
#include "tests/support/kill_loop.h"

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

class InterruptedSave : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir.path().empty());
        tessera::SetUnnamedTemporaryFiles(GetParam());
        for (int v = 0; v < 2; ++v) {
            trees[v].reset(MakeVersion(v));
            ASSERT_NE(0, SaveRifFile(trees[v].get(), level.c_str()));
            versions[v] = ReadFile(level);
            ASSERT_FALSE(versions[v].empty());
        }
        ASSERT_NE(versions[0], versions[1]);
    }
    void TearDown() override { tessera::SetUnnamedTemporaryFiles(true); }

    // Saves version i % 2.
    bool Save(int i) const { return SaveRifFile(trees[i % 2].get(), level.c_str()) != 0; }
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
    Tree trees[2];
    Bytes versions[2];
};

TEST_P(InterruptedSave, AKilledSaveLeavesOneVersionAndAtMostOneTemporaryFile) {
    const auto save = [this](int i) { return Save(i); };
    const std::chrono::microseconds oneSave = gearloft::testing::TimeOfOneSave(save);
    ASSERT_GT(oneSave.count(), 0) << "the saves to time failed";

    // Up to about two saves' time, so that kills land in every step.
    int leftBehind = 0;
    const int kills = gearloft::testing::KillSaversAtRandom(
        save, 200, 2 * oneSave, GetParam() ? 18 : 81, [&](int round) {
            ASSERT_TRUE(IsOneVersion(ReadFile(level))) << "after kill " << round;
            const std::vector<std::string> left = Temporaries();
            ASSERT_LE(left.size(), 1u) << "after kill " << round << ": " << left.front();
            leftBehind += left.empty() ? 0 : 1;
        });
    if (HasFatalFailure()) {
        return;
    }
    RecordProperty("kills", kills);
    RecordProperty("kills_leaving_a_temporary_file", leftBehind);
    std::printf("%d kills, %d left a temporary file until the next save\n", kills, leftBehind);

    // The next save that finishes removes what the last kill left.
    ASSERT_TRUE(Save(0));
    EXPECT_EQ(versions[0], ReadFile(level));
    EXPECT_EQ(std::vector<std::string>{}, Temporaries());
}

TEST_P(InterruptedSave, TwoWritersAndAReaderSeeOnlyWholeVersions) {
    const int reads = gearloft::testing::ReadWhileTwoSave(
        [this](int i) { return Save(i); }, 60,
        [&](int read) {
            const Bytes bytes = ReadFile(level);
            ASSERT_TRUE(IsOneVersion(bytes))
                << "read " << read << " saw " << bytes.size() << " bytes";
            Tree loaded(LoadRifFile(level.c_str()));
            ASSERT_TRUE(loaded) << "read " << read;
        });
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
