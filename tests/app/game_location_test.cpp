// Finding the game: the registry's directory, the default search, the Open
// file dialog; and the registry store that remembers the answer.
#include "app/game_location.h"
#include "platform/file_registry_store.h"
#include "start_up_fakes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace gearloft {
namespace {

using testing::RecordingUserInteraction;
using testing::ScriptedFileDialog;

const QByteArray kKey = "Software\\Ombrine\\Qelmarch";

// Counts the writes that reach the real file store.
class CountingRegistry : public FileRegistryStore {
public:
    using FileRegistryStore::FileRegistryStore;
    bool WriteRegistryString(RegistryRoot root, const QByteArray& keyPath,
                             const QByteArray& valueName, const QByteArray& text) override {
        ++writes;
        return FileRegistryStore::WriteRegistryString(root, keyPath, valueName, text);
    }
    int writes = 0;
};

class GameLocationTest : public ::testing::Test {
protected:
    // A folder under the temporary one, holding a file `exe` when given.
    QString MakeDir(const QString& name, const QString& exe = QString()) {
        const QString dir = root.filePath(name);
        EXPECT_TRUE(QDir().mkpath(dir));
        if (!exe.isEmpty()) {
            QFile file(QDir(dir).filePath(exe));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("MZ");
        }
        return dir;
    }
    void StorePath(const QString& dir) {
        ASSERT_TRUE(FileRegistryStore(registryDir())
                        .WriteRegistryString(RegistryRoot::LocalMachine, kKey, "Path",
                                             QFile::encodeName(dir)));
    }
    QByteArray StoredPath() {
        return FileRegistryStore(registryDir())
            .ReadRegistryString(RegistryRoot::LocalMachine, kKey, "Path", "<none>");
    }
    QString registryDir() const { return root.filePath(QStringLiteral("config/Gearloft")); }
    bool Find(const QStringList& searchDirs) {
        GameSearch search{registry, dialog, ui, searchDirs};
        return FindGame(game, search);
    }

    QTemporaryDir root;
    CountingRegistry registry{registryDir()};
    ScriptedFileDialog dialog;
    RecordingUserInteraction ui;
    GameLocation game;
};

TEST_F(GameLocationTest, RegistryDirectoryIsUsedAsStored) {
    const QString dir = MakeDir(QStringLiteral("Qelmarch"), QStringLiteral("Qel.exe"));
    for (const QString& stored : {dir, dir + QLatin1Char('/')}) {
        StorePath(stored);
        ASSERT_TRUE(Find({}));
        EXPECT_EQ(game.strGameDir, dir + QLatin1Char('/'));
        EXPECT_EQ(game.strGameExe, dir + QStringLiteral("/Qel.exe"));
    }
    EXPECT_EQ(registry.writes, 0);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(dialog.shown, 0);
}

TEST_F(GameLocationTest, ExecutableNameInOtherCaseIsFound) {
    const QString dir = MakeDir(QStringLiteral("CDROM"), QStringLiteral("QEL.EXE"));
    StorePath(dir);
    ASSERT_TRUE(Find({}));
    EXPECT_EQ(game.strGameExe, dir + QStringLiteral("/QEL.EXE"));
    EXPECT_EQ(game.strGameDir, dir + QLatin1Char('/'));
}

TEST_F(GameLocationTest, DefaultSearchFindsTheGameAndRemembersIt) {
    const QString empty = MakeDir(QStringLiteral("old install"));
    MakeDir(QStringLiteral("old install/Qel.exe"));  // a folder of that name does not count
    const QString other = MakeDir(QStringLiteral("elsewhere"));
    const QString found = MakeDir(QStringLiteral("games/qel"), QStringLiteral("qel.exe"));
    StorePath(empty);

    ASSERT_TRUE(Find({other, found}));
    EXPECT_EQ(game.strGameExe, found + QStringLiteral("/qel.exe"));
    EXPECT_EQ(game.strGameDir, found + QLatin1Char('/'));
    EXPECT_EQ(StoredPath(), QFile::encodeName(found));
    EXPECT_EQ(dialog.shown, 0);

    // The store is the profile file that the demo scripts also write.
    QFile store(QDir(registryDir()).filePath(QStringLiteral("HKEY_LOCAL_MACHINE.ini")));
    ASSERT_TRUE(store.open(QIODevice::ReadOnly));
    EXPECT_EQ(store.readAll(),
              "[Software\\Ombrine\\Qelmarch]\nPath=" + QFile::encodeName(found) + "\n\n");
}

TEST_F(GameLocationTest, DialogRefusesOtherNamesAndAcceptsTheGameInAnyCase) {
    const QString dir = MakeDir(QStringLiteral("odd\\name"), QStringLiteral("qel.EXE"));
    dialog.choices = {dir + QStringLiteral("/setup.exe"), dir + QStringLiteral("/Qel.exe.bak"),
                      dir + QStringLiteral("/qel.EXE")};

    ASSERT_TRUE(Find({MakeDir(QStringLiteral("nowhere"))}));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].first,
              QStringLiteral("ERROR: Cannot find Qelmarch!\n"
                             "Please specify the Path to QEL.EXE in the following Dialog."));
    EXPECT_EQ(ui.messages[0].second, MessageIcon::Information);
    EXPECT_EQ(dialog.shown, 1);
    EXPECT_EQ(dialog.refused, 2);
    EXPECT_EQ(ui.beeps, 2);
    // A "\" inside a folder name is part of the name, not a separator.
    EXPECT_EQ(game.strGameDir, dir + QLatin1Char('/'));
    EXPECT_EQ(StoredPath(), QFile::encodeName(dir));

    // The next start finds it without asking.
    RecordingUserInteraction quiet;
    GameSearch search{registry, dialog, quiet, {}};
    GameLocation next;
    ASSERT_TRUE(FindGame(next, search));
    EXPECT_EQ(next.strGameDir, dir + QLatin1Char('/'));
    EXPECT_TRUE(quiet.messages.empty());
}

TEST_F(GameLocationTest, CancelledDialogFailsWithoutStoring) {
    ASSERT_FALSE(Find({}));
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(dialog.shown, 1);
    EXPECT_EQ(registry.writes, 0);
    EXPECT_EQ(StoredPath(), "<none>");
}

TEST(FileRegistryStore, ReadsDefaultsAndRefusesWhatItCannotHold) {
    QTemporaryDir root;
    FileRegistryStore store(root.filePath(QStringLiteral("a/b")));
    const auto read = [&store](const QByteArray& key) {
        return store.ReadRegistryString(RegistryRoot::LocalMachine, key, "Path", "dflt");
    };
    EXPECT_EQ(read(kKey), "dflt");  // no store yet

    EXPECT_FALSE(store.WriteRegistryString(RegistryRoot::LocalMachine, kKey, "Path", "a\nb"));
    ASSERT_TRUE(store.WriteRegistryString(RegistryRoot::LocalMachine, "Other\\Key", "Path", "x"));
    ASSERT_TRUE(store.WriteRegistryString(RegistryRoot::LocalMachine, kKey, "Path", "/games"));
    EXPECT_EQ(read("software\\OMBRINE\\qelmarch"), "/games");
    EXPECT_EQ(read("Other\\Key"), "x");

    // The caller takes at most 4095 bytes: a longer text reads as the default
    // rather than as a cut path.
    ASSERT_TRUE(
        store.WriteRegistryString(RegistryRoot::LocalMachine, kKey, "Path", QByteArray(4095, 'p')));
    EXPECT_EQ(read(kKey).size(), 4095);
    ASSERT_TRUE(
        store.WriteRegistryString(RegistryRoot::LocalMachine, kKey, "Path", QByteArray(4096, 'p')));
    EXPECT_EQ(read(kKey), "dflt");
}

TEST(FileRegistryStore, DefaultFolderFollowsTheUsersConfigurationFolder) {
    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/tmp/gearloft-config-test");
    EXPECT_EQ(FileRegistryStore::DefaultFolder(),
              QStringLiteral("/tmp/gearloft-config-test/Gearloft"));
    if (previous.isEmpty()) {
        qunsetenv("XDG_CONFIG_HOME");
    } else {
        qputenv("XDG_CONFIG_HOME", previous);
    }
}

}  // namespace
}  // namespace gearloft
