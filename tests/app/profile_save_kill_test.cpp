// Settings saves that die or race: a saving process killed at random moments
// leaves the settings file whole and at most one temporary file beside it,
// which the next save removes; two processes saving at once while a third
// reads never show the reader a mixed or partial file. Both ways of making
// the temporary file are tried: unnamed until the end, and named and locked
// from the start.
#include "app/profile_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "tests/support/kill_loop.h"

namespace gearloft {
namespace {

// Settings of some size, in one of two versions that differ in every value.
void Fill(ProfileFile& profile, int version) {
    for (int s = 0; s < 40; ++s) {
        const QByteArray section = "Section" + QByteArray::number(s);
        for (int k = 0; k < 100; ++k) {
            profile.SetString(
                section, "Key" + QByteArray::number(k),
                "value " + QByteArray::number(version) + " of " + QByteArray::number(s * 100 + k));
        }
    }
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class InterruptedSettingsSave : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetUnnamedProfileTemporaryFiles(GetParam());
        for (int v = 0; v < 2; ++v) {
            Fill(profiles[v], v);
            ASSERT_TRUE(profiles[v].Save(path));
            versions[v] = ReadAll(path);
            ASSERT_FALSE(versions[v].isEmpty());
        }
        ASSERT_NE(versions[0], versions[1]);
    }
    void TearDown() override { SetUnnamedProfileTemporaryFiles(true); }

    // Saves version i % 2.
    bool Save(int i) { return profiles[i % 2].Save(path); }
    bool IsOneVersion(const QByteArray& bytes) const {
        return bytes == versions[0] || bytes == versions[1];
    }
    QStringList Temporaries() const {
        QStringList names =
            QDir(dir.path())
                .entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        names.removeAll(QStringLiteral("settings.ini"));
        return names;
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("settings.ini"));
    ProfileFile profiles[2];
    QByteArray versions[2];
};

TEST_P(InterruptedSettingsSave, AKilledSaveLeavesOneVersionAndAtMostOneTemporaryFile) {
    const auto save = [this](int i) { return Save(i); };
    const std::chrono::microseconds oneSave = gearloft::testing::TimeOfOneSave(save);
    ASSERT_GT(oneSave.count(), 0) << "the saves to time failed";

    // Up to about two saves' time, so that kills land in every step.
    int leftBehind = 0;
    const int kills = gearloft::testing::KillSaversAtRandom(
        save, 200, 2 * oneSave, GetParam() ? 18 : 81, [&](int round) {
            ASSERT_TRUE(IsOneVersion(ReadAll(path))) << "after kill " << round;
            const QStringList left = Temporaries();
            ASSERT_LE(left.size(), 1)
                << "after kill " << round << ": " << left.join(QLatin1Char(' ')).toStdString();
            leftBehind += left.isEmpty() ? 0 : 1;
        });
    if (HasFatalFailure()) {
        return;
    }
    RecordProperty("kills", kills);
    RecordProperty("kills_leaving_a_temporary_file", leftBehind);
    std::printf("%d kills, %d left a temporary file until the next save\n", kills, leftBehind);

    // The next save that finishes removes what the last kill left.
    ASSERT_TRUE(Save(1));
    EXPECT_EQ(versions[1], ReadAll(path));
    EXPECT_EQ(QStringList(), Temporaries());
}

TEST_P(InterruptedSettingsSave, TwoWritersAndAReaderSeeOnlyWholeVersions) {
    const int reads = gearloft::testing::ReadWhileTwoSave(
        [this](int i) { return Save(i); }, 60,
        [&](int read) {
            const QByteArray bytes = ReadAll(path);
            ASSERT_TRUE(IsOneVersion(bytes))
                << "read " << read << " saw " << bytes.size() << " bytes";
            ProfileFile loaded;
            ASSERT_TRUE(loaded.Load(path)) << "read " << read;
        });
    std::printf("%d reads\n", reads);
    EXPECT_TRUE(IsOneVersion(ReadAll(path)));
    EXPECT_EQ(QStringList(), Temporaries());
}

INSTANTIATE_TEST_SUITE_P(TemporaryFiles, InterruptedSettingsSave, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Unnamed" : "NamedAndLocked";
                         });

}  // namespace
}  // namespace gearloft
