#include "ui/main_dialog.h"

#include "app/app_state.h"
#include "app/settings_keys.h"
#include "app/user_interaction.h"
#include "platform/wait_cursor.h"
#include "ui/help_file.h"
#include "ui/level_list.h"
#include "ui/template_loader.h"
#include "ui/window_placement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>

namespace gearloft {

namespace {

const char kTemplate[] = ":/gearloft/dialog/102.ui";
const char kIcon[] = ":/gearloft/icon/128.png";
const char kHandCursor[] = ":/gearloft/cursor/131.png";
const QPoint kHandHotSpot(11, 1);  // the tip of the pointing finger

constexpr int kResultStart = 1;
constexpr int kResultQuit = 2;

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
    : QDialog(parent),
      m_state(state),
      m_spearCount(*this),
      m_level(std::make_unique<LoadedLevel>(state, m_catalogue, static_cast<LevelView&>(*this),
                                            m_spearCount)) {
    m_catalogue.ApplyOverrideFile(LevelCatalogue::overrideFilePath(state.programPath));

    m_form = LoadTemplate(QString::fromLatin1(kTemplate), this);
    if (m_form == nullptr) {
        qFatal("Gearloft: dialog template 102 is missing from the program's resources");
    }
    Initialize();
}

MainDialog::~MainDialog() {
    StorePlacementAndRelease();
}

void MainDialog::Initialize() {
    WaitCursor wait;

    // The template's frame: caption, fixed size, its own task-bar button.
    setWindowTitle(m_form->windowTitle());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    m_form->move(0, 0);
    setFixedSize(m_form->size());
    setWindowIcon(QIcon(QLatin1String(kIcon)));

    m_levelList = RequireChild<QComboBox>(m_form, "c1000");
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

    auto* save = RequireChild<QPushButton>(m_form, "c1010");
    auto* restore = RequireChild<QPushButton>(m_form, "c1014");
    auto* start = RequireChild<QPushButton>(m_form, "c1");
    auto* quit = RequireChild<QPushButton>(m_form, "c2");
    auto* load = RequireChild<QPushButton>(m_form, "c1009");
    load->setVisible(false);
    load->setEnabled(false);
    save->setDefault(true);
    connect(save, &QPushButton::clicked, this, &MainDialog::OnSave);
    connect(restore, &QPushButton::clicked, this, &MainDialog::OnRestore);
    connect(start, &QPushButton::clicked, this, &MainDialog::accept);
    connect(quit, &QPushButton::clicked, this, &MainDialog::reject);
    connect(load, &QPushButton::clicked, this, &MainDialog::OnLoad);
    // Choosing an entry, the one already shown included, reloads from disk.
    connect(m_levelList, &QComboBox::activated, this, &MainDialog::PostLoad);

    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] { OpenHelpFile(m_state); });

    m_spin->setRange(0, 255);
    m_spin->setValue(0);

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

void MainDialog::PlaceAtStoredPosition() {
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

void MainDialog::PostLoad() {
    QMetaObject::invokeMethod(this, &MainDialog::OnLoad, Qt::QueuedConnection);
}

void MainDialog::OnLoad() {
    m_level->Load();
}

void MainDialog::OnSave() {
    m_level->Save();
}

void MainDialog::OnRestore() {
    m_level->Restore();
}

void MainDialog::accept() {
    ExchangeFromControls(m_level->fields);
    if (!m_level->Start()) {
        return;
    }
    done(kResultStart);
}

void MainDialog::reject() {
    done(kResultQuit);
}

void MainDialog::done(int result) {
    StorePlacementAndRelease();
    QDialog::done(result);
}

void MainDialog::StorePlacementAndRelease() {
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

void MainDialog::showEvent(QShowEvent* event) {
    const bool first = !m_shown;
    m_shown = true;
    QDialog::showEvent(event);
    if (first && testAttribute(Qt::WA_Moved)) {
        PlaceAtStoredPosition();
    }
}

bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_aboutIcon && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        m_aboutIcon->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        emit aboutRequested();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Data exchange and the loaded level's view

bool MainDialog::ExchangeFromControls(LevelFields& fields) {
    // Takes the count's text as the spin box does when the field is left:
    // a number in range becomes the position, anything else shows the last
    // valid position again, which is the one that Save writes.
    m_spin->interpretText();
    fields.nLevel = m_levelList->currentIndex();
    for (int i = 0; i < kSwitchCount; ++i) {
        fields.switches[i] = m_switches[i]->isChecked();
    }
    return true;
}

void MainDialog::ExchangeToControls(const LevelFields& fields) {
    m_levelList->setCurrentIndex(m_catalogue.isValidRow(fields.nLevel) ? fields.nLevel : -1);
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

void MainDialog::SetBusy(bool busy) {
    if (busy) {
        m_waitCursors.push_back(std::make_unique<WaitCursor>());
    } else if (!m_waitCursors.empty()) {
        m_waitCursors.pop_back();
    }
}

int MainDialog::position() const {
    return m_spin->value();
}

void MainDialog::setPosition(int position) {
    m_spin->setValue(position);
}

}  // namespace gearloft
