// The demo game: its files, its awkward rows, its stand-in executable, and
// that two runs write the same bytes.
#include "tools/demo_game.h"
#include "app/level_catalogue.h"
#include "tests/level/level_fixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace gearloft {
namespace {

using testing::ReadFileBytes;
using testing::WordAt;

class DemoGameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new QTemporaryDir;
        ASSERT_TRUE(folder->isValid());
        std::string error;
        ASSERT_TRUE(demo::WriteDemoGame(game().toStdString(), options(), &error)) << error;
    }
    static void TearDownTestSuite() {
        delete folder;
        folder = nullptr;
    }
    static demo::Options options() {
        demo::Options small;
        small.scale = 0.02;
        return small;
    }
    static QString game() { return folder->path() + QStringLiteral("/game"); }
    QString PathOf(int row) const {
        return game() + QStringLiteral("/Qel_Rifs/") + catalogue.stem(row) + QStringLiteral(".rif");
    }

    static QTemporaryDir* folder;
    LevelCatalogue catalogue;
};

QTemporaryDir* DemoGameTest::folder = nullptr;

TEST_F(DemoGameTest, EveryRowIsAsDocumented) {
    const TESSERAEXPORT& lib = *testing::Tessera();
    for (int row = 0; row < catalogue.rowCount(); ++row) {
        SCOPED_TRACE(row);
        const QString path = PathOf(row);
        if (row == demo::kMissingFileRow) {
            EXPECT_FALSE(QFileInfo::exists(path));
            continue;
        }
        const QByteArray file = ReadFileBytes(path);
        EXPECT_TRUE(file.startsWith(demo::IsPlainRow(row) ? "REBINFF2" : "REBCRIF1"));
        RifItem* root = lib.LoadRifFile(QFile::encodeName(path).constData());
        if (row == demo::kCorruptFileRow) {
            EXPECT_EQ(root, nullptr);
            continue;
        }
        ASSERT_NE(root, nullptr);
        RifItem* env = lib.FindFirstRifItem(root, "REBENVDT");
        ASSERT_NE(env, nullptr);
        RifItem* record = lib.FindFirstRifItem(env, "QELENVIR");
        EXPECT_NE(lib.FindFirstRifItem(root, "REBSHAPE"), nullptr);
        EXPECT_NE(lib.FindFirstRifItem(root, "LIGHTSET"), nullptr);
        if (row == demo::kNoRecordRow) {
            EXPECT_EQ(record, nullptr);
        } else {
            ASSERT_NE(record, nullptr);
            std::uint32_t size = 0;
            const char* data = static_cast<const char*>(lib.GetRifItemData(record, &size));
            const QByteArray bytes(data, static_cast<int>(size));
            if (row == demo::kShortRecordRow) {
                EXPECT_EQ(size, 23u);
            } else if (row == demo::kOddRecordRow) {
                EXPECT_EQ(WordAt(bytes, 16), demo::kOddEquipment);
                EXPECT_EQ(WordAt(bytes, 20), demo::kOddSpears);
            } else {
                EXPECT_GE(size, 24u);
                EXPECT_EQ(WordAt(bytes, 16) & kEquipmentMask,
                          LevelCatalogue::defaultEquipment(row));
                EXPECT_EQ(WordAt(bytes, 20), LevelCatalogue::kDefaultSpears);
            }
        }
        lib.DeleteRifItem(root);
    }
}

TEST_F(DemoGameTest, StandInExecutableLogsItsArgumentsAndFolder) {
    const QString exe = game() + QStringLiteral("/Qel.exe");
    ASSERT_TRUE(QFileInfo(exe).isExecutable());
    QProcess process;
    process.setWorkingDirectory(game());
    process.start(exe, {QStringLiteral("-n"), QStringLiteral("dm07")});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 0);
    const QByteArray log = ReadFileBytes(game() + QLatin1Char('/') + demo::kStartLogName);
    EXPECT_TRUE(log.contains("args=-n dm07")) << log.constData();
    EXPECT_TRUE(log.contains("cwd=" + QFile::encodeName(QDir(game()).canonicalPath())))
        << log.constData();
}

TEST_F(DemoGameTest, TwoRunsWriteTheSameBytes) {
    QTemporaryDir other;
    std::string error;
    ASSERT_TRUE(demo::WriteDemoGame(other.path().toStdString(), options(), &error)) << error;
    for (int row : {0, 3, 20, 45, 46, 58}) {
        const QString name = QStringLiteral("/Qel_Rifs/") + catalogue.stem(row) + ".rif";
        EXPECT_EQ(ReadFileBytes(other.path() + name), ReadFileBytes(game() + name)) << row;
    }
}

TEST_F(DemoGameTest, FolderThatCannotBeMadeIsReported) {
    QTemporaryDir other;
    QFile blocker(other.path() + QStringLiteral("/file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    std::string error;
    EXPECT_FALSE(demo::WriteDemoGame((other.path() + QStringLiteral("/file/game")).toStdString(),
                                     {}, &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace gearloft
