// The command-line programs' output files under kills: a process writing an
// output in a loop, killed at random moments, leaves the output as one of the
// two versions it alternates (or absent before the first write ends) and at
// most one temporary file beside it; the next write, by the program itself,
// removes a killed writer's temporary file and keeps a running one's. Both
// ways of making the temporary file are tried: unnamed until the end, and
// named and locked from the start.
#include <gtest/gtest.h>

#include "chunkfile/file_io.h"
#include "tests/support/kill_loop.h"
#include "tests/tools/tool_runner.h"
#include "tools/cli/cli_io.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>

namespace {

using gearloft::testing::RunProgram;

// Large enough that a write takes a while; the two differ throughout.
QByteArray Version(int version) {
    QByteArray bytes(128 << 10, '\0');
    std::mt19937 random(static_cast<unsigned>(version) + 7);
    for (char& c : bytes) {
        c = static_cast<char>(random());
    }
    return bytes;
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class KilledOutput : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        tessera::SetUnnamedTemporaryFiles(GetParam());
    }
    void TearDown() override { tessera::SetUnnamedTemporaryFiles(true); }

    // Writes version i % 2.
    bool Write(int i) const {
        QString error;
        return gearloft::cli::WriteWholeFile(output, versions[i % 2], &error);
    }
    QStringList Temporaries() const {
        QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        names.removeAll(QStringLiteral("out.bin"));
        return names;
    }

    QTemporaryDir dir;
    QString output = dir.filePath(QStringLiteral("out.bin"));
    QByteArray versions[2] = {Version(0), Version(1)};
};

TEST_P(KilledOutput, LeavesOneVersionOrNoneAndAtMostOneTemporaryFile) {
    const auto write = [this](int i) { return Write(i); };
    const std::chrono::microseconds oneWrite = gearloft::testing::TimeOfOneSave(write);
    ASSERT_GT(oneWrite.count(), 0) << "the writes to time failed";
    ASSERT_TRUE(QFile::remove(output));

    // Up to about three writes' time, so that kills land in every step of one.
    int leftBehind = 0;
    const int kills = gearloft::testing::KillSaversAtRandom(
        write, 100, 3 * oneWrite, GetParam() ? 18 : 81, [&](int round) {
            if (QFile::exists(output)) {
                const QByteArray bytes = Contents(output);
                ASSERT_TRUE(bytes == versions[0] || bytes == versions[1])
                    << "after kill " << round << ": " << bytes.size() << " bytes";
            }
            const QStringList left = Temporaries();
            ASSERT_LE(left.size(), 1)
                << "after kill " << round << ": " << qPrintable(left.join(' '));
            leftBehind += left.isEmpty() ? 0 : 1;
        });
    if (HasFatalFailure()) {
        return;
    }
    std::printf("%d kills, %d left a temporary file until the next write\n", kills, leftBehind);
    EXPECT_GT(kills, 50);

    // The next write that ends removes what the last kill left.
    QString error;
    ASSERT_TRUE(gearloft::cli::WriteWholeFile(output, versions[1], &error)) << qPrintable(error);
    EXPECT_EQ(versions[1], Contents(output));
    EXPECT_EQ(QStringList(), Temporaries());
}

INSTANTIATE_TEST_SUITE_P(TemporaryFiles, KilledOutput, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("Unnamed") : std::string("Named");
                         });

// The program itself: an output written by tessera removes a temporary file
// that a killed writer left (no lock held) and keeps one whose writer runs (a
// lock held), and a failed write names its reason and leaves the old output.
TEST(ProgramOutput, RemovesAbandonedTemporaryFilesAndKeepsARunningWritersOne) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray stream = gearloft::testing::Stream(gearloft::testing::Folder(
        "REBINFF2", {gearloft::testing::Data("SHPVERTS", QByteArray(4096, 'v'))}));
    const QString input = dir.filePath(QStringLiteral("in.rif"));
    {
        QFile file(input);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(stream) == stream.size());
    }
    const QString abandoned = dir.filePath(QStringLiteral(".out.rif.abcd1234.tmp"));
    const QString running = dir.filePath(QStringLiteral(".out.rif.wxyz6789.tmp"));
    for (const QString& name : {abandoned, running}) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("partial") == 7);
    }
    const int held = open(QFile::encodeName(running).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(0, flock(held, LOCK_EX));

    const QString output = dir.filePath(QStringLiteral("out.rif"));
    const auto run =
        RunProgram(QStringLiteral(TESSERA_PROGRAM), {QStringLiteral("compress"), input, output});
    EXPECT_EQ(0, run.exitCode) << run.err.constData();
    EXPECT_FALSE(QFile::exists(abandoned));
    EXPECT_TRUE(QFile::exists(running));
    close(held);
    EXPECT_EQ(stream, RunProgram(QStringLiteral(TESSERA_PROGRAM),
                                 {QStringLiteral("decompress"), output, QStringLiteral("-")})
                          .out);

    // A folder in the output's place is refused with a reason, and stays.
    const QString folder = dir.filePath(QStringLiteral("folder.rif"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const auto refused =
        RunProgram(QStringLiteral(TESSERA_PROGRAM), {QStringLiteral("compress"), input, folder});
    EXPECT_EQ(1, refused.exitCode);
    EXPECT_TRUE(refused.err.contains("cannot write: ")) << refused.err.constData();
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

}  // namespace
