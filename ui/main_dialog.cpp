// Temporary: replaced by the real main dialog.
#include "ui/main_dialog.h"

namespace gearloft {

MainDialog::MainDialog(AppState& state, QWidget* parent) : QDialog(parent), m_state(state) {}

}  // namespace gearloft
