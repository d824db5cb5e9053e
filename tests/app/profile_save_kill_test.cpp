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

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

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

// Saves the two versions in turn until killed, or count times; exits 1 when
// a save fails.
[[noreturn]] void SaveInTurn(const QString& path, int first, int count) {
    ProfileFile versions[2];
    Fill(versions[0], 0);
    Fill(versions[1], 1);
    for (int i = 0; count < 0 || i < count; ++i) {
        if (!versions[(first + i) % 2].Save(path)) {
            _exit(1);
        }
    }
    _exit(0);
}

class InterruptedSettingsSave : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetUnnamedProfileTemporaryFiles(GetParam());
        for (int v = 0; v < 2; ++v) {
            ProfileFile profile;
            Fill(profile, v);
            ASSERT_TRUE(profile.Save(path));
            versions[v] = ReadAll(path);
            ASSERT_FALSE(versions[v].isEmpty());
        }
        ASSERT_NE(versions[0], versions[1]);
    }
    void TearDown() override { SetUnnamedProfileTemporaryFiles(true); }

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
    QByteArray versions[2];
};

TEST_P(InterruptedSettingsSave, AKilledSaveLeavesOneVersionAndAtMostOneTemporaryFile) {
    std::mt19937 random(GetParam() ? 18 : 81);
    const auto start = std::chrono::steady_clock::now();
    {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SaveInTurn(path, 0, 4);
        }
        int status = 0;
        ASSERT_EQ(child, waitpid(child, &status, 0));
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    // Up to about two saves' time, so that kills land in every step.
    const long saveMicros =
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
            SaveInTurn(path, round % 2, -1);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(child, waitpid(child, &status, 0));
        if (WIFSIGNALED(status)) {
            ++kills;
        }
        ASSERT_TRUE(IsOneVersion(ReadAll(path))) << "after kill " << round;
        const QStringList left = Temporaries();
        ASSERT_LE(left.size(), 1) << "after kill " << round << ": "
                                  << left.join(QLatin1Char(' ')).toStdString();
        leftBehind += left.isEmpty() ? 0 : 1;
    }
    RecordProperty("kills", kills);
    RecordProperty("kills_leaving_a_temporary_file", leftBehind);
    std::printf("%d kills, %d left a temporary file until the next save\n", kills, leftBehind);

    ProfileFile last;
    Fill(last, 1);
    ASSERT_TRUE(last.Save(path));
    EXPECT_EQ(versions[1], ReadAll(path));
    EXPECT_EQ(QStringList(), Temporaries());
}

TEST_P(InterruptedSettingsSave, TwoWritersAndAReaderSeeOnlyWholeVersions) {
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = fork();
        ASSERT_GE(writers[w], 0);
        if (writers[w] == 0) {
            SaveInTurn(path, w, 60);
        }
    }
    int reads = 0;
    int running = 2;
    while (running > 0) {
        const QByteArray bytes = ReadAll(path);
        ASSERT_TRUE(IsOneVersion(bytes)) << "read " << reads << " saw " << bytes.size() << " bytes";
        ProfileFile loaded;
        ASSERT_TRUE(loaded.Load(path)) << "read " << reads;
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
    EXPECT_TRUE(IsOneVersion(ReadAll(path)));
    EXPECT_EQ(QStringList(), Temporaries());
}

INSTANTIATE_TEST_SUITE_P(TemporaryFiles, InterruptedSettingsSave, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Unnamed" : "NamedAndLocked";
                         });

}  // namespace
}  // namespace gearloft
