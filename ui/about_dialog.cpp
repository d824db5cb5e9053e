#include "ui/about_dialog.h"

#include "app/app_state.h"
#include "app/url_opener.h"
#include "app/user_interaction.h"
#include "platform/wait_cursor.h"
#include "ui/template_loader.h"
#include "ui/window_drag.h"

#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QUrl>

#include <cmath>

namespace gearloft {

namespace {

const char kTemplate[] = ":/gearloft/dialog/141.ui";
const char kBackground[] = ":/gearloft/bitmap/142.png";
const char kAboutText[] = ":/gearloft/string/107.txt";
const char kHandCursor[] = ":/gearloft/cursor/131.png";
const QPoint kHandHotSpot(11, 1);  // the tip of the pointing finger

constexpr int kScrollIntervalMs = 40;  // 25 pixels a second
constexpr int kResultOk = 1;
constexpr int kResultCancel = 2;

const QColor kStaticText(228, 228, 228);
const QColor kLinkColour(0, 255, 0);
const QColor kLinkHoverColour(255, 0, 0);
const QColor kCreditsColour(0, 255, 0);

template <typename T>
T* RequireChild(QWidget* dialog, const char* name) {
    T* child = dialog->findChild<T*>(QLatin1String(name));
    if (child == nullptr) {
        qFatal("Gearloft: dialog template 141 has no control %s", name);
    }
    return child;
}

// The credits as stored: text up to its terminating zero byte.
QString ReadCredits(const QString& resource) {
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString::fromLatin1(AboutDialog::kCreditsMissing);
    }
    QByteArray bytes = file.readAll();
    if (const qsizetype end = bytes.indexOf('\0'); end >= 0) {
        bytes.truncate(end);
    }
    return QString::fromUtf8(bytes);
}

// Lines as a person reads them: CR LF and LF both end a line; a final line
// break leaves an empty last line, as it does when the text is laid out.
QStringList LinesOf(const QString& text) {
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return plain.split(QLatin1Char('\n'));
}

}  // namespace

AboutDialog::AboutDialog(AppState& state, QWidget* parent, const QString& creditsResource)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_state(state) {
    if (!LoadTemplateInto(*this, QString::fromLatin1(kTemplate))) {
        qFatal("Gearloft: dialog template 141 is missing from the program's resources");
    }
    setObjectName(QStringLiteral("d141"));
    Initialize(creditsResource);
}

AboutDialog::~AboutDialog() {
    if (m_timerId != 0) {
        killTimer(m_timerId);
    }
}

void AboutDialog::Initialize(const QString& creditsResource) {
    m_creditsText = ReadCredits(creditsResource);

    m_banner = RequireChild<QLabel>(this, "c1012");
    m_webLink = RequireChild<QLabel>(this, "c1016");
    m_contactLink = RequireChild<QLabel>(this, "c1017");
    m_credits = RequireChild<QLabel>(this, "c1015");
    m_ok = RequireChild<QPushButton>(this, "c1");

    // Every static shows light grey text straight on the picture.
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, kStaticText);
    setPalette(colours);

    QFont linkFont = font();
    linkFont.setUnderline(true);
    m_webLink->setFont(linkFont);
    m_contactLink->setFont(linkFont);

    // The dialog draws these four itself; the credits box covers its whole
    // area every step, so nothing needs painting beneath it.
    for (QWidget* drawn : {static_cast<QWidget*>(m_webLink), static_cast<QWidget*>(m_contactLink),
                           static_cast<QWidget*>(m_credits), static_cast<QWidget*>(m_ok)}) {
        drawn->installEventFilter(this);
    }
    m_credits->setAttribute(Qt::WA_OpaquePaintEvent);

    const QCursor hand(QPixmap(QLatin1String(kHandCursor)), kHandHotSpot.x(), kHandHotSpot.y());
    m_ok->setCursor(hand);
    m_webLink->setCursor(hand);
    m_contactLink->setCursor(hand);
    m_credits->setCursor(Qt::BlankCursor);

    m_ok->setDefault(true);
    m_ok->setFocus();
    connect(m_ok, &QPushButton::clicked, this, [this] { done(kResultOk); });

    m_background = QPixmap(QLatin1String(kBackground));
    if (!m_background.isNull()) {
        m_xScale = static_cast<float>(m_background.width()) / static_cast<float>(width());
        m_yScale = static_cast<float>(m_background.height()) / static_cast<float>(height());
    }

    QFile aboutText(QString::fromLatin1(kAboutText));
    if (aboutText.open(QIODevice::ReadOnly)) {
        m_banner->setText(QString::fromUtf8(aboutText.readAll()).trimmed());
    }

    // The banner and the two labels do not react to the mouse: pressing on
    // them drags the box like its background.
    auto* drag = new WindowDrag(this);
    drag->addHandle(m_banner);
    drag->addHandle(findChild<QLabel*>(QStringLiteral("cWebLabel")));
    drag->addHandle(findChild<QLabel*>(QStringLiteral("cContactLabel")));

    m_scrollPos = 0;
    m_timerId = startTimer(kScrollIntervalMs);
}

void AboutDialog::reject() {
    done(kResultCancel);
}

// ---------------------------------------------------------------------------
// Scrolling

void AboutDialog::ScrollStep() {
    ++m_scrollPos;
    if (m_scrollPos >= m_scrollPeriod) {
        m_scrollPos = 0;
    }
    m_credits->repaint();
}

void AboutDialog::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_timerId) {
        ScrollStep();
        return;
    }
    QDialog::timerEvent(event);
}

// ---------------------------------------------------------------------------
// Painting

void AboutDialog::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (m_background.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.drawPixmap(rect(), m_background);
}

QRect AboutDialog::SourceBehind(const QWidget* control) const {
    // The control's rectangle in the box, scaled into the picture; each edge
    // truncated towards zero.
    const QRect inBox(control->mapTo(this, QPoint(0, 0)), control->size());
    const int left = static_cast<int>(static_cast<float>(inBox.left()) * m_xScale);
    const int top = static_cast<int>(static_cast<float>(inBox.top()) * m_yScale);
    const int right = static_cast<int>(static_cast<float>(inBox.left() + inBox.width()) * m_xScale);
    const int bottom =
        static_cast<int>(static_cast<float>(inBox.top() + inBox.height()) * m_yScale);
    return QRect(left, top, right - left, bottom - top);
}

void AboutDialog::PaintBackgroundBehind(QPainter& painter, const QWidget* control) const {
    if (m_background.isNull()) {
        painter.fillRect(control->rect(), Qt::black);
        return;
    }
    painter.drawPixmap(control->rect(), m_background, SourceBehind(control));
}

void AboutDialog::PaintLink(QLabel* link, bool hover) {
    QPainter painter(link);
    PaintBackgroundBehind(painter, link);
    painter.setFont(link->font());
    painter.setPen(hover ? kLinkHoverColour : kLinkColour);
    painter.drawText(link->rect(), Qt::AlignCenter | Qt::TextSingleLine, link->text());
}

void AboutDialog::PaintCredits() {
    QPainter painter(m_credits);
    const QFontMetrics metrics(m_credits->font());
    const QStringList lines = LinesOf(m_creditsText);
    const int lineHeight = metrics.height();
    if (m_scrollPeriod == 0) {
        m_scrollPeriod = static_cast<std::uint32_t>(m_credits->height()) +
                         static_cast<std::uint32_t>(lineHeight * lines.size());
    }
    PaintBackgroundBehind(painter, m_credits);
    painter.setFont(m_credits->font());
    painter.setPen(kCreditsColour);
    // The text's top starts at the box's bottom edge and climbs with scrollPos.
    int y = m_credits->height() - static_cast<int>(m_scrollPos);
    const int width = m_credits->width();
    for (const QString& line : lines) {
        if (y + lineHeight > 0 && y < m_credits->height()) {
            painter.drawText(QRect(0, y, width, lineHeight),
                             Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, line);
        }
        y += lineHeight;
    }
}

void AboutDialog::PaintOkButton() {
    QPainter painter(m_ok);
    PaintBackgroundBehind(painter, m_ok);
    // A one-pixel raised frame that sinks while the button is held down; the
    // picture carries the button's label.
    const bool pressed = m_ok->isDown();
    const QColor light = pressed ? Qt::black : Qt::white;
    const QColor dark = pressed ? Qt::white : Qt::black;
    const QRect r = m_ok->rect();
    painter.setPen(light);
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(dark);
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
}

// ---------------------------------------------------------------------------
// The mouse over the controls

void AboutDialog::SetHover(QLabel* link, bool hover) {
    bool& flag = link == m_webLink ? m_hoverWeb : m_hoverContact;
    if (flag != hover) {
        flag = hover;
        link->repaint();
    }
}

QString AboutDialog::AddressOf(const QLabel* link) const {
    if (link == m_contactLink) {
        return QStringLiteral("mailto:") + link->text() + QStringLiteral("?Subject=Gearloft");
    }
    return link->text();
}

void AboutDialog::OpenLink(QLabel* link) {
    const QString address = AddressOf(link);
    QString error;
    bool opened = false;
    {
        WaitCursor wait;
        opened = m_state.urlOpener != nullptr &&
                 m_state.urlOpener->Open(QUrl(address, QUrl::TolerantMode), &error);
    }
    if (opened) {
        return;
    }
    if (error.isEmpty()) {
        error = QStringLiteral("ERROR: Cannot open '%1'!").arg(address);
    }
    if (m_state.ui != nullptr) {
        m_state.ui->ShowMessage(error, MessageIcon::Error);
    }
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event) {
    QLabel* link = watched == m_webLink       ? m_webLink
                   : watched == m_contactLink ? m_contactLink
                                              : nullptr;
    switch (event->type()) {
        case QEvent::Paint:
            if (link != nullptr) {
                PaintLink(link, link == m_webLink ? m_hoverWeb : m_hoverContact);
                return true;
            }
            if (watched == m_credits) {
                PaintCredits();
                return true;
            }
            if (watched == m_ok) {
                PaintOkButton();
                return true;
            }
            break;
        case QEvent::Enter:
            if (link != nullptr) {
                SetHover(link, true);
            }
            break;
        case QEvent::Leave:
            if (link != nullptr) {
                SetHover(link, false);
            }
            break;
        case QEvent::MouseButtonPress:
            // A link takes its own presses, so they never drag the box.
            if (link != nullptr) {
                auto* press = static_cast<QMouseEvent*>(event);
                m_pressedLink = press->button() == Qt::LeftButton ? link : nullptr;
                return true;
            }
            break;
        case QEvent::MouseButtonRelease:
            if (link != nullptr) {
                auto* release = static_cast<QMouseEvent*>(event);
                const bool clicked = release->button() == Qt::LeftButton && m_pressedLink == link &&
                                     link->rect().contains(release->position().toPoint());
                m_pressedLink = nullptr;
                if (clicked) {
                    OpenLink(link);
                }
                return true;
            }
            break;
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

int RunAboutDialog(AppState& state, QWidget* parent) {
    AboutDialog about(state, parent);
    return about.exec();
}

}  // namespace gearloft
