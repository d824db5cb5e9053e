// What both main dialogs do the same way, whatever they look like: the level
// list, Save over a file changed on disk, the stored position, F1. Each test
// runs once per look in LevelDialogTypes, driving the dialog through the
// controls that every look names alike: the level list c1000, Save c1010 and
// the count's text field c1007.
#include "app/app_state.h"
#include "app/user_interaction.h"
#include "tests/level/level_fixtures.h"
#include "tests/support/find_control.h"
#include "ui/level_list.h"
#include "ui/main_dialog.h"
#include "ui/resource_module.h"
#include "ui/skinned_main_dialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>

namespace gearloft {
namespace {

using testing::LevelFixture;
using testing::ReadFileBytes;
using testing::ReadRecord;
using testing::WordAt;

// How a test makes a dialog of each look; a look added to LevelDialogTypes
// brings its own specialisation.
template <typename Dialog>
struct DialogMaker;

template <>
struct DialogMaker<MainDialog> {
    static std::unique_ptr<LevelDialog> Make(AppState& state) {
        return std::make_unique<MainDialog>(state);
    }
};

// The skinned look on the program's own skin resources.
template <>
struct DialogMaker<SkinnedMainDialog> {
    static std::unique_ptr<LevelDialog> Make(AppState& state) {
        return std::make_unique<SkinnedMainDialog>(state, ResourceModule::Program());
    }
};

template <typename Dialog>
class LevelDialogTest : public ::testing::Test {
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
    LevelDialog& Open() {
        dialog = DialogMaker<Dialog>::Make(state);
        dialog->show();
        QCoreApplication::processEvents();
        return *dialog;
    }

    template <typename T>
    T* Control(const char* id) {
        return testing::FindControl<T>(*dialog, id);
    }
    QComboBox* LevelList() { return Control<QComboBox>("c1000"); }
    QLineEdit* CountField() { return Control<QLineEdit>("c1007"); }

    void TypeCount(const QString& text) {
        QLineEdit* field = CountField();
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }
    void Save() { QTest::mouseClick(Control<QPushButton>("c1010"), Qt::LeftButton); }

    QTemporaryDir dir;
    AppState state;
    testing::RecordingUserInteraction ui;
    LevelCatalogue catalogue;
    std::unique_ptr<LevelDialog> dialog;
};

using LevelDialogTypes = ::testing::Types<MainDialog, SkinnedMainDialog>;
TYPED_TEST_SUITE(LevelDialogTest, LevelDialogTypes);

TYPED_TEST(LevelDialogTest, WheelOverTheClosedListKeepsTheLevelAndItsEdits) {
    LevelFixture first;
    first.spears = 7;
    LevelFixture second;
    second.spears = 88;
    testing::WriteLevelFile(this->PathOf(0), first);
    testing::WriteLevelFile(this->PathOf(1), second);
    this->Open();
    this->TypeCount(QStringLiteral("42"));  // an unsaved edit
    QComboBox* list = this->LevelList();
    for (int delta : {-120, 120, -120}) {
        const QPointF at(list->width() / 2.0, list->height() / 2.0);
        QWheelEvent wheel(at, list->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(list, &wheel);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(this->CountField()->text(), QStringLiteral("42"));
    EXPECT_EQ(this->state.settings.GetInt("Settings", "Last Level", -1), 0);

    // The keyboard, with the focus on the list, still chooses a level.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QCoreApplication::processEvents();
    EXPECT_EQ(list->currentIndex(), 1);
    EXPECT_EQ(this->CountField()->text(), QStringLiteral("88"));
    EXPECT_EQ(this->state.settings.GetInt("Settings", "Last Level", -1), 1);
}

TYPED_TEST(LevelDialogTest, SaveOverALevelChangedOnDiskAsksFirst) {
    struct Case {
        ChangedFileAnswer answer;
        const char* name;
    } const cases[] = {
        {ChangedFileAnswer::Overwrite, "overwrite"},
        {ChangedFileAnswer::Reload, "reload"},
        {ChangedFileAnswer::Cancel, "cancel"},
    };
    LevelFixture theirs;  // what another program writes while the level is open
    theirs.equipment = 0x3F;
    theirs.spears = 99;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        this->ui.asked.clear();
        this->ui.changedFileAnswer = c.answer;
        LevelFixture ours;
        ours.equipment = 0x17;
        ours.spears = 7;
        const QString path = this->PathOf(0);
        testing::WriteLevelFile(path, ours);
        this->Open();
        this->TypeCount(QStringLiteral("42"));
        testing::WriteLevelFile(path, theirs);
        const QByteArray changed = ReadFileBytes(path);
        this->Save();
        EXPECT_EQ(this->ui.asked, std::vector<QString>{path});
        const QByteArray record = ReadRecord(path);
        switch (c.answer) {
            case ChangedFileAnswer::Overwrite:
                // The dialog's switches, as loaded, and its count.
                EXPECT_EQ(WordAt(record, 16), 0x17u);
                EXPECT_EQ(WordAt(record, 20), 42u);
                break;
            case ChangedFileAnswer::Reload:
                EXPECT_EQ(ReadFileBytes(path), changed);
                EXPECT_EQ(this->CountField()->text(), QStringLiteral("99"));
                break;
            case ChangedFileAnswer::Cancel:
                EXPECT_EQ(ReadFileBytes(path), changed);
                EXPECT_EQ(this->CountField()->text(), QStringLiteral("42"));  // kept to retry
                break;
        }
        // Overwritten or reloaded, the file is again the one the dialog
        // holds; cancelled, it is still someone else's and Save asks again.
        this->Save();
        EXPECT_EQ(this->ui.asked.size(), c.answer == ChangedFileAnswer::Cancel ? 2u : 1u);
        EXPECT_TRUE(this->ui.messages.empty());
        this->dialog.reset();
    }
}

TYPED_TEST(LevelDialogTest, OpenListIsAsWideAsItsLongestNameUpToTheScreen) {
    ASSERT_TRUE(QDir().mkpath(this->dir.path() + QStringLiteral("/bin")));
    QFile cfg(this->dir.path() + QStringLiteral("/bin/levels.cfg"));
    ASSERT_TRUE(cfg.open(QIODevice::WriteOnly));
    cfg.write("[Level 3]\nName=" + QByteArray(3000, 'W') + "\n");
    cfg.close();
    testing::WriteLevelFile(this->PathOf(0), LevelFixture{});
    this->Open();
    QComboBox* list = this->LevelList();
    const QRect available = list->screen()->availableGeometry();
    list->showPopup();
    QCoreApplication::processEvents();
    const QWidget* popup = list->view()->window();
    ASSERT_TRUE(popup->isVisible());
    EXPECT_LE(popup->width(), available.width() - kLevelListScreenMargin);
    EXPECT_GE(popup->width(), list->width());
    EXPECT_GE(popup->x(), available.left());
    EXPECT_LE(popup->x() + popup->width(), available.x() + available.width());
    list->hidePopup();

    // Without the long name the open list fits the longest built-in name.
    QFile::remove(cfg.fileName());
    this->dialog.reset();
    this->Open();
    this->LevelList()->showPopup();
    QCoreApplication::processEvents();
    QAbstractItemView* view = this->LevelList()->view();
    EXPECT_GE(view->viewport()->width(), view->sizeHintForColumn(0));
    this->LevelList()->hidePopup();
}

TYPED_TEST(LevelDialogTest, StoredPositionNearAnEdgeKeepsTheWindowWhollyOnTheScreen) {
    testing::WriteLevelFile(this->PathOf(0), LevelFixture{});
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    for (const QPoint stored : {available.bottomRight(), QPoint(available.right() - 5, 10),
                                QPoint(10, available.bottom() - 5), QPoint(20, 30)}) {
        this->state.settings.SetInt("Settings", "Pos X", stored.x());
        this->state.settings.SetInt("Settings", "Pos Y", stored.y());
        this->Open();
        const QRect frame = this->dialog->frameGeometry();
        EXPECT_TRUE(available.contains(frame))
            << stored.x() << "," << stored.y() << " -> " << frame.x() << "," << frame.y();
        if (stored == QPoint(20, 30)) {
            EXPECT_EQ(this->dialog->pos(), stored);  // a position that fits is kept
        }
        this->dialog.reset();
    }
}

TYPED_TEST(LevelDialogTest, F1TellsAMissingHelpFileFromOneNothingCanShow) {
    testing::WriteLevelFile(this->PathOf(0), LevelFixture{});
    this->state.helpFilePath = this->dir.path() + QStringLiteral("/gearloft.html");
    this->Open();
    QTest::keyClick(this->dialog.get(), Qt::Key_F1);
    QFile help(this->state.helpFilePath);
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.write("<html></html>");
    help.close();
    // The offscreen platform has no viewer for the file.
    QTest::keyClick(this->dialog.get(), Qt::Key_F1);
    ASSERT_EQ(this->ui.messages.size(), 2u);
    EXPECT_EQ(
        this->ui.messages[0].text,
        QStringLiteral("ERROR: Cannot open the help file '%1'!").arg(this->state.helpFilePath));
    EXPECT_EQ(this->ui.messages[1].text,
              QStringLiteral("ERROR: No program to show the help file was found!\nThe help file "
                             "is '%1'; open it with a web browser.")
                  .arg(this->state.helpFilePath));
    EXPECT_EQ(this->ui.messages[1].icon, MessageIcon::Error);
}

}  // namespace
}  // namespace gearloft
