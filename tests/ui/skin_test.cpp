// Skins driven as a user meets them: descriptions and modules on disk, the
// skin menu of the plain dialog, and the skinned dialog's real widgets.
#include "app/app_state.h"
#include "app/settings_keys.h"
#include "tests/level/level_fixtures.h"
#include "tests/support/find_control.h"
#include "ui/main_dialog.h"
#include "ui/resource_module.h"
#include "ui/skin_loader.h"
#include "ui/skinned_main_dialog.h"
#include "ui/window_drag.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace gearloft {
namespace {

using testing::LevelFixture;
using testing::ReadRecord;
using testing::WordAt;

QString TestSkin(const char* name) {
    return QStringLiteral(TEST_SKIN_DIR "/%1.so").arg(QLatin1String(name));
}

void WriteText(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(text);
}

QByteArray Description(const QByteArray& name, const QByteArray& module = "probe.so",
                       const QByteArray& signature = "Gearloft") {
    QByteArray text = "[Skin.Layout]\r\nSignature=" + signature + "\r\n";
    if (!name.isNull()) {
        text += "Name=" + name + "\r\n";
    }
    return text + "Module=" + module + "\r\n";
}

class SkinTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        state.tessera = testing::Tessera();
        state.game.strGameDir = dir.path() + QStringLiteral("/game/");
        QDir().mkpath(dir.path() + QStringLiteral("/bin"));
        state.programPath = dir.path() + QStringLiteral("/bin/gearloft");
        state.skinFolders = {dir.path() + QStringLiteral("/bin")};
        state.ui = &ui;
    }
    void TearDown() override {
        dialog.reset();
        ReleaseSkin(state);
    }

    QString Bin(const QString& name) const { return dir.path() + QStringLiteral("/bin/") + name; }
    QString LevelPath(int row) const {
        LevelCatalogue catalogue;
        return state.game.strGameDir + QStringLiteral("Qel_Rifs/") + catalogue.stem(row) +
               QStringLiteral(".rif");
    }

    // Opens the context menu of the plain dialog and returns it.
    QMenu* OpenMenu() {
        plain = std::make_unique<MainDialog>(state);
        plain->show();
        QCoreApplication::processEvents();
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20),
                                plain->mapToGlobal(QPoint(20, 20)));
        QCoreApplication::sendEvent(plain.get(), &event);
        QMenu* menu = plain->findChild<QMenu*>();
        EXPECT_NE(menu, nullptr);
        return menu;
    }

    // The menu's entries: texts, "-" for separators, "*" before the checked one.
    static QStringList Entries(const QMenu* menu) {
        QStringList entries;
        for (const QAction* action : menu->actions()) {
            entries << (action->isSeparator()
                            ? QStringLiteral("-")
                            : (action->isChecked() ? QStringLiteral("*") : QString()) +
                                  action->text());
        }
        return entries;
    }

    SkinnedMainDialog& OpenSkinned() {
        dialog = std::make_unique<SkinnedMainDialog>(state,
                                                     ResourceModule::Skin(state.skinModule.get()));
        EXPECT_TRUE(dialog->templateLoaded()) << dialog->templateError().toStdString();
        dialog->show();
        QCoreApplication::processEvents();
        return *dialog;
    }

    template <typename T>
    T* Control(const char* id) {
        return testing::FindControl<T>(*dialog, id);
    }

    // What a face looks like on a button of this size.
    static QImage Expected(int face, QSize size,
                           const QString& root = QStringLiteral(":/gearloft/bitmap")) {
        QImage expected(size, QImage::Format_ARGB32_Premultiplied);
        expected.fill(Qt::transparent);
        QPainter painter(&expected);
        painter.drawImage(expected.rect(), QImage(QStringLiteral("%1/%2.png").arg(root).arg(face)));
        return expected;
    }
    static QImage Shown(QWidget* button) {
        return button->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }

    QTemporaryDir dir;
    AppState state;
    testing::RecordingUserInteraction ui;
    std::unique_ptr<MainDialog> plain;
    std::unique_ptr<SkinnedMainDialog> dialog;
};

// ---------------------------------------------------------------------------
// LoadSkin

TEST_F(SkinTest, LoadSkinReadsTheDescriptionAndLoadsTheModuleBesideTheProgram) {
    struct Case {
        const char* name;
        QByteArray description;
        bool loads;
        bool message;
        std::uint32_t back;
        std::uint32_t text;
        const char* skinName;
    };
    const QByteArray probe = TestSkin("probe_skin").toLocal8Bit();
    QFile::copy(TestSkin("probe_skin"), Bin(QStringLiteral("probe.so")));
    const Case cases[] = {
        {"signature in capitals, module beside the program",
         Description("Probe", "probe.so", "GEARLOFT"), true, false, 0, 0xFFFFFF, "Probe"},
        {"no name still loads", Description(QByteArray(), "probe.so"), true, false, 0, 0xFFFFFF,
         ""},
        {"absolute module path", Description("P", probe), true, false, 0, 0xFFFFFF, "P"},
        {"wrong signature", Description("P", "probe.so", "Gearloft2"), false, false, 0, 0xFFFFFF,
         ""},
        {"empty module", Description("P", ""), false, false, 0, 0xFFFFFF, "P"},
        {"missing module", Description("P", "absent.so"), false, true, 0, 0xFFFFFF, "P"},
        {"colours: a missing component keeps the default's, a blank ends the value",
         Description("C") + "[Skin.Colors]\nBackground=0,128\nText=10, 20, 30\n", true, false,
         0x008000, 0xFFFF0A, "C"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReleaseSkin(state);
        state.skinBackColor = state.skinTextColor = 0x123456;
        state.skinName.clear();
        ui.messages.clear();
        WriteText(Bin(QStringLiteral("case.skn")), c.description);
        EXPECT_EQ(LoadSkin(state, Bin(QStringLiteral("case.skn"))), c.loads);
        EXPECT_EQ(state.skinModule != nullptr, c.loads);
        ASSERT_EQ(ui.messages.size(), c.message ? 1u : 0u);
        if (c.message) {
            EXPECT_EQ(ui.messages[0].text, QStringLiteral("ERROR: Failed to load Skin resources."));
            EXPECT_EQ(ui.messages[0].icon, MessageIcon::Information);
        }
        if (c.loads || c.message) {
            EXPECT_EQ(state.skinBackColor, c.back);
            EXPECT_EQ(state.skinTextColor, c.text);
            EXPECT_EQ(state.skinName, QString::fromLatin1(c.skinName));
        }
    }
    EXPECT_FALSE(LoadSkin(state, Bin(QStringLiteral("unreadable.skn"))));
}

// ---------------------------------------------------------------------------
// The skin menu

TEST_F(SkinTest, MenuWithoutSkinsOffersThePlainLookHelpAndAbout) {
    WriteText(Bin(QStringLiteral("noname.skn")), Description(QByteArray()));
    WriteText(Bin(QStringLiteral("other.skn")), Description("Other", "x.so", "Elsewhere"));
    QMenu* menu = OpenMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(Entries(menu), (QStringList{QStringLiteral("*Windows standard"), QStringLiteral("-"),
                                          QStringLiteral("-"), QStringLiteral("Help..."),
                                          QStringLiteral("-"), QStringLiteral("&About...")}));
    EXPECT_TRUE(menu->actions().at(3)->isEnabled());
}

TEST_F(SkinTest, MenuListsNineSkinsInFileNameOrderAndMarksTheLastOfTheActiveName) {
    const QByteArray longName = "A forty character skin name, cut short!";  // 39 + 1 below
    ASSERT_EQ(longName.size() + 1, 40);
    for (int i = 1; i <= 11; ++i) {
        const QByteArray name =
            i == 3 ? longName + "X" : (i == 5 || i == 7 ? "Twin" : "Skin " + QByteArray::number(i));
        WriteText(Bin(QStringLiteral("s%1.skn").arg(i, 2, 10, QLatin1Char('0'))),
                  Description(name));
    }
    struct Case {
        const char* active;
        int checked;  // menu row of the check mark
    };
    const Case cases[] = {
        {"twin", 8}, {"A forty character skin name, cut short!X", 4}, {"Nobody", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.active);
        state.skinName = QString::fromLatin1(c.active);
        QMenu* menu = OpenMenu();
        ASSERT_NE(menu, nullptr);
        const QStringList entries = Entries(menu);
        ASSERT_EQ(entries.size(), 15);
        QStringList texts;
        for (const QString& entry : entries.mid(2, 9)) {
            texts << (entry.startsWith(QLatin1Char('*')) ? entry.mid(1) : entry);
        }
        EXPECT_EQ(texts, (QStringList{QStringLiteral("Skin 1"), QStringLiteral("Skin 2"),
                                      QString::fromLatin1(longName.left(32)),
                                      QStringLiteral("Skin 4"), QStringLiteral("Twin"),
                                      QStringLiteral("Skin 6"), QStringLiteral("Twin"),
                                      QStringLiteral("Skin 8"), QStringLiteral("Skin 9")}));
        EXPECT_TRUE(entries[c.checked].startsWith(QLatin1Char('*')))
            << entries.join(',').toStdString();
        EXPECT_EQ(entries.filter(QRegularExpression(QStringLiteral("^\\*"))).size(), 1);
        EXPECT_EQ(state.skinFiles[9], QStringLiteral("s09.skn"));
        plain->reject();
    }
}

TEST_F(SkinTest, ChoosingAnEntryStoresItAndEndsTheDialogForARestart) {
    WriteText(Bin(QStringLiteral("brass.skn")), Description("Brass"));
    struct Case {
        int row;
        QByteArray stored;
    };
    const Case cases[] = {{2, "brass.skn"}, {0, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        state.restartRequested = false;
        state.settings.SetString(settings::kSection, settings::kSkin, "old.skn");
        QMenu* menu = OpenMenu();
        ASSERT_NE(menu, nullptr);
        menu->actions().at(c.row)->trigger();
        EXPECT_EQ(plain->result(), kResultQuit);
        EXPECT_TRUE(state.restartRequested);
        EXPECT_EQ(state.settings.GetString(settings::kSection, settings::kSkin, QByteArray()),
                  c.stored);
    }
}

// ---------------------------------------------------------------------------
// The skinned dialog on the program's own resources

TEST_F(SkinTest, FacesFollowThePressedStateAndTheEquipmentFlags) {
    LevelFixture fixture;
    fixture.equipment = 0x01;  // Pistol on
    testing::WriteLevelFile(LevelPath(0), fixture);
    OpenSkinned();
    struct Case {
        const char* id;
        bool pressed;
        int face;
    };
    const Case cases[] = {
        {"c57664", false, 148}, {"c57664", true, 150}, {"c1", false, 149},    {"c1", true, 151},
        {"c2", false, 153},     {"c2", true, 152},     {"c1014", false, 155}, {"c1014", true, 154},
        {"c1010", false, 157},  {"c1010", true, 156},  {"c1003", false, 158}, {"c1003", true, 159},
        {"c1004", false, 160},  {"c1004", true, 162},  {"c1002", false, 161}, {"c1002", true, 163},
        {"c1001", false, 168},  // on: the on face either way
        {"c1001", true, 168},   {"c1006", false, 165}, {"c1006", true, 169},  {"c1005", false, 167},
        {"c1005", true, 166},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.id << (c.pressed ? " pressed" : ""));
        auto* button = Control<QPushButton>(c.id);
        ASSERT_NE(button, nullptr);
        button->setDown(c.pressed);
        EXPECT_EQ(dialog->FaceOf(button), c.face);
        EXPECT_EQ(Shown(button), Expected(c.face, button->size()));
        button->setDown(false);
        EXPECT_EQ(button->cursor().shape(), Qt::BitmapCursor);
        EXPECT_FALSE(button->toolTip().isEmpty());
        EXPECT_EQ(button->accessibleName(), button->toolTip());
    }
    EXPECT_EQ(Control<QPushButton>("c1005")->accessibleName(), QStringLiteral("Medicomp"));
    EXPECT_EQ(Control<QPushButton>("c1010")->accessibleName(), QStringLiteral("Save"));
    EXPECT_NE(Control<QLineEdit>("c1007")->cursor().shape(), Qt::BitmapCursor);
    EXPECT_NE(Control<QComboBox>("c1000")->cursor().shape(), Qt::BitmapCursor);
}

TEST_F(SkinTest, ClickingAFaceTogglesItsSwitchAndSaveWritesOnlyTheBitsAndTheCount) {
    LevelFixture fixture;
    fixture.equipment = 0xFFFFFFC1;  // Pistol on, the high bits kept
    fixture.spears = 1000;
    testing::WriteLevelFile(LevelPath(0), fixture);
    const QByteArray before = ReadRecord(LevelPath(0));
    OpenSkinned();
    auto* field = Control<QLineEdit>("c1007");
    EXPECT_EQ(field->text(), QStringLiteral("1000"));

    auto* disk = Control<QPushButton>("c1003");
    QTest::mouseClick(disk, Qt::LeftButton);
    EXPECT_EQ(Shown(disk), Expected(159, disk->size()));
    QTest::mouseClick(Control<QPushButton>("c1001"), Qt::LeftButton);  // Pistol off
    QTest::mouseClick(Control<QPushButton>("c1010"), Qt::LeftButton);
    QByteArray record = ReadRecord(LevelPath(0));
    EXPECT_EQ(WordAt(record, 16), 0xFFFFFFC4u);
    EXPECT_EQ(WordAt(record, 20), 255u);
    record.replace(16, 8, before.mid(16, 8));
    EXPECT_EQ(record, before);

    // Text that is no integer is refused and nothing is written.
    field->setText(QStringLiteral("12x"));
    QTest::mouseClick(Control<QPushButton>("c1010"), Qt::LeftButton);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("Please enter an integer."));
    EXPECT_EQ(WordAt(ReadRecord(LevelPath(0)), 20), 255u);
    field->setText(QStringLiteral("42"));
    QTest::mouseClick(Control<QPushButton>("c1010"), Qt::LeftButton);
    EXPECT_EQ(WordAt(ReadRecord(LevelPath(0)), 20), 42u);

    // Enter on a button presses it; anywhere else it is Start.
    Control<QPushButton>("c1003")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(dialog->result(), kResultStart);
    EXPECT_FALSE(state.strLaunchParameters.isEmpty());
    EXPECT_EQ(WordAt(ReadRecord(LevelPath(0)), 16) & 0x3F, 0x04u);  // Start saves nothing
}

TEST_F(SkinTest, DraggingTheBackgroundMovesTheWindowByTheMouseMovement) {
    testing::WriteLevelFile(LevelPath(0), LevelFixture{});
    OpenSkinned();
    auto* drag = dialog->findChild<WindowDrag*>();
    ASSERT_NE(drag, nullptr);
    drag->setSystemMoveAllowed(false);
    dialog->move(100, 100);
    QCoreApplication::processEvents();
    const QPoint start = dialog->pos();
    QWidget* surface = dialog->childAt(QPoint(20, 140));
    ASSERT_NE(surface, nullptr);
    QTest::mousePress(surface, Qt::LeftButton, {}, surface->mapFrom(dialog.get(), QPoint(20, 140)));
    QMouseEvent move(QEvent::MouseMove, QPointF(surface->mapFrom(dialog.get(), QPoint(50, 150))),
                     QPointF(dialog->mapToGlobal(QPoint(50, 150))), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(surface, &move);
    QTest::mouseRelease(surface, Qt::LeftButton, {},
                        surface->mapFrom(dialog.get(), QPoint(50, 150)));
    EXPECT_EQ(dialog->pos() - start, QPoint(30, 10));
    EXPECT_FALSE(drag->isDragging());

    // A press on a button does not drag.
    const QPoint kept = dialog->pos();
    QTest::mousePress(Control<QPushButton>("c1005"), Qt::LeftButton);
    EXPECT_FALSE(drag->isDragging());
    QTest::mouseRelease(Control<QPushButton>("c1005"), Qt::LeftButton);
    EXPECT_EQ(dialog->pos(), kept);
}

// ---------------------------------------------------------------------------
// Skin modules

TEST_F(SkinTest, InitSkinIsCalledOnceWithTheWindowAndTheInitMessage) {
    WriteText(Bin(QStringLiteral("probe.skn")),
              Description("Probe", TestSkin("probe_skin").toLocal8Bit()));
    ASSERT_TRUE(LoadSkin(state, Bin(QStringLiteral("probe.skn"))));
    OpenSkinned();
    using Probe = int (*)(void**, unsigned*, unsigned long*, long*);
    const auto probe = reinterpret_cast<Probe>(state.skinModule->resolve("ProbeCalls"));
    ASSERT_NE(probe, nullptr);
    void* window = nullptr;
    unsigned message = 0;
    unsigned long wParam = 1;
    long lParam = 1;
    EXPECT_EQ(probe(&window, &message, &wParam, &lParam), 1);
    EXPECT_EQ(window, static_cast<void*>(static_cast<QWidget*>(dialog.get())));
    EXPECT_EQ(message, 272u);
    EXPECT_EQ(wParam, 0u);
    EXPECT_EQ(lParam, 0);
    // The module's own faces are drawn.
    EXPECT_EQ(QImage(QStringLiteral(":/skin/bitmap/147.png")).size(), QSize(360, 208));
}

TEST_F(SkinTest, ATemplateThatCannotBeUsedEndsWithThreeAndRestartsIntoThePlainDialog) {
    const char* const modules[] = {"no_template_skin", "missing_control_skin", "wrong_kind_skin"};
    for (const char* module : modules) {
        SCOPED_TRACE(module);
        ReleaseSkin(state);
        ui.messages.clear();
        state.restartRequested = false;
        state.settings.SetString(settings::kSection, settings::kSkin, "bad.skn");
        WriteText(Bin(QStringLiteral("bad.skn")),
                  Description("Bad", TestSkin(module).toLocal8Bit()));
        ASSERT_TRUE(LoadSkin(state, Bin(QStringLiteral("bad.skn"))));
        SkinnedMainDialog bad(state, ResourceModule::Skin(state.skinModule.get()));
        EXPECT_FALSE(bad.templateLoaded());
        EXPECT_EQ(bad.exec(), kResultSkinFailed);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, QStringLiteral("ERROR: Failed to load Skin resources."));
        EXPECT_EQ(ui.messages[0].icon, MessageIcon::Error);
        EXPECT_TRUE(state.restartRequested);
        EXPECT_EQ(state.settings.GetInt(settings::kSection, "Use Skin", 0), 1);
        // The restarted program reads no skin, so it opens the plain dialog.
        EXPECT_TRUE(
            state.settings.GetString(settings::kSection, settings::kSkin, QByteArray()).isEmpty());
    }
}

// The menu's "&About..." (the system menu's place) and the skinned dialog's
// About button open the same modal About box; OK ends it.
TEST_F(SkinTest, TheMenuEntryAndTheSkinnedAboutButtonOpenTheAboutBox) {
    const auto boxOpenedBy = [](const std::function<void()>& command) {
        QString seen;
        QTimer::singleShot(0, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                seen = box->objectName();
                testing::FindControl<QPushButton>(*box, "c1")->click();
            }
        });
        command();
        return seen;
    };
    QMenu* menu = OpenMenu();
    ASSERT_NE(menu, nullptr);
    QAction* about = menu->actions().last();
    ASSERT_EQ(about->text(), QStringLiteral("&About..."));
    EXPECT_EQ(boxOpenedBy([&] { about->trigger(); }), QStringLiteral("d141"));

    OpenSkinned();
    auto* button = Control<QPushButton>("c57664");
    EXPECT_EQ(boxOpenedBy([&] { QTest::mouseClick(button, Qt::LeftButton); }),
              QStringLiteral("d141"));
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(SkinTest, AModuleBuiltFromTheResourceNamesAloneWorksWithMissingFacesLeftOut) {
    LevelFixture fixture;
    fixture.equipment = 0x00;
    testing::WriteLevelFile(LevelPath(0), fixture);
    WriteText(Bin(QStringLiteral("third.skn")),
              Description("Third", TestSkin("third_party_skin").toLocal8Bit()));
    ASSERT_TRUE(LoadSkin(state, Bin(QStringLiteral("third.skn"))));
    OpenSkinned();
    EXPECT_EQ(dialog->size(), QSize(400, 240));  // the module's own layout
    auto* pistol = Control<QPushButton>("c1001");
    EXPECT_EQ(pistol->geometry(), QRect(10, 10, 128, 44));
    EXPECT_EQ(Shown(pistol), Expected(164, pistol->size(), QStringLiteral(WORKSHOP_ART "/bitmap")));
    QTest::mouseClick(pistol, Qt::LeftButton);
    EXPECT_EQ(Shown(pistol), Expected(168, pistol->size(), QStringLiteral(WORKSHOP_ART "/bitmap")));

    // The module has no Medicomp faces: the button keeps its standard look
    // and still works.
    auto* medicomp = Control<QPushButton>("c1005");
    EXPECT_NE(Shown(medicomp), Expected(167, medicomp->size()));
    QTest::mouseClick(medicomp, Qt::LeftButton);
    QTest::mouseClick(Control<QPushButton>("c1010"), Qt::LeftButton);
    EXPECT_EQ(WordAt(ReadRecord(LevelPath(0)), 16) & 0x3F, 0x11u);
    EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace gearloft
