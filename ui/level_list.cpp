#include "ui/level_list.h"

#include "app/level_catalogue.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

namespace gearloft {
namespace {

// Swallows wheel events aimed at the closed list. The open list is a popup
// of its own and scrolls as usual.
class WheelGuard : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Wheel) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void SetUpLevelList(QComboBox& list, const LevelCatalogue& catalogue) {
    list.clear();
    for (int row = 0; row < catalogue.rowCount(); ++row) {
        list.addItem(catalogue.displayName(row));
    }
    list.installEventFilter(new WheelGuard(&list));

    // The open list is as wide as its longest name, even where the closed
    // list has to cut one short, up to the screen's width less a margin.
    QAbstractItemView* view = list.view();
    const int wanted =
        view->sizeHintForColumn(0) + view->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8;
    const QScreen* screen = list.screen() ? list.screen() : QGuiApplication::primaryScreen();
    int widest = wanted;
    if (screen != nullptr) {
        widest =
            std::max(list.width(), screen->availableGeometry().width() - kLevelListScreenMargin);
    }
    view->setMinimumWidth(std::min(wanted, widest));
    // The popup frame around the view sizes itself from the items; it is
    // held to the same limit.
    for (QWidget* frame : {static_cast<QWidget*>(view), view->parentWidget()}) {
        if (frame != nullptr) {
            frame->setMaximumWidth(widest);
        }
    }
    view->setTextElideMode(Qt::ElideRight);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

}  // namespace gearloft
