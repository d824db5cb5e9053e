// The library as a client sees it: loaded with dlopen, bound through
// TesseraInit alone, and used only through the record's pointers to build,
// save, load, edit in place and save again a level file.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "fixtures.h"
#include "tests/support/elf_symbols.h"

#ifndef TESSERA_LIBRARY_PATH
#error "TESSERA_LIBRARY_PATH must name the shared library under test"
#endif

namespace tessera_test {
namespace {

// The record's operations in field order, as the export table names them.
const char* const kNames[] = {
    "LoadRifFile",
    "SaveRifFile",
    "LoadRif",
    "SaveRif",
    "DecompressRif",
    "CompressRif",
    "ParseRif",
    "CompileRif",
    "ReleaseBuffer",
    "CreateRifItem",
    "CreateRifItemFolder",
    "CreateRifItemChild",
    "DeleteRifItem",
    "SetRifItemName",
    "GetRifItemName",
    "SetRifItemData",
    "GetRifItemData",
    "IsRifItemFolder",
    "GetParentRifItem",
    "GetChildRifItem",
    "GetNextRifItem",
    "GetPrevRifItem",
    "InsertRifItem",
    "InsertRifItemFolder",
    "InsertRifItemChild",
    "RemoveRifItem",
    "FindFirstRifItem",
    "FindNextRifItem",
    "GetRebShapeData",
    "GetLightSetData",
    "GetRebEnvData",
};

TEST(AbiFile, ExportsTesseraInitAndTheOperationsOnly) {
    std::set<std::string> expected(std::begin(kNames), std::end(kNames));
    expected.insert("TesseraInit");
    ASSERT_EQ(expected, std::set<std::string>(std::begin(kExportNames), std::end(kExportNames)));
    EXPECT_EQ(expected, ElfFile(TESSERA_LIBRARY_PATH).DefinedDynamicSymbols());
}

// A relocation against an exported name would be resolved in the whole
// process, where a program's function of the same name comes first.
TEST(AbiFile, BindsNoneOfItsOwnNamesAtLoadTime) {
    const ElfFile file(TESSERA_LIBRARY_PATH);
    const std::set<std::string> relocated = file.RelocatedSymbols();
    ASSERT_FALSE(relocated.empty()) << "no dynamic relocations read";
    for (const std::string& name : file.DefinedDynamicSymbols()) {
        EXPECT_EQ(relocated.count(name), 0u) << name;
    }
}

class Abi : public ::testing::Test {
protected:
    void SetUp() override {
        library = dlopen(TESSERA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(nullptr, library) << dlerror();
        init = reinterpret_cast<PFN_TesseraInit>(dlsym(library, "TesseraInit"));
        ASSERT_NE(nullptr, init);
    }
    void TearDown() override {
        if (library != nullptr) {
            dlclose(library);
        }
    }
    void* library = nullptr;
    PFN_TesseraInit init = nullptr;
};

TEST_F(Abi, AZeroedFullRecordGetsTheVersionAndEveryExport) {
    alignas(8) unsigned char record[256] = {};
    const uint32_t size = sizeof(TESSERAEXPORT);
    std::memcpy(record, &size, sizeof size);
    ASSERT_EQ(1, init(record));
    uint32_t version = 0;
    std::memcpy(&version, record + 4, sizeof version);
    EXPECT_EQ(0x01040000u, version);
    ASSERT_EQ(sizeof record, 8 + std::size(kNames) * sizeof(void*));
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
        void* pointer = nullptr;
        std::memcpy(&pointer, record + 8 + i * sizeof(void*), sizeof pointer);
        EXPECT_NE(nullptr, pointer) << kNames[i];
        EXPECT_EQ(dlsym(library, kNames[i]), pointer) << kNames[i];
    }
}

TEST_F(Abi, ALevelFileRoundTripsThroughTheRecord) {
    TESSERAEXPORT rif{};
    rif.dwSize = sizeof rif;
    ASSERT_EQ(1, init(&rif));

    RifItem* root = rif.CreateRifItemFolder("REBINFF2");
    RifItem* env = rif.InsertRifItemFolder("REBENVDT", root, RIF_LAST);
    const unsigned char equipment[8] = {0x3f, 0, 0, 0, 7, 0, 0, 0};
    ASSERT_NE(nullptr,
              rif.InsertRifItemChild("QELENVIR", equipment, sizeof equipment, env, RIF_LAST));
    TempDir dir;
    const std::string path = dir.File("level.rif");
    ASSERT_EQ(1, rif.SaveRifFile(root, path.c_str()));
    rif.DeleteRifItem(root);
    const Bytes first = ReadFile(path);
    ASSERT_GE(first.size(), 320u);
    EXPECT_EQ(0, std::memcmp(first.data(), "REBCRIF1", 8));

    // Load, edit the equipment record in place, save, load again.
    RifItem* level = rif.LoadRifFile(path.c_str());
    ASSERT_NE(nullptr, level);
    REBENVDATA envData{};
    ASSERT_EQ(1, rif.GetRebEnvData(level, &envData));
    uint32_t size = 0;
    auto* record = static_cast<unsigned char*>(rif.GetRifItemData(envData.qelEnvir, &size));
    ASSERT_EQ(sizeof equipment, size);
    ASSERT_EQ(0, std::memcmp(equipment, record, size));
    record[0] = 0x09;
    record[4] = 3;
    ASSERT_EQ(1, rif.SaveRifFile(level, path.c_str()));
    rif.DeleteRifItem(level);

    level = rif.LoadRifFile(path.c_str());
    ASSERT_NE(nullptr, level);
    RifItem* item = rif.FindFirstRifItem(rif.FindFirstRifItem(level, "rebenvdt"), "qelenvir");
    record = static_cast<unsigned char*>(rif.GetRifItemData(item, &size));
    ASSERT_EQ(8u, size);
    EXPECT_EQ(0x09, record[0]);
    EXPECT_EQ(3, record[4]);

    // The same tree through memory.
    uint32_t length = 0;
    void* container = rif.SaveRif(level, &length);
    ASSERT_NE(nullptr, container);
    RifItem* copy = rif.LoadRif(container, length);
    rif.ReleaseBuffer(container);
    ASSERT_NE(nullptr, copy);
    uint32_t a = 0;
    uint32_t b = 0;
    void* streamA = rif.CompileRif(level, &a);
    void* streamB = rif.CompileRif(copy, &b);
    ASSERT_EQ(a, b);
    EXPECT_EQ(0, std::memcmp(streamA, streamB, a));
    rif.ReleaseBuffer(streamA);
    rif.ReleaseBuffer(streamB);
    rif.DeleteRifItem(copy);
    rif.DeleteRifItem(level);
}

TEST_F(Abi, TheLibraryUnloadsWhenTheClientLetsGo) {
    // Recording the module handle must not hold the library in memory.
    void* again = dlopen(TESSERA_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_EQ(library, again);
    dlclose(again);
    dlclose(library);
    library = nullptr;
    EXPECT_EQ(nullptr, dlopen(TESSERA_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD));
}

}  // namespace
}  // namespace tessera_test
