// The game inside a Wine prefix: reading Wine's registry files, listing the
// prefixes, mapping the game's Windows folder onto the prefix's drives, and
// finding and remembering it without asking anyone.
#include "app/game_location.h"
#include "app/wine_prefixes.h"
#include "platform/file_registry_store.h"
#include "platform/wine_registry_file.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace gearloft {
namespace {

const QString kKey = QStringLiteral("Software\\Ombrine\\Qelmarch");

// A system.reg as Wine writes it, with the lines around the key that a
// reader must step over.
const QByteArray kSystemReg = R"(WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=win64

[Software\\Classes\\.exe] 1733812000
#time=1db4a1f0c2e3d00
@="exefile"

[Software\\Ombrine\\Qelmarch] 1733812345
#time=1db4a1f0c2e3d01
"Binary"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\
  16,17,18,19,1a
"Count"=dword:00000003
"Expand"=str(2):"%ProgramFiles%\\Qelmarch"
"Path"="D:\\Games\\Qelmarch"
"Quote \"name\""="say \"hi\"\tthere\\"
"Unicode"="Caf\xe9 \x263a end\x41"
"Octal"="\101\102"
"Empty"=""

[Software\\Wow6432Node\\Ombrine\\Qelmarch] 1733812346
"Path"="C:\\Program Files (x86)\\Ombrine\\Qelmarch\\"
"Version"="1.0"
)";

TEST(WineRegistryFile, ReadsStringValuesWithTheirEscapesAndSkipsTheRest) {
    struct Case {
        const char* what;
        QString key;
        QString value;
        std::optional<QString> expected;
    };
    const QString wow = QStringLiteral("Software\\Wow6432Node\\Ombrine\\Qelmarch");
    const Case cases[] = {
        {"plain path, doubled backslashes undone", kKey, QStringLiteral("Path"),
         QStringLiteral("D:\\Games\\Qelmarch")},
        {"names in other letter case", QStringLiteral("SOFTWARE\\ombrine\\QELMARCH"),
         QStringLiteral("path"), QStringLiteral("D:\\Games\\Qelmarch")},
        {"key written with forward slashes", QStringLiteral("Software/Ombrine/Qelmarch"),
         QStringLiteral("Path"), QStringLiteral("D:\\Games\\Qelmarch")},
        {"quotes and tab in name and text", kKey, QStringLiteral("Quote \"name\""),
         QStringLiteral("say \"hi\"\tthere\\")},
        {"hex escapes of one and four digits", kKey, QStringLiteral("Unicode"),
         QStringLiteral("Caf\u00e9 \u263a endA")},
        {"octal escapes", kKey, QStringLiteral("Octal"), QStringLiteral("AB")},
        {"empty string", kKey, QStringLiteral("Empty"), QString()},
        {"default value", QStringLiteral("Software\\Classes\\.exe"), QStringLiteral("@"),
         QStringLiteral("exefile")},
        {"32-bit installer's key", wow, QStringLiteral("Path"),
         QStringLiteral("C:\\Program Files (x86)\\Ombrine\\Qelmarch\\")},
        {"hex value is no string", kKey, QStringLiteral("Binary"), std::nullopt},
        {"dword is no string", kKey, QStringLiteral("Count"), std::nullopt},
        {"str(2) is skipped", kKey, QStringLiteral("Expand"), std::nullopt},
        {"value only in another key", kKey, QStringLiteral("Version"), std::nullopt},
        {"missing key", QStringLiteral("Software\\Ombrine"), QStringLiteral("Path"), std::nullopt},
        {"key that only starts the same", QStringLiteral("Software\\Ombrine\\Qel"),
         QStringLiteral("Path"), std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WineRegistryFile::FindString(kSystemReg, c.key, c.value), c.expected) << c.what;
    }

    // The continued lines of a hex value are not read as values, even when
    // they look like one; CR LF line ends read as LF.
    const QByteArray tricky =
        "WINE REGISTRY Version 2\r\n"
        "[Software\\\\Ombrine\\\\Qelmarch] 1\r\n"
        "\"Blob\"=hex:00,\\\r\n"
        "\"Path\"=\"C:\\\\fake\"\r\n"
        "\"Path\"=\"C:\\\\real\"\r\n";
    EXPECT_EQ(WineRegistryFile::FindString(tricky, kKey, QStringLiteral("Path")),
              QStringLiteral("C:\\real"));

    // Not a registry file, or a text cut short inside a value.
    EXPECT_EQ(WineRegistryFile::FindString("REGEDIT4\n" + kSystemReg.mid(24), kKey,
                                           QStringLiteral("Path")),
              std::nullopt);
    EXPECT_EQ(WineRegistryFile::FindString("WINE REGISTRY Version 2\n"
                                           "[Software\\\\Ombrine\\\\Qelmarch] 1\n"
                                           "\"Path\"=\"C:\\\\Games",
                                           kKey, QStringLiteral("Path")),
              std::nullopt);
    EXPECT_EQ(WineRegistryFile().ReadString(QStringLiteral("/nonexistent/system.reg"), kKey,
                                            QStringLiteral("Path")),
              std::nullopt);
}

// A home folder with Wine prefixes in it, each with drive_c, dosdevices links
// and a system.reg.
class WinePrefixTest : public ::testing::Test {
protected:
    QString Home() const { return root.filePath(QStringLiteral("home")); }

    // A prefix whose drive D: is a folder outside it, and whose registry
    // holds `registry` (the key section and its values).
    QString MakePrefix(const QString& relative, const QByteArray& registry) {
        const QString prefix = QDir(Home()).filePath(relative);
        EXPECT_TRUE(QDir().mkpath(prefix + QStringLiteral("/drive_c/windows")));
        EXPECT_TRUE(QDir().mkpath(prefix + QStringLiteral("/dosdevices")));
        const QString driveD = prefix + QStringLiteral("-drive-d");
        EXPECT_TRUE(QDir().mkpath(driveD));
        EXPECT_TRUE(
            QFile::link(QStringLiteral("../drive_c"), prefix + QStringLiteral("/dosdevices/c:")));
        EXPECT_TRUE(QFile::link(driveD, prefix + QStringLiteral("/dosdevices/d:")));
        Write(prefix + QStringLiteral("/system.reg"),
              "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n" +
                  registry);
        return prefix;
    }
    static void Write(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QProcessEnvironment Environment(const QString& winePrefix = QString()) const {
        QProcessEnvironment environment;
        if (!winePrefix.isEmpty()) {
            environment.insert(QStringLiteral("WINEPREFIX"), winePrefix);
        }
        return environment;
    }

    QTemporaryDir root;
    WineRegistryFile reader;
};

TEST_F(WinePrefixTest, TheGameOnDriveDIsFoundFromWinePrefixWithOtherLetterCase) {
    const QString prefix = MakePrefix(QStringLiteral("prefixes/qel"),
                                      "[Software\\\\Ombrine\\\\Qelmarch] 1733812345\n"
                                      "\"Path\"=\"d:\\\\GAMES\\\\qelmarch\\\\\"\n");
    // On disk the names differ in letter case from the registry's.
    Write(prefix + QStringLiteral("-drive-d/Games/Qelmarch/QEL.EXE"), "MZ");

    const QStringList prefixes = WinePrefixFolders(Environment(prefix), Home());
    ASSERT_EQ(prefixes, QStringList{prefix});
    const std::optional<WineGame> game = FindGameInWinePrefixes({&reader, prefixes});
    ASSERT_TRUE(game.has_value());
    const QString real = QFileInfo(prefix + QStringLiteral("-drive-d")).canonicalFilePath();
    EXPECT_EQ(game->prefix, prefix);
    EXPECT_EQ(game->gameDir, real + QStringLiteral("/Games/Qelmarch"));
    EXPECT_EQ(game->gameExe, real + QStringLiteral("/Games/Qelmarch/QEL.EXE"));
}

TEST_F(WinePrefixTest, ASteamPrefixWithTheThirtyTwoBitKeyIsFoundAndRemembered) {
    // ~/.wine holds a key whose folder has no game: it is passed over.
    MakePrefix(QStringLiteral(".wine"),
               "[Software\\\\Ombrine\\\\Qelmarch] 1\n"
               "\"Path\"=\"C:\\\\Removed\"\n");
    const QString steam =
        MakePrefix(QStringLiteral(".local/share/Steam/steamapps/compatdata/4242/pfx"),
                   "[Software\\\\Wow6432Node\\\\Ombrine\\\\Qelmarch] 1\n"
                   "\"Path\"=\"C:\\\\Program Files (x86)\\\\Qelmarch\"\n");
    Write(steam + QStringLiteral("/drive_c/Program Files (x86)/Qelmarch/Qel.exe"), "MZ");
    // ~/.steam/steam is a link to the same Steam folder: the prefix is listed once.
    ASSERT_TRUE(QDir().mkpath(Home() + QStringLiteral("/.steam")));
    ASSERT_TRUE(QFile::link(Home() + QStringLiteral("/.local/share/Steam"),
                            Home() + QStringLiteral("/.steam/steam")));

    const QStringList prefixes = WinePrefixFolders(Environment(), Home());
    ASSERT_EQ(prefixes.size(), 2) << prefixes.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(prefixes[0], Home() + QStringLiteral("/.wine"));

    // Found without asking, and remembered in our own store with its prefix.
    FileRegistryStore registry(root.filePath(QStringLiteral("config/Gearloft")));
    GameLocation game;
    ASSERT_TRUE(LocateGame(game, registry, {&reader, prefixes}, {}));
    const QString dir = QFileInfo(steam + QStringLiteral("/drive_c")).canonicalFilePath() +
                        QStringLiteral("/Program Files (x86)/Qelmarch");
    EXPECT_EQ(game.strGameDir, dir + QLatin1Char('/'));
    EXPECT_EQ(game.strGameExe, dir + QStringLiteral("/Qel.exe"));
    EXPECT_TRUE(game.winePrefix.endsWith(QStringLiteral("/compatdata/4242/pfx")));
    EXPECT_EQ(registry.ReadRegistryString(RegistryRoot::LocalMachine, kGameRegistryKey, "Path", ""),
              QFile::encodeName(dir));

    // The next run takes the store's answer, prefix included, with no prefix
    // to search.
    GameLocation again;
    ASSERT_TRUE(LocateGame(again, registry, {}, {}));
    EXPECT_EQ(again.strGameExe, game.strGameExe);
    EXPECT_EQ(again.winePrefix, game.winePrefix);

    // Nothing anywhere: not found, and nobody was asked.
    FileRegistryStore empty(root.filePath(QStringLiteral("other/Gearloft")));
    EXPECT_FALSE(LocateGame(again, empty, {&reader, {}}, {}));
}

TEST_F(WinePrefixTest, WindowsPathsMapThroughTheDriveLinksOnly) {
    const QString prefix = MakePrefix(QStringLiteral(".wine"), "");
    const QString driveC = QFileInfo(prefix + QStringLiteral("/drive_c")).canonicalFilePath();
    ASSERT_TRUE(QDir().mkpath(driveC + QStringLiteral("/Program Files")));
    struct Case {
        const char* windows;
        QString linux;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Qelmarch", driveC + QStringLiteral("/Program Files/Qelmarch")},
        {"c:\\PROGRAM FILES\\.\\", driveC + QStringLiteral("/Program Files")},
        {"C:/Program Files", driveC + QStringLiteral("/Program Files")},
        {"C:", driveC},
        {"E:\\Games", QString()},          // no such drive
        {"\\\\server\\share", QString()},  // not a drive path
        {"Games\\Qelmarch", QString()},
        {"C:Games", QString()},
        {"C:\\..\\..\\etc", QString()},  // never leaves the drive
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MapWindowsPath(prefix, QString::fromLatin1(c.windows)), c.linux) << c.windows;
    }

    // A prefix without dosdevices still has its drive C:.
    QDir(prefix).remove(QStringLiteral("dosdevices/c:"));
    EXPECT_EQ(MapWindowsPath(prefix, QStringLiteral("C:\\Program Files")),
              driveC + QStringLiteral("/Program Files"));

    // The prefix of a path inside it, and none for a path outside any.
    EXPECT_EQ(WinePrefixOf(driveC + QStringLiteral("/Program Files/Qel.exe")),
              QFileInfo(prefix).canonicalFilePath());
    EXPECT_EQ(WinePrefixOf(root.filePath(QStringLiteral("elsewhere/Qel.exe"))), QString());
}

}  // namespace
}  // namespace gearloft
