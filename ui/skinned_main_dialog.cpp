#include "ui/skinned_main_dialog.h"

#include "app/app_state.h"
#include "app/debug_output.h"
#include "app/settings_keys.h"
#include "app/user_interaction.h"
#include "ui/skin_loader.h"
#include "ui/template_loader.h"
#include "ui/window_drag.h"

#include <QComboBox>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLibrary>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace gearloft {

const std::array<ButtonFaces, kFaceButtonCount> kButtonFaces = {{
    {"c57664", 148, 150, -1},  // About
    {"c1", 149, 151, -1},      // Start
    {"c2", 153, 152, -1},      // Quit
    {"c1014", 155, 154, -1},   // Restore
    {"c1010", 157, 156, -1},   // Save
    {"c1003", 158, 159, 2},    // Disk
    {"c1004", 160, 162, 3},    // Grappling hook
    {"c1002", 161, 163, 1},    // Shoulder cannon
    {"c1001", 164, 168, 0},    // Pistol
    {"c1006", 165, 169, 5},    // Jet pack
    {"c1005", 167, 166, 4},    // Medicomp
}};

namespace {

constexpr int kTemplateId = 103;
constexpr int kBackgroundId = 147;
constexpr unsigned kInitDialogMessage = 272;
const char kIcon[] = ":/gearloft/icon/128.png";
const char kHandCursor[] = ":/gearloft/cursor/131.png";
const QPoint kHandHotSpot(11, 1);  // the tip of the pointing finger

// The largest picture a skin may supply, per side. The dialog is 360 x 208
// and its faces far smaller, so this leaves room for pictures drawn for
// screens of five times the density; beyond it a picture would cost up to
// 400 MB and seconds of decoding at every paint (pictures are read anew for
// each), which no skin needs.
constexpr int kMaxPictureSide = 2048;

using InitSkinFunction = long (*)(void* window, unsigned message, unsigned long wParam,
                                  long lParam);

// A control of the template by name and kind; records what is wrong.
template <typename T>
T* FindControl(QWidget* form, const char* name, QStringList& problems) {
    QWidget* widget = form->findChild<QWidget*>(QLatin1String(name));
    if (widget == nullptr) {
        problems << QStringLiteral("no control %1").arg(QLatin1String(name));
        return nullptr;
    }
    T* control = qobject_cast<T*>(widget);
    if (control == nullptr) {
        problems << QStringLiteral("control %1 is a %2, not a %3")
                        .arg(QLatin1String(name), QLatin1String(widget->metaObject()->className()),
                             QLatin1String(T::staticMetaObject.className()));
    }
    return control;
}

// The text a button carries, as a reader says it: no mnemonic, no padding.
QString SpokenText(const QString& text) {
    QString spoken = text;
    spoken.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return spoken.trimmed();
}

}  // namespace

SkinnedMainDialog::SkinnedMainDialog(AppState& state, ResourceModule module, QWidget* parent)
    : LevelDialog(state, std::make_unique<FieldSpearCount>(), parent), m_module(module) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint);
    setWindowTitle(QStringLiteral("Gearloft"));
    setWindowIcon(QIcon(QLatin1String(kIcon)));

    m_form = LoadStandardTemplate(m_module.dialog(kTemplateId), this, &m_templateError);
    if (m_form != nullptr && !AttachControls()) {
        delete m_form;
        m_form = nullptr;
    }
    if (m_form == nullptr) {
        DebugOutput(QStringLiteral("ERROR: skin template: %1\n")
                        .arg(m_templateError)
                        .toLocal8Bit()
                        .constData());
        return;
    }

    // The skin's colours on every control; the equipment buttons and the
    // form itself let the background picture show through.
    setPalette(SkinPalette(state.skinBackColor, state.skinTextColor));
    m_form->setAttribute(Qt::WA_TranslucentBackground);
    m_form->setAutoFillBackground(false);
    auto* drag = new WindowDrag(this);
    drag->addHandle(m_form);

    if (state.skinModule) {
        const auto initSkin =
            reinterpret_cast<InitSkinFunction>(state.skinModule->resolve("InitSkin"));
        if (initSkin != nullptr) {
            initSkin(static_cast<QWidget*>(this), kInitDialogMessage, 0, 0);
        }
    }

    Commands commands;
    commands.about = m_buttons[0];
    commands.start = m_buttons[1];
    commands.quit = m_buttons[2];
    commands.restore = m_buttons[3];
    commands.save = m_buttons[4];
    if (auto* load = m_form->findChild<QPushButton*>(QStringLiteral("c1009"))) {
        load->setVisible(false);
        load->setEnabled(false);
        commands.load = load;
    }
    InitializeLevel(m_form->findChild<QComboBox*>(QStringLiteral("c1000")), commands);
}

SkinnedMainDialog::~SkinnedMainDialog() = default;

bool SkinnedMainDialog::AttachControls() {
    QStringList problems;
    for (std::size_t i = 0; i < kButtonFaces.size(); ++i) {
        m_buttons[i] = FindControl<QPushButton>(m_form, kButtonFaces[i].control, problems);
    }
    m_countField = FindControl<QLineEdit>(m_form, "c1007", problems);
    FindControl<QComboBox>(m_form, "c1000", problems);
    if (!problems.isEmpty()) {
        m_templateError = m_module.dialog(kTemplateId) + QStringLiteral(": ") +
                          problems.join(QStringLiteral(", "));
        return false;
    }

    m_form->move(0, 0);
    setFixedSize(m_form->size());

    const QCursor hand(QPixmap(QLatin1String(kHandCursor)), kHandHotSpot.x(), kHandHotSpot.y());
    for (std::size_t i = 0; i < kButtonFaces.size(); ++i) {
        QPushButton* button = m_buttons[i];
        // The text is never drawn, but it names the button for a screen
        // reader and, as a tooltip, for a player who cannot tell faces apart.
        const QString spoken = SpokenText(button->text());
        button->setAccessibleName(spoken);
        button->setToolTip(spoken);
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setCursor(hand);
        button->installEventFilter(this);
        const int index = kButtonFaces[i].switchIndex;
        if (index >= 0) {
            connect(button, &QPushButton::clicked, this, [this, index] { ToggleSwitch(index); });
        }
    }

    m_countField->setAlignment(Qt::AlignCenter);
    m_countField->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]*")), m_countField));
    return true;
}

int SkinnedMainDialog::exec() {
    if (m_form == nullptr) {
        AppState& app = state();
        app.ui->ShowMessage(QStringLiteral("ERROR: Failed to load Skin resources."),
                            MessageIcon::Error);
        app.settings.SetInt(settings::kSection, "Use Skin", 1);
        // The restarted program opens the plain dialog; it would otherwise
        // meet this skin again and restart for ever.
        app.settings.SetString(settings::kSection, settings::kSkin, QByteArray(""));
        app.restartRequested = true;
        return kResultSkinFailed;
    }
    return LevelDialog::exec();
}

FieldSpearCount& SkinnedMainDialog::count() {
    return static_cast<FieldSpearCount&>(spearCount());
}

void SkinnedMainDialog::ToggleSwitch(int index) {
    bool& on = level().fields.switches[static_cast<std::size_t>(index)];
    on = !on;
    for (std::size_t i = 0; i < kButtonFaces.size(); ++i) {
        if (kButtonFaces[i].switchIndex == index) {
            m_buttons[i]->repaint();
        }
    }
}

int SkinnedMainDialog::FaceOf(const QWidget* button) const {
    for (std::size_t i = 0; i < kButtonFaces.size(); ++i) {
        if (m_buttons[i] != nullptr && m_buttons[i] == button) {
            const ButtonFaces& faces = kButtonFaces[i];
            bool on = m_buttons[i]->isDown();
            if (faces.switchIndex >= 0) {
                on = on || level().fields.switches[static_cast<std::size_t>(faces.switchIndex)];
            }
            return on ? faces.onFace : faces.offFace;
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Painting: every picture is read anew for each paint

QImage SkinnedMainDialog::LoadPicture(int id) const {
    const QString path = m_module.bitmap(id);
    QImageReader reader(path);
    const QSize size = reader.size();
    if (size.width() > kMaxPictureSide || size.height() > kMaxPictureSide) {
        // Said once per picture: it is asked for at every paint.
        if (!m_refusedPictures.contains(id)) {
            m_refusedPictures.insert(id);
            DebugOutput(QStringLiteral("WARNING: skin picture %1 is %2 x %3 pixels, more than "
                                       "%4 x %4: left out\n")
                            .arg(path)
                            .arg(size.width())
                            .arg(size.height())
                            .arg(kMaxPictureSide)
                            .toLocal8Bit()
                            .constData());
        }
        return QImage();
    }
    return reader.read();
}

bool SkinnedMainDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint) {
        auto* button = qobject_cast<QPushButton*>(watched);
        const int face = FaceOf(button);
        if (face != 0) {
            const QImage image = LoadPicture(face);
            // A missing face leaves the button's standard look, so the skin
            // stays usable.
            if (image.isNull()) {
                return false;
            }
            QPainter painter(button);
            painter.drawImage(button->rect(), image);
            return true;
        }
    }
    return LevelDialog::eventFilter(watched, event);
}

void SkinnedMainDialog::paintEvent(QPaintEvent* event) {
    const QImage background = LoadPicture(kBackgroundId);
    if (background.isNull()) {
        LevelDialog::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.drawImage(rect(), background);
}

void SkinnedMainDialog::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
        } else {
            accept();
        }
        return;
    }
    LevelDialog::keyPressEvent(event);
}

// ---------------------------------------------------------------------------
// Data exchange: the switches live in the level's fields, the count field
// is a signed integer

bool SkinnedMainDialog::ExchangeEditorsFromControls(LevelFields& /*fields*/) {
    bool ok = false;
    const int value = m_countField->text().trimmed().toInt(&ok, 10);
    if (!ok) {
        state().ui->ShowMessage(QStringLiteral("Please enter an integer."), MessageIcon::Error);
        m_countField->setFocus();
        m_countField->selectAll();
        return false;
    }
    count().nSpears = value;
    return true;
}

void SkinnedMainDialog::ExchangeEditorsToControls(const LevelFields& /*fields*/) {
    m_countField->setText(QString::number(count().nSpears));
    for (std::size_t i = 0; i < kButtonFaces.size(); ++i) {
        if (kButtonFaces[i].switchIndex >= 0) {
            m_buttons[i]->update();
        }
    }
}

void SkinnedMainDialog::SetEditingEnabled(bool enabled) {
    for (std::size_t i = 0; i < kButtonFaces.size(); ++i) {
        if (kButtonFaces[i].switchIndex >= 0) {
            m_buttons[i]->setEnabled(enabled);
        }
    }
    m_countField->setEnabled(enabled);
}

}  // namespace gearloft
