// The level catalogue: its shape, the default equipment table and the
// catalogue file that renames rows for a player's own copy of the game.
#include "app/level_catalogue.h"
#include "app/debug_output.h"
#include "app/profile_file.h"
#include "tests/support/hang_guard.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <vector>

namespace gearloft {
namespace {

TEST(LevelCatalogueTest, RowsComeInTheirGroupsWithUniqueStems) {
    const LevelCatalogue catalogue;
    ASSERT_EQ(catalogue.rowCount(), 59);
    QSet<QString> stems;
    for (int row = 0; row < catalogue.rowCount(); ++row) {
        EXPECT_FALSE(catalogue.displayName(row).isEmpty()) << row;
        EXPECT_TRUE(LevelCatalogue::isUsableStem(catalogue.stem(row))) << row;
        stems.insert(catalogue.stem(row));
    }
    EXPECT_EQ(stems.size(), 59);

    struct Group {
        int first;
        int last;
        const char* prefix;
    };
    const Group groups[] = {
        {0, 4, "Ember Level "},  {5, 9, "Ember Bonus "},  {10, 15, "Tide Level "},
        {16, 20, "Tide Bonus "}, {21, 26, "Iron Level "}, {27, 31, "Iron Bonus "},
        {32, 45, "Arena "},      {46, 58, "Co-op "},
    };
    for (const Group& g : groups) {
        for (int row = g.first; row <= g.last; ++row) {
            const QString name = catalogue.displayName(row);
            EXPECT_TRUE(name.startsWith(QLatin1String(g.prefix))) << name.toStdString();
            EXPECT_TRUE(name.contains(QStringLiteral(" - "))) << name.toStdString();
        }
    }
    // The extended edition's rows: the last 9 deathmatch and last 8 co-op.
    for (int row = 32; row < 59; ++row) {
        const bool extended = (row >= 37 && row <= 45) || row >= 51;
        EXPECT_EQ(catalogue.displayName(row).endsWith(QStringLiteral(" (Plus)")), extended) << row;
    }
    EXPECT_TRUE(catalogue.displayName(-1).isEmpty());
    EXPECT_TRUE(catalogue.stem(59).isEmpty());
}

TEST(LevelCatalogueTest, DefaultEquipmentByRow) {
    struct Case {
        int row;
        std::uint32_t bits;
    };
    const Case cases[] = {
        {0, 0x17},  {2, 0x1F},  {4, 0x3F},  {15, 0x1F}, {16, 0x37}, {18, 0x37},
        {19, 0x37}, {21, 0x12}, {22, 0x12}, {26, 0x00}, {28, 0x1F}, {29, 0x1F},
        {30, 0x1F}, {31, 0x17}, {40, 0x17}, {58, 0x17}, {-1, 0x00}, {59, 0x00},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LevelCatalogue::defaultEquipment(c.row), c.bits) << "row " << c.row;
    }
}

TEST(LevelCatalogueTest, CatalogueFileReplacesRowsAndSkipsWhatCannotBeUsed) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.path() + QStringLiteral("/levels.cfg");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "; my copy of the game\r\n"
        "[Level 0]\r\n"
        "Name=First of mine\r\n"
        "Stem=mine01\r\n"
        "[Level 1]\n"
        "Stem=only the stem\n"
        "[Level 2]\n"
        "Name=\n"
        "Stem=../outside\n"
        "[Level 3]\n"
        "Stem=sub/dir\n"
        "[Level 58]\n"
        "Name=Last one\n"
        "[Level 59]\n"
        "Name=Not a row\n"
        "[Level x]\n"
        "Name=Not a number\n"
        "[Level 4\n"
        "Name=header without bracket\n");
    file.close();

    const LevelCatalogue builtIn;
    LevelCatalogue catalogue;
    QStringList lines;
    const auto capture = [](const char* message, void* context) {
        static_cast<QStringList*>(context)->append(QString::fromUtf8(message));
    };
    const DebugOutputHook previous = SetDebugOutputHook(capture, &lines);
    EXPECT_EQ(catalogue.ApplyOverrideFile(path), 4);
    SetDebugOutputHook(previous, nullptr);
    EXPECT_EQ(lines, QStringList({
                         QStringLiteral("levels.cfg: [Level 2] Name is empty; ignored\n"),
                         QStringLiteral("levels.cfg: [Level 2] Stem \"../outside\" is not a "
                                        "file name; ignored\n"),
                         QStringLiteral("levels.cfg: [Level 3] Stem \"sub/dir\" is not a file "
                                        "name; ignored\n"),
                     }));
    EXPECT_EQ(catalogue.displayName(0), QStringLiteral("First of mine"));
    EXPECT_EQ(catalogue.stem(0), QStringLiteral("mine01"));
    EXPECT_EQ(catalogue.displayName(1), builtIn.displayName(1));
    EXPECT_EQ(catalogue.stem(1), QStringLiteral("only the stem"));
    EXPECT_EQ(catalogue.displayName(2), builtIn.displayName(2));
    EXPECT_EQ(catalogue.stem(2), builtIn.stem(2));
    EXPECT_EQ(catalogue.stem(3), builtIn.stem(3));
    EXPECT_EQ(catalogue.displayName(4), builtIn.displayName(4));
    EXPECT_EQ(catalogue.displayName(58), QStringLiteral("Last one"));
    EXPECT_EQ(catalogue.stem(58), builtIn.stem(58));

    // No file, or a folder where the file should be: the built-in rows stay.
    LevelCatalogue untouched;
    EXPECT_EQ(untouched.ApplyOverrideFile(dir.path() + QStringLiteral("/absent.cfg")), 0);
    EXPECT_EQ(untouched.ApplyOverrideFile(dir.path()), 0);
    EXPECT_EQ(untouched.stem(0), builtIn.stem(0));
}

// Whatever stands at levels.cfg, the built-in rows stay unless it is a
// catalogue file: binary bytes rename nothing, and what cannot be read as one
// (too large, a folder, a pipe, no permission) is reported with the reason.
TEST(LevelCatalogueTest, HostileCatalogueFilesKeepTheBuiltInRows) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.path() + QStringLiteral("/levels.cfg");
    // Bytes of every value, NULs among them, no section header, and a last
    // line of half a megabyte without a line end.
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i) {
        const char c = static_cast<char>((i * 37 + 11) % 256);
        garbage.append(c == '[' ? '\0' : c);
    }
    garbage.append(QByteArray(512 * 1024, 'x'));
    const auto write = [&](const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    };
    struct Case {
        const char* name;
        std::function<void()> make;
        const char* reason;  // null: read, nothing to report
    };
    std::vector<Case> cases = {
        {"binary garbage", [&] { write(garbage); }, nullptr},
        {"a record of NULs and bytes above 127",
         [&] { write(QByteArray("[Level 0]\nName=\0\xff\xfe\nStem=\0\0", 26)); }, nullptr},
        {"100 MiB",
         [&] {
             write(QByteArray());
             ASSERT_TRUE(QFile(path).resize(qint64{100} << 20));
         },
         "it is 100 MiB, more than the 1 MiB such a file may have"},
        {"a folder", [&] { ASSERT_TRUE(QDir().mkpath(path)); }, "it is a folder, not a file"},
        {"a named pipe without a writer",
         [&] { ASSERT_EQ(0, ::mkfifo(QFile::encodeName(path).constData(), 0644)); },
         "it is a named pipe, not a file"},
    };
    // Permission bits bind everyone but the superuser, who reads the file
    // anyway: the case is left out where it would test nothing.
    if (::geteuid() != 0) {
        cases.push_back({"no read permission",
                         [&] {
                             write("[Level 0]\nName=Hidden\n");
                             ASSERT_TRUE(QFile(path).setPermissions(QFile::WriteOwner));
                         },
                         "Permission denied"});
    }
    const LevelCatalogue builtIn;
    QStringList lines;
    const DebugOutputHook previous = SetDebugOutputHook(
        [](const char* message, void* context) {
            static_cast<QStringList*>(context)->append(QString::fromUtf8(message));
        },
        &lines);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path);
        QDir(path).removeRecursively();
        c.make();
        lines.clear();
        LevelCatalogue catalogue;
        {
            const testing::HangGuard guard(c.name);
            EXPECT_EQ(catalogue.ApplyOverrideFile(path), 0);
        }
        for (int row = 0; row < catalogue.rowCount(); ++row) {
            EXPECT_EQ(catalogue.displayName(row), builtIn.displayName(row)) << row;
            EXPECT_EQ(catalogue.stem(row), builtIn.stem(row)) << row;
        }
        if (c.reason != nullptr) {
            EXPECT_EQ(lines, QStringList{QStringLiteral("levels.cfg: cannot read %1 (%2); "
                                                        "built-in names kept\n")
                                             .arg(path, QLatin1String(c.reason))});
        }
    }
    SetDebugOutputHook(previous, nullptr);
}

TEST(LevelCatalogueTest, StemsThatAreNotPlainFileNamesAreRefused) {
    for (const char* stem : {"", ".", "..", "a/b", "a\\b", "tab\there"}) {
        EXPECT_FALSE(LevelCatalogue::isUsableStem(QString::fromLatin1(stem))) << stem;
    }
    for (const char* stem : {"c1l01", "my level", "...x", "Über"}) {
        EXPECT_TRUE(LevelCatalogue::isUsableStem(QString::fromUtf8(stem))) << stem;
    }
}

}  // namespace
}  // namespace gearloft
