// What is run to start the game: a native program as it stands, a Windows
// program through Wine in the prefix it was found in.
#include "app/game_launch.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace gearloft {
namespace {

void Write(const QString& path, const QByteArray& bytes, bool executable) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    if (executable) {
        file.setPermissions(file.permissions() | QFile::ExeOwner);
    }
}

TEST(GameLaunch, WindowsProgramsGoThroughWineInTheirPrefixNativeOnesStartDirectly) {
    QTemporaryDir dir;
    const QString windowsGame = dir.filePath(QStringLiteral("Qel.exe"));
    const QString nativeGame = dir.filePath(QStringLiteral("qel"));
    const QString text = dir.filePath(QStringLiteral("readme.txt"));
    Write(windowsGame, "MZ\x90\x00", false);
    Write(nativeGame,
          "\x7f"
          "ELF\x02",
          true);
    Write(text, "#!/bin/sh\n", false);  // a script without the executable bit

    const QStringList level{QStringLiteral("-n"), QStringLiteral("c1l01")};
    const QString gameDir = dir.path() + QLatin1Char('/');
    const QString prefix = QStringLiteral("/home/player/.wine");

    struct Case {
        const char* what;
        QString program;
        QString winePrefix;
        QStringList installed;  // programs on the path
        bool starts;
        QString executable;
        QStringList arguments;
        QStringList environment;
    };
    const Case cases[] = {
        {"Windows game with its prefix",
         windowsGame,
         prefix,
         {QStringLiteral("wine"), QStringLiteral("wine64")},
         true,
         QStringLiteral("/usr/bin/wine"),
         QStringList{windowsGame} + level,
         {QStringLiteral("WINEPREFIX=") + prefix}},
        {"only the 64-bit loader installed",
         windowsGame,
         prefix,
         {QStringLiteral("wine64")},
         true,
         QStringLiteral("/usr/bin/wine64"),
         QStringList{windowsGame} + level,
         {QStringLiteral("WINEPREFIX=") + prefix}},
        {"prefix unknown: Wine's default",
         windowsGame,
         QString(),
         {QStringLiteral("wine")},
         true,
         QStringLiteral("/usr/bin/wine"),
         QStringList{windowsGame} + level,
         {}},
        {"native game", nativeGame, prefix, {QStringLiteral("wine")}, true, nativeGame, level, {}},
        {"no Wine", windowsGame, prefix, {}, false, {}, {}, {}},
        {"not a program", text, QString(), {QStringLiteral("wine")}, false, {}, {}, {}},
    };
    for (const Case& c : cases) {
        const QStringList installed = c.installed;
        const ProgramFinder finder = [&installed](const QString& name) {
            return installed.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
        };
        ResolvedLaunch resolved;
        QString whyNot;
        const bool starts =
            ResolveLaunch({c.program, level, gameDir, c.winePrefix}, finder, &resolved, &whyNot);
        ASSERT_EQ(starts, c.starts) << c.what;
        if (!starts) {
            EXPECT_TRUE(
                whyNot.startsWith(QStringLiteral("ERROR: Cannot start '%1'!\n").arg(c.program)))
                << c.what;
            continue;
        }
        EXPECT_EQ(resolved.executable, c.executable) << c.what;
        EXPECT_EQ(resolved.arguments, c.arguments) << c.what;
        EXPECT_EQ(resolved.workingDir, gameDir) << c.what;
        EXPECT_EQ(resolved.environment, c.environment) << c.what;
    }

    // Without Wine the message says what to install.
    ResolvedLaunch resolved;
    QString whyNot;
    ResolveLaunch(
        {windowsGame, {}, gameDir, prefix}, [](const QString&) { return QString(); }, &resolved,
        &whyNot);
    EXPECT_EQ(whyNot, QStringLiteral("ERROR: Cannot start '%1'!\nIt is a Windows program, and "
                                     "Wine is not installed: install the package \"wine\" to "
                                     "run it.")
                          .arg(windowsGame));
}

}  // namespace
}  // namespace gearloft
