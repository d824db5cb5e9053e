// LevelDialog: what both main dialogs do, whatever they look like. It holds
// the loaded level and the level list, maps the commands Load, Save, Restore
// and Start onto the level, posts the first Load once the window is up,
// offers the context menu (skins, Help, About) and F1, and stores the
// window's position when it ends.
//
// A look (MainDialog, SkinnedMainDialog) loads its template, attaches its
// controls, then calls InitializeLevel(); it supplies how the count is held
// (its SpearCount) and the exchange of its own editing controls.
#pragma once

#include "app/level_catalogue.h"
#include "app/loaded_level.h"
#include "ui/skin_menu.h"

#include <QDialog>
#include <QPointer>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class QAbstractButton;
class QComboBox;
class QMenu;
class QWidget;

namespace gearloft {

struct AppState;
class WaitCursor;

// End codes of a main dialog.
constexpr int kResultStart = 1;
constexpr int kResultQuit = 2;
constexpr int kResultSkinFailed = 3;

class LevelDialog : public QDialog, protected LevelView {
    Q_OBJECT
public:
    ~LevelDialog() override;

    // Start: sets the launch parameters and ends with 1.
    void accept() override;
    // Quit, Esc and the close box end with 2; nothing is saved.
    void reject() override;
    // Stores the window's position and frees the loaded level (once), then
    // ends the dialog.
    void done(int result) override;

    const LevelCatalogue& catalogue() const { return m_catalogue; }

    // The About command (the About control, the menu's "&About...", the
    // caption's context-help button): announces it, then shows the About box.
    void ShowAbout();
    // Opens the help file named at start-up; says so when it cannot.
    void OpenHelp();
    // Builds the context menu and pops it up at a screen point. The menu
    // stays a child of the dialog while it is open (tests find it there).
    void ShowContextMenu(const QPoint& globalPos);
    // The skin menu's choice: entry 0 is the plain look, 1 to 9 the skins
    // of the menu last built. Stores "Skin", asks for a restart and ends
    // the dialog with 2.
    void ChooseSkin(int entry);

signals:
    // The About box is about to be shown.
    void aboutRequested();

protected:
    // count: how this look holds the spear count; it lives as long as the
    // dialog.
    LevelDialog(AppState& state, std::unique_ptr<SpearCount> count, QWidget* parent);

    // Takes the level list and the command buttons (any may be null), fills
    // the list, selects the last level, restores the position and posts the
    // first Load. Call once, after the template's controls are in place.
    struct Commands {
        QAbstractButton* load = nullptr;
        QAbstractButton* save = nullptr;
        QAbstractButton* restore = nullptr;
        QAbstractButton* start = nullptr;
        QAbstractButton* quit = nullptr;
        QAbstractButton* about = nullptr;
    };
    void InitializeLevel(QComboBox* levelList, const Commands& commands);

    // The look's own editing controls (switches, count) to and from fields;
    // the level list is exchanged here.
    virtual bool ExchangeEditorsFromControls(LevelFields& fields) = 0;
    virtual void ExchangeEditorsToControls(const LevelFields& fields) = 0;

    AppState& state() { return m_state; }
    LoadedLevel& level() { return *m_level; }
    const LoadedLevel& level() const { return *m_level; }
    SpearCount& spearCount() { return *m_spearCount; }
    QComboBox* levelList() const { return m_levelList; }

    bool event(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;

    // LevelView; SetEditingEnabled is the look's.
    bool ExchangeFromControls(LevelFields& fields) final;
    void ExchangeToControls(const LevelFields& fields) final;
    void SetBusy(bool busy) final;

private:
    void PostLoad();
    void PlaceAtStoredPosition();
    void StorePlacementAndRelease();
    void StartSkinPreread();
    void FinishSkinPreread();

    AppState& m_state;
    LevelCatalogue m_catalogue;
    std::unique_ptr<SpearCount> m_spearCount;
    std::unique_ptr<LoadedLevel> m_level;
    QComboBox* m_levelList = nullptr;
    QPointer<QMenu> m_menu;
    SkinDescriptionCache m_skinDescriptions;
    // The skin descriptions are read once in the background when the window
    // first shows, so that the menu opens at once even over a folder of
    // thousands; the first opening waits for that reading and takes it over.
    std::thread m_skinPreread;
    std::atomic<bool> m_stopPreread{false};
    std::unique_ptr<SkinDescriptionCache> m_prereadDescriptions;

    std::vector<std::unique_ptr<WaitCursor>> m_waitCursors;
    bool m_shown = false;
    bool m_placementStored = false;
};

}  // namespace gearloft
