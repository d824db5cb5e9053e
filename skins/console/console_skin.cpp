// The console skin's module code: it gives the dialog window the rounded
// outline that its background picture is drawn with.
#include <QPainterPath>
#include <QRegion>
#include <QWidget>

namespace {
constexpr unsigned kInitDialog = 272;
constexpr qreal kCornerRadius = 18;  // as the background's outline
}  // namespace

extern "C" Q_DECL_EXPORT long InitSkin(void* window, unsigned message, unsigned long /*wParam*/,
                                       long /*lParam*/) {
    if (window == nullptr || message != kInitDialog) {
        return 0;
    }
    auto* dialog = static_cast<QWidget*>(window);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(dialog->rect()), kCornerRadius, kCornerRadius);
    dialog->setMask(QRegion(outline.toFillPolygon().toPolygon()));
    return 1;
}
