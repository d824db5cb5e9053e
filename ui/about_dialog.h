// The About box: a caption-less picture with the program's banner, a credits
// text that scrolls endlessly, a web link and a contact address that open the
// desktop's browser and mail program, and an OK button. It is dragged by its
// background.
//
// Controls come from template 141 (resources/dialog/141.ui), named by id:
// c1012 the banner, c1016 the web link, c1017 the contact address, c1015 the
// credits box, c1 the OK button. The dialog paints the picture behind all of
// them and draws the links, the credits and the OK button's frame itself.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QString>

#include <cstdint>

class QLabel;
class QPushButton;

namespace gearloft {

struct AppState;

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr char kCreditsResource[] = ":/gearloft/bin/143.txt";
    // Shown, and scrolled, when the credits cannot be read.
    static constexpr char kCreditsMissing[] = "ERROR: Failed to load Credits!\n";

    // creditsResource: where the credits text is read from (tests name a
    // missing one).
    explicit AboutDialog(AppState& state, QWidget* parent = nullptr,
                         const QString& creditsResource = QString::fromLatin1(kCreditsResource));
    ~AboutDialog() override;

    // Esc ends the box with 2, OK with 1.
    void reject() override;

    // One step of the credits (the scroll timer's work): one pixel further,
    // back to 0 where the credits would reach scrollPeriod, then the box is
    // drawn again at once.
    void ScrollStep();

    std::uint32_t scrollPos() const { return m_scrollPos; }
    // 0 until the credits box is first drawn; then the box's height plus the
    // credits' height, measured once.
    std::uint32_t scrollPeriod() const { return m_scrollPeriod; }
    const QString& creditsText() const { return m_creditsText; }
    bool hoverWeb() const { return m_hoverWeb; }
    bool hoverContact() const { return m_hoverContact; }

    // The address a click on the link hands to the desktop: the web link's
    // text as it stands, the contact address as a mail address with a subject.
    QString AddressOf(const QLabel* link) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void Initialize(const QString& creditsResource);
    QRect SourceBehind(const QWidget* control) const;
    void PaintBackgroundBehind(QPainter& painter, const QWidget* control) const;
    void PaintLink(QLabel* link, bool hover);
    void PaintCredits();
    void PaintOkButton();
    void SetHover(QLabel* link, bool hover);
    void OpenLink(QLabel* link);

    AppState& m_state;
    QPixmap m_background;  // bitmap 142
    float m_xScale = 0;    // bitmap size over client size
    float m_yScale = 0;
    QString m_creditsText;
    std::uint32_t m_scrollPos = 0;
    std::uint32_t m_scrollPeriod = 0;
    int m_timerId = 0;
    bool m_hoverWeb = false;
    bool m_hoverContact = false;
    QLabel* m_pressedLink = nullptr;

    QLabel* m_banner = nullptr;
    QLabel* m_webLink = nullptr;
    QLabel* m_contactLink = nullptr;
    QLabel* m_credits = nullptr;
    QPushButton* m_ok = nullptr;
};

// Opens the About box modally over `parent` and returns its end code (1 for
// OK, 2 for Esc). Both main dialogs call it on their About command.
int RunAboutDialog(AppState& state, QWidget* parent);

}  // namespace gearloft
