// The About box driven through its real window on the offscreen platform:
// the scrolling credits, the links and the opener they reach, the cursor and
// hover colours, dragging, and how the box ends.
#include "ui/about_dialog.h"

#include "app/app_state.h"
#include "app/url_opener.h"
#include "app/user_interaction.h"
#include "platform/desktop_url_opener.h"
#include "tests/support/find_control.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace gearloft {
namespace {

const char kWebAddress[] = "https://www.example.org/gearloft/";
const char kMailAddress[] = "mailto:gearloft@example.org?Subject=Gearloft";

class RecordingOpener : public UrlOpener {
public:
    bool Open(const QUrl& url, QString* error) override {
        urls.push_back(url.toString());
        if (!failWith.isEmpty() && error != nullptr) {
            *error = failWith;
        }
        return failWith.isEmpty();
    }
    std::vector<QString> urls;
    QString failWith;  // non-empty: every open fails with this sentence
};

// Receives what the desktop is asked to open, in place of a browser.
class UrlHandler : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

class RecordingUi : public UserInteraction {
public:
    void ShowMessage(const QString& text, MessageIcon icon) override {
        messages.push_back(text);
        icons.push_back(icon);
    }
    void Beep() override {}
    std::vector<QString> messages;
    std::vector<MessageIcon> icons;
};

// Counts the pixels of a grabbed control that are clearly of one colour.
struct ColourCount {
    int green = 0;
    int red = 0;
};

ColourCount CountColours(QWidget* control) {
    const QImage image = control->grab().toImage();
    ColourCount count;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count.green += c.green() > 160 && c.red() < 90 ? 1 : 0;
            count.red += c.red() > 160 && c.green() < 90 ? 1 : 0;
        }
    }
    return count;
}

// The rows and columns of the credits box that hold green text.
QRect GreenArea(QWidget* box) {
    const QImage image = box->grab().toImage();
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.green() > 160 && c.red() < 90) {
                area |= QRect(x, y, 1, 1);
            }
        }
    }
    return area;
}

class AboutDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        state.ui = &ui;
        state.urlOpener = &opener;
    }

    AboutDialog& Open(const QString& credits = QString::fromLatin1(AboutDialog::kCreditsResource)) {
        about = std::make_unique<AboutDialog>(state, nullptr, credits);
        about->move(200, 150);
        about->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(about.get()));
        return *about;
    }

    template <typename T>
    T* Control(const char* id) {
        return testing::FindControl<T>(*about, id);
    }

    // The centre of a control in the box's window coordinates.
    QPoint CentreOf(const char* id) {
        QWidget* control = Control<QWidget>(id);
        return control->mapTo(about.get(), control->rect().center());
    }

    QWindow* Window() { return about->windowHandle(); }

    AppState state;
    RecordingUi ui;
    RecordingOpener opener;
    std::unique_ptr<AboutDialog> about;
};

TEST(DesktopUrlOpenerTest, HandsTheAddressToTheDesktopOrSaysWhyNot) {
    UrlHandler handler;
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &handler, "open");
    DesktopUrlOpener desktop;
    QString error;
    EXPECT_TRUE(desktop.Open(QUrl(QLatin1String(kMailAddress)), &error));
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    ASSERT_EQ(handler.urls.size(), 1u);
    EXPECT_EQ(handler.urls[0].toString(), QLatin1String(kMailAddress));

    EXPECT_FALSE(desktop.Open(QUrl(), &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("ERROR: Cannot open"))) << error.toStdString();
}

TEST_F(AboutDialogTest, TemplateGivesTheBoxItsSizeAndTexts) {
    Open();
    EXPECT_EQ(about->size(), QSize(522, 315));
    EXPECT_EQ(about->font().pointSize(), 8);
    EXPECT_TRUE(about->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(Control<QLabel>("c1012")->text().startsWith(QStringLiteral("Gearloft - 2.0\n")));
    EXPECT_TRUE(Control<QLabel>("c1012")->text().endsWith(QStringLiteral("\nBrindlecote")));
    EXPECT_EQ(Control<QLabel>("c1016")->text(), QLatin1String(kWebAddress));
    EXPECT_TRUE(Control<QLabel>("c1016")->font().underline());
    EXPECT_TRUE(Control<QLabel>("c1017")->font().underline());
    EXPECT_FALSE(Control<QLabel>("c1015")->font().underline());
}

TEST_F(AboutDialogTest, ScrollStepStaysAtZeroUntilTheCreditsAreDrawn) {
    about = std::make_unique<AboutDialog>(state);  // never shown: nothing drawn yet
    EXPECT_EQ(about->scrollPeriod(), 0u);
    about->ScrollStep();
    about->ScrollStep();
    EXPECT_EQ(about->scrollPos(), 0u);
}

TEST_F(AboutDialogTest, ScrollStepWrapsExactlyAtThePeriod) {
    Open();
    QLabel* box = Control<QLabel>("c1015");
    box->repaint();
    const std::uint32_t period = about->scrollPeriod();
    // The box's height plus the credits' own (well over 30 lines).
    ASSERT_GT(period, static_cast<std::uint32_t>(box->height() + 30 * box->fontMetrics().height()));
    std::uint32_t expected = about->scrollPos();
    for (std::uint32_t step = 0; step < period + 5; ++step) {
        expected = expected + 1 == period ? 0 : expected + 1;
        about->ScrollStep();
        ASSERT_EQ(about->scrollPos(), expected) << "step " << step;
    }

    // Measured once: a taller font later changes nothing.
    QFont big = box->font();
    big.setPointSize(big.pointSize() * 3);
    box->setFont(big);
    box->repaint();
    EXPECT_EQ(about->scrollPeriod(), period);
}

TEST_F(AboutDialogTest, TheTimerScrollsTheCredits) {
    Open();
    EXPECT_TRUE(QTest::qWaitFor([&] { return about->scrollPos() >= 3; }, 3000));
}

TEST_F(AboutDialogTest, CreditsEnterAtTheBottomCentredAndClimb) {
    struct Case {
        const char* name;
        QString resource;
    };
    const Case cases[] = {
        {"credits resource", QString::fromLatin1(AboutDialog::kCreditsResource)},
        {"missing credits", QStringLiteral(":/gearloft/bin/none.txt")},
    };
    for (const Case& c : cases) {
        Open(c.resource);
        QLabel* box = Control<QLabel>("c1015");
        box->repaint();
        EXPECT_TRUE(GreenArea(box).isEmpty()) << c.name << ": still below the box";
        for (int i = 0; i < 40; ++i) {
            about->ScrollStep();
        }
        const QRect text = GreenArea(box);
        ASSERT_FALSE(text.isEmpty()) << c.name;
        // The first line's top is 40 pixels above the bottom edge.
        EXPECT_GE(text.top(), box->height() - 40) << c.name;
        EXPECT_LE(text.top(), box->height() - 40 + 6) << c.name;
        EXPECT_NEAR(text.center().x(), box->width() / 2, 3) << c.name;
    }
    EXPECT_EQ(about->creditsText(), QLatin1String(AboutDialog::kCreditsMissing));
}

TEST_F(AboutDialogTest, CreditsResourceIsLaidOutAsTitledSections) {
    QFile file(QString::fromLatin1(AboutDialog::kCreditsResource));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    ASSERT_TRUE(bytes.endsWith(QByteArray("\r\n\0", 3)));
    bytes.chop(1);
    EXPECT_FALSE(bytes.contains('\0'));
    EXPECT_EQ(bytes.count("\n"), bytes.count("\r\n")) << "every line ends with CR LF";
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast();  // after the final line end
    for (QByteArray& line : lines) {
        line.chop(1);  // the CR
    }
    qsizetype at = 0;
    auto emptyRun = [&] {
        qsizetype run = 0;
        while (at < lines.size() && lines[at].isEmpty()) {
            ++run;
            ++at;
        }
        return run;
    };
    ASSERT_GE(lines.size(), 2);
    EXPECT_FALSE(lines[0].isEmpty());
    EXPECT_EQ(lines[1], QByteArray(lines[0].size(), '='));
    at = 2;
    EXPECT_EQ(emptyRun(), 4);
    for (int section = 0; section < 5; ++section) {
        ASSERT_LT(at + 2, lines.size()) << "section " << section;
        EXPECT_FALSE(lines[at].isEmpty()) << "heading of section " << section;
        EXPECT_EQ(lines[at + 1], QByteArray(20, '-')) << "section " << section;
        at += 2;
        qsizetype names = 0;
        while (at < lines.size() && !lines[at].isEmpty()) {
            ++names;
            ++at;
        }
        EXPECT_GE(names, 1) << "section " << section;
        EXPECT_EQ(emptyRun(), section == 4 ? 5 : 4) << "after section " << section;
    }
    EXPECT_EQ(lines.size() - at, 2) << "a two-line closing notice";
}

TEST_F(AboutDialogTest, LinksHandTheirAddressesToTheOpener) {
    struct Case {
        const char* id;
        const char* address;
    };
    const Case cases[] = {{"c1016", kWebAddress}, {"c1017", kMailAddress}};
    Open();
    for (const Case& c : cases) {
        opener.urls.clear();
        QTest::mouseClick(Window(), Qt::LeftButton, Qt::NoModifier, CentreOf(c.id));
        ASSERT_EQ(opener.urls.size(), 1u) << c.id;
        EXPECT_EQ(opener.urls[0], QLatin1String(c.address)) << c.id;
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << c.id << ": wait cursor removed";
    }
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(about->isVisible());
}

TEST_F(AboutDialogTest, ALinkThatCannotOpenSaysSo) {
    struct Case {
        const char* name;
        bool withOpener;
        QString failure;
        QString message;
    };
    const Case cases[] = {
        {"the desktop refuses", true, QStringLiteral("No mail program."),
         QStringLiteral("No mail program.")},
        {"no opener", false, QString(),
         QStringLiteral("ERROR: Cannot open '%1'!").arg(QLatin1String(kMailAddress))},
    };
    for (const Case& c : cases) {
        ui.messages.clear();
        opener.failWith = c.failure.isEmpty() ? QStringLiteral("x") : c.failure;
        state.urlOpener = c.withOpener ? &opener : nullptr;
        Open();
        QTest::mouseClick(Window(), Qt::LeftButton, Qt::NoModifier, CentreOf("c1017"));
        ASSERT_EQ(ui.messages.size(), 1u) << c.name;
        EXPECT_EQ(ui.messages[0], c.message) << c.name;
        EXPECT_EQ(ui.icons[0], MessageIcon::Error) << c.name;
    }
}

TEST_F(AboutDialogTest, HoverTurnsALinkRedUntilTheMouseLeavesIt) {
    Open();
    const QPoint background(245, 300);
    QTest::mouseMove(Window(), background);  // the mouse comes in over the background
    for (const char* id : {"c1016", "c1017"}) {
        QLabel* link = Control<QLabel>(id);
        auto hover = [&] {
            return link->objectName() == QLatin1String("c1016") ? about->hoverWeb()
                                                                : about->hoverContact();
        };
        QTest::mouseMove(Window(), CentreOf(id));
        EXPECT_TRUE(hover()) << id;
        ColourCount colours = CountColours(link);
        EXPECT_GT(colours.red, 20) << id;
        EXPECT_EQ(colours.green, 0) << id;

        QTest::mouseMove(Window(), background);
        EXPECT_FALSE(hover()) << id;
        colours = CountColours(link);
        EXPECT_GT(colours.green, 20) << id;
        EXPECT_EQ(colours.red, 0) << id;
    }
}

TEST_F(AboutDialogTest, CursorIsAHandOverOkAndTheLinksAndHiddenOverTheCredits) {
    Open();
    for (const char* id : {"c1", "c1016", "c1017"}) {
        EXPECT_EQ(Control<QWidget>(id)->cursor().shape(), Qt::BitmapCursor) << id;
    }
    EXPECT_EQ(Control<QWidget>("c1015")->cursor().shape(), Qt::BlankCursor);
    EXPECT_EQ(about->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(AboutDialogTest, OkButtonFrameSinksWhilePressed) {
    Open();
    auto* ok = Control<QPushButton>("c1");
    struct Case {
        bool down;
        QColor topLeft;
        QColor bottomRight;
    };
    const Case cases[] = {{false, Qt::white, Qt::black}, {true, Qt::black, Qt::white}};
    for (const Case& c : cases) {
        ok->setDown(c.down);
        const QImage face = ok->grab().toImage();
        const int right = face.width() - 1;
        const int bottom = face.height() - 1;
        EXPECT_EQ(face.pixelColor(right / 2, 0), c.topLeft) << "top, down " << c.down;
        EXPECT_EQ(face.pixelColor(0, bottom / 2), c.topLeft) << "left, down " << c.down;
        EXPECT_EQ(face.pixelColor(right / 2, bottom), c.bottomRight) << "bottom, down " << c.down;
        EXPECT_EQ(face.pixelColor(right, bottom / 2), c.bottomRight) << "right, down " << c.down;
    }
}

TEST_F(AboutDialogTest, DraggingByTheBackgroundMovesTheBox) {
    struct Case {
        const char* name;
        QPoint from;  // empty: the centre of control `id`
        const char* id;
        bool moves;
    };
    const Case cases[] = {
        {"background", QPoint(245, 300), nullptr, true}, {"banner", QPoint(), "c1012", true},
        {"web link", QPoint(), "c1016", false},          {"contact link", QPoint(), "c1017", false},
        {"credits box", QPoint(), "c1015", false},       {"OK button", QPoint(), "c1", false},
    };
    const QPoint by(-60, 45);
    Open();
    for (const Case& c : cases) {
        const QPoint from = c.id != nullptr ? CentreOf(c.id) : c.from;
        const QPoint start = about->pos();
        const QPoint to = Window()->mapToGlobal(from + by);
        QTest::mousePress(Window(), Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(Window(), from + by);
        // Released where the mouse is, wherever the box went meanwhile.
        QTest::mouseRelease(Window(), Qt::LeftButton, Qt::NoModifier, Window()->mapFromGlobal(to));
        QCoreApplication::processEvents();
        EXPECT_EQ(about->pos() - start, c.moves ? by : QPoint(0, 0)) << c.name;
        EXPECT_TRUE(about->isVisible()) << c.name;
        about->move(start);
    }
    EXPECT_TRUE(opener.urls.empty()) << "a press moved off a link opens nothing";
}

TEST_F(AboutDialogTest, RunEndsWithOneForOkAndTwoForEsc) {
    struct Case {
        const char* name;
        std::function<void(QWidget*)> close;
        int result;
    };
    const Case cases[] = {
        {"OK",
         [](QWidget* box) {
             QTest::mouseClick(box->findChild<QPushButton*>(QStringLiteral("c1")), Qt::LeftButton);
         },
         1},
        {"Esc", [](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); }, 2},
    };
    for (const Case& c : cases) {
        QString seen;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            if (box == nullptr) {
                return;
            }
            seen = box->objectName();
            c.close(box);
        });
        EXPECT_EQ(RunAboutDialog(state, nullptr), c.result) << c.name;
        EXPECT_EQ(seen, QStringLiteral("d141")) << c.name;
    }
}

}  // namespace
}  // namespace gearloft

#include "about_dialog_test.moc"
