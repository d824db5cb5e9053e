// LoadRifFile, SaveRifFile, LoadRif and SaveRif: both forms of a level load
// to the same tree, saving writes a container that loads back, nothing reads
// past the bytes it was given, and no failure of a save touches the old file.
#include "chunkfile/file_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "chunkfile/allocator.h"
#include "fixtures.h"
#include "tests/support/hang_guard.h"

namespace tessera_test {
namespace {

const char kOpenLine[] = "ERROR: LoadRifFile() failed to open file!\n";
const char kEmptyLine[] =
    "ERROR: LoadRifFile() failed to get file size (maybe the file is empty?)\n";
const char kShortLine[] = "ERROR: LoadRifFile() the file is too short to hold a RIF!\n";
const char kLargeLine[] = "ERROR: LoadRifFile() the file is too large to be a RIF!\n";
const char kParseLine[] = "WARNING: ParseRif() the buffer does not contain a valid REBINFF2 item\n";
const char kCompileLine[] = "ERROR: SaveRifFile() failed to compile RIF\n";
const char kCompressLine[] = "ERROR: SaveRifFile() failed to compress RIF!\n";

struct TreeDeleter {
    void operator()(RifItem* item) const { DeleteRifItem(item); }
};
using Tree = std::unique_ptr<RifItem, TreeDeleter>;

class FileIo : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir.path().empty());
        level.reset(MakeLevel());
        plain = Compile(level.get());
        container = Compress(plain);
        ASSERT_FALSE(plain.empty());
        ASSERT_FALSE(container.empty());
    }
    void TearDown() override {
        tessera::FailAllocation(0);
        tessera::SetFileFault(tessera::FileFault::kNone);
        tessera::SetFileTransferLimit(0);
    }

    // Loads through LoadRif from a copy of exactly the given bytes, so that
    // the sanitizer catches any read past them.
    static Tree LoadExact(const Bytes& bytes) {
        std::vector<unsigned char> copy(bytes);
        return Tree(
            LoadRif(copy.empty() ? nullptr : copy.data(), static_cast<uint32_t>(copy.size())));
    }

    TempDir dir;
    Tree level;
    Bytes plain;
    Bytes container;
};

TEST_F(FileIo, PlainAndCompressedFilesLoadToTheSameTree) {
    ASSERT_EQ(0, std::memcmp(container.data(), "REBCRIF1", 8));
    ASSERT_TRUE(WriteFile(dir.File("plain.rif"), plain));
    ASSERT_TRUE(WriteFile(dir.File("packed.rif"), container));
    Tree fromPlain(LoadRifFile(dir.File("plain.rif").c_str()));
    Tree fromPacked(LoadRifFile(dir.File("packed.rif").c_str()));
    ASSERT_TRUE(fromPlain);
    ASSERT_TRUE(fromPacked);
    EXPECT_EQ(plain, Compile(fromPlain.get()));
    EXPECT_EQ(plain, Compile(fromPacked.get()));
}

TEST_F(FileIo, ReadsTheWholeFileInSmallPieces) {
    ASSERT_TRUE(WriteFile(dir.File("packed.rif"), container));
    tessera::SetFileTransferLimit(7);
    Tree tree(LoadRifFile(dir.File("packed.rif").c_str()));
    ASSERT_TRUE(tree);
    EXPECT_EQ(plain, Compile(tree.get()));
}

TEST_F(FileIo, SavingAPlainLevelWritesAContainerThatLoadsBack) {
    const std::string path = dir.File("level.rif");
    ASSERT_TRUE(WriteFile(path, plain));
    Tree loaded(LoadRifFile(path.c_str()));
    ASSERT_TRUE(loaded);

    // Edit the equipment record in place, as the program does, and save.
    uint32_t size = 0;
    auto* record = static_cast<unsigned char*>(GetRifItemData(
        FindFirstRifItem(FindFirstRifItem(loaded.get(), "REBENVDT"), "QELENVIR"), &size));
    ASSERT_NE(nullptr, record);
    ASSERT_EQ(8u, size);
    record[0] = 0x05;
    record[4] = 42;
    tessera::SetFileTransferLimit(5);  // the write loop must finish the job
    ASSERT_EQ(1, SaveRifFile(loaded.get(), path.c_str()));

    const Bytes written = ReadFile(path);
    const Bytes edited = Compile(loaded.get());
    EXPECT_EQ(Compress(edited), written);
    EXPECT_EQ(std::vector<std::string>{"level.rif"}, dir.Entries());
    Tree reloaded(LoadRifFile(path.c_str()));
    ASSERT_TRUE(reloaded);
    EXPECT_EQ(edited, Compile(reloaded.get()));
    EXPECT_NE(plain, edited);
}

// Nothing walks the tree once per level of folders: a million nested folders
// load from a file, save, load again and free.
TEST_F(FileIo, AMillionNestedFoldersLoadAndSave) {
    constexpr uint32_t kDepth = 1000000;
    Bytes stream(12 * static_cast<std::size_t>(kDepth + 1));
    for (uint32_t level = 0; level <= kDepth; ++level) {
        const std::size_t offset = 12 * static_cast<std::size_t>(level);
        std::memcpy(stream.data() + offset, level == 0 ? "REBINFF2" : "RBOBJECT", 8);
        Put32(stream, offset + 8, 12 * (kDepth + 1 - level));
    }
    const std::string path = dir.File("deep.rif");
    ASSERT_TRUE(WriteFile(path, stream));
    Tree loaded(LoadRifFile(path.c_str()));
    ASSERT_TRUE(loaded);
    ASSERT_EQ(1, SaveRifFile(loaded.get(), path.c_str()));
    loaded.reset(LoadRifFile(path.c_str()));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(stream, Compile(loaded.get()));
}

struct LoadFailure {
    const char* name;
    Bytes bytes;       // the file's contents (ignored for the missing file and the folder)
    const char* line;  // a line that must be among those sent, or null
};

TEST_F(FileIo, LoadRifFileRefusesWhatIsNoLevel) {
    Bytes rootTooLong = plain;  // the root chunk claims 100 more bytes than the file holds
    Put32(rootTooLong, 8, static_cast<uint32_t>(plain.size() + 100));
    Bytes cutPlain(plain.begin(), plain.end() - 5);
    Bytes cutContainer(container.begin(), container.end() - 4);
    Bytes streamTooLong = container;  // dwStreamSize claims far more than the file
    Put32(streamTooLong, 8, 0x7ffffffc);
    Bytes innerTooLong = plain;  // the plain stream inside a sound container lies
    Put32(innerTooLong, 8, static_cast<uint32_t>(plain.size() + 12));
    const Bytes innerContainer = Compress(innerTooLong);
    Bytes headerOnly(container.begin(), container.begin() + 316);
    Bytes garbage(40, 'x');

    const std::vector<LoadFailure> cases = {
        {"empty file", {}, kEmptyLine},
        {"five bytes", {'R', 'E', 'B', 'I', 'N'}, kShortLine},
        {"eleven bytes", Bytes(plain.begin(), plain.begin() + 11), kShortLine},
        {"neither magic", garbage, kParseLine},
        {"root claims more than the file", rootTooLong, nullptr},
        {"plain stream cut short", cutPlain, nullptr},
        {"container cut short", cutContainer, nullptr},
        {"container claims a huge stream", streamTooLong, nullptr},
        {"container header alone", headerOnly, nullptr},
        {"container of a lying stream", innerContainer, nullptr},
    };
    for (const LoadFailure& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("bad.rif");
        ASSERT_TRUE(WriteFile(path, c.bytes));
        CapturedLines lines;
        EXPECT_EQ(nullptr, LoadRifFile(path.c_str()));
        if (c.line != nullptr) {
            EXPECT_NE(lines.lines().end(),
                      std::find(lines.lines().begin(), lines.lines().end(), c.line));
        }
        // The same bytes through LoadRif: refused without reading past them.
        EXPECT_EQ(nullptr, LoadExact(c.bytes));
    }
}

// What stands in a level's place may be no level file at all: each is
// refused before a byte is read, and none may block (a pipe without a
// writer, a device that never ends) or cost its size in memory (a sparse
// file of gigabytes). The refusal of each kind does not depend on the
// file's first bytes, so zeros stand for every content.
TEST_F(FileIo, LoadRifFileRefusesWhatIsNoLevelFileWithoutReadingIt) {
    const auto sparse = [&](const char* name, off_t size) {
        const std::string path = dir.File(name);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(0, ::ftruncate(fd, size));
        ::close(fd);
        return path;
    };
    const auto link = [&](const char* target, const char* name) {
        const std::string path = dir.File(name);
        EXPECT_EQ(0, ::symlink(target, path.c_str()));
        return path;
    };
    EXPECT_EQ(0, ::mkfifo(dir.File("pipe.rif").c_str(), 0644));
    const struct {
        const char* name;
        std::string path;
        std::vector<std::string> lines;
    } cases[] = {
        {"4 GiB sparse file", sparse("huge.rif", off_t{4} << 30), {kLargeLine}},
        {"just over the limit", sparse("over.rif", off_t{RIF_MAX_FILE_SIZE} + 1), {kLargeLine}},
        {"named pipe without a writer", dir.File("pipe.rif"), {kOpenLine}},
        {"character device without end", link("/dev/zero", "zero.rif"), {kOpenLine}},
        {"loop of symbolic links", link("loop.rif", "loop.rif"), {kOpenLine}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const gearloft::testing::HangGuard guard(c.name);
        CapturedLines lines;
        EXPECT_EQ(nullptr, LoadRifFile(c.path.c_str()));
        EXPECT_EQ(c.lines, lines.lines());
    }
}

TEST_F(FileIo, LoadRifFileFailureLines) {
    ASSERT_TRUE(WriteFile(dir.File("level.rif"), container));
    const struct {
        const char* name;
        std::string path;
        tessera::FileFault fault;
        std::vector<std::string> lines;
    } cases[] = {
        {"missing file", dir.File("missing.rif"), tessera::FileFault::kNone, {kOpenLine}},
        {"a folder", dir.path(), tessera::FileFault::kNone, {kOpenLine}},
        {"open fails", dir.File("level.rif"), tessera::FileFault::kOpen, {kOpenLine}},
        {"file ends early", dir.File("level.rif"), tessera::FileFault::kShortRead, {}},
        {"empty path", "", tessera::FileFault::kNone, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tessera::SetFileFault(c.fault);
        CapturedLines lines;
        EXPECT_EQ(nullptr, LoadRifFile(c.path.c_str()));
        EXPECT_EQ(c.lines, lines.lines());
        tessera::SetFileFault(tessera::FileFault::kNone);
    }
    EXPECT_EQ(nullptr, LoadRifFile(nullptr));

    // The file block cannot be had.
    CapturedLines lines;
    tessera::FailAllocation(1);
    EXPECT_EQ(nullptr, LoadRifFile(dir.File("level.rif").c_str()));
    tessera::FailAllocation(0);
    EXPECT_EQ(std::vector<std::string>{"ERROR: Tessera.dll failed to allocate memory!\n"},
              lines.lines());
}

TEST_F(FileIo, LoadRifTakesBothFormsWithinTheGivenLength) {
    Tree fromPlain = LoadExact(plain);
    Tree fromContainer = LoadExact(container);
    ASSERT_TRUE(fromPlain);
    ASSERT_TRUE(fromContainer);
    EXPECT_EQ(plain, Compile(fromPlain.get()));
    EXPECT_EQ(plain, Compile(fromContainer.get()));

    // Bytes after the root chunk are no part of it.
    Bytes trailing = plain;
    trailing.insert(trailing.end(), {1, 2, 3});
    Tree fromTrailing = LoadExact(trailing);
    ASSERT_TRUE(fromTrailing);
    EXPECT_EQ(plain, Compile(fromTrailing.get()));

    CapturedLines lines;
    EXPECT_EQ(nullptr, LoadRif(plain.data(), 0));
    EXPECT_EQ(nullptr, LoadRif(nullptr, 100));
    // A length one short of the stream or the container is a truncated block.
    EXPECT_EQ(nullptr, LoadExact(Bytes(plain.begin(), plain.end() - 1)));
    EXPECT_EQ(nullptr, LoadExact(Bytes(container.begin(), container.end() - 1)));
}

TEST_F(FileIo, SaveRifFileRefusesBadArguments) {
    CapturedLines lines;
    EXPECT_EQ(0, SaveRifFile(level.get(), ""));
    EXPECT_EQ(0, SaveRifFile(level.get(), nullptr));
    EXPECT_EQ(0, SaveRifFile(nullptr, dir.File("x.rif").c_str()));
    EXPECT_TRUE(lines.lines().empty());
    EXPECT_TRUE(dir.Entries().empty());
    // A folder in the way is never replaced.
    ASSERT_EQ(0, mkdir(dir.File("sub").c_str(), 0700));
    EXPECT_EQ(0, SaveRifFile(level.get(), dir.File("sub").c_str()));
    EXPECT_EQ(std::vector<std::string>{"sub"}, dir.Entries());
    rmdir(dir.File("sub").c_str());
}

// Every allocation of a save made to fail in turn, then every step of the
// file replacement: each failure returns 0 and leaves the old file byte for
// byte, with no temporary file beside it.
TEST_F(FileIo, NoFailureOfASaveChangesTheExistingFile) {
    const std::string path = dir.File("level.rif");
    const Bytes old = {'o', 'l', 'd', ' ', 'l', 'e', 'v', 'e', 'l'};
    ASSERT_TRUE(WriteFile(path, old));

    bool sawCompile = false;
    bool sawCompress = false;
    bool saved = false;
    for (std::uint64_t nth = 1; nth < 10000 && !saved; ++nth) {
        SCOPED_TRACE(nth);
        CapturedLines lines;
        tessera::FailAllocation(nth);
        saved = SaveRifFile(level.get(), path.c_str()) == 1;
        tessera::FailAllocation(0);
        if (!saved) {
            ASSERT_EQ(old, ReadFile(path));
            ASSERT_EQ(std::vector<std::string>{"level.rif"}, dir.Entries());
            const auto& sent = lines.lines();
            sawCompile |= std::find(sent.begin(), sent.end(), kCompileLine) != sent.end();
            sawCompress |= std::find(sent.begin(), sent.end(), kCompressLine) != sent.end();
        }
    }
    EXPECT_TRUE(saved);
    EXPECT_TRUE(sawCompile);
    EXPECT_TRUE(sawCompress);
    ASSERT_TRUE(WriteFile(path, old));

    for (tessera::FileFault fault :
         {tessera::FileFault::kCreate, tessera::FileFault::kWrite, tessera::FileFault::kSync,
          tessera::FileFault::kClose, tessera::FileFault::kPermissions,
          tessera::FileFault::kRename}) {
        SCOPED_TRACE(static_cast<int>(fault));
        tessera::SetFileFault(fault);
        CapturedLines lines;
        EXPECT_EQ(0, SaveRifFile(level.get(), path.c_str()));
        EXPECT_EQ(old, ReadFile(path));
        EXPECT_EQ(std::vector<std::string>{"level.rif"}, dir.Entries());
        EXPECT_TRUE(lines.lines().empty());
    }
    tessera::SetFileFault(tessera::FileFault::kNone);
    EXPECT_EQ(1, SaveRifFile(level.get(), path.c_str()));
    EXPECT_EQ(container, ReadFile(path));
}

TEST_F(FileIo, SaveKeepsPermissionsAndFollowsLinks) {
    const std::string path = dir.File("level.rif");
    ASSERT_TRUE(WriteFile(path, plain));
    ASSERT_EQ(0, chmod(path.c_str(), 0640));
    ASSERT_EQ(1, SaveRifFile(level.get(), path.c_str()));
    struct stat info {};
    ASSERT_EQ(0, stat(path.c_str(), &info));
    EXPECT_EQ(0640u, info.st_mode & 07777);

    // A new file gets what the umask allows, as any created file does.
    const mode_t previous = umask(027);
    const std::string fresh = dir.File("new.rif");
    const RifBool created = SaveRifFile(level.get(), fresh.c_str());
    umask(previous);
    ASSERT_EQ(1, created);
    ASSERT_EQ(0, stat(fresh.c_str(), &info));
    EXPECT_EQ(0640u, info.st_mode & 07777);
    EXPECT_EQ(container, ReadFile(fresh));

    // Saving through a symbolic link replaces the file it names.
    const std::string link = dir.File("link.rif");
    ASSERT_EQ(0, symlink("level.rif", link.c_str()));
    ASSERT_TRUE(WriteFile(path, plain));
    ASSERT_EQ(1, SaveRifFile(level.get(), link.c_str()));
    ASSERT_EQ(0, lstat(link.c_str(), &info));
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(container, ReadFile(path));
}

TEST_F(FileIo, ABareFileNameSavesInTheCurrentFolder) {
    char previous[4096];
    ASSERT_NE(nullptr, getcwd(previous, sizeof previous));
    ASSERT_EQ(0, chdir(dir.path().c_str()));
    const RifBool saved = SaveRifFile(level.get(), "bare.rif");
    Tree loaded(LoadRifFile("bare.rif"));
    ASSERT_EQ(0, chdir(previous));
    EXPECT_EQ(1, saved);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(plain, Compile(loaded.get()));
    EXPECT_EQ(std::vector<std::string>{"bare.rif"}, dir.Entries());
}

TEST_F(FileIo, AReadOnlyFileIsNotReplaced) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root may write any file whatever its mode";
    }
    const std::string path = dir.File("level.rif");
    ASSERT_TRUE(WriteFile(path, plain));
    ASSERT_EQ(0, chmod(path.c_str(), 0444));
    EXPECT_EQ(0, SaveRifFile(level.get(), path.c_str()));
    EXPECT_EQ(plain, ReadFile(path));
    EXPECT_EQ(std::vector<std::string>{"level.rif"}, dir.Entries());
}

// A scratch file system of a fixed size, mounted for one test (root only).
class ScratchMount {
public:
    explicit ScratchMount(const std::string& where, const char* options) : where_(where) {
        if (geteuid() != 0) {
            reason_ = "mounting a scratch tmpfs needs root";
        } else if (mount("tmpfs", where.c_str(), "tmpfs", 0, options) != 0) {
            reason_ = std::string("mount -t tmpfs failed: ") + std::strerror(errno);
        } else {
            mounted_ = true;
        }
    }
    ~ScratchMount() {
        if (mounted_) {
            umount2(where_.c_str(), MNT_DETACH);
        }
    }
    bool mounted() const { return mounted_; }
    const std::string& reason() const { return reason_; }
    bool MakeReadOnly() {
        return mount("tmpfs", where_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    std::string where_;
    std::string reason_;
    bool mounted_ = false;
};

TEST_F(FileIo, AFullDiskLeavesTheOldFile) {
    ScratchMount disk(dir.path(), "size=64k");
    if (!disk.mounted()) {
        GTEST_SKIP() << disk.reason() << "; the injected write failure covers this path";
    }
    const std::string path = dir.File("level.rif");
    ASSERT_TRUE(WriteFile(path, plain));
    // Fill every free block; the save's new file then cannot take a byte.
    {
        std::ofstream filler(dir.File("filler"), std::ios::binary);
        const std::string block(4096, 'f');
        for (int i = 0; i < 64 && filler; ++i) {
            filler.write(block.data(), static_cast<std::streamsize>(block.size()));
            filler.flush();
        }
    }
    EXPECT_EQ(0, SaveRifFile(level.get(), path.c_str()));
    EXPECT_EQ(plain, ReadFile(path));
    std::vector<std::string> entries = dir.Entries();
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ((std::vector<std::string>{"filler", "level.rif"}), entries);

    // With room again the same save goes through.
    ASSERT_EQ(0, unlink(dir.File("filler").c_str()));
    EXPECT_EQ(1, SaveRifFile(level.get(), path.c_str()));
    EXPECT_EQ(container, ReadFile(path));
    unlink(path.c_str());
}

TEST_F(FileIo, AReadOnlyFolderLeavesTheOldFile) {
    const std::string path = dir.File("level.rif");
    std::unique_ptr<ScratchMount> disk;
    if (geteuid() == 0) {
        // Root writes into any folder whatever its mode; a read-only mount
        // stops it.
        disk = std::make_unique<ScratchMount>(dir.path(), "size=256k");
        if (!disk->mounted()) {
            GTEST_SKIP() << disk->reason() << "; as root a folder's mode does not stop writing";
        }
        ASSERT_TRUE(WriteFile(path, plain));
        ASSERT_TRUE(disk->MakeReadOnly());
    } else {
        ASSERT_TRUE(WriteFile(path, plain));
        ASSERT_EQ(0, chmod(dir.path().c_str(), 0555));
    }
    EXPECT_EQ(0, SaveRifFile(level.get(), path.c_str()));
    EXPECT_EQ(plain, ReadFile(path));
    EXPECT_EQ(std::vector<std::string>{"level.rif"}, dir.Entries());
    chmod(dir.path().c_str(), 0700);
}

// What killed saves left beside a level goes with its next save, whichever
// kind of temporary file that save uses; the file of a save still running
// (locked), other levels' files and names of another form stay.
TEST_F(FileIo, ASaveRemovesOnlyAbandonedTemporaryFilesOfItsLevel) {
    struct Case {
        const char* name;
        bool locked;
        bool removed;
    };
    const Case cases[] = {
        {".level.rif.k3x9a0bq.tmp", false, true},  {".level.rif.00000000.tmp", false, true},
        {".level.rif.r2d2c3po.tmp", true, false},   // its writer still runs
        {".other.rif.k3x9a0bq.tmp", false, false},  // another level's
        {".level.rif.notes.tmp", false, false},     // not a name a save makes
        {".level.rif.K3X9A0BQ.tmp", false, false}, {".level.rif.k3x9a0bq.tmp.bak", false, false},
        {"level.rif.k3x9a0bq.tmp", false, false},
    };
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed temporary file" : "named temporary file");
        tessera::SetUnnamedTemporaryFiles(unnamed);
        std::vector<int> locks;
        for (const Case& c : cases) {
            ASSERT_TRUE(WriteFile(dir.File(c.name), plain));
            if (c.locked) {
                const int fd = open(dir.File(c.name).c_str(), O_RDONLY | O_CLOEXEC);
                ASSERT_EQ(0, flock(fd, LOCK_EX));
                locks.push_back(fd);
            }
        }
        ASSERT_EQ(1, SaveRifFile(level.get(), dir.File("level.rif").c_str()));
        for (const int fd : locks) {
            close(fd);
        }
        for (const Case& c : cases) {
            EXPECT_EQ(!c.removed, access(dir.File(c.name).c_str(), F_OK) == 0) << c.name;
            unlink(dir.File(c.name).c_str());
        }
        EXPECT_EQ(std::vector<std::string>{"level.rif"}, dir.Entries());
    }
    tessera::SetUnnamedTemporaryFiles(true);
}

TEST_F(FileIo, SaveRifReturnsTheContainerAndItsLength) {
    uint32_t length = 0xdeadbeef;
    void* block = SaveRif(level.get(), &length);
    ASSERT_NE(nullptr, block);
    const auto* bytes = static_cast<const unsigned char*>(block);
    EXPECT_EQ(container, Bytes(bytes, bytes + length));
    Tree back(LoadRif(block, length));
    ReleaseBuffer(block);
    ASSERT_TRUE(back);
    EXPECT_EQ(plain, Compile(back.get()));

    block = SaveRif(level.get(), nullptr);
    EXPECT_NE(nullptr, block);
    ReleaseBuffer(block);

    length = 0xdeadbeef;
    EXPECT_EQ(nullptr, SaveRif(nullptr, &length));
    EXPECT_EQ(0xdeadbeefu, length);

    CapturedLines lines;
    tessera::FailAllocation(1);
    EXPECT_EQ(nullptr, SaveRif(level.get(), &length));
    tessera::FailAllocation(0);
    EXPECT_EQ(0u, length);
    EXPECT_NE(lines.lines().end(),
              std::find(lines.lines().begin(), lines.lines().end(),
                        std::string("ERROR: SaveRif() failed to compile RIF\n")));
}

}  // namespace
}  // namespace tessera_test
