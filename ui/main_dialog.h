// The plain main dialog: template 102 with the level list, six equipment
// check boxes, the spear count and the command buttons.
//
// The spear count is one QSpinBox named "c1008" (the up-down control: range
// 0 to 255, the position that Save writes); its text field is the spin box's
// own line edit, named "c1007" (the buddy field).
#pragma once

#include "ui/level_dialog.h"

#include <array>

class QCheckBox;
class QLabel;
class QSpinBox;

namespace gearloft {

// Runs modally; ends with 1 (Start) or 2 (Quit, Esc, close box, a skin
// chosen from the context menu).
class MainDialog : public LevelDialog, private SpinControl {
    Q_OBJECT
public:
    explicit MainDialog(AppState& state, QWidget* parent = nullptr);
    ~MainDialog() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // LevelDialog
    bool ExchangeEditorsFromControls(LevelFields& fields) override;
    void ExchangeEditorsToControls(const LevelFields& fields) override;
    // LevelView
    void SetEditingEnabled(bool enabled) override;
    // SpinControl
    int position() const override;
    void setPosition(int position) override;

    QWidget* m_form = nullptr;
    std::array<QCheckBox*, kSwitchCount> m_switches{};
    QSpinBox* m_spin = nullptr;
    QLabel* m_aboutIcon = nullptr;
    QWidget* m_spearsLabel = nullptr;   // "Number of Spears:"
    QWidget* m_weaponsTitle = nullptr;  // the "Available weapons" frame
};

}  // namespace gearloft
