// The plain main dialog: template 102 with the level list, six equipment
// check boxes, the spear count and the command buttons.
//
// The spear count is one QSpinBox named "c1008" (the up-down control: range
// 0 to 255, the position that Save writes); its text field is the spin box's
// own line edit, named "c1007" (the buddy field).
#pragma once

#include "app/level_catalogue.h"
#include "app/loaded_level.h"

#include <QDialog>

#include <array>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;

namespace gearloft {

struct AppState;
class WaitCursor;

// Runs modally; ends with 1 (Start) or 2 (Quit, Esc, close box).
class MainDialog : public QDialog, private LevelView, private SpinControl {
    Q_OBJECT
public:
    explicit MainDialog(AppState& state, QWidget* parent = nullptr);
    ~MainDialog() override;

    // Start: sets the launch parameters and ends with 1.
    void accept() override;
    // Quit, Esc and the close box end with 2; nothing is saved.
    void reject() override;
    // Stores the window's position and frees the loaded level (once), then
    // ends the dialog.
    void done(int result) override;

    const LevelCatalogue& catalogue() const { return m_catalogue; }

signals:
    // A click on the About icon.
    void aboutRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Initialize();
    void PostLoad();
    void OnLoad();
    void OnSave();
    void OnRestore();
    void PlaceAtStoredPosition();
    void StorePlacementAndRelease();

    // LevelView
    bool ExchangeFromControls(LevelFields& fields) override;
    void ExchangeToControls(const LevelFields& fields) override;
    void SetEditingEnabled(bool enabled) override;
    void SetBusy(bool busy) override;
    // SpinControl
    int position() const override;
    void setPosition(int position) override;

    AppState& m_state;
    LevelCatalogue m_catalogue;
    SpinSpearCount m_spearCount;
    std::unique_ptr<LoadedLevel> m_level;

    QWidget* m_form = nullptr;
    QComboBox* m_levelList = nullptr;
    std::array<QCheckBox*, kSwitchCount> m_switches{};
    QSpinBox* m_spin = nullptr;
    QLabel* m_aboutIcon = nullptr;
    QWidget* m_spearsLabel = nullptr;   // "Number of Spears:"
    QWidget* m_weaponsTitle = nullptr;  // the "Available weapons" frame

    std::vector<std::unique_ptr<WaitCursor>> m_waitCursors;
    bool m_shown = false;
    bool m_placementStored = false;
};

}  // namespace gearloft
