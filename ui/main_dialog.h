// The plain main dialog.
#pragma once

#include <QDialog>

namespace gearloft {

struct AppState;

// Runs modally; ends with 1 (Start) or 2 (Quit, Esc, close box).
class MainDialog : public QDialog {
    Q_OBJECT
public:
    explicit MainDialog(AppState& state, QWidget* parent = nullptr);

private:
    AppState& m_state;
};

}  // namespace gearloft
