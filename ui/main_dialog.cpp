#include "ui/main_dialog.h"

#include "app/app_state.h"
#include "app/settings_keys.h"
#include "app/user_interaction.h"
#include "platform/wait_cursor.h"
#include "ui/template_loader.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QStyle>
#include <QUrl>

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
    // levels.cfg lies beside the program, or in the settings folder of an
    // installed program; a dialog made without start-up looks beside it.
    m_catalogue.ApplyOverrideFile(state.paths.levelsCfg.isEmpty()
                                      ? LevelCatalogue::overrideFilePath(state.programPath)
                                      : state.paths.levelsCfg);

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
    }
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
    connect(help, &QShortcut::activated, this, &MainDialog::OpenHelp);

    m_spin->setRange(0, 255);
    m_spin->setValue(0);

    m_levelList->clear();
    for (int row = 0; row < m_catalogue.rowCount(); ++row) {
        m_levelList->addItem(m_catalogue.displayName(row));
    }
    // The open list is as wide as its longest name, even where the closed
    // list has to cut one short.
    QAbstractItemView* list = m_levelList->view();
    list->setMinimumWidth(list->sizeHintForColumn(0) +
                          list->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8);

    int lastLevel = settings::Read(m_state.settings, settings::kLastLevel);
    if (!m_catalogue.isValidRow(lastLevel)) {
        lastLevel = 0;
    }
    m_level->fields = LevelFields{};
    m_level->fields.nLevel = lastLevel;
    ExchangeToControls(m_level->fields);
    SetEditingEnabled(false);

    // A stored position is used only while it lies on the primary screen
    // (the screen may have become smaller since it was stored).
    const int x = settings::Read(m_state.settings, settings::kPosX);
    const int y = settings::Read(m_state.settings, settings::kPosY);
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen && x >= 0 && y >= 0 && x < screen->geometry().width() &&
        y < screen->geometry().height()) {
        move(x, y);
    }

    PostLoad();
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
    m_shown = true;
    QDialog::showEvent(event);
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

void MainDialog::OpenHelp() {
    QString path = m_state.helpFilePath;
    if (path.isEmpty()) {
        const QFileInfo program(m_state.programPath);
        path = m_state.programPath.isEmpty()
                   ? QCoreApplication::applicationDirPath() + QStringLiteral("/gearloft.html")
                   : program.absolutePath() + QLatin1Char('/') + program.completeBaseName() +
                         QStringLiteral(".html");
    }
    if (!QFileInfo(path).isFile() || !QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        m_state.ui->ShowMessage(QStringLiteral("ERROR: Cannot open the help file '%1'!").arg(path),
                                MessageIcon::Error);
    }
}

// ---------------------------------------------------------------------------
// Data exchange and the loaded level's view

bool MainDialog::ExchangeFromControls(LevelFields& fields) {
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
