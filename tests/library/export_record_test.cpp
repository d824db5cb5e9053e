// TesseraInit in a program that links the library statically and exports its
// symbols (ENABLE_EXPORTS), so that the look-up by name finds them here: the
// four forms with their sizes and pointer orders, the refusals and their
// lines, and the two failures a client cannot cause (no module handle, a
// missing export), forced through the module handle hook.
#include "chunkfile/export_record.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fixtures.h"

namespace tessera_test {
namespace {

using Pointers = std::vector<void*>;

template <typename... Fn>
Pointers List(Fn... fn) {
    return {reinterpret_cast<void*>(fn)...};
}

// The operations of each form in field order.
const Pointers kForm84 =
    List(ParseRif, CompileRif, ReleaseBuffer, CreateRifItem, DeleteRifItem, SetRifItemName,
         GetRifItemName, SetRifItemData, GetRifItemData, IsRifItemFolder, GetParentRifItem,
         GetChildRifItem, GetNextRifItem, GetPrevRifItem, InsertRifItem, RemoveRifItem,
         FindFirstRifItem, FindNextRifItem, GetRebShapeData);
const Pointers kForm108 = List(
    LoadRifFile, SaveRifFile, LoadRif, SaveRif, ParseRif, CompileRif, ReleaseBuffer, CreateRifItem,
    DeleteRifItem, SetRifItemName, GetRifItemName, SetRifItemData, GetRifItemData, IsRifItemFolder,
    GetParentRifItem, GetChildRifItem, GetNextRifItem, GetPrevRifItem, InsertRifItem, RemoveRifItem,
    FindFirstRifItem, FindNextRifItem, GetRebShapeData, GetLightSetData, GetRebEnvData);
const Pointers kForm124 =
    List(LoadRifFile, SaveRifFile, LoadRif, SaveRif, ParseRif, CompileRif, ReleaseBuffer,
         CreateRifItem, CreateRifItemFolder, CreateRifItemChild, DeleteRifItem, SetRifItemName,
         GetRifItemName, SetRifItemData, GetRifItemData, IsRifItemFolder, GetParentRifItem,
         GetChildRifItem, GetNextRifItem, GetPrevRifItem, InsertRifItem, InsertRifItemFolder,
         InsertRifItemChild, RemoveRifItem, FindFirstRifItem, FindNextRifItem, GetRebShapeData,
         GetLightSetData, GetRebEnvData);
const Pointers kForm132 =
    List(LoadRifFile, SaveRifFile, LoadRif, SaveRif, DecompressRif, CompressRif, ParseRif,
         CompileRif, ReleaseBuffer, CreateRifItem, CreateRifItemFolder, CreateRifItemChild,
         DeleteRifItem, SetRifItemName, GetRifItemName, SetRifItemData, GetRifItemData,
         IsRifItemFolder, GetParentRifItem, GetChildRifItem, GetNextRifItem, GetPrevRifItem,
         InsertRifItem, InsertRifItemFolder, InsertRifItemChild, RemoveRifItem, FindFirstRifItem,
         FindNextRifItem, GetRebShapeData, GetLightSetData, GetRebEnvData);

const std::vector<std::string> kInvalidLines = {
    "ERROR: Invalid parameter in Tessera.dll: TesseraInit(...)\n",
    "please pass a valid pointer to a an existing TESSERAEXPORT structure\n",
    "which has been properly initialized. (dwSize = sizeof(TESSERAEXPORT))\n",
};

constexpr unsigned char kCanary = 0xA5;
constexpr std::size_t kBufferSize = 512;

// A record at the start of a larger buffer whose every byte is a canary, so
// that a write past the form shows.
struct Buffer {
    alignas(8) unsigned char bytes[kBufferSize];
    explicit Buffer(uint32_t size) {
        std::memset(bytes, kCanary, sizeof bytes);
        std::memcpy(bytes, &size, sizeof size);
    }
    uint32_t Word(std::size_t offset) const {
        uint32_t value;
        std::memcpy(&value, bytes + offset, sizeof value);
        return value;
    }
    void* Pointer(std::size_t index) const {
        void* value;
        std::memcpy(&value, bytes + 8 + index * sizeof(void*), sizeof value);
        return value;
    }
};

TEST(ExportRecord, FormSizesAreTheListsWithNativePointers) {
    EXPECT_EQ(8 + 19 * sizeof(void*), sizeof(TESSERAEXPORT84));
    EXPECT_EQ(8 + 31 * sizeof(void*), sizeof(TESSERAEXPORT));
    if (sizeof(void*) == 8) {
        EXPECT_EQ(160u, sizeof(TESSERAEXPORT84));
        EXPECT_EQ(208u, sizeof(TESSERAEXPORT108));
        EXPECT_EQ(240u, sizeof(TESSERAEXPORT124));
        EXPECT_EQ(256u, sizeof(TESSERAEXPORT));
    } else {
        EXPECT_EQ(84u, sizeof(TESSERAEXPORT84));
        EXPECT_EQ(132u, sizeof(TESSERAEXPORT));
    }
}

TEST(ExportRecord, EachFormGetsItsPointersAndNotOneByteMore) {
    const struct {
        uint32_t size;
        const Pointers* pointers;
    } forms[] = {
        {sizeof(TESSERAEXPORT84), &kForm84},
        {sizeof(TESSERAEXPORT108), &kForm108},
        {sizeof(TESSERAEXPORT124), &kForm124},
        {sizeof(TESSERAEXPORT), &kForm132},
    };
    for (const auto& form : forms) {
        SCOPED_TRACE(form.size);
        ASSERT_EQ(form.size, 8 + form.pointers->size() * sizeof(void*));
        Buffer record(form.size);
        CapturedLines lines;
        ASSERT_EQ(1, TesseraInit(record.bytes));
        EXPECT_TRUE(lines.lines().empty());
        EXPECT_EQ(form.size, record.Word(0));
        EXPECT_EQ(0x01040000u, record.Word(4));
        for (std::size_t i = 0; i < form.pointers->size(); ++i) {
            EXPECT_EQ((*form.pointers)[i], record.Pointer(i)) << "pointer " << i + 1;
        }
        for (std::size_t i = form.size; i < kBufferSize; ++i) {
            ASSERT_EQ(kCanary, record.bytes[i]) << "byte " << i;
        }
        // Filling again writes the same values.
        Buffer again(form.size);
        ASSERT_EQ(1, TesseraInit(again.bytes));
        EXPECT_EQ(0, std::memcmp(record.bytes, again.bytes, kBufferSize));
    }

    // The declared struct works as the client writes it.
    TESSERAEXPORT rec{};
    rec.dwSize = sizeof rec;
    ASSERT_EQ(1, TesseraInit(&rec));
    EXPECT_EQ(TESSERA_VERSION, rec.dwVersion);
    EXPECT_EQ(&GetRebEnvData, rec.GetRebEnvData);
    EXPECT_EQ(&LoadRifFile, rec.LoadRifFile);
}

TEST(ExportRecord, AnUnknownSizeWritesNothing) {
    std::vector<uint32_t> sizes = {0, 100, 161, 255, 257, 0xFFFFFFFF};
    if (sizeof(void*) == 8) {
        // The 32-bit forms' sizes name no form of a 64-bit build.
        sizes.insert(sizes.end(), {84, 108, 124, 132});
    }
    for (uint32_t size : sizes) {
        SCOPED_TRACE(size);
        Buffer record(size);
        const Buffer before(size);
        CapturedLines lines;
        EXPECT_EQ(0, TesseraInit(record.bytes));
        EXPECT_EQ(kInvalidLines, lines.lines());
        EXPECT_EQ(0, std::memcmp(before.bytes, record.bytes, kBufferSize));
    }
    CapturedLines lines;
    EXPECT_EQ(0, TesseraInit(nullptr));
    EXPECT_EQ(kInvalidLines, lines.lines());
}

TEST(ExportRecord, NoModuleHandle) {
    void* previous = tessera::SetModuleHandle(nullptr);
    Buffer record(sizeof(TESSERAEXPORT));
    const Buffer before(sizeof(TESSERAEXPORT));
    CapturedLines lines;
    EXPECT_EQ(0, TesseraInit(record.bytes));
    tessera::SetModuleHandle(previous);
    EXPECT_EQ((std::vector<std::string>{"ERROR: Tessera.dll has not been loaded properly.\n",
                                        "(there's no valid HINSTANCE in here)\n"}),
              lines.lines());
    EXPECT_EQ(0, std::memcmp(before.bytes, record.bytes, kBufferSize));
}

TEST(ExportRecord, AMissingExportIsReportedWithTheSystemText) {
    // A module without the operations: the C library, loaded already.
    void* libc = dlopen("libc.so.6", RTLD_LAZY | RTLD_NOLOAD);
    ASSERT_NE(nullptr, libc);
    void* previous = tessera::SetModuleHandle(libc);
    Buffer record(sizeof(TESSERAEXPORT84));
    CapturedLines lines;
    EXPECT_EQ(0, TesseraInit(record.bytes));
    tessera::SetModuleHandle(previous);
    dlclose(libc);

    ASSERT_EQ(3u, lines.lines().size());
    EXPECT_EQ("ERROR: Initialization failure in Tessera.dll: TesseraInit(...)\n", lines.lines()[0]);
    EXPECT_EQ("  GetProcAddress(...) returned NULL for one or more exported functions:\n  ",
              lines.lines()[1]);
    // The loader's own text names the last symbol it could not find.
    EXPECT_NE(std::string::npos, lines.lines()[2].find("GetRebShapeData")) << lines.lines()[2];
    EXPECT_EQ('\n', lines.lines()[2].back());
    // The record keeps what was filled: the version and the null pointers.
    EXPECT_EQ(0x01040000u, record.Word(4));
    for (std::size_t i = 0; i < kForm84.size(); ++i) {
        EXPECT_EQ(nullptr, record.Pointer(i));
    }
    EXPECT_EQ(kCanary, record.bytes[sizeof(TESSERAEXPORT84)]);
}

}  // namespace
}  // namespace tessera_test
