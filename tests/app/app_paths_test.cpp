// Where the program keeps its files: beside itself in the build folder, in
// the user's folders and the installed data folders once installed.
#include "app/app_paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace gearloft {
namespace {

TEST(AppPaths, BuildFolderKeepsEverythingBesideTheProgram) {
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("build/bin/gearloft"));
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    const AppPaths paths = ResolveAppPaths(program, environment, dir.filePath(QStringLiteral("h")));
    const QString bin = dir.filePath(QStringLiteral("build/bin"));
    EXPECT_FALSE(paths.installed);
    EXPECT_EQ(paths.settingsFile, bin + QStringLiteral("/gearloft.cfg"));
    EXPECT_EQ(paths.levelsCfg, bin + QStringLiteral("/levels.cfg"));
    EXPECT_EQ(paths.skinFolders, QStringList{bin});
    EXPECT_EQ(paths.helpFile, bin + QStringLiteral("/gearloft.html"));
}

TEST(AppPaths, InstalledProgramUsesTheUsersAndTheInstalledFolders) {
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("usr"));
    const QString program = prefix + QStringLiteral("/bin/gearloft");
    const QString skins = InstalledSkinsDir(prefix + QStringLiteral("/bin"));
    ASSERT_TRUE(skins.startsWith(prefix + QStringLiteral("/lib"))) << skins.toStdString();
    ASSERT_TRUE(QDir().mkpath(skins));
    const QString home = dir.filePath(QStringLiteral("home"));

    struct Case {
        const char* what;
        QString configHome;
        QString dataHome;
        QString config;  // expected settings folder
        QString data;    // expected user skins folder
    };
    const Case cases[] = {
        {"XDG folders set", dir.filePath(QStringLiteral("cfg")),
         dir.filePath(QStringLiteral("dat")), dir.filePath(QStringLiteral("cfg/Gearloft")),
         dir.filePath(QStringLiteral("dat/gearloft/skins"))},
        {"XDG folders unset", QString(), QString(), home + QStringLiteral("/.config/Gearloft"),
         home + QStringLiteral("/.local/share/gearloft/skins")},
        {"relative XDG folders are ignored", QStringLiteral("cfg"), QStringLiteral("dat"),
         home + QStringLiteral("/.config/Gearloft"),
         home + QStringLiteral("/.local/share/gearloft/skins")},
    };
    for (const Case& c : cases) {
        QProcessEnvironment environment;
        if (!c.configHome.isEmpty()) {
            environment.insert(QStringLiteral("XDG_CONFIG_HOME"), c.configHome);
            environment.insert(QStringLiteral("XDG_DATA_HOME"), c.dataHome);
        }
        const AppPaths paths = ResolveAppPaths(program, environment, home);
        EXPECT_TRUE(paths.installed) << c.what;
        EXPECT_EQ(paths.settingsFile, c.config + QStringLiteral("/gearloft.cfg")) << c.what;
        EXPECT_EQ(paths.levelsCfg, c.config + QStringLiteral("/levels.cfg")) << c.what;
        EXPECT_EQ(paths.skinFolders, (QStringList{skins, c.data})) << c.what;
        EXPECT_EQ(paths.helpFile, prefix + QStringLiteral("/share/doc/gearloft/gearloft.html"))
            << c.what;
    }

    // A "Skin" setting names a file found in either skins folder.
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("dat")));
    const AppPaths paths = ResolveAppPaths(program, environment, home);
    ASSERT_TRUE(QDir().mkpath(paths.skinFolders[1]));
    QFile own(paths.skinFolders[1] + QStringLiteral("/mine.skn"));
    ASSERT_TRUE(own.open(QIODevice::WriteOnly));
    QFile shipped(paths.skinFolders[0] + QStringLiteral("/shipped.skn"));
    ASSERT_TRUE(shipped.open(QIODevice::WriteOnly));
    EXPECT_EQ(FindSkinFile(paths.skinFolders, QStringLiteral("mine.skn")), own.fileName());
    EXPECT_EQ(FindSkinFile(paths.skinFolders, QStringLiteral("shipped.skn")), shipped.fileName());
    EXPECT_EQ(FindSkinFile(paths.skinFolders, QStringLiteral("gone.skn")),
              paths.skinFolders[0] + QStringLiteral("/gone.skn"));
    EXPECT_EQ(FindSkinFile(paths.skinFolders, QStringLiteral("/abs/x.skn")),
              QStringLiteral("/abs/x.skn"));
}

}  // namespace
}  // namespace gearloft
