#include "ui/splash_dialog.h"

#include "app/app_state.h"
#include "ui/template_loader.h"

#include <QPainter>
#include <QPixmap>
#include <QScreen>

namespace gearloft {
namespace {

constexpr char kTemplate[] = ":/gearloft/dialog/145.ui";
constexpr char kPicture[] = ":/gearloft/bitmap/144.png";

}  // namespace

SplashDialog::SplashDialog(std::uint32_t durationMs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    if (!LoadTemplateInto(*this, QString::fromLatin1(kTemplate))) {
        setFixedSize(400, 284);  // the picture's own size
    }
    setObjectName(QStringLiteral("d145"));
    m_timerId = startTimer(static_cast<int>(durationMs));
}

SplashDialog::~SplashDialog() {
    if (m_timerId != 0) {
        killTimer(m_timerId);
    }
}

void SplashDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* shown = screen(); shown != nullptr) {
        move(shown->availableGeometry().center() - rect().center());
    }
    raise();
    activateWindow();
}

void SplashDialog::paintEvent(QPaintEvent* /*event*/) {
    // The picture is loaded for each paint and stretched over the window.
    const QPixmap picture(QString::fromLatin1(kPicture));
    QPainter painter(this);
    if (picture.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), picture);
}

void SplashDialog::timerEvent(QTimerEvent* /*event*/) {
    done(1);
}

void SplashDialog::mousePressEvent(QMouseEvent* /*event*/) {
    done(1);
}

void RunSplashDialog(AppState& state) {
    SplashDialog splash(state.splashDuration);
    splash.exec();
}

}  // namespace gearloft
