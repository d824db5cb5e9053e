// The shared library as a client sees it: loaded at run time, every operation
// looked up by name, driven through function pointers only.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <set>
#include <string>

#include "chunkfile/tessera.h"
#include "tests/support/elf_symbols.h"

namespace {

class SharedLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = dlopen(TESSERA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
    }
    void TearDown() override {
        if (handle_ != nullptr) {
            dlclose(handle_);
        }
    }

    template <typename Function>
    Function Bind(const char* name) {
        void* symbol = dlsym(handle_, name);
        EXPECT_NE(symbol, nullptr) << name;
        return reinterpret_cast<Function>(symbol);
    }

    void* handle_ = nullptr;
};

TEST_F(SharedLibraryTest, ExportsTheOperationsAndHidesItsInternals) {
    for (const char* name :
         {"CreateRifItem",   "CreateRifItemFolder", "CreateRifItemChild",  "DeleteRifItem",
          "SetRifItemName",  "GetRifItemName",      "SetRifItemData",      "GetRifItemData",
          "IsRifItemFolder", "GetParentRifItem",    "GetChildRifItem",     "GetNextRifItem",
          "GetPrevRifItem",  "InsertRifItem",       "InsertRifItemFolder", "InsertRifItemChild",
          "RemoveRifItem",   "FindFirstRifItem",    "FindNextRifItem",     "ParseRif",
          "CompileRif",      "ReleaseBuffer"}) {
        EXPECT_NE(dlsym(handle_, name), nullptr) << name;
    }
    // Everything else stays inside (the bounded parser, the heap, the
    // diagnostic sink, whatever they are called): the file's dynamic symbol
    // table defines the ABI's names and no others.
    const std::set<std::string> abi(std::begin(tessera_test::kExportNames),
                                    std::end(tessera_test::kExportNames));
    const std::set<std::string> defined =
        tessera_test::ElfFile(TESSERA_LIBRARY_PATH).DefinedDynamicSymbols();
    ASSERT_FALSE(defined.empty());
    for (const std::string& name : defined) {
        EXPECT_EQ(abi.count(name), 1u) << name << " is exported";
    }
}

TEST_F(SharedLibraryTest, BuildsCompilesParsesAndEditsATree) {
    auto createFolder = Bind<PFN_CreateRifItemFolder>("CreateRifItemFolder");
    auto insertFolder = Bind<PFN_InsertRifItemFolder>("InsertRifItemFolder");
    auto insertChild = Bind<PFN_InsertRifItemChild>("InsertRifItemChild");
    auto compile = Bind<PFN_CompileRif>("CompileRif");
    auto parse = Bind<PFN_ParseRif>("ParseRif");
    auto release = Bind<PFN_ReleaseBuffer>("ReleaseBuffer");
    auto findFirst = Bind<PFN_FindFirstRifItem>("FindFirstRifItem");
    auto getData = Bind<PFN_GetRifItemData>("GetRifItemData");
    auto getName = Bind<PFN_GetRifItemName>("GetRifItemName");
    auto isFolder = Bind<PFN_IsRifItemFolder>("IsRifItemFolder");
    auto remove = Bind<PFN_RemoveRifItem>("RemoveRifItem");
    auto getChild = Bind<PFN_GetChildRifItem>("GetChildRifItem");
    auto destroy = Bind<PFN_DeleteRifItem>("DeleteRifItem");
    ASSERT_FALSE(HasFailure());

    RifItem* root = createFolder("REBINFF2");
    RifItem* env = insertFolder("REBENVDT", root, RIF_LAST);
    const unsigned char record[] = {0x3F, 0x00, 0x05, 0x00};
    ASSERT_NE(insertChild("QELENVIR", record, sizeof record, env, RIF_LAST), nullptr);
    ASSERT_NE(insertChild("SCRATCH", nullptr, 0, root, RIF_LAST), nullptr);

    std::uint32_t length = 0;
    void* stream = compile(root, &length);
    ASSERT_NE(stream, nullptr);
    // REBINFF2(12) > REBENVDT(12) > QELENVIR(12 + 4), SCRATCH(12)
    EXPECT_EQ(length, 52u);
    destroy(root);

    RifItem* copy = parse(stream);
    release(stream);  // the tree keeps copies of everything
    ASSERT_NE(copy, nullptr);
    RifItem* record_item = findFirst(findFirst(copy, "rebenvdt"), "qelenvir");
    ASSERT_NE(record_item, nullptr);
    EXPECT_EQ(std::string(getName(record_item), 8), "QELENVIR");
    EXPECT_EQ(isFolder(record_item), 0);
    std::uint32_t size = 0;
    auto* data = static_cast<unsigned char*>(getData(record_item, &size));
    ASSERT_EQ(size, sizeof record);
    EXPECT_EQ(std::memcmp(data, record, sizeof record), 0);
    data[2] = 9;  // edited in place, as the level editor does

    remove(findFirst(copy, "SCRATCH"), 1);
    stream = compile(copy, &length);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(length, 40u);
    EXPECT_EQ(static_cast<unsigned char*>(stream)[36 + 2], 9);
    release(stream);
    EXPECT_NE(getChild(copy), nullptr);
    destroy(copy);
}

}  // namespace
