// A program that defines functions of the library's own names (a client may
// well call its helpers ReleaseBuffer or DeleteRifItem) and exports them, as
// -rdynamic does. It loads the library with dlopen and uses every operation
// through the record: the library must neither call these functions nor hand
// them out, whichever of its paths runs.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <set>
#include <string>
#include <type_traits>

#include <tessera.h>

#ifndef TESSERA_LIBRARY_PATH
#error "TESSERA_LIBRARY_PATH must name the shared library under test"
#endif

namespace {

std::set<std::string>& Called() {
    static std::set<std::string> names;
    return names;
}

template <typename Result>
Result Empty() {
    if constexpr (!std::is_void_v<Result>) {
        return Result{};
    }
}

}  // namespace

// The program's own functions, with the library's names and signatures. Each
// notes that it ran and gives an empty result.
#define IMPOSTOR(result, name, ...)       \
    extern "C" result name(__VA_ARGS__) { \
        Called().insert(#name);           \
        return Empty<result>();           \
    }

IMPOSTOR(RifBool, TesseraInit, void*)
IMPOSTOR(RifItem*, LoadRifFile, const char*)
IMPOSTOR(RifBool, SaveRifFile, RifItem*, const char*)
IMPOSTOR(RifItem*, LoadRif, const void*, uint32_t)
IMPOSTOR(void*, SaveRif, RifItem*, uint32_t*)
IMPOSTOR(void*, DecompressRif, const void*, uint32_t*)
IMPOSTOR(void*, CompressRif, const void*, uint32_t, uint32_t*)
IMPOSTOR(RifItem*, ParseRif, const void*)
IMPOSTOR(void*, CompileRif, RifItem*, uint32_t*)
IMPOSTOR(void, ReleaseBuffer, void*)
IMPOSTOR(RifItem*, CreateRifItem, const char*, RifBool, const void*, uint32_t)
IMPOSTOR(RifItem*, CreateRifItemFolder, const char*)
IMPOSTOR(RifItem*, CreateRifItemChild, const char*, const void*, uint32_t)
IMPOSTOR(void, DeleteRifItem, RifItem*)
IMPOSTOR(void, SetRifItemName, RifItem*, const char*)
IMPOSTOR(const char*, GetRifItemName, RifItem*)
IMPOSTOR(RifBool, SetRifItemData, RifItem*, const void*, uint32_t)
IMPOSTOR(void*, GetRifItemData, RifItem*, uint32_t*)
IMPOSTOR(RifBool, IsRifItemFolder, RifItem*)
IMPOSTOR(RifItem*, GetParentRifItem, RifItem*)
IMPOSTOR(RifItem*, GetChildRifItem, RifItem*)
IMPOSTOR(RifItem*, GetNextRifItem, RifItem*)
IMPOSTOR(RifItem*, GetPrevRifItem, RifItem*)
IMPOSTOR(RifBool, InsertRifItem, RifItem*, RifItem*, RifItem*)
IMPOSTOR(RifItem*, InsertRifItemFolder, const char*, RifItem*, RifItem*)
IMPOSTOR(RifItem*, InsertRifItemChild, const char*, const void*, uint32_t, RifItem*, RifItem*)
IMPOSTOR(void, RemoveRifItem, RifItem*, RifBool)
IMPOSTOR(RifItem*, FindFirstRifItem, RifItem*, const char*)
IMPOSTOR(RifItem*, FindNextRifItem, RifItem*)
IMPOSTOR(RifBool, GetRebShapeData, RifItem*, REBSHAPEDATA*)
IMPOSTOR(RifBool, GetLightSetData, RifItem*, LIGHTSETDATA*)
IMPOSTOR(RifBool, GetRebEnvData, RifItem*, REBENVDATA*)

#undef IMPOSTOR

namespace {

// The load base of the object that holds address.
const void* ObjectOf(const void* address) {
    Dl_info info{};
    return dladdr(address, &info) != 0 ? info.dli_fbase : nullptr;
}

TEST(Interposition, TheLibraryUsesOnlyItsOwnFunctions) {
    void* library = dlopen(TESSERA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto init = reinterpret_cast<PFN_TesseraInit>(dlsym(library, "TesseraInit"));
    ASSERT_NE(init, nullptr);
    const void* libraryBase = ObjectOf(reinterpret_cast<const void*>(init));
    ASSERT_NE(libraryBase, ObjectOf(reinterpret_cast<const void*>(&Called)));

    TESSERAEXPORT rif{};
    rif.dwSize = sizeof rif;
    ASSERT_EQ(init(&rif), 1);
    // Every pointer of the record lies in the library, none in this program.
    void* slots[(sizeof rif - 8) / sizeof(void*)];
    std::memcpy(slots, reinterpret_cast<const unsigned char*>(&rif) + 8, sizeof slots);
    for (std::size_t i = 0; i < std::size(slots); ++i) {
        EXPECT_EQ(ObjectOf(slots[i]), libraryBase) << "record pointer " << i;
    }
    ASSERT_FALSE(HasFailure());

    // Build a level with every way of making and linking items.
    RifItem* root = rif.CreateRifItemFolder("REBINFF2");
    RifItem* env = rif.InsertRifItemFolder("REBENVDT", root, RIF_LAST);
    const unsigned char equipment[24] = {0, 0, 0, 0, 0,    0, 0, 0, 0,  0, 0, 0,
                                         0, 0, 0, 0, 0x3F, 0, 0, 0, 30, 0, 0, 0};
    rif.InsertRifItemChild("QELENVIR", equipment, sizeof equipment, env, RIF_LAST);
    RifItem* lights = rif.InsertRifItemFolder("LIGHTSET", env, RIF_LAST);
    rif.InsertRifItemChild("AMBIENCE", "amb", 3, lights, RIF_LAST);
    RifItem* shape = rif.InsertRifItemFolder("REBSHAPE", root, RIF_LAST);
    RifItem* vertices = rif.CreateRifItemChild("SHPRAWVT", nullptr, 0);
    ASSERT_EQ(rif.SetRifItemData(vertices, "vertices", 8), 1);
    ASSERT_EQ(rif.InsertRifItem(vertices, shape, nullptr), 1);
    RifItem* extra = rif.CreateRifItem("SHPEXTFL", 1, nullptr, 0);
    rif.InsertRifItemChild("SHPEXTFN", "x", 1, extra, RIF_LAST);
    rif.InsertRifItem(extra, shape, RIF_LAST);
    RifItem* scratch = rif.InsertRifItemFolder("SCRATCH", root, RIF_LAST);
    rif.InsertRifItemChild("SCRATCH", "y", 1, scratch, RIF_LAST);
    rif.RemoveRifItem(scratch, 1);  // deletes a subtree

    // The typed readers look items up.
    REBENVDATA envData{};
    LIGHTSETDATA lightData{};
    REBSHAPEDATA shapeData{};
    EXPECT_EQ(rif.GetRebEnvData(root, &envData), 1);
    EXPECT_EQ(envData.qelEnvir, rif.FindFirstRifItem(env, "QELENVIR"));
    EXPECT_EQ(rif.GetLightSetData(root, &lightData), 1);
    EXPECT_EQ(rif.GetRebShapeData(shape, &shapeData), 1);
    EXPECT_EQ(shapeData.shpRawVt.dwDataSize, 8u);

    // Every conversion, each in both directions.
    uint32_t streamLength = 0;
    void* stream = rif.CompileRif(root, &streamLength);
    ASSERT_NE(stream, nullptr);
    uint32_t containerLength = 0;
    void* container = rif.CompressRif(stream, streamLength, &containerLength);
    ASSERT_NE(container, nullptr);
    uint32_t plainLength = 0;
    void* plain = rif.DecompressRif(container, &plainLength);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plainLength, streamLength);
    RifItem* parsed = rif.ParseRif(plain);
    EXPECT_NE(parsed, nullptr);
    rif.DeleteRifItem(parsed);
    RifItem* loaded = rif.LoadRif(container, containerLength);
    EXPECT_NE(loaded, nullptr);
    rif.DeleteRifItem(loaded);
    uint32_t savedLength = 0;
    void* saved = rif.SaveRif(root, &savedLength);
    EXPECT_EQ(savedLength, containerLength);
    rif.ReleaseBuffer(saved);

    // A stream whose second chunk claims a size below its header's: the
    // parse frees what it made so far.
    std::memcpy(static_cast<unsigned char*>(plain) + 20, "\x05\x00\x00\x00", 4);
    EXPECT_EQ(rif.ParseRif(plain), nullptr);
    rif.ReleaseBuffer(plain);
    rif.ReleaseBuffer(container);
    rif.ReleaseBuffer(stream);

    // The file entry points.
    char folder[] = "/tmp/interposition_test.XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/level.rif";
    EXPECT_EQ(rif.SaveRifFile(root, path.c_str()), 1);
    RifItem* fromFile = rif.LoadRifFile(path.c_str());
    EXPECT_NE(rif.FindNextRifItem(rif.GetChildRifItem(fromFile)), rif.GetChildRifItem(fromFile));
    rif.DeleteRifItem(fromFile);
    unlink(path.c_str());
    rmdir(folder);

    rif.DeleteRifItem(root);
    EXPECT_EQ(Called(), std::set<std::string>{}) << "the library called the program's functions";
    dlclose(library);
}

}  // namespace
