#include "ui/main_dialog.h"

#include "ui/template_loader.h"

#include <QCheckBox>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>

namespace gearloft {

namespace {

const char kTemplate[] = ":/gearloft/dialog/102.ui";
const char kIcon[] = ":/gearloft/icon/128.png";
const char kHandCursor[] = ":/gearloft/cursor/131.png";
const QPoint kHandHotSpot(11, 1);  // the tip of the pointing finger

template <typename T>
T* RequireChild(QWidget* form, const char* name) {
    T* child = form->findChild<T*>(QLatin1String(name));
    if (!child) {
        qFatal("Gearloft: dialog template 102 has no control %s", name);
    }
    return child;
}

}  // namespace

MainDialog::MainDialog(AppState& state, QWidget* parent)
    : LevelDialog(state, std::make_unique<SpinSpearCount>(static_cast<SpinControl&>(*this)),
                  parent) {
    m_form = LoadTemplate(QString::fromLatin1(kTemplate), this);
    if (m_form == nullptr) {
        qFatal("Gearloft: dialog template 102 is missing from the program's resources");
    }

    // The template's frame: caption, fixed size, its own task-bar button.
    setWindowTitle(m_form->windowTitle());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::WindowContextHelpButtonHint);
    m_form->move(0, 0);
    setFixedSize(m_form->size());
    setWindowIcon(QIcon(QLatin1String(kIcon)));

    static const char* const kSwitchNames[kSwitchCount] = {"c1001", "c1002", "c1003",
                                                           "c1004", "c1005", "c1006"};
    for (int i = 0; i < kSwitchCount; ++i) {
        m_switches[i] = RequireChild<QCheckBox>(m_form, kSwitchNames[i]);
    }
    m_spin = RequireChild<QSpinBox>(m_form, "c1008");
    if (QLineEdit* buddy = m_spin->findChild<QLineEdit*>()) {
        buddy->setObjectName(QStringLiteral("c1007"));
        // The field keeps what the user types, in range or not, until it is
        // left; the spin box then takes a number in range as its position
        // and shows its last valid position again for anything else. Without
        // this, the spin box's own validator drops the keystroke that leaves
        // the range, and 256 silently becomes 25.
        buddy->setValidator(nullptr);
    }
    // The position changes when an entry is finished, not with each key, so
    // that the last valid position is the one before an entry that fails.
    m_spin->setKeyboardTracking(false);
    m_spin->setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    // Greyed together with the controls they name.
    m_spearsLabel = m_form->findChild<QWidget*>(QStringLiteral("labelSpears"));
    m_weaponsTitle = m_form->findChild<QWidget*>(QStringLiteral("groupWeapons"));
    m_aboutIcon = RequireChild<QLabel>(m_form, "c57664");
    m_aboutIcon->setPixmap(QPixmap(QLatin1String(kIcon)));
    m_aboutIcon->setCursor(
        QCursor(QPixmap(QLatin1String(kHandCursor)), kHandHotSpot.x(), kHandHotSpot.y()));
    m_aboutIcon->installEventFilter(this);

    Commands commands;
    commands.save = RequireChild<QPushButton>(m_form, "c1010");
    commands.restore = RequireChild<QPushButton>(m_form, "c1014");
    commands.start = RequireChild<QPushButton>(m_form, "c1");
    commands.quit = RequireChild<QPushButton>(m_form, "c2");
    auto* load = RequireChild<QPushButton>(m_form, "c1009");
    commands.load = load;
    load->setVisible(false);
    load->setEnabled(false);
    static_cast<QPushButton*>(commands.save)->setDefault(true);

    m_spin->setRange(0, 255);
    m_spin->setValue(0);

    InitializeLevel(RequireChild<QComboBox>(m_form, "c1000"), commands);
}

MainDialog::~MainDialog() = default;

bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_aboutIcon && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        m_aboutIcon->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        ShowAbout();
        return true;
    }
    return LevelDialog::eventFilter(watched, event);
}

bool MainDialog::ExchangeEditorsFromControls(LevelFields& fields) {
    // Takes the count's text as the spin box does when the field is left:
    // a number in range becomes the position, anything else shows the last
    // valid position again, which is the one that Save writes.
    m_spin->interpretText();
    for (int i = 0; i < kSwitchCount; ++i) {
        fields.switches[i] = m_switches[i]->isChecked();
    }
    return true;
}

void MainDialog::ExchangeEditorsToControls(const LevelFields& fields) {
    for (int i = 0; i < kSwitchCount; ++i) {
        m_switches[i]->setChecked(fields.switches[i]);
    }
}

void MainDialog::SetEditingEnabled(bool enabled) {
    for (QCheckBox* box : m_switches) {
        box->setEnabled(enabled);
    }
    m_spin->setEnabled(enabled);
    for (QWidget* caption : {m_spearsLabel, m_weaponsTitle}) {
        if (caption != nullptr) {
            caption->setEnabled(enabled);
        }
    }
}

int MainDialog::position() const {
    return m_spin->value();
}

void MainDialog::setPosition(int position) {
    m_spin->setValue(position);
}

}  // namespace gearloft
