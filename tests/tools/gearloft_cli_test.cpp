// The equipment program on the demo game: exactly the named bits and count
// change, in bytes the dialog would write; values out of range touch
// nothing; restore, list, failing levels, finding the game, exit statuses.
#include "app/app_state.h"
#include "app/level_catalogue.h"
#include "app/loaded_level.h"
#include "tests/level/level_fixtures.h"
#include "tests/tools/tool_runner.h"
#include "tools/demo_game.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <map>

namespace gearloft::testing {
namespace {

const QString kCli = QStringLiteral(GEARLOFT_CLI_PROGRAM);

// Every file of a folder with its bytes.
std::map<QString, QByteArray> Snapshot(const QString& folder) {
    std::map<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[path] = ReadFileBytes(path);
    }
    return files;
}

// The plain dialog's controls, for writing a level the way the dialog does.
class DialogControls : public LevelView, public SpinControl {
public:
    bool ExchangeFromControls(LevelFields& out) override {
        out = fields;
        return true;
    }
    void ExchangeToControls(const LevelFields& in) override { fields = in; }
    void SetEditingEnabled(bool) override {}
    void SetBusy(bool) override {}
    int position() const override { return spin; }
    void setPosition(int position) override { spin = std::clamp(position, 0, 255); }

    LevelFields fields;
    int spin = 0;
};

class GearloftCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        demo::Options small;
        small.scale = 0.02;
        std::string error;
        ASSERT_TRUE(demo::WriteDemoGame(game().toStdString(), small, &error)) << error;
    }
    QString game() const { return dir.filePath("game"); }
    QString PathOf(int row) const { return game() + "/Qel_Rifs/" + catalogue.stem(row) + ".rif"; }
    ProgramRun Cli(const QStringList& arguments) const {
        return RunProgram(kCli, QStringList{"--game", game()} + arguments);
    }

    QTemporaryDir dir;
    LevelCatalogue catalogue;
};

TEST_F(GearloftCliTest, SetChangesOnlyTheNamedBitsAndCountAsTheDialogWould) {
    // Row 3 is a plain file and is written back compressed, as the dialog does.
    const std::map<QString, QByteArray> before = Snapshot(game());
    const ProgramRun run =
        Cli({"set", "3", "c2l01", "--jet-pack", "on", "--disk", "off", "--spears", "7"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << "no progress when not on a terminal";

    // The dialog's result for the same edit, on a copy of the files as they were.
    QTemporaryDir copy;
    ASSERT_TRUE(QDir(copy.path()).mkdir("Qel_Rifs"));
    for (const int row : {3, 10}) {
        SCOPED_TRACE(row);
        const QString copied = copy.path() + "/Qel_Rifs/" + catalogue.stem(row) + ".rif";
        WriteFile(copied, before.at(PathOf(row)));
        AppState state;
        RecordingUserInteraction ui;
        state.tessera = Tessera();
        state.game.strGameDir = copy.path() + "/";
        state.ui = &ui;
        DialogControls controls;
        SpinSpearCount count(controls);
        LoadedLevel level(state, catalogue, controls, count);
        controls.fields.nLevel = row;
        level.Load();
        ASSERT_TRUE(level.hasRecord());
        const QByteArray recordBefore = ReadRecord(copied);
        controls.fields.switches[5] = true;
        controls.fields.switches[2] = false;
        controls.spin = 7;
        ASSERT_TRUE(level.Save());
        EXPECT_EQ(ReadFileBytes(PathOf(row)), ReadFileBytes(copied));

        const QByteArray record = ReadRecord(PathOf(row));
        EXPECT_EQ(WordAt(record, 16), (WordAt(recordBefore, 16) | 0x20u) & ~0x04u);
        EXPECT_EQ(WordAt(record, 20), 7u);
        EXPECT_EQ(record.left(16), recordBefore.left(16));
        EXPECT_EQ(record.mid(24), recordBefore.mid(24));
    }
    for (const auto& [path, bytes] : before) {
        if (path != PathOf(3) && path != PathOf(10)) {
            EXPECT_EQ(ReadFileBytes(path), bytes) << path.toStdString();
        }
    }
}

TEST_F(GearloftCliTest, SetKeepsACountItWasNotGiven) {
    // Row 46 stores 1000 spears and bits beyond the six switches.
    ASSERT_EQ(Cli({"set", "46", "--disk", "off"}).exitCode, 0);
    const QByteArray record = ReadRecord(PathOf(demo::kOddRecordRow));
    EXPECT_EQ(WordAt(record, 16), demo::kOddEquipment & ~0x04u);
    EXPECT_EQ(WordAt(record, 20), demo::kOddSpears);
}

TEST_F(GearloftCliTest, RefusedValuesTouchNoFile) {
    const std::map<QString, QByteArray> before = Snapshot(game());
    const struct {
        QStringList arguments;
        const char* reason;
    } cases[] = {
        {{"set", "all", "--spears", "256"}, "0 to 255, not '256'"},
        {{"set", "all", "--spears", "-1"}, "not '-1'"},
        {{"set", "all", "--spears", "0x10"}, "not '0x10'"},
        {{"set", "all", "--spears", "1", "--spears", "2"}, "two different counts"},
        {{"set", "all", "--pistol", "yes"}, "--pistol takes on or off, not 'yes'"},
        {{"set", "all", "--medicomp", "on", "--medicomp", "off"}, "both on and off"},
        {{"set", "3"}, "names nothing to change"},
        {{"set", "59", "--disk", "on"}, "no level row 59"},
        {{"set", "0", "nosuchstem", "--disk", "on"}, "no level 'nosuchstem'"},
        {{"restore"}, "usage: gearloft-cli restore"},
        {{"list", "extra"}, "usage: gearloft-cli list"},
        {{"set", "0", "--jetpack", "on"}, "Unknown option 'jetpack'"},
        {{"mend", "0"}, "unknown command 'mend'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const ProgramRun run = Cli(c.arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(c.reason)) << run.err.toStdString();
    }
    EXPECT_EQ(Snapshot(game()), before);
}

TEST_F(GearloftCliTest, RestoreWritesTheRowsDefaults) {
    ASSERT_EQ(
        Cli({"set", "26", "dm01", "--pistol", "on", "--jet-pack", "on", "--spears", "99"}).exitCode,
        0);
    ASSERT_EQ(Cli({"restore", "26", "dm01"}).exitCode, 0);
    const struct {
        int row;
        std::uint32_t bits;
    } cases[] = {{26, 0x00}, {32, 0x17}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        const QByteArray record = ReadRecord(PathOf(c.row));
        EXPECT_EQ(WordAt(record, 16) & 0x3Fu, c.bits);
        EXPECT_EQ(WordAt(record, 20), 30u);
    }
}

TEST_F(GearloftCliTest, AFailingLevelIsReportedAndTheOthersAreDone) {
    const ProgramRun run = Cli({"set", "all", "--grappling-hook", "on"});
    EXPECT_EQ(run.exitCode, 1);
    const struct {
        int row;
        const char* reason;
    } failures[] = {{demo::kMissingFileRow, "missing"},
                    {demo::kNoRecordRow, "no equipment record"},
                    {demo::kShortRecordRow, "no equipment record"},
                    {demo::kCorruptFileRow, "not a chunk file"}};
    for (const auto& f : failures) {
        EXPECT_TRUE(run.err.contains(QStringLiteral("%1 (row %2): %3")
                                         .arg(PathOf(f.row))
                                         .arg(f.row)
                                         .arg(QLatin1String(f.reason))
                                         .toUtf8()))
            << run.err.toStdString();
    }
    EXPECT_EQ(run.err.count('\n'), 4) << run.err.toStdString();
    for (const int row : {0, 44, 58}) {
        EXPECT_EQ(WordAt(ReadRecord(PathOf(row)), 16) & 0x08u, 0x08u) << row;
    }
}

// A level whose file is no level file is refused by name, and the batch
// goes on: nothing blocks on a pipe or reads an endless device (the runner's
// deadline fails a run that hangs).
TEST_F(GearloftCliTest, ALevelThatIsNoFileIsRefusedByName) {
    const struct {
        int row;
        const char* reason;
    } cases[] = {{1, "it is 4 GiB, more than the 64 MiB such a file may have"},
                 {2, "it is a named pipe, not a file"},
                 {3, "it is a character device, not a file"},
                 {4, "it is a loop of symbolic links, not a file"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(QFile::remove(PathOf(c.row)));
    }
    QFile huge(PathOf(1));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(qint64{4} << 30));
    huge.close();
    ASSERT_EQ(0, ::mkfifo(QFile::encodeName(PathOf(2)).constData(), 0644));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), PathOf(3)));
    ASSERT_TRUE(QFile::link(PathOf(4), PathOf(4)));

    const ProgramRun list = Cli({"list", "--json"});
    EXPECT_EQ(list.exitCode, 0);
    const QJsonArray levels = QJsonDocument::fromJson(list.out).array();
    ASSERT_EQ(levels.size(), catalogue.rowCount());
    for (const auto& c : cases) {
        EXPECT_EQ(levels[c.row].toObject().value("state").toString(), "unreadable") << c.row;
    }

    const ProgramRun set = Cli({"set", "0", "1", "2", "3", "4", "--disk", "on"});
    EXPECT_EQ(set.exitCode, 1);
    for (const auto& c : cases) {
        EXPECT_TRUE(set.err.contains(QStringLiteral("%1 (row %2): unreadable: %3")
                                         .arg(PathOf(c.row))
                                         .arg(c.row)
                                         .arg(QLatin1String(c.reason))
                                         .toUtf8()))
            << set.err.toStdString();
    }
    EXPECT_EQ(WordAt(ReadRecord(PathOf(0)), 16) & 0x04u, 0x04u);  // the good level is done
}

TEST_F(GearloftCliTest, ListShowsEveryRowsState) {
    const ProgramRun run = Cli({"list", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonArray rows = QJsonDocument::fromJson(run.out).array();
    ASSERT_EQ(rows.size(), catalogue.rowCount());
    const struct {
        int row;
        const char* state;
    } cases[] = {{0, "ok"},
                 {demo::kMissingFileRow, "missing"},
                 {demo::kNoRecordRow, "no equipment record"},
                 {demo::kCorruptFileRow, "not a chunk file"}};
    for (const auto& c : cases) {
        const QJsonObject row = rows[c.row].toObject();
        EXPECT_EQ(row.value("row").toInt(-1), c.row);
        EXPECT_EQ(row.value("stem").toString(), catalogue.stem(c.row));
        EXPECT_EQ(row.value("state").toString(), c.state) << c.row;
    }
    const QJsonObject odd = rows[demo::kOddRecordRow].toObject();
    EXPECT_EQ(odd.value("spears").toInt(), 1000);
    EXPECT_EQ(odd.value("pistol").toBool(false), true);
    EXPECT_EQ(odd.value("shoulder-cannon").toBool(true), false);
    EXPECT_EQ(odd.value("jet-pack").toBool(false), true);
    EXPECT_TRUE(rows[demo::kNoRecordRow].toObject().value("spears").isNull());

    const ProgramRun text = Cli({"list"});
    EXPECT_EQ(text.exitCode, 0);
    const QList<QByteArray> lines = text.out.split('\n');
    ASSERT_GT(lines.size(), demo::kOddRecordRow + 1);
    EXPECT_TRUE(lines[demo::kOddRecordRow + 1].contains("ok")) << lines[47].toStdString();
    EXPECT_TRUE(lines[demo::kOddRecordRow + 1].endsWith("P-D--J 1000")) << lines[47].toStdString();
}

TEST_F(GearloftCliTest, FindsTheGameThroughTheRegistryOrSaysItCannot) {
    QTemporaryDir config;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", config.path());
    environment.insert("PATH", "/nonexistent");
    const ProgramRun lost = RunProgram(kCli, {"list"}, QByteArray(), config.path(), environment);
    EXPECT_EQ(lost.exitCode, 1);
    EXPECT_TRUE(lost.err.contains("cannot find Qelmarch")) << lost.err.toStdString();
    EXPECT_TRUE(lost.out.isEmpty());

    const QString store = config.path() + "/Gearloft/HKEY_LOCAL_MACHINE.ini";
    ASSERT_TRUE(QDir().mkpath(config.path() + "/Gearloft"));
    WriteFile(store, "[Software\\Ombrine\\Qelmarch]\nPath=" + QFile::encodeName(game()) + "\n");
    const QByteArray storeBefore = ReadFileBytes(store);
    const ProgramRun found = RunProgram(kCli, {"list"}, QByteArray(), config.path(), environment);
    EXPECT_EQ(found.exitCode, 0) << found.err.toStdString();
    EXPECT_TRUE(found.out.contains(catalogue.stem(0).toUtf8()));
    EXPECT_EQ(ReadFileBytes(store), storeBefore);

    EXPECT_EQ(Cli({}).exitCode, 2);
    const ProgramRun badGame = RunProgram(kCli, {"--game", dir.filePath("none"), "list"});
    EXPECT_EQ(badGame.exitCode, 1);
    EXPECT_TRUE(badGame.err.contains("none: not a folder"));
}

// A player's copy inside a Wine prefix: the installer's key in system.reg
// names D:\GAME\ (other letter case than the folder), D: is one of the
// prefix's drive links. gearloft-cli finds it without asking and without
// writing our own store.
TEST_F(GearloftCliTest, FindsTheGameInAWinePrefix) {
    QTemporaryDir config;
    const QString prefix = dir.filePath("prefix");
    ASSERT_TRUE(QDir().mkpath(prefix + "/drive_c"));
    ASSERT_TRUE(QDir().mkpath(prefix + "/dosdevices"));
    ASSERT_TRUE(QFile::link("../drive_c", prefix + "/dosdevices/c:"));
    ASSERT_TRUE(QFile::link(dir.path(), prefix + "/dosdevices/d:"));
    WriteFile(prefix + "/system.reg",
              "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n"
              "[Software\\\\Ombrine\\\\Qelmarch] 1700000000\n#time=1d9a0c7b3e4f5a6\n"
              "\"Path\"=\"D:\\\\GAME\\\\\"\n\n");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", config.path());
    environment.insert("HOME", dir.filePath("home"));
    environment.insert("WINEPREFIX", prefix);
    environment.insert("PATH", "/nonexistent");
    const ProgramRun found = RunProgram(kCli, {"list"}, QByteArray(), config.path(), environment);
    EXPECT_EQ(found.exitCode, 0) << found.err.toStdString();
    EXPECT_TRUE(found.out.contains(catalogue.stem(0).toUtf8())) << found.out.toStdString();
    EXPECT_FALSE(QFileInfo::exists(config.path() + "/Gearloft/HKEY_LOCAL_MACHINE.ini"));
}

TEST_F(GearloftCliTest, HelpExplainsEveryOption) {
    const ProgramRun help = RunProgram(kCli, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"list", "set LEVEL", "restore LEVEL", "--game", "--version", "--json",
                             "--pistol", "--jet-pack", "--spears"}) {
        EXPECT_TRUE(help.out.contains(word)) << word;
    }
    const ProgramRun setHelp = RunProgram(kCli, {"set", "--help"});
    EXPECT_EQ(setHelp.exitCode, 0);
    for (const char* option : {"--pistol", "--shoulder-cannon", "--disk", "--grappling-hook",
                               "--medicomp", "--jet-pack", "--spears", "--game"}) {
        EXPECT_TRUE(setHelp.out.contains(option)) << option;
    }
}

}  // namespace
}  // namespace gearloft::testing
