// Skins that someone else made, or that a disk filled with rubbish: a
// folder of ten thousand descriptions, descriptions too large to be one,
// modules that are no library for this machine or carry nothing, templates
// with controls missing or of the wrong class, and pictures of one pixel or
// of a hundred million. Each one ends in a message or the documented
// fallback, promptly.
#include "app/app_state.h"
#include "app/debug_output.h"
#include "app/settings_keys.h"
#include "tests/level/level_fixtures.h"
#include "tests/support/find_control.h"
#include "ui/main_dialog.h"
#include "ui/resource_module.h"
#include "ui/skin_description.h"
#include "ui/skin_loader.h"
#include "ui/skin_menu.h"
#include "ui/skinned_main_dialog.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace gearloft {
namespace {

using testing::RecordingUserInteraction;

const QString kModuleMessage = QStringLiteral("ERROR: Failed to load Skin resources.");

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray Description(const QByteArray& name, const QByteArray& module,
                       const QByteArray& signature = "Gearloft") {
    return "[Skin.Layout]\r\nSignature=" + signature + "\r\nName=" + name + "\r\nModule=" + module +
           "\r\n";
}

// Every line the program sends to its debug output while it lives.
class DebugLines {
public:
    DebugLines() { m_previous = SetDebugOutputHook(&Collect, this); }
    ~DebugLines() { SetDebugOutputHook(m_previous, nullptr); }
    DebugLines(const DebugLines&) = delete;
    DebugLines& operator=(const DebugLines&) = delete;

    const std::vector<std::string>& lines() const { return m_lines; }
    int Containing(const std::string& part) const {
        int count = 0;
        for (const std::string& line : m_lines) {
            count += line.find(part) != std::string::npos ? 1 : 0;
        }
        return count;
    }

private:
    static void Collect(const char* message, void* context) {
        static_cast<DebugLines*>(context)->m_lines.emplace_back(message);
    }
    DebugOutputHook m_previous = nullptr;
    std::vector<std::string> m_lines;
};

// ---------------------------------------------------------------------------
// Pictures built byte by byte: a PNG of any size whose pixels are all one
// colour, in one bit per pixel, so that even 10,000 x 10,000 takes 12 MB
// to build and 14 kB to store.

std::uint32_t Crc32(const QByteArray& bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc = table[(crc ^ static_cast<std::uint8_t>(byte)) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

QByteArray BigEndian32(std::uint32_t value) {
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray PngChunk(const char* type, const QByteArray& data) {
    const QByteArray typed = QByteArray(type) + data;
    return BigEndian32(static_cast<std::uint32_t>(data.size())) + typed + BigEndian32(Crc32(typed));
}

QByteArray OneColourPng(int width, int height, QRgb colour) {
    QByteArray header = BigEndian32(static_cast<std::uint32_t>(width)) +
                        BigEndian32(static_cast<std::uint32_t>(height));
    header +=
        QByteArray("\x01\x03\x00\x00\x00", 5);  // 1 bit, palette, deflate, no filter/interlace
    const QByteArray palette = QByteArray(1, static_cast<char>(qRed(colour))) +
                               QByteArray(1, static_cast<char>(qGreen(colour))) +
                               QByteArray(1, static_cast<char>(qBlue(colour)));
    // Each row: filter byte 0, then all pixels index 0.
    const QByteArray rows(static_cast<qsizetype>(height) * (1 + (width + 7) / 8), '\0');
    const QByteArray zlib = qCompress(rows, 9).mid(4);  // Qt's length prefix off
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", header) +
           PngChunk("PLTE", palette) + PngChunk("IDAT", zlib) + PngChunk("IEND", QByteArray());
}

class HostileSkinTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        state.tessera = testing::Tessera();
        state.game.strGameDir = dir.path() + QStringLiteral("/game/");
        QDir().mkpath(Bin(QString()));
        state.programPath = Bin(QStringLiteral("gearloft"));
        state.skinFolders = {Bin(QString())};
        state.ui = &ui;
    }
    void TearDown() override {
        plain.reset();
        ReleaseSkin(state);
    }

    QString Bin(const QString& name) const { return dir.path() + QStringLiteral("/bin/") + name; }

    // Opens the plain dialog's context menu; the menu's entries, "*" before
    // the checked one, "-" for separators.
    void ShowDialog() {
        if (!plain) {
            plain = std::make_unique<MainDialog>(state);
            plain->show();
            QCoreApplication::processEvents();
        }
    }

    QStringList OpenMenu() {
        ShowDialog();
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20),
                                plain->mapToGlobal(QPoint(20, 20)));
        QCoreApplication::sendEvent(plain.get(), &event);
        QStringList entries;
        const QList<QMenu*> menus = plain->findChildren<QMenu*>();
        if (menus.isEmpty()) {
            ADD_FAILURE() << "no menu";
            return entries;
        }
        for (const QAction* action : menus.last()->actions()) {
            entries << (action->isSeparator()
                            ? QStringLiteral("-")
                            : (action->isChecked() ? QStringLiteral("*") : QString()) +
                                  action->text());
        }
        menus.last()->close();
        QCoreApplication::processEvents();
        return entries;
    }

    static QStringList MenuWith(const QStringList& skins) {
        return QStringList{QStringLiteral("*Windows standard"), QStringLiteral("-")} + skins +
               QStringList{QStringLiteral("-"), QStringLiteral("Help..."), QStringLiteral("-"),
                           QStringLiteral("&About...")};
    }

    QTemporaryDir dir;
    AppState state;
    RecordingUserInteraction ui;
    std::unique_ptr<MainDialog> plain;
};

// ---------------------------------------------------------------------------
// Description files that are no description

TEST_F(HostileSkinTest, DescriptionsThatAreTooLargeOrNoFileAreRefusedUnread) {
    QFile::copy(QStringLiteral(TEST_SKIN_DIR "/probe_skin.so"), Bin(QStringLiteral("probe.so")));
    const QByteArray valid = Description("Valid", "probe.so");
    // A valid description padded with comment lines to exactly the limit.
    QByteArray atLimit = valid + "[Notes]\n";
    while (atLimit.size() < skin::kMaxDescriptionBytes) {
        atLimit +=
            QByteArray(std::min<qsizetype>(80, skin::kMaxDescriptionBytes - atLimit.size()), ';')
                .append('\n');
    }
    atLimit.truncate(skin::kMaxDescriptionBytes);

    enum class Make { Bytes, Sparse50MB, Folder, Fifo };
    struct Case {
        const char* name;
        Make make;
        QByteArray bytes;
        bool loads;
        const char* message;  // after the file's name; null: no message
    };
    const Case cases[] = {
        {"a valid description of exactly 1 MB loads", Make::Bytes, atLimit, true, nullptr},
        {"one byte more is refused", Make::Bytes, atLimit + ";", false,
         "is larger than 1 MB and was not read. Gearloft uses its standard look."},
        {"50 MB", Make::Sparse50MB, QByteArray(), false,
         "is larger than 1 MB and was not read. Gearloft uses its standard look."},
        {"a folder", Make::Folder, QByteArray(), false,
         "is not a file. Gearloft uses its standard look."},
        {"a pipe that nobody writes", Make::Fifo, QByteArray(), false,
         "is not a file. Gearloft uses its standard look."},
        {"binary garbage is no skin, silently", Make::Bytes,
         QByteArray("\x00\xff\x7f\x01[\x00]=\xfe\r\r\n", 12), false, nullptr},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = Bin(QStringLiteral("case%1.skn").arg(index++));
        switch (c.make) {
            case Make::Bytes:
                WriteBytes(path, c.bytes);
                break;
            case Make::Sparse50MB: {
                WriteBytes(path, valid);
                QFile file(path);
                ASSERT_TRUE(file.resize(50 * 1024 * 1024));
                break;
            }
            case Make::Folder:
                ASSERT_TRUE(QDir().mkpath(path));
                break;
            case Make::Fifo:
                ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
                break;
        }
        ReleaseSkin(state);
        ui.messages.clear();
        EXPECT_EQ(LoadSkin(state, path), c.loads);
        EXPECT_EQ(state.skinModule != nullptr, c.loads);
        if (c.message == nullptr) {
            EXPECT_TRUE(ui.messages.empty());
        } else {
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.messages[0].text,
                      QStringLiteral("ERROR: The skin description \"%1\" %2")
                          .arg(QDir::toNativeSeparators(path), QLatin1String(c.message)));
            EXPECT_EQ(ui.messages[0].icon, MessageIcon::Information);
        }
        // The menu lists only what LoadSkin would take.
        const SkinMenuContents contents = ScanSkins({Bin(QString())}, QString());
        bool listed = false;
        for (const SkinMenuEntry& entry : contents.skins) {
            listed = listed || entry.file == QFileInfo(path).fileName();
        }
        EXPECT_EQ(listed, c.loads);
        if (c.make != Make::Folder) {
            QFile::remove(path);
        }
    }
}

// ---------------------------------------------------------------------------
// Ten thousand descriptions in the skin folder

// The descriptions read in the background when the window shows must not
// hide what changed before the menu opens: a renamed, a removed and a new
// skin, also while the reading still runs.
TEST_F(HostileSkinTest, SkinsChangedAfterTheWindowShowsAreInTheFirstMenu) {
    for (int i = 0; i < 2000; ++i) {
        WriteBytes(Bin(QStringLiteral("s%1.skn").arg(i, 4, 10, QLatin1Char('0'))),
                   Description("Other", "x.so", "Elsewhere"));
    }
    WriteBytes(Bin(QStringLiteral("a.skn")), Description("Renamed soon", "x.so"));
    WriteBytes(Bin(QStringLiteral("b.skn")), Description("Removed soon", "x.so"));
    for (const bool whileReading : {true, false}) {
        SCOPED_TRACE(whileReading ? "while the reading runs" : "after it");
        plain.reset();
        WriteBytes(Bin(QStringLiteral("a.skn")), Description("Renamed soon", "x.so"));
        WriteBytes(Bin(QStringLiteral("b.skn")), Description("Removed soon", "x.so"));
        QFile::remove(Bin(QStringLiteral("c.skn")));
        // File times move in steps of a few milliseconds: the rewrite below
        // must fall in a later one to be told from this write.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ShowDialog();
        if (!whileReading) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        WriteBytes(Bin(QStringLiteral("a.skn")), Description("Renamed now", "x.so"));
        QFile::remove(Bin(QStringLiteral("b.skn")));
        WriteBytes(Bin(QStringLiteral("c.skn")), Description("New", "x.so"));
        EXPECT_EQ(OpenMenu(), MenuWith({QStringLiteral("Renamed now"), QStringLiteral("New")}));
    }
}

TEST_F(HostileSkinTest, TenThousandDescriptionsStillGiveTheMenuAndAreReadOnce) {
    constexpr int kFiles = 10000;
    // All but one are no skins, so every file must be looked at: the worst
    // case, since nine listed skins end the search.
    for (int i = 0; i < kFiles - 1; ++i) {
        WriteBytes(Bin(QStringLiteral("s%1.skn").arg(i, 5, 10, QLatin1Char('0'))),
                   Description("Other", "x.so", "Elsewhere"));
    }
    WriteBytes(Bin(QStringLiteral("zz.skn")), Description("Last one", "x.so"));

    // The window reads the descriptions in the background once it shows; a
    // player takes a moment before the first right click.
    QElapsedTimer timer;
    timer.start();
    ShowDialog();
    const qint64 shown = timer.restart();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    timer.restart();
    EXPECT_EQ(OpenMenu(), MenuWith({QStringLiteral("Last one")}));
    const qint64 first = timer.restart();
    EXPECT_EQ(OpenMenu(), MenuWith({QStringLiteral("Last one")}));
    const qint64 again = timer.elapsed();
    std::printf(
        "menu over %d descriptions: window shown in %lld ms; first opening 2 s later %lld ms, "
        "next %lld ms\n",
        kFiles, static_cast<long long>(shown), static_cast<long long>(first),
        static_cast<long long>(again));

    // The next scans read only what changed: nothing, then the one file
    // rewritten (same size, so only its times tell).
    SkinDescriptionCache cache;
    timer.restart();
    ScanSkins(state.skinFolders, QString(), &cache);
    const qint64 cold = timer.restart();
    EXPECT_EQ(cache.reads(), kFiles);
    ScanSkins(state.skinFolders, QString(), &cache);
    const qint64 warm = timer.restart();
    ScanSkins(state.skinFolders, QString());
    const qint64 uncached = timer.elapsed();
    std::printf(
        "scan over %d descriptions: %lld ms reading all, %lld ms from memory, %lld ms "
        "without memory\n",
        kFiles, static_cast<long long>(cold), static_cast<long long>(warm),
        static_cast<long long>(uncached));
    EXPECT_EQ(cache.reads(), kFiles);
    WriteBytes(Bin(QStringLiteral("s00042.skn")), Description("Other", "x.so", "Gearloft"));
    const SkinMenuContents contents = ScanSkins(state.skinFolders, QString(), &cache);
    EXPECT_EQ(cache.reads(), kFiles + 1);
    ASSERT_EQ(contents.skins.size(), 2u);
    EXPECT_EQ(contents.skins[0].file, QStringLiteral("s00042.skn"));
    EXPECT_EQ(OpenMenu(), MenuWith({QStringLiteral("Other"), QStringLiteral("Last one")}));

    // Real skins among them: the first nine by name, nothing behind read.
    for (int i = 0; i < 20; ++i) {
        WriteBytes(Bin(QStringLiteral("a%1.skn").arg(i, 2, 10, QLatin1Char('0'))),
                   Description(QByteArray::number(i), "x.so"));
    }
    SkinDescriptionCache fresh;
    const SkinMenuContents nine = ScanSkins(state.skinFolders, QString(), &fresh);
    EXPECT_EQ(fresh.reads(), kMaxListedSkins);
    ASSERT_EQ(nine.skins.size(), static_cast<std::size_t>(kMaxListedSkins));
    EXPECT_EQ(nine.skins[8].text, QStringLiteral("8"));
}

// ---------------------------------------------------------------------------
// Modules that are no skin module for this program

// The first bytes of an ELF shared object of another class or machine: what
// the system's loader reads before it refuses.
QByteArray ElfHeader(bool is64, std::uint16_t machine) {
    QByteArray header(is64 ? 64 : 52, '\0');
    header[0] = '\x7f';
    header[1] = 'E';
    header[2] = 'L';
    header[3] = 'F';
    header[4] = is64 ? 2 : 1;                               // class
    header[5] = 1;                                          // little-endian
    header[6] = 1;                                          // version
    qToLittleEndian<std::uint16_t>(3, header.data() + 16);  // shared object
    qToLittleEndian<std::uint16_t>(machine, header.data() + 18);
    qToLittleEndian<std::uint32_t>(1, header.data() + 20);
    qToLittleEndian<std::uint16_t>(static_cast<std::uint16_t>(header.size()),
                                   header.data() + (is64 ? 52 : 40));
    return header;
}

QByteArray OwnElfHeader() {
    QFile self(QStringLiteral("/proc/self/exe"));
    return self.open(QIODevice::ReadOnly) ? self.read(sizeof(void*) == 8 ? 64 : 52) : QByteArray();
}

TEST_F(HostileSkinTest, ModulesThatAreNoLibraryForThisProgramGiveTheMessageAndThePlainLook) {
    enum class Make { Bytes, Folder, Fifo };
    struct Case {
        const char* name;
        Make make;
        QByteArray bytes;
        const char* reason;  // part of the debug line
    };
    const Case cases[] = {
        {"a text file", Make::Bytes,
         "[Skin.Layout]\nThis was meant to be the description, saved under the module's name.\n",
         "is not a library"},
        {"an empty file", Make::Bytes, "", "is not a library"},
        {"a 32-bit x86 library", Make::Bytes, ElfHeader(false, 3),
         "is a library for another machine"},
        {"a 64-bit ARM library", Make::Bytes, ElfHeader(true, 183),
         "is a library for another machine"},
        // The loader's own words, which name the file.
        {"this program's own ELF header and nothing behind it", Make::Bytes, OwnElfHeader(),
         "module4.so"},
        {"a folder", Make::Folder, QByteArray(), "is not a file"},
        {"a pipe that nobody writes", Make::Fifo, QByteArray(), "is not a file"},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString module = Bin(QStringLiteral("module%1.so").arg(index++));
        switch (c.make) {
            case Make::Bytes:
                WriteBytes(module, c.bytes);
                break;
            case Make::Folder:
                ASSERT_TRUE(QDir().mkpath(module));
                break;
            case Make::Fifo:
                ASSERT_EQ(::mkfifo(QFile::encodeName(module).constData(), 0600), 0);
                break;
        }
        WriteBytes(Bin(QStringLiteral("case.skn")),
                   Description("Case", QFileInfo(module).fileName().toLocal8Bit()));
        ReleaseSkin(state);
        ui.messages.clear();
        DebugLines lines;
        EXPECT_FALSE(LoadSkin(state, Bin(QStringLiteral("case.skn"))));
        EXPECT_EQ(state.skinModule, nullptr);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, kModuleMessage);
        EXPECT_EQ(ui.messages[0].icon, MessageIcon::Information);
        ASSERT_EQ(lines.lines().size(), 1u);
        EXPECT_NE(lines.lines()[0].find(c.reason), std::string::npos) << lines.lines()[0];
    }

    // A real module with no resources at all loads, and the skinned dialog
    // refuses to run: the stop message, a restart, and the plain dialog for
    // the restarted program, so no loop.
    WriteBytes(Bin(QStringLiteral("bare.skn")), Description("Bare", TEST_SKIN_DIR "/bare_skin.so"));
    state.settings.SetString(settings::kSection, settings::kSkin, "bare.skn");
    ui.messages.clear();
    ASSERT_TRUE(LoadSkin(state, Bin(QStringLiteral("bare.skn"))));
    SkinnedMainDialog bare(state, ResourceModule::Skin(state.skinModule.get()));
    EXPECT_FALSE(bare.templateLoaded());
    EXPECT_EQ(bare.templateError(), QStringLiteral(":/skin/dialog/103.ui is missing"));
    EXPECT_EQ(bare.exec(), kResultSkinFailed);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, kModuleMessage);
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Error);
    EXPECT_TRUE(state.restartRequested);
    EXPECT_TRUE(
        state.settings.GetString(settings::kSection, settings::kSkin, QByteArray()).isEmpty());
}

// ---------------------------------------------------------------------------
// Templates and pictures from a folder laid out as a module's resources

class SkinFolderTest : public HostileSkinTest {
protected:
    void SetUp() override {
        HostileSkinTest::SetUp();
        module = ResourceModule{dir.path() + QStringLiteral("/res"), nullptr};
        QDir().mkpath(module.root + QStringLiteral("/dialog"));
        QDir().mkpath(module.root + QStringLiteral("/bitmap"));
        QFile form(QStringLiteral(":/gearloft/dialog/103.ui"));
        ASSERT_TRUE(form.open(QIODevice::ReadOnly));
        programTemplate = form.readAll();
    }

    ResourceModule module;
    QByteArray programTemplate;
};

TEST_F(SkinFolderTest, TemplatesWithAControlMissingOrOfTheWrongClassAreRefused) {
    const auto without = [this](const char* name) {
        QByteArray form = programTemplate;
        const qsizetype start =
            form.indexOf(QByteArray("<widget class=\"QPushButton\" name=\"") + name + "\">");
        const qsizetype end = form.indexOf("</widget>", start) + 9;
        return start < 0 ? QByteArray() : form.remove(start, end - start);
    };
    const auto retyped = [this](const char* from, const char* to) {
        QByteArray form = programTemplate;
        return form.replace(from, to);
    };
    struct Case {
        const char* name;
        QByteArray form;  // null: no template file
        const char* error;
    };
    const QString path = module.dialog(103);
    const Case cases[] = {
        {"the program's own template", programTemplate, ""},
        {"Medicomp missing", without("c1005"), ": no control c1005"},
        {"level list as a label",
         retyped("<widget class=\"QComboBox\" name=\"c1000\">",
                 "<widget class=\"QLabel\" name=\"c1000\">"),
         ": control c1000 is a QLabel, not a QComboBox"},
        {"Start as a line edit",
         retyped("<widget class=\"QPushButton\" name=\"c1\">",
                 "<widget class=\"QLineEdit\" name=\"c1\">"),
         ": control c1 is a QLineEdit, not a QPushButton"},
        {"count field of a class outside the standard ones",
         retyped("<widget class=\"QLineEdit\" name=\"c1007\">",
                 "<widget class=\"QTextEdit\" name=\"c1007\">"),
         ": no control c1007"},
        {"no template", QByteArray(), " is missing"},
        {"not a form", QByteArray("\x89PNG garbage <widget", 20), " cannot be read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path);
        if (!c.form.isNull()) {
            WriteBytes(path, c.form);
        }
        ui.messages.clear();
        state.restartRequested = false;
        SkinnedMainDialog dialog(state, module);
        const bool usable = *c.error == '\0';
        EXPECT_EQ(dialog.templateLoaded(), usable);
        if (usable) {
            EXPECT_EQ(dialog.templateError(), QString());
        } else {
            EXPECT_TRUE(dialog.templateError().startsWith(path + QLatin1String(c.error)))
                << dialog.templateError().toStdString();
            EXPECT_EQ(dialog.exec(), kResultSkinFailed);
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.messages[0].text, kModuleMessage);
            EXPECT_TRUE(state.restartRequested);
        }
    }
}

TEST_F(SkinFolderTest, PicturesOfOnePixelAreStretchedAndHugeOnesLeftOutOnce) {
    WriteBytes(module.dialog(103), programTemplate);
    state.skinBackColor = 0x00336699;  // red 0x99, green 0x66, blue 0x33
    const QRgb face = qRgb(255, 0, 255);
    const QRgb back = qRgb(0, 200, 0);
    enum class Shown { Picture, Fallback };
    struct Case {
        const char* name;
        QSize size;
        Shown shown;
    };
    const Case cases[] = {
        {"one pixel", QSize(1, 1), Shown::Picture},
        {"2048 pixels square, the largest taken", QSize(2048, 2048), Shown::Picture},
        {"a line of 2049 pixels", QSize(2049, 1), Shown::Fallback},
        {"10,000 pixels square", QSize(10000, 10000), Shown::Fallback},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The Pistol's off face and the background.
        WriteBytes(module.bitmap(164), OneColourPng(c.size.width(), c.size.height(), face));
        WriteBytes(module.bitmap(147), OneColourPng(c.size.width(), c.size.height(), back));
        DebugLines lines;
        SkinnedMainDialog dialog(state, module);
        ASSERT_TRUE(dialog.templateLoaded());
        dialog.show();
        QElapsedTimer timer;
        timer.start();
        QImage window;
        for (int paint = 0; paint < 3; ++paint) {
            window = dialog.grab().toImage();
        }
        std::printf("%s: three paints of the dialog in %lld ms\n", c.name,
                    static_cast<long long>(timer.elapsed()));
        auto* pistol = testing::FindControl<QPushButton>(dialog, "c1001");
        const QImage button = pistol->grab().toImage().convertToFormat(QImage::Format_RGB32);

        int faceColoured = 0;
        for (int y = 0; y < button.height(); ++y) {
            for (int x = 0; x < button.width(); ++x) {
                faceColoured += button.pixel(x, y) == face ? 1 : 0;
            }
        }
        // A corner of the background that no control covers.
        const QRgb corner = window.pixel(window.width() - 2, window.height() - 2);
        if (c.shown == Shown::Picture) {
            EXPECT_EQ(faceColoured, button.width() * button.height());
            EXPECT_EQ(corner, back);
            EXPECT_TRUE(lines.lines().empty());
        } else {
            // The button's standard look and the skin's background colour,
            // and one line per picture however often it was painted.
            EXPECT_EQ(faceColoured, 0);
            EXPECT_EQ(corner, qRgb(0x99, 0x66, 0x33));
            const std::string size = std::to_string(c.size.width()) + " x " +
                                     std::to_string(c.size.height()) + " pixels, more than " +
                                     "2048 x 2048: left out\n";
            EXPECT_EQ(lines.Containing("bitmap/164.png is " + size), 1);
            EXPECT_EQ(lines.Containing("bitmap/147.png is " + size), 1);
        }
    }
}

}  // namespace
}  // namespace gearloft
