// The skinned main dialog: template 103 from a resource module, a frameless
// window painted with the background picture, eleven buttons painted from
// their faces by state, the skin's colours on the other controls, the hand
// cursor over the buttons and dragging by the background. Everything it
// does with the level is LevelDialog's.
//
// The template is someone else's: it is built with the standard widget
// classes only, and a missing or wrongly typed control makes the dialog
// refuse to run (exec() returns 3) instead of failing later.
#pragma once

#include "ui/level_dialog.h"
#include "ui/resource_module.h"

#include <QImage>
#include <QSet>
#include <QString>

#include <array>

class QLineEdit;
class QPushButton;

namespace gearloft {

// The faces of one owner-drawn button: resource ids by state.
struct ButtonFaces {
    const char* control;  // object name, "c1001"
    int offFace;          // not pressed (and, for equipment, off)
    int onFace;           // pressed (or on)
    int switchIndex;      // the equipment bit, or -1
};
inline constexpr int kFaceButtonCount = 11;
extern const std::array<ButtonFaces, kFaceButtonCount> kButtonFaces;

class SkinnedMainDialog : public LevelDialog {
    Q_OBJECT
public:
    SkinnedMainDialog(AppState& state, ResourceModule module, QWidget* parent = nullptr);
    ~SkinnedMainDialog() override;

    // Runs the dialog. When the template could not be used: "ERROR: Failed
    // to load Skin resources." (stop icon), "Use Skin" = 1, the "Skin"
    // setting cleared so that the restart opens the plain dialog, a restart
    // requested, and 3.
    int exec() override;

    bool templateLoaded() const { return m_form != nullptr; }
    // Why the template could not be used; empty when it was.
    const QString& templateError() const { return m_templateError; }
    // The face a button shows now (resource id), or 0 for a control that
    // has none.
    int FaceOf(const QWidget* button) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // The template has no default button: Enter is Start, except on a
    // button, where it presses that button.
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool AttachControls();
    // A picture of the resource module; a null image when it is missing or
    // larger than the dialog could ever use (said once in the debug output).
    QImage LoadPicture(int id) const;
    void ToggleSwitch(int index);

    // LevelDialog
    bool ExchangeEditorsFromControls(LevelFields& fields) override;
    void ExchangeEditorsToControls(const LevelFields& fields) override;
    // LevelView
    void SetEditingEnabled(bool enabled) override;

    FieldSpearCount& count();

    ResourceModule m_module;
    QWidget* m_form = nullptr;
    QString m_templateError;
    std::array<QPushButton*, kFaceButtonCount> m_buttons{};
    QLineEdit* m_countField = nullptr;
    mutable QSet<int> m_refusedPictures;
};

}  // namespace gearloft
