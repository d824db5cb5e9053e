#include "ui/level_dialog.h"

#include "app/app_state.h"
#include "app/settings_keys.h"
#include "app/user_interaction.h"
#include "platform/wait_cursor.h"
#include "ui/about_dialog.h"
#include "ui/help_file.h"
#include "ui/level_list.h"
#include "ui/skin_menu.h"
#include "ui/window_placement.h"

#include <QAbstractButton>
#include <QActionGroup>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QWhatsThis>

namespace gearloft {

LevelDialog::LevelDialog(AppState& state, std::unique_ptr<SpearCount> count, QWidget* parent)
    : QDialog(parent),
      m_state(state),
      m_spearCount(std::move(count)),
      m_level(std::make_unique<LoadedLevel>(state, m_catalogue, static_cast<LevelView&>(*this),
                                            *m_spearCount)) {
    // levels.cfg lies beside the program, or in the settings folder of an
    // installed program; a dialog made without start-up looks beside it.
    m_catalogue.ApplyOverrideFile(state.paths.levelsCfg.isEmpty()
                                      ? LevelCatalogue::overrideFilePath(state.programPath)
                                      : state.paths.levelsCfg);

    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &LevelDialog::OpenHelp);
}

LevelDialog::~LevelDialog() {
    m_stopPreread = true;
    FinishSkinPreread();
    StorePlacementAndRelease();
}

void LevelDialog::StartSkinPreread() {
    m_prereadDescriptions = std::make_unique<SkinDescriptionCache>();
    m_skinPreread =
        std::thread([folders = m_state.skinFolders, cache = m_prereadDescriptions.get(),
                     stop = &m_stopPreread] { ScanSkins(folders, QString(), cache, stop); });
}

void LevelDialog::FinishSkinPreread() {
    if (m_skinPreread.joinable()) {
        m_skinPreread.join();
    }
    if (m_prereadDescriptions != nullptr) {
        // Whatever changed since is read again: the cache knows each file by
        // its identity and times.
        m_skinDescriptions = std::move(*m_prereadDescriptions);
        m_prereadDescriptions.reset();
    }
}

void LevelDialog::InitializeLevel(QComboBox* levelList, const Commands& commands) {
    WaitCursor wait;
    m_levelList = levelList;

    const auto wire = [this](QAbstractButton* button, auto command) {
        if (button != nullptr) {
            connect(button, &QAbstractButton::clicked, this, command);
        }
    };
    wire(commands.load, [this] { m_level->Load(); });
    wire(commands.save, [this] { m_level->Save(); });
    wire(commands.restore, [this] { m_level->Restore(); });
    wire(commands.start, [this] { accept(); });
    wire(commands.quit, [this] { reject(); });
    wire(commands.about, [this] { ShowAbout(); });
    // Choosing an entry, the one already shown included, reloads from disk.
    connect(m_levelList, &QComboBox::activated, this, &LevelDialog::PostLoad);

    SetUpLevelList(*m_levelList, m_catalogue);

    int lastLevel = settings::Read(m_state.settings, settings::kLastLevel);
    if (!m_catalogue.isValidRow(lastLevel)) {
        lastLevel = 0;
    }
    m_level->fields = LevelFields{};
    m_level->fields.nLevel = lastLevel;
    ExchangeToControls(m_level->fields);
    SetEditingEnabled(false);

    PlaceAtStoredPosition();
    PostLoad();
}

void LevelDialog::PlaceAtStoredPosition() {
    // A stored position is used only while it lies on the primary screen;
    // the window is then moved wholly onto that screen. The frame's size is
    // known once the window is shown, so showEvent places it once more.
    const QPoint stored(settings::Read(m_state.settings, settings::kPosX),
                        settings::Read(m_state.settings, settings::kPosY));
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QSize frame = frameGeometry().size().expandedTo(size());
    if (const auto placed =
            PlaceOnScreen(stored, frame, screen->geometry(), screen->availableGeometry())) {
        move(*placed);
    }
}

void LevelDialog::PostLoad() {
    QMetaObject::invokeMethod(
        this, [this] { m_level->Load(); }, Qt::QueuedConnection);
}

void LevelDialog::accept() {
    ExchangeFromControls(m_level->fields);
    if (!m_level->Start()) {
        return;
    }
    done(kResultStart);
}

void LevelDialog::reject() {
    done(kResultQuit);
}

void LevelDialog::done(int result) {
    StorePlacementAndRelease();
    QDialog::done(result);
}

void LevelDialog::StorePlacementAndRelease() {
    if (m_placementStored) {
        return;
    }
    m_placementStored = true;
    // A window that never appeared has no position of its own to keep.
    if (m_shown) {
        QPoint topLeft = pos();
        if (isMaximized() || isFullScreen()) {
            topLeft = normalGeometry().topLeft() - (geometry().topLeft() - pos());
        }
        settings::Write(m_state.settings, settings::kPosX, topLeft.x());
        settings::Write(m_state.settings, settings::kPosY, topLeft.y());
    }
    m_level->Release();
}

void LevelDialog::showEvent(QShowEvent* event) {
    const bool first = !m_shown;
    m_shown = true;
    QDialog::showEvent(event);
    if (first && testAttribute(Qt::WA_Moved)) {
        PlaceAtStoredPosition();
    }
    if (first) {
        StartSkinPreread();
    }
}

void LevelDialog::ShowAbout() {
    emit aboutRequested();
    RunAboutDialog(m_state, this);
}

bool LevelDialog::event(QEvent* event) {
    // The caption's context-help button, where the window system has one,
    // opens the About box instead of the pointer's "What's This?" mode.
    if (event->type() == QEvent::EnterWhatsThisMode) {
        QWhatsThis::leaveWhatsThisMode();
        ShowAbout();
        return true;
    }
    return QDialog::event(event);
}

void LevelDialog::OpenHelp() {
    OpenHelpFile(m_state);
}

// ---------------------------------------------------------------------------
// The context menu: the plain look, the skins, Help and About

void LevelDialog::contextMenuEvent(QContextMenuEvent* event) {
    ShowContextMenu(event->globalPos());
}

void LevelDialog::ShowContextMenu(const QPoint& globalPos) {
    if (m_menu) {
        m_menu->close();
    }
    FinishSkinPreread();
    const SkinMenuContents contents =
        ScanSkins(m_state.skinFolders, m_state.skinName, &m_skinDescriptions);
    m_state.skinFiles[0].clear();
    for (std::size_t i = 0; i < contents.skins.size(); ++i) {
        m_state.skinFiles[i + 1] = contents.skins[i].file;
    }

    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    auto* looks = new QActionGroup(menu);
    looks->setExclusive(true);
    const auto addLook = [&](const QString& text, int entry) {
        QAction* action = menu->addAction(text, this, [this, entry] { ChooseSkin(entry); });
        action->setCheckable(true);
        action->setChecked(entry == contents.marked);
        looks->addAction(action);
    };
    addLook(QStringLiteral("Windows standard"), 0);
    menu->addSeparator();
    for (std::size_t i = 0; i < contents.skins.size(); ++i) {
        // A name is shown as written: "&" is no mnemonic here.
        QString text = contents.skins[i].text;
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        addLook(text, static_cast<int>(i) + 1);
    }
    menu->addSeparator();
    menu->addAction(QStringLiteral("Help..."), this, &LevelDialog::OpenHelp);
    menu->addSeparator();
    menu->addAction(QStringLiteral("&About..."), this, &LevelDialog::ShowAbout);
    m_menu = menu;
    menu->popup(globalPos);
}

void LevelDialog::ChooseSkin(int entry) {
    if (entry < 0 || entry >= static_cast<int>(m_state.skinFiles.size())) {
        return;
    }
    // The plain look is stored as an empty value, "Skin=".
    const QByteArray file = m_state.skinFiles[entry].toLocal8Bit();
    m_state.settings.SetString(settings::kSection, settings::kSkin,
                               file.isEmpty() ? QByteArray("") : file);
    m_state.restartRequested = true;
    done(kResultQuit);
}

// ---------------------------------------------------------------------------
// Data exchange and the loaded level's view

bool LevelDialog::ExchangeFromControls(LevelFields& fields) {
    fields.nLevel = m_levelList->currentIndex();
    return ExchangeEditorsFromControls(fields);
}

void LevelDialog::ExchangeToControls(const LevelFields& fields) {
    m_levelList->setCurrentIndex(m_catalogue.isValidRow(fields.nLevel) ? fields.nLevel : -1);
    ExchangeEditorsToControls(fields);
}

void LevelDialog::SetBusy(bool busy) {
    if (busy) {
        m_waitCursors.push_back(std::make_unique<WaitCursor>());
    } else if (!m_waitCursors.empty()) {
        m_waitCursors.pop_back();
    }
}

}  // namespace gearloft
