// The profile file: reading, writing back byte for byte, lookups and edits.
#include "app/profile_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <atomic>
#include <csignal>
#include <vector>

// This program's umask(): it counts its calls and then does what the C
// library's does. The process's mask is shared by all its threads, so code
// that creates a file must never change it, not even for a moment.
namespace {
std::atomic<int> g_umaskCalls{0};
}  // namespace

extern "C" mode_t umask(mode_t mask) noexcept {
    ++g_umaskCalls;
    return static_cast<mode_t>(::syscall(SYS_umask, mask));
}

namespace gearloft {
namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class ProfileFileTest : public ::testing::Test {
protected:
    QString PathOf(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
};

TEST_F(ProfileFileTest, HandWrittenFileComesBackAsWritten) {
    const QByteArray longValue(100000, 'v');
    // Read with CR LF line ends; written back with LF.
    const QByteArray input =
        "stray line before any section\r\n"
        "; Gearloft settings\r\n"
        "Version=2\r\n"
        "\r\n"
        "[Settings] trailing text\r\n"
        "; the last level opened\r\n"
        "Last Level=Cradle\r\n"
        "Pos X = 120\r\n"
        "KeyOnly\r\n"
        "=\r\n"
        "[unterminated header\r\n"
        "Empty=\r\n"
        "Long=" +
        longValue +
        "\r\n"
        "Wide=caf\xc3\xa9\r\n"
        "[settings]\r\n"
        "Last Level=Shadow\r\n"
        "[]\r\n"
        "Lonely=1\r\n";
    const QByteArray expected =
        "; Gearloft settings\n"
        "Version=2\n"
        "\n"
        "[Settings]\n"
        "; the last level opened\n"
        "Last Level=Cradle\n"
        "Pos X = 120\n"
        "KeyOnly=\n"
        "Empty=\n"
        "Long=" +
        longValue +
        "\n"
        "Wide=caf\xc3\xa9\n"
        "\n"
        "[settings]\n"
        "Last Level=Shadow\n"
        "\n"
        "[]\n"
        "Lonely=1\n"
        "\n";
    WriteAll(PathOf("in.cfg"), input);

    ProfileFile profile;
    ASSERT_TRUE(profile.Load(PathOf("in.cfg")));
    ASSERT_TRUE(profile.Save(PathOf("out.cfg")));
    EXPECT_EQ(ReadAll(PathOf("out.cfg")), expected);
    EXPECT_EQ(profile.path(), PathOf("out.cfg"));

    // A second round trip changes nothing.
    ProfileFile again(PathOf("out.cfg"));
    ASSERT_TRUE(again.Load());
    ASSERT_TRUE(again.Save(PathOf("again.cfg")));
    EXPECT_EQ(ReadAll(PathOf("again.cfg")), expected);

    // The comment section holds its entry; the first of two sections that
    // differ in case wins; blanks belong to the key and the value.
    EXPECT_EQ(profile.GetString("; Gearloft settings", "version", "-"), "2");
    EXPECT_EQ(profile.GetString("SETTINGS", "last level", "-"), "Cradle");
    EXPECT_EQ(profile.GetString("Settings", "Pos X", "-"), "-");
    EXPECT_EQ(profile.GetString("Settings", "Pos X ", "-"), " 120");
    EXPECT_EQ(profile.GetString("Settings", "KeyOnly", "-"), "-");
    EXPECT_EQ(profile.GetString("Settings", "Long", "-"), longValue);
    EXPECT_EQ(profile.GetString("Missing", "Long", "-"), "-");
}

TEST_F(ProfileFileTest, LoadReadsLineFeedFilesAndFailsWithoutAFile) {
    WriteAll(PathOf("lf.cfg"), "[A]\nx=1\n[B]\ny=2");
    ProfileFile profile;
    EXPECT_FALSE(profile.Load());  // no path known yet
    ASSERT_TRUE(profile.Load(PathOf("lf.cfg")));
    EXPECT_EQ(profile.GetString("B", "y", "-"), "2");

    // A failed load empties the store.
    EXPECT_FALSE(profile.Load(PathOf("missing.cfg")));
    EXPECT_EQ(profile.GetString("A", "x", "-"), "-");
}

TEST_F(ProfileFileTest, GetIntReadsLeadingDecimal) {
    struct Case {
        const char* value;
        int expected;
    } const cases[] = {
        {"42", 42},
        {"12abc", 12},
        {"abc", -7},
        {"-", 0},
        {"-15", -15},
        {" 5", -7},
        {"+5", -7},
        {"0x10", 0},
        {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},
    };
    for (const Case& c : cases) {
        ProfileFile profile;
        ASSERT_TRUE(profile.SetString("S", "k", c.value));
        EXPECT_EQ(profile.GetInt("S", "k", -7), c.expected) << c.value;
    }
    ProfileFile empty;
    EXPECT_EQ(empty.GetInt("S", "k", -7), -7);
}

TEST_F(ProfileFileTest, GetColorTakesMissingPartsFromTheDefault) {
    struct Case {
        const char* value;
        std::uint32_t defaultColor;
        std::uint32_t expected;
    } const cases[] = {
        {"255,128", 0xFFFFFF, 0xFF80FF},    {"0,128", 0x000000, 0x008000},
        {"10, 20, 30", 0xFFFFFF, 0xFFFF0A}, {"256,300,1", 0x000000, 0x012C00},
        {"1,2,3,4", 0x000000, 0x030201},    {",,7", 0x112233, 0x072233},
        {"-1,5,x", 0x112233, 0x110533},     {"abc", 0x112233, 0x112233},
    };
    for (const Case& c : cases) {
        ProfileFile profile;
        ASSERT_TRUE(profile.SetString("Skin.Colors", "Text", c.value));
        EXPECT_EQ(profile.GetColor("Skin.Colors", "Text", c.defaultColor), c.expected) << c.value;
    }
    ProfileFile empty;
    EXPECT_EQ(empty.GetColor("Skin.Colors", "Text", 0x123456u), 0x123456u);
}

TEST_F(ProfileFileTest, SetStringRules) {
    ProfileFile profile;
    EXPECT_FALSE(profile.SetString("", "k", "v"));
    EXPECT_TRUE(profile.SetString("New", "", QByteArray()));    // nothing to do
    EXPECT_TRUE(profile.SetString("Main", "a", "1"));           // new section
    EXPECT_TRUE(profile.SetString("main", "B", "2"));           // appended entry
    EXPECT_TRUE(profile.SetString("MAIN", "A", "3"));           // replaced value
    EXPECT_TRUE(profile.SetString("Main", "c", QByteArray()));  // absent key, no value: nothing
    EXPECT_TRUE(profile.SetInt("Other", "n", -12));
    EXPECT_TRUE(profile.SetString("Gone", "x", "1"));
    EXPECT_TRUE(profile.SetString("gone", "", "ignored"));  // no key: section deleted
    EXPECT_TRUE(profile.SetString("Main", "b", ""));        // empty value: entry kept
    EXPECT_TRUE(profile.SetInt("Other", "m", 5));
    EXPECT_TRUE(profile.SetString("Other", "n", QByteArray()));  // no value: entry deleted

    // Texts that would not read back the same are refused.
    EXPECT_FALSE(profile.SetString("Main", "a", "1\n[Injected]"));
    EXPECT_FALSE(profile.SetString("Main", "a\r", "1"));
    EXPECT_FALSE(profile.SetString("Ma]in", "a", "1"));
    EXPECT_FALSE(profile.SetString("Main", "a=b", "1"));
    EXPECT_FALSE(profile.SetString("Main", "[Injected]", "1"));
    EXPECT_FALSE(profile.SetString("Main", ";a", "1"));

    ASSERT_TRUE(profile.Save(PathOf("set.cfg")));
    EXPECT_EQ(ReadAll(PathOf("set.cfg")), "[Main]\na=3\nB=\n\n[Other]\nm=5\n\n");
    EXPECT_EQ(profile.GetString("Main", "b", "default"), "default");
}

// Lines that once came back as something else after a save: a value
// without a key (read back as a key), carriage returns before the line feed
// or at the end of the file (dropped by the second reading), a section whose
// name starts with ";" (written back as a comment).
TEST(ProfileFileBytesTest, WhatIsWrittenReadsBackTheSame) {
    struct Case {
        QByteArray input;
        QByteArray written;
        QByteArray section;
        QByteArray key;
        QByteArray value;  // as read, both times; null for no entry
    };
    const Case cases[] = {
        {"[S]\n=6Text\n", "[S]\n=6Text\n\n", "S", "6Text", QByteArray()},
        {"[S]\na=b\r\r\n", "[S]\na=b\n\n", "S", "a", "b"},
        {"[S]\na=b\r", "[S]\na=b\n\n", "S", "a", "b"},
        {"[S]\n[;x]\nk=v\n", "[S]\n\n[;x]\nk=v\n\n", ";x", "k", "v"},
        {"; top\r\nk=v\n[S]\n", "; top\nk=v\n\n[S]\n\n", "; top", "k", "v"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.toStdString());
        ProfileFile first;
        first.LoadBytes(c.input);
        EXPECT_EQ(first.ToBytes(), c.written);
        ProfileFile second;
        second.LoadBytes(first.ToBytes());
        EXPECT_EQ(second.ToBytes(), c.written);
        for (const ProfileFile* file : {&first, &second}) {
            EXPECT_EQ(file->HasKey(c.section, c.key), !c.value.isNull());
            EXPECT_EQ(file->GetString(c.section, c.key, "none"),
                      c.value.isNull() ? QByteArray("none") : c.value);
        }
    }
}

TEST_F(ProfileFileTest, LoadBytesReadsAsLoadDoes) {
    const QByteArray input = "; c\r\n[A]\nx=1\r\ny\n\n[B]\nz=2";
    WriteAll(PathOf("bytes.cfg"), input);
    ProfileFile loaded;
    ASSERT_TRUE(loaded.Load(PathOf("bytes.cfg")));
    ProfileFile fromBytes;
    fromBytes.LoadBytes(input);
    EXPECT_EQ(fromBytes.ToBytes(), loaded.ToBytes());
    ASSERT_TRUE(loaded.Save());
    EXPECT_EQ(ReadAll(PathOf("bytes.cfg")), fromBytes.ToBytes());
}

TEST_F(ProfileFileTest, SaveKeepsPermissionBitsOfTheReplacedFile) {
    WriteAll(PathOf("mode.cfg"), "old\n");
    ASSERT_EQ(::chmod(QFile::encodeName(PathOf("mode.cfg")).constData(), 0640), 0);
    ProfileFile profile;
    ASSERT_TRUE(profile.SetString("S", "k", "v"));
    ASSERT_TRUE(profile.Save(PathOf("mode.cfg")));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(PathOf("mode.cfg")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadAll(PathOf("mode.cfg")), "[S]\nk=v\n\n");
}

TEST_F(ProfileFileTest, ANewFileGetsTheModeOfACreateUnderTheUmaskWhichStaysAsItWas) {
    const mode_t before = ::umask(027);
    g_umaskCalls = 0;
    ProfileFile profile;
    ASSERT_TRUE(profile.SetString("S", "k", "v"));
    const bool saved = profile.Save(PathOf("new.cfg"));
    const int calls = g_umaskCalls;
    ::umask(before);
    ASSERT_TRUE(saved);
    EXPECT_EQ(calls, 0) << "the save changed the process's umask";
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(PathOf("new.cfg")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(ProfileFileTest, SaveThroughASymbolicLinkReplacesItsTarget) {
    WriteAll(PathOf("real.cfg"), "old\n");
    ASSERT_TRUE(QFile::link(PathOf("real.cfg"), PathOf("link.cfg")));
    ProfileFile profile;
    ASSERT_TRUE(profile.SetString("S", "k", "v"));
    ASSERT_TRUE(profile.Save(PathOf("link.cfg")));
    EXPECT_TRUE(QFileInfo(PathOf("link.cfg")).isSymLink());
    EXPECT_EQ(ReadAll(PathOf("real.cfg")), "[S]\nk=v\n\n");
}

TEST_F(ProfileFileTest, FailedSaveLeavesTheOldFileUntouched) {
    const QByteArray old = "[Settings]\nSkin=Brass.skn\n\n";
    WriteAll(PathOf("settings.cfg"), old);
    ProfileFile profile;
    ASSERT_TRUE(profile.SetString("Settings", "Huge", QByteArray(200000, 'x')));

    EXPECT_FALSE(profile.Save());  // no path known
    EXPECT_FALSE(profile.Save(PathOf("no/such/folder/settings.cfg")));

    // A file-size limit makes the write fail part-way, as a full disk would.
    struct sigaction ignore {};
    struct sigaction previousAction {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previousAction), 0);
    rlimit previousLimit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previousLimit), 0);
    rlimit limit = previousLimit;
    limit.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool saved = profile.Save(PathOf("settings.cfg"));
    ::setrlimit(RLIMIT_FSIZE, &previousLimit);
    ::sigaction(SIGXFSZ, &previousAction, nullptr);

    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadAll(PathOf("settings.cfg")), old);
    // No temporary file is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// What killed saves left beside the settings file goes with its next save;
// the file of a save still running (locked) and names of another form stay.
TEST_F(ProfileFileTest, SaveRemovesOnlyAbandonedTemporaryFiles) {
    const struct {
        const char* name;
        bool locked;
        bool removed;
    } cases[] = {
        {".settings.cfg.k3x9a0.tmp", false, true},
        {".settings.cfg.r2d2c3.tmp", true, false},  // its writer still runs
        {".settings.cfg.backup", false, false},
        {".settings.cfg.old.tmp", false, false},
        {".other.cfg.k3x9a0.tmp", false, false},
    };
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed temporary file" : "named temporary file");
        SetUnnamedProfileTemporaryFiles(unnamed);
        std::vector<int> locks;
        for (const auto& item : cases) {
            WriteAll(PathOf(item.name), "[S]\n");
            if (item.locked) {
                const int fd = ::open(QFile::encodeName(PathOf(item.name)).constData(), O_RDONLY);
                ASSERT_EQ(::flock(fd, LOCK_EX), 0);
                locks.push_back(fd);
            }
        }
        ProfileFile profile;
        ASSERT_TRUE(profile.SetString("S", "k", "v"));
        ASSERT_TRUE(profile.Save(PathOf("settings.cfg")));
        for (const int fd : locks) {
            ::close(fd);
        }
        for (const auto& item : cases) {
            EXPECT_EQ(QFile::exists(PathOf(item.name)), !item.removed) << item.name;
            QFile::remove(PathOf(item.name));
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("settings.cfg")});
    }
    SetUnnamedProfileTemporaryFiles(true);
}

}  // namespace
}  // namespace gearloft
