// The plain main dialog driven as a user drives it: through its controls,
// found by their ids, with real level files read and written by the library.
#include "ui/main_dialog.h"
#include "app/app_state.h"
#include "app/user_interaction.h"
#include "tests/level/level_fixtures.h"
#include "tests/support/find_control.h"
#include "tools/demo_game.h"
#include "ui/level_list.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWhatsThis>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace gearloft {
namespace {

using testing::LevelFixture;
using testing::ReadFileBytes;
using testing::ReadRecord;
using testing::WordAt;

const char* const kSwitchIds[6] = {"c1001", "c1002", "c1003", "c1004", "c1005", "c1006"};

// Receives the URLs that the dialog asks the desktop to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

// The helper behind every control look-up: a control that is missing or of
// another class ends the test as failed instead of handing out null.
TEST(FindControl, AMissingOrWronglyTypedControlEndsTheTestAsFailed) {
    QWidget window;
    auto* field = new QLineEdit(&window);
    field->setObjectName(QStringLiteral("c1007"));
    EXPECT_EQ(testing::FindControl<QLineEdit>(window, "c1007"), field);
    EXPECT_THROW(testing::FindControl<QLineEdit>(window, "c1008"), std::runtime_error);
    EXPECT_THROW(testing::FindControl<QComboBox>(window, "c1007"), std::runtime_error);
}

// Runs `command`, which should open the About box modally; closes the box
// with its OK button and returns the object name of the modal window seen.
QString CloseAboutBoxOpenedBy(const std::function<void()>& command) {
    QString seen;
    QTimer::singleShot(0, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            seen = box->objectName();
            if (auto* ok = box->findChild<QPushButton*>(QStringLiteral("c1"))) {
                ok->click();
            }
        }
    });
    command();
    return seen;
}

class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        state.tessera = testing::Tessera();
        state.game.strGameDir = dir.path() + QStringLiteral("/game/");
        state.programPath = dir.path() + QStringLiteral("/bin/gearloft");
        state.ui = &ui;
    }

    QString PathOf(int row) const {
        return state.game.strGameDir + QStringLiteral("Qel_Rifs/") + catalogue.stem(row) +
               QStringLiteral(".rif");
    }

    // Creates the dialog, shows it and lets its posted Load run.
    MainDialog& Open() {
        dialog = std::make_unique<MainDialog>(state);
        dialog->show();
        QCoreApplication::processEvents();
        return *dialog;
    }

    // Never null: a missing control fails the test (testing::FindControl).
    template <typename T>
    T* Control(const char* id) {
        return testing::FindControl<T>(*dialog, id);
    }

    QComboBox* LevelList() { return Control<QComboBox>("c1000"); }
    QSpinBox* Spin() { return Control<QSpinBox>("c1008"); }
    QCheckBox* Switch(int bit) { return Control<QCheckBox>(kSwitchIds[bit]); }

    std::uint32_t ShownSwitches() {
        std::uint32_t bits = 0;
        for (int bit = 0; bit < 6; ++bit) {
            bits |= Switch(bit)->isChecked() ? 1u << bit : 0;
        }
        return bits;
    }

    bool EditingEnabled() {
        bool all = true;
        bool none = true;
        for (int bit = 0; bit < 6; ++bit) {
            all = all && Switch(bit)->isEnabled();
            none = none && !Switch(bit)->isEnabled();
        }
        const bool count = Spin()->isEnabled() && Control<QLineEdit>("c1007")->isEnabled();
        EXPECT_TRUE(all ? count : (none && !count)) << "switches and count enabled apart";
        // The captions grey with the controls they name.
        EXPECT_EQ(Control<QLabel>("labelSpears")->isEnabled(), count);
        EXPECT_EQ(Control<QWidget>("groupWeapons")->isEnabled(), all);
        return all && count;
    }

    // The user picks a row in the level list (the same row included).
    void Choose(int row) {
        QComboBox* list = LevelList();
        list->setCurrentIndex(row);
        emit list->activated(row);
        QCoreApplication::processEvents();
    }

    void Click(const char* id) { QTest::mouseClick(Control<QPushButton>(id), Qt::LeftButton); }

    void TypeCount(const QString& text) {
        QLineEdit* field = Control<QLineEdit>("c1007");
        field->selectAll();
        QTest::keyClicks(field, text);
    }

    QTemporaryDir dir;
    AppState state;
    testing::RecordingUserInteraction ui;
    LevelCatalogue catalogue;
    std::unique_ptr<MainDialog> dialog;
};

TEST_F(MainDialogTest, OpensOnTheLastLevelOrTheFirstRow) {
    struct Case {
        const char* name;
        int stored;  // -100: no setting
        int row;
    };
    const Case cases[] = {
        {"last row", 58, 58}, {"past the end", 59, 0}, {"negative", -3, 0}, {"absent", -100, 0}};
    LevelFixture last;
    last.equipment = 0x21;
    testing::WriteLevelFile(PathOf(0), LevelFixture{});
    testing::WriteLevelFile(PathOf(58), last);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppState fresh;
        fresh.tessera = state.tessera;
        fresh.game = state.game;
        fresh.programPath = state.programPath;
        fresh.ui = &ui;
        if (c.stored != -100) {
            fresh.settings.SetInt("Settings", "Last Level", c.stored);
        }
        MainDialog shown(fresh);
        EXPECT_EQ(testing::FindControl<QComboBox>(shown, "c1000")->count(), 59);
        shown.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(testing::FindControl<QComboBox>(shown, "c1000")->currentIndex(), c.row);
        EXPECT_EQ(fresh.settings.GetInt("Settings", "Last Level", -1), c.row);
        EXPECT_EQ(testing::FindControl<QCheckBox>(shown, "c1006")->isChecked(), c.row == 58);
        EXPECT_TRUE(testing::FindControl<QCheckBox>(shown, "c1001")->isEnabled());
        shown.reject();
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MainDialogTest, SavingWritesTheSwitchesAndTheCountAndNothingElse) {
    LevelFixture fixture;
    fixture.equipment = 0xE5;
    fixture.spears = 7;
    testing::WriteLevelFile(PathOf(0), fixture);
    const QByteArray before = testing::PlainStream(PathOf(0));
    Open();
    ASSERT_TRUE(EditingEnabled());
    EXPECT_EQ(ShownSwitches(), 0x25u);  // Pistol, Disk, Jet pack
    EXPECT_EQ(Spin()->value(), 7);
    EXPECT_EQ(Control<QLineEdit>("c1007")->text(), QStringLiteral("7"));

    QTest::mouseClick(Switch(2), Qt::LeftButton);  // Disk off
    QTest::mouseClick(Switch(5), Qt::LeftButton);  // Jet pack off
    TypeCount(QStringLiteral("42"));
    EXPECT_EQ(ShownSwitches(), 0x01u);
    Click("c1010");

    const QByteArray record = ReadRecord(PathOf(0));
    EXPECT_EQ(WordAt(record, 16), 0xC1u);
    EXPECT_EQ(WordAt(record, 20), 42u);
    QByteArray after = testing::PlainStream(PathOf(0));
    const int at = before.indexOf(testing::RecordBytes(fixture));
    ASSERT_GE(at, 0);
    ASSERT_EQ(after.size(), before.size());
    after.replace(at + 16, 8, before.mid(at + 16, 8));
    EXPECT_EQ(after, before);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.asked.empty());  // nothing else changed the file
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainDialogTest, CountShowsItsLowBitsWithinTheSpinRange) {
    struct Case {
        std::uint32_t stored;
        int shown;
    };
    const Case cases[] = {{1000, 255}, {0x00010005, 5}, {255, 255}, {0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        LevelFixture fixture;
        fixture.spears = c.stored;
        testing::WriteLevelFile(PathOf(0), fixture);
        Open();
        EXPECT_EQ(Spin()->value(), c.shown);
        Click("c1010");
        EXPECT_EQ(WordAt(ReadRecord(PathOf(0)), 20), static_cast<std::uint32_t>(c.shown));
        dialog.reset();
    }
    // A count field left empty keeps the spin control's last valid position.
    LevelFixture fixture;
    fixture.spears = 44;
    testing::WriteLevelFile(PathOf(0), fixture);
    Open();
    QLineEdit* field = Control<QLineEdit>("c1007");
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_TRUE(field->text().isEmpty());
    Click("c1010");
    EXPECT_EQ(WordAt(ReadRecord(PathOf(0)), 20), 44u);
}

TEST_F(MainDialogTest, TypedCountIsKeptAsTypedAndSaveWritesWhatTheFieldThenShows) {
    struct Case {
        const char* typed;
        int saved;  // the count is 7 before the entry
    } const cases[] = {
        {"256", 7}, {"99999", 7}, {"-1", 7}, {"x2", 7}, {"", 7}, {"42", 42}, {"255", 255}, {"0", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        LevelFixture fixture;
        fixture.spears = 7;
        testing::WriteLevelFile(PathOf(0), fixture);
        Open();
        QLineEdit* field = Control<QLineEdit>("c1007");
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, QString::fromLatin1(c.typed));
        EXPECT_EQ(field->text(), QString::fromLatin1(c.typed));  // nothing cut while typing
        Click("c1010");
        EXPECT_EQ(WordAt(ReadRecord(PathOf(0)), 20), static_cast<std::uint32_t>(c.saved));
        EXPECT_EQ(field->text(), QString::number(c.saved));
        EXPECT_EQ(Spin()->value(), c.saved);
        dialog.reset();
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MainDialogTest, RestoreWritesTheRowsDefaults) {
    struct Case {
        int row;
        std::uint32_t bits;
    };
    const Case cases[] = {{26, 0x00}, {40, 0x17}, {4, 0x3F}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        LevelFixture fixture;
        fixture.equipment = 0xABCD00E9;
        fixture.spears = 3;
        testing::WriteLevelFile(PathOf(c.row), fixture);
        state.settings.SetInt("Settings", "Last Level", c.row);
        Open();
        Click("c1014");
        const QByteArray record = ReadRecord(PathOf(c.row));
        EXPECT_EQ(WordAt(record, 16), 0xABCD00C0u | c.bits);
        EXPECT_EQ(WordAt(record, 20), 30u);
        EXPECT_EQ(ShownSwitches(), c.bits);
        EXPECT_EQ(Spin()->value(), 30);
        dialog.reset();
    }
}

TEST_F(MainDialogTest, MissingFileShowsTheParseMessageAndDisablesEditing) {
    testing::WriteLevelFile(PathOf(0), LevelFixture{});
    Open();
    ASSERT_TRUE(EditingEnabled());
    Choose(9);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("ERROR: Failed to parse Level data!"));
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(state.settings.GetInt("Settings", "Last Level", -1), 9);
    EXPECT_FALSE(EditingEnabled());
    EXPECT_EQ(ShownSwitches(), 0u);
    EXPECT_EQ(Spin()->value(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    Click("c1010");
    Click("c1014");
    EXPECT_EQ(ui.beeps, 2);
    EXPECT_FALSE(QFile::exists(PathOf(9)));
}

TEST_F(MainDialogTest, ShortRecordDisablesEditingAndSaveBeeps) {
    LevelFixture fixture;
    fixture.recordSize = 23;
    testing::WriteLevelFile(PathOf(0), fixture);
    const QByteArray file = ReadFileBytes(PathOf(0));
    Open();
    EXPECT_FALSE(EditingEnabled());
    EXPECT_TRUE(ui.messages.empty());
    Click("c1010");
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_EQ(ReadFileBytes(PathOf(0)), file);
}

TEST_F(MainDialogTest, ChoosingTheSameRowAgainDropsUnsavedEdits) {
    LevelFixture fixture;
    fixture.equipment = 0x03;
    fixture.spears = 12;
    testing::WriteLevelFile(PathOf(0), fixture);
    Open();
    QTest::mouseClick(Switch(4), Qt::LeftButton);
    TypeCount(QStringLiteral("99"));
    EXPECT_EQ(ShownSwitches(), 0x13u);
    Choose(0);
    EXPECT_EQ(ShownSwitches(), 0x03u);
    EXPECT_EQ(Spin()->value(), 12);
}

TEST_F(MainDialogTest, StartEndsWithOkAndTheLevelsStemWithoutSaving) {
    testing::WriteLevelFile(PathOf(0), LevelFixture{});
    testing::WriteLevelFile(PathOf(33), LevelFixture{});
    const QByteArray file = ReadFileBytes(PathOf(33));
    Open();
    Choose(33);
    QTest::mouseClick(Switch(0), Qt::LeftButton);
    QSignalSpy finished(dialog.get(), &QDialog::finished);
    Click("c1");
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), 1);
    EXPECT_EQ(dialog->result(), 1);
    EXPECT_EQ(state.strLaunchParameters, QStringLiteral("-n ") + catalogue.stem(33));
    EXPECT_EQ(ReadFileBytes(PathOf(33)), file);
}

TEST_F(MainDialogTest, EscAndQuitEndWithCancelAndSaveNothing) {
    for (bool esc : {true, false}) {
        SCOPED_TRACE(esc ? "Esc" : "Quit");
        testing::WriteLevelFile(PathOf(0), LevelFixture{});
        const QByteArray file = ReadFileBytes(PathOf(0));
        Open();
        QTest::mouseClick(Switch(1), Qt::LeftButton);
        QSignalSpy finished(dialog.get(), &QDialog::finished);
        if (esc) {
            QTest::keyClick(LevelList(), Qt::Key_Escape);
        } else {
            Click("c2");
        }
        ASSERT_EQ(finished.count(), 1);
        EXPECT_EQ(finished.at(0).at(0).toInt(), 2);
        EXPECT_TRUE(state.strLaunchParameters.isEmpty());
        EXPECT_EQ(ReadFileBytes(PathOf(0)), file);
        dialog.reset();
    }
}

TEST_F(MainDialogTest, PositionIsRestoredOnScreenAndStoredOnce) {
    testing::WriteLevelFile(PathOf(0), LevelFixture{});
    state.settings.SetInt("Settings", "Pos X", 10);
    state.settings.SetInt("Settings", "Pos Y", 20);
    Open();
    EXPECT_EQ(dialog->pos(), QPoint(10, 20));
    dialog->move(30, 40);
    dialog->reject();
    EXPECT_EQ(state.settings.GetInt("Settings", "Pos X", -1), 30);
    EXPECT_EQ(state.settings.GetInt("Settings", "Pos Y", -1), 40);
    // Destroying the window after it ended stores nothing more.
    dialog->move(50, 60);
    dialog.reset();
    EXPECT_EQ(state.settings.GetInt("Settings", "Pos X", -1), 30);

    // Positions off the primary screen, or unset, leave the placement alone.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    struct Case {
        int x;
        int y;
    };
    for (const Case& c : {Case{screen.width(), 5}, Case{5, screen.height()}, Case{-1, 5}}) {
        state.settings.SetInt("Settings", "Pos X", c.x);
        state.settings.SetInt("Settings", "Pos Y", c.y);
        MainDialog placed(state);
        EXPECT_FALSE(placed.testAttribute(Qt::WA_Moved)) << c.x << "," << c.y;
    }
}

TEST_F(MainDialogTest, F1OpensTheHelpFileBesideTheProgram) {
    testing::WriteLevelFile(PathOf(0), LevelFixture{});
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    state.helpFilePath = dir.path() + QStringLiteral("/gearloft.html");
    Open();
    // The help file is not there yet: the user is told, nothing is opened.
    QTest::keyClick(dialog.get(), Qt::Key_F1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Error);
    EXPECT_TRUE(ui.messages[0].text.contains(state.helpFilePath));
    EXPECT_TRUE(recorder.urls.isEmpty());
    QFile help(state.helpFilePath);
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.write("<html></html>");
    help.close();
    QTest::keyClick(dialog.get(), Qt::Key_F1);
    QTest::keyClick(dialog.get(), Qt::Key_F1, Qt::ShiftModifier);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(recorder.urls.size(), 1);
    EXPECT_EQ(recorder.urls[0], QUrl::fromLocalFile(state.helpFilePath));
    EXPECT_EQ(ui.messages.size(), 1u);

    // The file is there but nothing on the system opens it (the offscreen
    // platform has no viewer): the message says so, not that the file is bad.
    QTest::keyClick(dialog.get(), Qt::Key_F1);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text,
              QStringLiteral("ERROR: No program to show the help file was found!\nThe help file "
                             "is '%1'; open it with a web browser.")
                  .arg(state.helpFilePath));
}

TEST_F(MainDialogTest, AboutIconShowsTheHandCursorAndReportsClicks) {
    Open();
    QLabel* icon = Control<QLabel>("c57664");
    EXPECT_EQ(icon->cursor().shape(), Qt::BitmapCursor);
    EXPECT_FALSE(icon->pixmap().isNull());
    EXPECT_FALSE(dialog->windowIcon().isNull());
    QSignalSpy about(dialog.get(), &MainDialog::aboutRequested);
    const QString opened = CloseAboutBoxOpenedBy([&] { QTest::mouseClick(icon, Qt::LeftButton); });
    EXPECT_EQ(about.count(), 1);
    EXPECT_EQ(opened, QStringLiteral("d141"));
}

TEST_F(MainDialogTest, ContextHelpCommandOpensTheAboutBox) {
    Open();
    const QString opened = CloseAboutBoxOpenedBy([] { QWhatsThis::enterWhatsThisMode(); });
    EXPECT_EQ(opened, QStringLiteral("d141"));
    EXPECT_FALSE(QWhatsThis::inWhatsThisMode());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainDialogTest, CatalogueFileBesideTheProgramRenamesRows) {
    ASSERT_TRUE(QDir().mkpath(dir.path() + QStringLiteral("/bin")));
    QFile cfg(dir.path() + QStringLiteral("/bin/levels.cfg"));
    ASSERT_TRUE(cfg.open(QIODevice::WriteOnly));
    cfg.write(
        "[Level 0]\nName=My own first level\nStem=own01\n[Level 1]\nStem=\x01"
        "bad\n");
    cfg.close();
    LevelFixture fixture;
    fixture.equipment = 0x08;
    testing::WriteLevelFile(state.game.strGameDir + QStringLiteral("Qel_Rifs/own01.rif"), fixture);
    Open();
    EXPECT_EQ(LevelList()->itemText(0), QStringLiteral("My own first level"));
    EXPECT_EQ(LevelList()->itemText(1), catalogue.displayName(1));
    EXPECT_EQ(ShownSwitches(), 0x08u);
    Click("c1");
    EXPECT_EQ(state.strLaunchParameters, QStringLiteral("-n own01"));
}

TEST_F(MainDialogTest, DemoLevelKeepsAllButTheEditedBitsAndCount) {
    demo::Options small;
    small.scale = 0.05;
    std::string error;
    ASSERT_TRUE(demo::WriteDemoGame(state.game.strGameDir.toStdString(), small, &error)) << error;
    const int row = demo::kOddRecordRow;
    const QByteArray before = testing::PlainStream(PathOf(row));
    const QByteArray recordBefore = ReadRecord(PathOf(row));
    state.settings.SetInt("Settings", "Last Level", row);
    Open();
    EXPECT_EQ(ShownSwitches(), 0x25u);
    EXPECT_EQ(Spin()->value(), 255);
    QTest::mouseClick(Switch(1), Qt::LeftButton);  // Shoulder cannon on
    QTest::mouseClick(Switch(5), Qt::LeftButton);  // Jet pack off
    Click("c1010");

    const QByteArray record = ReadRecord(PathOf(row));
    EXPECT_EQ(WordAt(record, 16), (demo::kOddEquipment & ~0x3Fu) | 0x07u);
    EXPECT_EQ(WordAt(record, 20), 255u);
    QByteArray after = testing::PlainStream(PathOf(row));
    const int at = before.indexOf(recordBefore);
    ASSERT_GE(at, 0);
    ASSERT_EQ(after.size(), before.size());
    after.replace(at + 16, 8, before.mid(at + 16, 8));
    EXPECT_TRUE(after == before);
}

}  // namespace
}  // namespace gearloft

#include "main_dialog_test.moc"
