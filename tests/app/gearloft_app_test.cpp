// One run of the program from start-up to the exit steps, with the services
// replaced; the splash screen and the platform services on their own.
#include "ui/gearloft_app.h"
#include "app/debug_output.h"
#include "app/profile_file.h"
#include "app/wine_prefixes.h"
#include "platform/file_registry_store.h"
#include "platform/message_box_interaction.h"
#include "platform/process_launcher.h"
#include "platform/qt_game_file_dialog.h"
#include "start_up_fakes.h"
#include "tests/support/hang_guard.h"
#include "ui/splash_dialog.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

namespace gearloft {
namespace {

using testing::RecordingLauncher;
using testing::RecordingUserInteraction;
using testing::ScriptedFileDialog;

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& path, const QByteArray& bytes,
               QFile::Permissions extra = QFile::Permissions()) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
    file.close();
    file.setPermissions(file.permissions() | extra);
}

class GearloftAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(binDir()));
        ASSERT_TRUE(QDir().mkpath(gameDir()));
        WriteFile(gameDir() + QStringLiteral("/Qel.exe"), "MZ");
        state.programPath = binDir() + QStringLiteral("/gearloft");
        services.ui = &ui;
        services.registry = &registry;
        services.fileDialog = &dialog;
        services.launcher = &launcher;
        services.libraryCandidates = QStringList{QStringLiteral(FAKE_TESSERA_OK)};
        services.gameSearchDirs = QStringList{gameDir()};
        services.runSplash = [this](AppState& s) { splashShown.push_back(s.splashDuration); };
        services.runMainDialog = [this](AppState& s) {
            ++dialogRuns;
            cwdDuringDialog = QDir::currentPath();
            if (onDialog) {
                onDialog(s);
            }
            return dialogResult;
        };
    }
    void TearDown() override { QDir::setCurrent(startDir); }

    int Run() {
        GearloftApp app(state, services);
        return app.Run();
    }
    QString binDir() const { return root.filePath(QStringLiteral("build/bin")); }
    QString gameDir() const { return root.filePath(QStringLiteral("games/Qelmarch")); }
    QString settingsPath() const { return binDir() + QStringLiteral("/gearloft.cfg"); }

    const QString startDir = QDir::currentPath();
    QTemporaryDir root;
    AppState state;
    RecordingUserInteraction ui;
    FileRegistryStore registry{root.filePath(QStringLiteral("config"))};
    ScriptedFileDialog dialog;
    RecordingLauncher launcher;
    StartUpServices services;
    std::vector<std::uint32_t> splashShown;
    int dialogRuns = 0;
    int dialogResult = 2;
    QString cwdDuringDialog;
    std::function<void(AppState&)> onDialog;
};

TEST_F(GearloftAppTest, StartLaunchesTheGameWithParametersOnlyWhenAsked) {
    struct Case {
        const char* name;
        int dialogResult;
        const char* startLevel;  // null: not set
        bool launched;
        QStringList arguments;
    } const cases[] = {
        {"start, start level", 1, "1", true, {QStringLiteral("-n"), QStringLiteral("Cradle")}},
        {"start, no start level", 1, nullptr, true, {}},
        {"start, start level 0", 1, "0", true, {}},
        {"quit", 2, "1", false, {}},
    };
    for (const Case& c : cases) {
        AppState fresh;
        fresh.programPath = state.programPath;
        QFile::remove(settingsPath());
        if (c.startLevel != nullptr) {
            WriteFile(settingsPath(), QByteArray("[Settings]\nStart Level=") + c.startLevel + "\n");
        }
        launcher.calls.clear();
        dialogResult = c.dialogResult;
        onDialog = [](AppState& s) { s.strLaunchParameters = QStringLiteral("-n Cradle"); };

        GearloftApp app(fresh, services);
        EXPECT_EQ(app.Run(), 0) << c.name;
        ASSERT_EQ(launcher.calls.size(), c.launched ? 1u : 0u) << c.name;
        if (c.launched) {
            EXPECT_EQ(launcher.calls[0].program, gameDir() + QStringLiteral("/Qel.exe")) << c.name;
            EXPECT_EQ(launcher.calls[0].arguments, c.arguments) << c.name;
            EXPECT_EQ(launcher.calls[0].workingDir, gameDir() + QLatin1Char('/')) << c.name;
        }
    }
    EXPECT_TRUE(ui.messages.empty());
}

// Answers every registry question with one Windows folder.
class OneFolderRegistry : public WineRegistryReader {
public:
    std::optional<QString> ReadString(const QString&, const QString&,
                                      const QString&) const override {
        return QStringLiteral("C:\\Games\\Qelmarch");
    }
};

TEST_F(GearloftAppTest, AGameFoundInAWinePrefixIsStartedInThatPrefix) {
    const QString prefix = root.filePath(QStringLiteral("prefix"));
    ASSERT_TRUE(QDir().mkpath(prefix + QStringLiteral("/drive_c/Games/Qelmarch")));
    WriteFile(prefix + QStringLiteral("/system.reg"), "WINE REGISTRY Version 2\n");
    WriteFile(prefix + QStringLiteral("/drive_c/Games/Qelmarch/Qel.exe"), "MZ");
    OneFolderRegistry reader;
    services.wine = WineSearch{&reader, {prefix}};
    dialogResult = 1;

    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(launcher.calls.size(), 1u);
    const QString dir = QFileInfo(prefix + QStringLiteral("/drive_c")).canonicalFilePath() +
                        QStringLiteral("/Games/Qelmarch");
    EXPECT_EQ(launcher.calls[0].program, dir + QStringLiteral("/Qel.exe"));
    EXPECT_EQ(launcher.calls[0].workingDir, dir + QLatin1Char('/'));
    EXPECT_EQ(launcher.calls[0].winePrefix, prefix);
    EXPECT_EQ(dialog.shown, 0);
}

TEST_F(GearloftAppTest, SettingsAreWrittenAtExitAndTheRestartIsHonoured) {
    WriteFile(settingsPath(), "; written by hand\n[Settings]\nSplash Screen=499\nLast Level=3\n");
    onDialog = [](AppState& s) {
        s.settings.SetInt("Settings", "Last Level", 17);
        s.restartRequested = true;
    };
    EXPECT_EQ(Run(), 0);

    EXPECT_EQ(dialogRuns, 1);
    EXPECT_TRUE(splashShown.empty());  // 499 ms is no splash
    EXPECT_EQ(QFileInfo(cwdDuringDialog).canonicalFilePath(),
              QFileInfo(binDir()).canonicalFilePath());
    EXPECT_EQ(state.helpFilePath, binDir() + QStringLiteral("/gearloft.html"));
    EXPECT_EQ(ReadAll(settingsPath()),
              "; written by hand\n\n[Settings]\nSplash Screen=499\nLast Level=17\n\n");
    ASSERT_EQ(launcher.calls.size(), 1u);
    EXPECT_EQ(launcher.calls[0].program, state.programPath);
    EXPECT_EQ(launcher.calls[0].arguments, QStringList{QStringLiteral("-nosplash")});
    EXPECT_TRUE(launcher.calls[0].workingDir.isEmpty());
}

TEST_F(GearloftAppTest, UnreadableSettingsFileIsReportedOnceAndLeftAsItIs) {
    struct Case {
        const char* name;
        std::function<void()> make;  // puts the unreadable file in place
        const char* reason;
    };
    const QString path = settingsPath();
    std::vector<Case> cases = {
        // The kernel refuses to read the process's memory at address 0.
        {"read fails with an input/output error",
         [&] { ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/mem"), path)); },
         "Input/output error"},
        {"a link to itself", [&] { ASSERT_TRUE(QFile::link(path, path)); },
         "Too many levels of symbolic links"},
    };
    // Permission bits bind everyone but the superuser.
    if (::geteuid() != 0) {
        cases.push_back({"no read permission",
                         [&] {
                             WriteFile(path, "[Settings]\nLast Level=12\nSplash Screen=0\n");
                             QFile(path).setPermissions(QFile::WriteOwner);
                         },
                         "Permission denied"});
    }
    QByteArrayList lines;
    const DebugOutputHook previous = SetDebugOutputHook(
        [](const char* message, void* context) {
            static_cast<QByteArrayList*>(context)->append(message);
        },
        &lines);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path);
        c.make();
        const QString linkTarget = QFileInfo(path).symLinkTarget();
        ui.messages.clear();
        lines.clear();
        onDialog = [](AppState& s) { s.settings.SetInt("Settings", "Last Level", 40); };
        AppState fresh;
        fresh.programPath = state.programPath;
        EXPECT_EQ(GearloftApp(fresh, services).Run(), 0);

        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].first,
                  QStringLiteral("ERROR: Cannot read the settings file '%1' (%2)!\nGearloft runs "
                                 "with its default settings and leaves the file as it is; changes "
                                 "to the settings made in this run are not saved.")
                      .arg(path, QLatin1String(c.reason)));
        EXPECT_EQ(ui.messages[0].second, MessageIcon::Error);
        EXPECT_EQ(lines, QByteArrayList{"ERROR: cannot read the settings file '" +
                                        QFile::encodeName(path) + "': " + c.reason + "\n"});
        // Left as it was: the same link, or the same bytes and permissions.
        EXPECT_EQ(QFileInfo(path).symLinkTarget(), linkTarget);
        if (linkTarget.isEmpty()) {
            EXPECT_EQ(QFile(path).permissions(), QFile::WriteOwner);
            QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
            EXPECT_EQ(ReadAll(path), "[Settings]\nLast Level=12\nSplash Screen=0\n");
        }
        EXPECT_EQ(QDir(binDir()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                  QStringList{QStringLiteral("gearloft.cfg")});  // no temporary left
    }
    SetDebugOutputHook(previous, nullptr);
    EXPECT_EQ(dialogRuns, static_cast<int>(cases.size()));
}

// A settings file that is no settings file: the run goes on with the
// defaults and never blocks. Bytes that read as lines are taken for what they
// are (no settings) and the file is written at exit; what cannot be read as a
// settings file at all is reported and left as it is. A folder is reported
// when the exit steps cannot write over it. Permission bits are the case of
// the test above.
TEST_F(GearloftAppTest, HostileSettingsFilesGiveTheDefaults) {
    const QString path = settingsPath();
    // Bytes of every value, NULs among them, no section header, and a last
    // line of half a megabyte without a line end.
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i) {
        const char c = static_cast<char>((i * 37 + 11) % 256);
        garbage.append(c == '[' ? '\0' : c);
    }
    garbage.append(QByteArray(512 * 1024, 'x'));
    const QString cannotRead = QStringLiteral(
        "ERROR: Cannot read the settings file '%1' (%2)!\nGearloft runs with its "
        "default settings and leaves the file as it is; changes to the settings "
        "made in this run are not saved.");
    const struct {
        const char* name;
        std::function<void()> make;
        QString message;  // empty: none
        bool written;     // the exit steps wrote the settings
    } cases[] = {
        {"binary garbage", [&] { WriteFile(path, garbage); }, QString(), true},
        {"garbage in the settings section",
         [&] { WriteFile(path, QByteArray("[Settings]\nSplash Screen=\0\xff\x01\r\r\n", 31)); },
         QString(), true},
        {"100 MiB",
         [&] {
             WriteFile(path, "[Settings]\nSplash Screen=0\n");
             ASSERT_TRUE(QFile(path).resize(qint64{100} << 20));
         },
         cannotRead.arg(path,
                        QStringLiteral("it is 100 MiB, more than the 1 MiB such a file may have")),
         false},
        {"a named pipe without a writer",
         [&] { ASSERT_EQ(0, ::mkfifo(QFile::encodeName(path).constData(), 0644)); },
         cannotRead.arg(path, QStringLiteral("it is a named pipe, not a file")), false},
        {"a folder", [&] { ASSERT_TRUE(QDir().mkpath(path)); },
         QStringLiteral("ERROR: Failed to save the settings to '%1'!").arg(path), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path);
        QDir(path).removeRecursively();
        c.make();
        const QFileInfo before(path);
        ui.messages.clear();
        splashShown.clear();
        onDialog = [](AppState& s) { s.settings.SetInt("Settings", "Last Level", 40); };
        AppState fresh;
        fresh.programPath = state.programPath;
        {
            const testing::HangGuard guard(c.name);
            EXPECT_EQ(GearloftApp(fresh, services).Run(), 0);
        }
        EXPECT_EQ(splashShown, std::vector<std::uint32_t>{2000});  // the default
        if (c.message.isEmpty()) {
            EXPECT_TRUE(ui.messages.empty());
        } else {
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.messages[0].first, c.message);
            EXPECT_EQ(ui.messages[0].second, MessageIcon::Error);
        }
        const QFileInfo after(path);
        if (c.written) {
            ProfileFile written;
            ASSERT_TRUE(written.Load(path));
            EXPECT_EQ(written.GetInt("Settings", "Last Level", -1), 40);
        } else {
            EXPECT_EQ(after.isDir(), before.isDir());
            EXPECT_EQ(after.size(), before.size());
            EXPECT_EQ(after.isFile(), before.isFile());
        }
    }
}

TEST_F(GearloftAppTest, SplashFollowsTheSettingAndTheSwitch) {
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(splashShown, std::vector<std::uint32_t>{2000});  // missing settings: the default

    splashShown.clear();
    services.arguments = {QStringLiteral("-NoSplash")};
    AppState again;
    again.programPath = state.programPath;
    GearloftApp(again, services).Run();
    EXPECT_TRUE(splashShown.empty());
    EXPECT_EQ(again.splashDuration, 0u);
}

TEST_F(GearloftAppTest, ASkinThatLoadsRunsTheSkinnedDialogAndIsFreedAtExit) {
    struct Case {
        const char* name;
        QByteArray description;  // written as build/bin/chosen.skn; null: no file
        bool skinned;
        int messages;
    };
    const QByteArray module = "Module=" WORKSHOP_SKIN "\n";
    const Case cases[] = {
        {"loads", "[Skin.Layout]\nSignature=gearloft\nName=Brass\n" + module, true, 0},
        {"no description", QByteArray(), false, 0},
        {"not a skin", "[Skin.Layout]\nSignature=Other\n" + module, false, 0},
        {"module missing", "[Skin.Layout]\nSignature=Gearloft\nModule=absent.so\n", false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppState fresh;
        fresh.programPath = state.programPath;
        ui.messages.clear();
        dialogRuns = 0;
        WriteFile(settingsPath(), "[Settings]\nSkin=chosen.skn\n");
        QFile::remove(binDir() + QStringLiteral("/chosen.skn"));
        if (!c.description.isNull()) {
            WriteFile(binDir() + QStringLiteral("/chosen.skn"), c.description);
        }
        int skinnedRuns = 0;
        bool moduleLoaded = false;
        services.runSkinnedMainDialog = [&](AppState& s) {
            ++skinnedRuns;
            moduleLoaded = s.skinModule && s.skinModule->isLoaded();
            return 2;
        };
        GearloftApp app(fresh, services);
        EXPECT_EQ(app.Run(), 0);
        EXPECT_EQ(skinnedRuns, c.skinned ? 1 : 0);
        EXPECT_EQ(moduleLoaded, c.skinned);
        EXPECT_EQ(dialogRuns, c.skinned ? 0 : 1);
        EXPECT_EQ(fresh.skinModule, nullptr);
        EXPECT_EQ(static_cast<int>(ui.messages.size()), c.messages);
        EXPECT_EQ(fresh.settings.GetString("Settings", "Skin", ""), "chosen.skn");
    }
}

TEST_F(GearloftAppTest, FailedBindingTellsTheUserAndEndsBeforeAnyDialog) {
    const QStringList failing[] = {
        {QStringLiteral("/nonexistent/lib/libtessera.so.1"), QStringLiteral("libtessera.so.1")},
        {QStringLiteral(FAKE_TESSERA_REFUSES)},
    };
    for (const QStringList& candidates : failing) {
        ui.messages.clear();
        QFile::remove(settingsPath());
        services.libraryCandidates = candidates;
        AppState fresh;
        fresh.programPath = state.programPath;
        EXPECT_EQ(GearloftApp(fresh, services).Run(), 1);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].first, QStringLiteral("ERROR: Failed to load 'libtessera.so.1'!"));
        EXPECT_EQ(ui.messages[0].second, MessageIcon::Information);
        EXPECT_TRUE(QFileInfo::exists(settingsPath()));  // the exit steps still ran
    }
    EXPECT_EQ(dialogRuns, 0);
    EXPECT_TRUE(launcher.calls.empty());
}

TEST_F(GearloftAppTest, CancelledGameChoiceEndsSilentlyAfterTheMessage) {
    services.gameSearchDirs = QStringList{root.filePath(QStringLiteral("nowhere"))};
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(dialog.shown, 1);
    EXPECT_EQ(ui.messages.size(), 1u);  // only "cannot find"
    EXPECT_EQ(dialogRuns, 0);
}

TEST_F(GearloftAppTest, FailedLaunchAndFailedSettingsSaveAreReported) {
    launcher.succeed = false;
    dialogResult = 1;
    // A folder where the settings file should be makes the save fail.
    ASSERT_TRUE(QDir().mkpath(settingsPath()));
    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].first, QStringLiteral("cannot start"));
    EXPECT_EQ(ui.messages[0].second, MessageIcon::Error);
    EXPECT_EQ(ui.messages[1].first,
              QStringLiteral("ERROR: Failed to save the settings to '%1'!").arg(settingsPath()));
}

TEST(SplashDialog, ShowsThePictureAndClosesOnAClickOrTheTimer) {
    QPixmap picture(QStringLiteral(":/gearloft/bitmap/144.png"));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(400, 284));

    SplashDialog splash(10000);
    EXPECT_EQ(splash.size(), QSize(400, 284));
    EXPECT_TRUE(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
    auto* control = splash.findChild<QLabel*>(QStringLiteral("c1"));
    ASSERT_NE(control, nullptr);
    splash.show();
    EXPECT_FALSE(control->isVisible());
    // The window shows the picture, stretched over it.
    const QImage shown = splash.grab().toImage();
    EXPECT_EQ(shown.pixelColor(200, 100), picture.toImage().pixelColor(200, 100));

    QTest::mouseClick(&splash, Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(splash.result(), 1);
    EXPECT_FALSE(splash.isVisible());

    // The first timer closes it with the same code.
    SplashDialog timed(1);
    EXPECT_EQ(timed.exec(), 1);
}

TEST(MessageBoxInteraction, ShowsTheTextWithTheCaptionIconAndOkButton) {
    struct Seen {
        QString caption;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool hasOk = false;
    };
    for (const auto& [icon, expected] :
         {std::pair{MessageIcon::Information, QMessageBox::Information},
          std::pair{MessageIcon::Error, QMessageBox::Critical}}) {
        Seen seen;
        // Reads the box once it runs and closes it with its OK button.
        QTimer::singleShot(0, [&seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            QTextDocument shown;
            shown.setHtml(box->text());
            seen = {box->windowTitle(), shown.toPlainText(), box->icon(),
                    box->button(QMessageBox::Ok) != nullptr};
            box->button(QMessageBox::Ok)->click();
        });
        MessageBoxInteraction().ShowMessage(QStringLiteral("ERROR: Failed to load 'x'!"), icon);
        EXPECT_EQ(seen.caption, QStringLiteral("Gearloft"));
        EXPECT_EQ(seen.text, QStringLiteral("ERROR: Failed to load\n'x'!"));
        EXPECT_EQ(seen.icon, expected);
        EXPECT_TRUE(seen.hasOk);
    }
}

TEST(MessageBoxInteraction, AsksAboutAChangedFileWithThreeAnswersCancelByDefault) {
    struct Case {
        const char* button;  // clicked; null: Esc
        ChangedFileAnswer answer;
    } const cases[] = {
        {"&Overwrite", ChangedFileAnswer::Overwrite},
        {"&Reload", ChangedFileAnswer::Reload},
        {"Cancel", ChangedFileAnswer::Cancel},
        {nullptr, ChangedFileAnswer::Cancel},
    };
    for (const Case& c : cases) {
        QString shown;
        QStringList buttons;
        QString defaultButton;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            QTextDocument text;
            text.setHtml(box->text());
            shown = text.toPlainText();
            defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            for (QAbstractButton* button : box->buttons()) {
                buttons.append(button->text());
                if (c.button != nullptr && button->text() == QLatin1String(c.button)) {
                    button->click();
                }
            }
            if (c.button == nullptr) {
                QTest::keyClick(box, Qt::Key_Escape);
            }
        });
        const ChangedFileAnswer answer =
            MessageBoxInteraction().AskAboutChangedFile(QStringLiteral("/games/Qel_Rifs/a b.rif"));
        EXPECT_EQ(answer, c.answer) << (c.button ? c.button : "Esc");
        EXPECT_EQ(shown, QStringLiteral("The level file\n'/games/Qel_Rifs/a b.rif'\nhas been "
                                        "changed on disk since Gearloft loaded it.\nOverwrite it "
                                        "with your changes, reload it and lose your changes, or "
                                        "cancel and keep editing?"));
        buttons.sort();
        EXPECT_EQ(buttons, (QStringList{QStringLiteral("&Overwrite"), QStringLiteral("&Reload"),
                                        QStringLiteral("Cancel")}));
        EXPECT_EQ(defaultButton, QStringLiteral("Cancel"));
    }
}

TEST(MessageBoxInteraction, ShowsEachQuotedPathWholeOnALineOfItsOwn) {
    const QString spaced = QStringLiteral("/home/ann/My Games/Gearloft - copy/gearloft.cfg");
    struct Case {
        QString text;
        QStringList lines;  // as the box shows them
        QStringList whole;  // the lines that are never wrapped
    } const cases[] = {
        {QStringLiteral("ERROR: Failed to save the settings to '%1'!").arg(spaced),
         {QStringLiteral("ERROR: Failed to save the settings to"), "'" + spaced + "'!"},
         {"'" + spaced + "'!"}},
        {QStringLiteral("ERROR: Cannot start '%1'!\nThe file does not exist.").arg(spaced),
         {QStringLiteral("ERROR: Cannot start"), "'" + spaced + "'!",
          QStringLiteral("The file does not exist.")},
         {"'" + spaced + "'!"}},
        {QStringLiteral("The help file is '/a b/c.html'; open it <now> & 'here'"),
         {QStringLiteral("The help file is"), QStringLiteral("'/a b/c.html';"),
          QStringLiteral("open it <now> &"), QStringLiteral("'here'")},
         {QStringLiteral("'/a b/c.html';"), QStringLiteral("'here'")}},
        {QStringLiteral("No path here.\nTwo lines."),
         {QStringLiteral("No path here."), QStringLiteral("Two lines.")},
         {}},
    };
    for (const Case& c : cases) {
        QTextDocument shown;
        shown.setHtml(MessageBoxHtml(c.text));
        QStringList lines;
        QStringList whole;
        for (QTextBlock block = shown.begin(); block != shown.end(); block = block.next()) {
            // A line break inside a block is U+2028.
            lines += block.text().split(QChar::LineSeparator);
            if (block.blockFormat().nonBreakableLines()) {
                whole += block.text();
            }
        }
        EXPECT_EQ(lines, c.lines) << c.text.toStdString();
        EXPECT_EQ(whole, c.whole) << c.text.toStdString();
    }
}

TEST(GameExecutableDialog, RefusesOtherNamesWithABeepAndAcceptsTheGameInAnyCase) {
    QTemporaryDir dir;
    WriteFile(dir.filePath(QStringLiteral("setup.exe")), "MZ");
    WriteFile(dir.filePath(QStringLiteral("qel.EXE")), "MZ");
    RecordingUserInteraction ui;
    QStringList offered;
    GameExecutableDialog dialog([&](const QString& path) {
        offered.append(QFileInfo(path).fileName());
        if (QFileInfo(path).fileName().compare(QStringLiteral("qel.exe"), Qt::CaseInsensitive) ==
            0) {
            return true;
        }
        ui.Beep();
        return false;
    });
    dialog.setDirectory(dir.path());
    dialog.show();

    dialog.selectFile(dir.filePath(QStringLiteral("setup.exe")));
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(ui.beeps, 1);

    dialog.selectFile(dir.filePath(QStringLiteral("qel.EXE")));
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(offered, (QStringList{QStringLiteral("setup.exe"), QStringLiteral("qel.EXE")}));
}

TEST(ProcessLauncher, StartsANativeGameInItsFolderAndExplainsWhatItCannotStart) {
    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("record.txt"));
    const QString game = dir.filePath(QStringLiteral("game/Qel.exe"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("game"))));
    // A stand-in game that writes down its arguments and working folder.
    WriteFile(game,
              "#!/bin/sh\n{ printf '%s\\n' \"$@\"; pwd; } > '" + QFile::encodeName(record) +
                  ".tmp' && mv '" + QFile::encodeName(record) + ".tmp' '" +
                  QFile::encodeName(record) + "'\n",
              QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
    WriteFile(dir.filePath(QStringLiteral("windows.exe")), "MZ\x90");
    WriteFile(dir.filePath(QStringLiteral("notes.txt")), "just text");

    EXPECT_EQ(KindOfExecutable(game), ExecutableKind::Native);
    EXPECT_EQ(KindOfExecutable(QCoreApplication::applicationFilePath()), ExecutableKind::Native);
    EXPECT_EQ(KindOfExecutable(dir.filePath(QStringLiteral("windows.exe"))),
              ExecutableKind::Windows);
    EXPECT_EQ(KindOfExecutable(dir.filePath(QStringLiteral("notes.txt"))), ExecutableKind::Unknown);
    EXPECT_EQ(KindOfExecutable(dir.filePath(QStringLiteral("missing"))), ExecutableKind::Unknown);

    ProcessLauncher launcher;
    QString whyNot;
    ASSERT_TRUE(launcher.Launch(game, {QStringLiteral("-n"), QStringLiteral("Cradle")},
                                dir.filePath(QStringLiteral("game")), &whyNot))
        << whyNot.toStdString();
    for (int i = 0; i < 200 && !QFileInfo::exists(record); ++i) {
        QThread::msleep(50);
    }
    EXPECT_EQ(ReadAll(record),
              "-n\nCradle\n" + QFile::encodeName(dir.filePath(QStringLiteral("game"))) + "\n");

    EXPECT_FALSE(
        launcher.Launch(dir.filePath(QStringLiteral("notes.txt")), {}, dir.path(), &whyNot));
    EXPECT_EQ(whyNot, QStringLiteral("ERROR: Cannot start '%1'!\nIt is not a program that this "
                                     "system can run.")
                          .arg(dir.filePath(QStringLiteral("notes.txt"))));

    // Without Wine a Windows program cannot start.
    ProcessLauncher withoutWine([](const QString&) { return QString(); });
    EXPECT_FALSE(
        withoutWine.Launch(dir.filePath(QStringLiteral("windows.exe")), {}, dir.path(), &whyNot));
    EXPECT_TRUE(
        whyNot.endsWith(QStringLiteral("It is a Windows program, and Wine is not "
                                       "installed: install the package \"wine\" to run it.")))
        << whyNot.toStdString();
}

TEST(ProcessLauncher, SaysWhatIsWrongWithThePathItself) {
    QTemporaryDir dir;
    const QString script = "#!/bin/sh\nexit 0\n";
    WriteFile(dir.filePath(QStringLiteral("Qel.exe")), script.toLatin1());  // no executable bit
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("folder.exe"))));
    struct Case {
        const char* name;
        const char* file;
        const char* reason;
    } const cases[] = {
        {"deleted after start-up", "gone/Qel.exe",
         "The file does not exist (it may have been moved or deleted)."},
        {"a script without the executable bit", "Qel.exe",
         "The file is not marked as executable (chmod +x makes it so)."},
        {"a folder", "folder.exe", "It is a folder, not a program."},
    };
    ProcessLauncher launcher;
    for (const Case& c : cases) {
        const QString path = dir.filePath(QLatin1String(c.file));
        QString whyNot;
        EXPECT_FALSE(launcher.Launch(path, {}, dir.path(), &whyNot)) << c.name;
        EXPECT_EQ(whyNot,
                  QStringLiteral("ERROR: Cannot start '%1'!\n").arg(path) + QLatin1String(c.reason))
            << c.name;
    }
}

}  // namespace
}  // namespace gearloft
