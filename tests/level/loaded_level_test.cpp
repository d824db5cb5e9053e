// LoadedLevel without a window: a fake view and spin control stand in for
// the dialog, the real library reads and writes the files.
#include "app/loaded_level.h"
#include "app/app_state.h"
#include "app/debug_output.h"
#include "app/level_catalogue.h"
#include "tests/level/level_fixtures.h"
#include "tests/support/hang_guard.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>

namespace gearloft {
namespace {

using testing::LevelFixture;
using testing::ReadFileBytes;
using testing::ReadRecord;
using testing::WordAt;

class FakeView : public LevelView, public SpinControl {
public:
    bool ExchangeFromControls(LevelFields& fields) override {
        fields = controls;
        return exchangeSucceeds;
    }
    void ExchangeToControls(const LevelFields& fields) override { controls = fields; }
    void SetEditingEnabled(bool enabled) override { editingEnabled = enabled; }
    void SetBusy(bool busy) override {
        busyDepth += busy ? 1 : -1;
        ASSERT_GE(busyDepth, 0);
    }
    int position() const override { return spin; }
    void setPosition(int position) override { spin = std::clamp(position, 0, 255); }

    LevelFields controls;
    bool exchangeSucceeds = true;
    bool editingEnabled = true;
    int busyDepth = 0;
    int spin = 0;
};

class LoadedLevelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        state.tessera = testing::Tessera();
        state.game.strGameDir = dir.path() + QLatin1Char('/');
        state.ui = &ui;
    }

    QString PathOf(int row) const {
        return dir.path() + QStringLiteral("/Qel_Rifs/") + catalogue.stem(row) +
               QStringLiteral(".rif");
    }

    QTemporaryDir dir;
    AppState state;
    testing::RecordingUserInteraction ui;
    LevelCatalogue catalogue;
    FakeView view;
    SpinSpearCount spinCount{view};
};

TEST_F(LoadedLevelTest, PlainFileIsWrittenBackCompressedWithEveryOtherByteKept) {
    LevelFixture fixture;
    fixture.compressed = false;
    fixture.equipment = 0xFFFFFFC0u;  // every bit the program must keep, no switch
    fixture.spears = 0xABCD0011u;
    fixture.recordSize = 64;
    testing::WriteLevelFile(PathOf(5), fixture);
    ASSERT_TRUE(ReadFileBytes(PathOf(5)).startsWith("REBINFF2"));
    const QByteArray before = testing::PlainStream(PathOf(5));
    const QByteArray recordBefore = ReadRecord(PathOf(5));

    LoadedLevel level(state, catalogue, view, spinCount);
    view.controls.nLevel = 5;
    level.Load();
    ASSERT_TRUE(level.hasRecord());
    EXPECT_TRUE(view.editingEnabled);
    EXPECT_EQ(view.spin, 0x11);  // low 16 bits 0x0011
    view.controls.switches = {true, true, true, true, true, true};
    view.spin = 200;
    ASSERT_TRUE(level.Save());

    EXPECT_TRUE(ReadFileBytes(PathOf(5)).startsWith("REBCRIF1"));
    const QByteArray recordAfter = ReadRecord(PathOf(5));
    ASSERT_EQ(recordAfter.size(), 64);
    EXPECT_EQ(WordAt(recordAfter, 16), 0xFFFFFFFFu);
    EXPECT_EQ(WordAt(recordAfter, 20), 200u);
    EXPECT_EQ(recordAfter.left(16), recordBefore.left(16));
    EXPECT_EQ(recordAfter.mid(24), recordBefore.mid(24));

    // Outside the record's eight edited bytes the level's content is the same.
    QByteArray after = testing::PlainStream(PathOf(5));
    const int at = before.indexOf(recordBefore);
    ASSERT_GE(at, 0);
    ASSERT_EQ(after.size(), before.size());
    after.replace(at + 16, 8, before.mid(at + 16, 8));
    EXPECT_EQ(after, before);
    EXPECT_EQ(view.busyDepth, 0);
}

// The exit steps let go of the library while a dialog may still hold a
// level: the level frees its tree through the library it came from, which it
// keeps until then, and saves through it too.
TEST_F(LoadedLevelTest, ALevelKeepsItsLibraryAfterTheProgramLetsGoOfIt) {
    testing::WriteLevelFile(PathOf(0), LevelFixture{});
    LoadedLevel level(state, catalogue, view, spinCount);
    view.controls.nLevel = 0;
    level.Load();
    ASSERT_TRUE(level.hasRecord());
    const std::weak_ptr<const TESSERAEXPORT> library = state.tessera;
    state.tessera.reset();
    EXPECT_FALSE(library.expired());
    view.spin = 9;
    EXPECT_TRUE(level.Save());
    EXPECT_EQ(WordAt(ReadRecord(PathOf(0)), 20), 9u);
    level.Release();
    EXPECT_FALSE(level.isLoaded());
    // The fixture's own copy is all that is left.
    EXPECT_EQ(library.use_count(), 1);
    // Without a library nothing loads, and nothing is called.
    level.Load();
    EXPECT_FALSE(level.isLoaded());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("ERROR: Failed to parse Level data!"));
}

TEST_F(LoadedLevelTest, RecordSizesAndMissingPartsDecideWhetherEditingIsPossible) {
    struct Case {
        const char* name;
        LevelFixture fixture;
        bool editable;
    };
    LevelFixture noRecord;
    noRecord.withRecord = false;
    LevelFixture exactly24;
    exactly24.recordSize = 24;
    LevelFixture short23;
    short23.recordSize = 23;
    const Case cases[] = {
        {"no record", noRecord, false},
        {"24 bytes", exactly24, true},
        {"23 bytes", short23, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::WriteLevelFile(PathOf(0), c.fixture);
        const QByteArray file = ReadFileBytes(PathOf(0));
        LoadedLevel level(state, catalogue, view, spinCount);
        view.controls.nLevel = 0;
        level.Load();
        EXPECT_TRUE(level.isLoaded());
        EXPECT_EQ(level.hasRecord(), c.editable);
        EXPECT_EQ(view.editingEnabled, c.editable);
        EXPECT_TRUE(ui.messages.empty());
        const int beeps = ui.beeps;
        EXPECT_EQ(level.Save(), c.editable);
        EXPECT_EQ(ui.beeps, beeps + (c.editable ? 0 : 1));
        if (!c.editable) {
            EXPECT_EQ(ReadFileBytes(PathOf(0)), file);
        }
    }
}

// Whatever stands in a level's place that is no level file is refused by
// name before anything is read: the message names the file and what it is,
// no level is loaded, and nothing blocks or reads without end (the guard
// fails the test when a load hangs).
TEST_F(LoadedLevelTest, WhatIsNoLevelFileIsRefusedByNameWithoutBlocking) {
    ASSERT_TRUE(QDir().mkpath(dir.path() + QStringLiteral("/Qel_Rifs")));
    const auto sparse = [](const QString& path, off_t size) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(0, ::ftruncate(fd, size));
        ::close(fd);
    };
    const struct {
        const char* name;
        std::function<void(const QString&)> make;
        const char* reason;
    } cases[] = {
        {"4 GiB sparse file", [&](const QString& path) { sparse(path, off_t{4} << 30); },
         "it is 4 GiB, more than the 64 MiB such a file may have"},
        {"100 MiB sparse file", [&](const QString& path) { sparse(path, off_t{100} << 20); },
         "it is 100 MiB, more than the 64 MiB such a file may have"},
        {"named pipe without a writer",
         [](const QString& path) {
             ASSERT_EQ(0, ::mkfifo(QFile::encodeName(path).constData(), 0644));
         },
         "it is a named pipe, not a file"},
        {"character device without end",
         [](const QString& path) { ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path)); },
         "it is a character device, not a file"},
        {"loop of symbolic links",
         [](const QString& path) { ASSERT_TRUE(QFile::link(path, path)); },
         "it is a loop of symbolic links, not a file"},
        {"a folder", [](const QString& path) { ASSERT_TRUE(QDir().mkpath(path)); },
         "it is a folder, not a file"},
    };
    QByteArrayList lines;
    const DebugOutputHook previous = SetDebugOutputHook(
        [](const char* line, void* context) {
            static_cast<QByteArrayList*>(context)->append(line);
        },
        &lines);
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = PathOf(row);
        c.make(path);
        ui.messages.clear();
        lines.clear();
        LoadedLevel level(state, catalogue, view, spinCount);
        view.controls.nLevel = row++;
        {
            const testing::HangGuard guard(c.name);
            level.Load();
        }
        EXPECT_FALSE(level.isLoaded());
        EXPECT_FALSE(view.editingEnabled);
        EXPECT_EQ(level.loadRefusal(), QLatin1String(c.reason));
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, QStringLiteral("ERROR: Failed to parse Level data!\n%1: %2.")
                                           .arg(path, QLatin1String(c.reason)));
        EXPECT_EQ(ui.messages[0].icon, MessageIcon::Error);
        EXPECT_EQ(lines, QByteArrayList{"ERROR: cannot load the level file '" +
                                        QFile::encodeName(path) + "': " + c.reason + "\n"});
        EXPECT_EQ(view.busyDepth, 0);
        // Nothing is loaded, so there is nothing to save over it.
        EXPECT_FALSE(level.Save());
    }
    SetDebugOutputHook(previous, nullptr);
}

TEST_F(LoadedLevelTest, FailedLoadLeavesNoLevelAndRowOutsideCatalogueOnlyBeeps) {
    LoadedLevel level(state, catalogue, view, spinCount);
    view.controls.nLevel = 7;
    view.spin = 99;
    view.controls.switches.fill(true);
    level.Load();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("ERROR: Failed to parse Level data!"));
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Error);
    EXPECT_FALSE(level.isLoaded());
    EXPECT_FALSE(view.editingEnabled);
    EXPECT_EQ(view.spin, 0);
    EXPECT_EQ(view.controls.switches, (std::array<bool, 6>{}));
    EXPECT_EQ(state.settings.GetInt("Settings", "Last Level", -1), 7);
    EXPECT_EQ(level.levelPath(), PathOf(7));
    EXPECT_EQ(view.busyDepth, 0);

    // A file that is not a chunk file is refused the same way.
    QDir().mkpath(dir.path() + QStringLiteral("/Qel_Rifs"));
    QFile junk(PathOf(8));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a level at all, just text");
    junk.close();
    view.controls.nLevel = 8;
    level.Load();
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_FALSE(level.isLoaded());

    for (int row : {-1, 59}) {
        view.controls.nLevel = row;
        const int beeps = ui.beeps;
        level.Load();
        EXPECT_EQ(ui.beeps, beeps + 1);
        EXPECT_EQ(state.settings.GetInt("Settings", "Last Level", -1), 8);
        EXPECT_EQ(ui.messages.size(), 2u);
    }
}

TEST_F(LoadedLevelTest, SaveThatCannotWriteReportsAndKeepsTheEdit) {
    testing::WriteLevelFile(PathOf(1), LevelFixture{});
    LoadedLevel level(state, catalogue, view, spinCount);
    view.controls.nLevel = 1;
    level.Load();
    ASSERT_TRUE(level.hasRecord());
    // The level's folder disappears while the level is open.
    ASSERT_TRUE(QDir(dir.path() + QStringLiteral("/Qel_Rifs")).removeRecursively());
    view.spin = 77;
    EXPECT_FALSE(level.Save());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("ERROR: Failed to compile and save Level data!"));
    EXPECT_TRUE(view.editingEnabled);
    // Once the folder is back, the same edit is saved.
    ASSERT_TRUE(QDir().mkpath(dir.path() + QStringLiteral("/Qel_Rifs")));
    EXPECT_TRUE(level.Save());
    EXPECT_EQ(WordAt(ReadRecord(PathOf(1)), 20), 77u);
}

TEST_F(LoadedLevelTest, SaveAsksFirstWhenTheFileChangedOnDisk) {
    // Each change happens between Load and the first Save; every answer is
    // Overwrite here (the dialog test plays the other answers).
    struct Case {
        const char* name;
        std::function<void(const QString&)> change;
        bool asks;
    };
    const auto rewrite = [](const QString& path, std::uint32_t equipment) {
        LevelFixture other;
        other.equipment = equipment;
        testing::WriteLevelFile(path, other);
    };
    const Case cases[] = {
        {"nothing", [](const QString&) {}, false},
        {"the same bytes written back",
         [](const QString& path) {
             const QByteArray bytes = ReadFileBytes(path);
             QFile file(path);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
             file.write(bytes);
         },
         false},
        // Same size, same folder entry: only the content tells.
        {"one byte changed in place",
         [](const QString& path) {
             QFile file(path);
             ASSERT_TRUE(file.open(QIODevice::ReadWrite));
             QByteArray bytes = file.readAll();
             bytes[bytes.size() - 1] = static_cast<char>(bytes.back() ^ 0x01);
             file.seek(0);
             file.write(bytes);
         },
         true},
        {"replaced by another level", [&](const QString& path) { rewrite(path, 0x3F); }, true},
        {"removed", [](const QString& path) { QFile::remove(path); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.asked.clear();
        testing::WriteLevelFile(PathOf(2), LevelFixture{});
        LoadedLevel level(state, catalogue, view, spinCount);
        view.controls.nLevel = 2;
        level.Load();
        ASSERT_TRUE(level.hasRecord());
        c.change(PathOf(2));
        view.spin = 61;
        EXPECT_TRUE(level.Save());
        EXPECT_EQ(ui.asked, c.asks ? std::vector<QString>{PathOf(2)} : std::vector<QString>{});
        EXPECT_EQ(WordAt(ReadRecord(PathOf(2)), 20), 61u);
        // Its own save is the version the next save compares with.
        view.spin = 62;
        EXPECT_TRUE(level.Save());
        EXPECT_EQ(ui.asked.size(), c.asks ? 1u : 0u);
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(LoadedLevelTest, FailuresLeaveALineInTheDebugOutput) {
    QStringList lines;
    const DebugOutputHook previous = SetDebugOutputHook(
        [](const char* message, void* context) {
            static_cast<QStringList*>(context)->append(QString::fromLocal8Bit(message));
        },
        &lines);
    LoadedLevel level(state, catalogue, view, spinCount);
    view.controls.nLevel = 3;
    level.Load();  // no file
    QDir().mkpath(dir.path() + QStringLiteral("/Qel_Rifs"));
    QFile junk(PathOf(4));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("damaged");
    junk.close();
    view.controls.nLevel = 4;
    level.Load();
    LevelFixture shortRecord;
    shortRecord.recordSize = 23;
    testing::WriteLevelFile(PathOf(5), shortRecord);
    view.controls.nLevel = 5;
    level.Load();
    testing::WriteLevelFile(PathOf(6), LevelFixture{});
    view.controls.nLevel = 6;
    level.Load();
    // A folder in the file's place makes the save fail.
    ASSERT_TRUE(QFile::remove(PathOf(6)));
    ASSERT_TRUE(QDir().mkpath(PathOf(6)));
    EXPECT_FALSE(level.Save());
    SetDebugOutputHook(previous, nullptr);
    EXPECT_EQ(
        lines,
        QStringList({
            QStringLiteral("ERROR: cannot load the level file '%1': no such file\n").arg(PathOf(3)),
            QStringLiteral("ERROR: cannot load the level file '%1': damaged or unreadable\n")
                .arg(PathOf(4)),
            QStringLiteral("WARNING: the equipment record of '%1' is 23 bytes, fewer than "
                           "24; editing is off\n")
                .arg(PathOf(5)),
            QStringLiteral("WARNING: '%1' changed on disk since it was loaded\n").arg(PathOf(6)),
            QStringLiteral("ERROR: cannot save the level file '%1'\n").arg(PathOf(6)),
        }));
}

TEST_F(LoadedLevelTest, FieldCountShowsTheWholeWordAndSavesAtMost255) {
    struct Case {
        std::uint32_t stored;
        std::int32_t shown;
        std::int32_t typed;
        std::uint32_t written;
    };
    const Case cases[] = {
        {1000, 1000, 1000, 255},
        {12, 12, 12, 12},
        {0x00010005, 0x00010005, -4, 255},
        {7, 7, 255, 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        LevelFixture fixture;
        fixture.spears = c.stored;
        testing::WriteLevelFile(PathOf(2), fixture);
        FieldSpearCount field;
        LoadedLevel level(state, catalogue, view, field);
        view.controls.nLevel = 2;
        level.Load();
        EXPECT_EQ(field.nSpears, c.shown);
        field.nSpears = c.typed;
        ASSERT_TRUE(level.Save());
        EXPECT_EQ(WordAt(ReadRecord(PathOf(2)), 20), c.written);
    }
}

TEST_F(LoadedLevelTest, FailedExchangeStopsSaveButNotLoad) {
    testing::WriteLevelFile(PathOf(3), LevelFixture{});
    LoadedLevel level(state, catalogue, view, spinCount);
    view.controls.nLevel = 3;
    view.exchangeSucceeds = false;
    level.Load();
    EXPECT_TRUE(level.hasRecord());
    const QByteArray file = ReadFileBytes(PathOf(3));
    view.spin = 1;
    EXPECT_FALSE(level.Save());
    EXPECT_EQ(ReadFileBytes(PathOf(3)), file);
    EXPECT_EQ(ui.beeps, 0);
}

TEST_F(LoadedLevelTest, LevelFolderAndFileAreFoundInOtherLetterCase) {
    const QString upper = dir.path() + QStringLiteral("/QEL_RIFS/") + catalogue.stem(4).toUpper() +
                          QStringLiteral(".RIF");
    testing::WriteLevelFile(upper, LevelFixture{});
    EXPECT_EQ(LoadedLevel::levelFilePath(state.game.strGameDir, catalogue.stem(4)), upper);
    // Without any match the exact name is used (and reported as missing).
    EXPECT_EQ(LoadedLevel::levelFilePath(state.game.strGameDir, catalogue.stem(5)), PathOf(5));
}

TEST_F(LoadedLevelTest, StartNamesTheSelectedLevelsStem) {
    LoadedLevel level(state, catalogue, view, spinCount);
    level.fields.nLevel = 33;
    EXPECT_TRUE(level.Start());
    EXPECT_EQ(state.strLaunchParameters, QStringLiteral("-n ") + catalogue.stem(33));
    level.fields.nLevel = -1;
    EXPECT_FALSE(level.Start());
    EXPECT_EQ(ui.beeps, 1);
}

}  // namespace
}  // namespace gearloft
