// GetRebShapeData, GetLightSetData and GetRebEnvData: which items land in
// which entry, and what a refused item leaves in the record.
#include <gtest/gtest.h>

#include <cstring>

#include "fixtures.h"

namespace tessera_test {
namespace {

bool AllZero(const void* record, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(record);
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] != 0) {
            return false;
        }
    }
    return true;
}

template <typename Record>
Record Garbage() {
    Record record;
    std::memset(&record, 0xA5, sizeof record);
    return record;
}

class TypedReaders : public ::testing::Test {
protected:
    void TearDown() override { DeleteRifItem(root); }
    RifItem* root = CreateRifItemFolder("REBINFF2");
};

TEST_F(TypedReaders, ShapeTakesDirectPairsAndThoseOfItsExternalFolder) {
    RifItem* shape = InsertRifItemFolder("REBSHAPE", root, RIF_LAST);
    RifItem* head = InsertRifItemChild("SHPHEAD1", "head", 4, shape, RIF_LAST);
    InsertRifItemChild("SHPCENTR", "first", 5, shape, RIF_LAST);
    RifItem* centre = InsertRifItemChild("SHPCENTR", "second!", 7, shape, RIF_LAST);
    InsertRifItemChild("SHPEXTFN", "direct", 6, shape, RIF_LAST);  // not inside SHPEXTFL
    InsertRifItemFolder("SHPPOLYS", shape, RIF_LAST);              // a folder has no data
    InsertRifItemChild("SHPUVCRD", nullptr, 0, shape, RIF_LAST);   // an item without data
    RifItem* external = InsertRifItemFolder("SHPEXTFL", shape, RIF_LAST);
    RifItem* fileName = InsertRifItemChild("SHPEXTFN", "ext.rif", 7, external, RIF_LAST);
    RifItem* objName = InsertRifItemChild("EXTOBJNM", "obj", 3, external, RIF_LAST);
    InsertRifItemChild("SHPHEAD1", "deeper", 6, external, RIF_LAST);  // not a direct child
    RifItem* deep = InsertRifItemFolder("SUBSHAPE", shape, RIF_LAST);
    InsertRifItemChild("SHPRAWVT", "too deep", 8, deep, RIF_LAST);

    REBSHAPEDATA data = Garbage<REBSHAPEDATA>();
    ASSERT_EQ(1, GetRebShapeData(shape, &data));
    EXPECT_EQ(4u, data.shpHead1.dwDataSize);
    EXPECT_EQ(GetRifItemData(head, nullptr), data.shpHead1.pData);
    EXPECT_EQ(7u, data.shpCentr.dwDataSize);  // the last of two wins
    EXPECT_EQ(GetRifItemData(centre, nullptr), data.shpCentr.pData);
    EXPECT_EQ(7u, data.shpExtFn.dwDataSize);  // the one inside SHPEXTFL
    EXPECT_EQ(GetRifItemData(fileName, nullptr), data.shpExtFn.pData);
    EXPECT_EQ(3u, data.extObjNm.dwDataSize);
    EXPECT_EQ(GetRifItemData(objName, nullptr), data.extObjNm.pData);
    for (const RifDataRef* absent :
         {&data.shpRawVt, &data.shpVNorm, &data.shpPNorm, &data.shpPolys, &data.shpUvCrd,
          &data.shpMrgDt, &data.bmpLstSt, &data.bmNamExt, &data.bmNamVer, &data.riffName}) {
        EXPECT_EQ(0u, absent->dwDataSize);
        EXPECT_EQ(nullptr, absent->pData);
    }
}

TEST_F(TypedReaders, ShapeRefusals) {
    RifItem* empty = InsertRifItemFolder("REBSHAPE", root, RIF_LAST);
    REBSHAPEDATA data = Garbage<REBSHAPEDATA>();
    EXPECT_EQ(0, GetRebShapeData(empty, &data));  // no children
    EXPECT_TRUE(AllZero(&data, sizeof data));

    RifItem* lower = InsertRifItemFolder("RebShape", root, RIF_LAST);
    InsertRifItemChild("SHPHEAD1", "x", 1, lower, RIF_LAST);
    data = Garbage<REBSHAPEDATA>();
    EXPECT_EQ(0, GetRebShapeData(lower, &data));  // the name differs in case
    EXPECT_TRUE(AllZero(&data, sizeof data));

    RifItem* others = InsertRifItemFolder("REBSHAPE", root, RIF_LAST);
    InsertRifItemChild("UNKNOWN1", "x", 1, others, RIF_LAST);
    data = Garbage<REBSHAPEDATA>();
    EXPECT_EQ(1, GetRebShapeData(others, &data));  // children of other names only
    EXPECT_TRUE(AllZero(&data, sizeof data));

    data = Garbage<REBSHAPEDATA>();
    EXPECT_EQ(0, GetRebShapeData(nullptr, &data));  // untouched
    EXPECT_FALSE(AllZero(&data, sizeof data));
    EXPECT_EQ(0, GetRebShapeData(others, nullptr));
}

TEST_F(TypedReaders, EnvironmentFromRootOrFolderGivesTheSameRecord) {
    RifItem* env = InsertRifItemFolder("REBENVDT", root, RIF_LAST);
    RifItem* head = InsertRifItemChild("ENDTHEAD", "h", 1, env, RIF_LAST);
    RifItem* equipment = InsertRifItemChild("QELENVIR", "12345678", 8, env, RIF_LAST);
    RifItem* fragments = InsertRifItemFolder("FRAGTYPE", env, RIF_LAST);
    InsertRifItemChild("QELENVIR", "second", 6, env, RIF_LAST);  // the first one is taken

    REBENVDATA fromRoot = Garbage<REBENVDATA>();
    REBENVDATA fromFolder = Garbage<REBENVDATA>();
    ASSERT_EQ(1, GetRebEnvData(root, &fromRoot));
    ASSERT_EQ(1, GetRebEnvData(env, &fromFolder));
    EXPECT_EQ(0, std::memcmp(&fromRoot, &fromFolder, sizeof fromRoot));
    EXPECT_EQ(env, fromRoot.rebEnvDt);
    EXPECT_EQ(head, fromRoot.endtHead);
    EXPECT_EQ(equipment, fromRoot.qelEnvir);
    EXPECT_EQ(fragments, fromRoot.fragType);
    for (RifItem* absent :
         {fromRoot.envSdScl, fromRoot.riffName, fromRoot.bmpNames, fromRoot.gloGenDc,
          fromRoot.envAcous, fromRoot.soundDir, fromRoot.speclObj}) {
        EXPECT_EQ(nullptr, absent);
    }

    // A folder with none of the ten children: only the first entry is set.
    RifItem* bare = CreateRifItemFolder("REBENVDT");
    REBENVDATA data = Garbage<REBENVDATA>();
    EXPECT_EQ(1, GetRebEnvData(bare, &data));
    EXPECT_EQ(bare, data.rebEnvDt);
    EXPECT_TRUE(AllZero(&data.endtHead, sizeof data - sizeof data.rebEnvDt));
    DeleteRifItem(bare);
}

TEST_F(TypedReaders, EnvironmentRefusals) {
    REBENVDATA data = Garbage<REBENVDATA>();
    EXPECT_EQ(0, GetRebEnvData(root, &data));  // a root without REBENVDT
    EXPECT_TRUE(AllZero(&data, sizeof data));
    RifItem* other = InsertRifItemFolder("RBOBJECT", root, RIF_LAST);
    data = Garbage<REBENVDATA>();
    EXPECT_EQ(0, GetRebEnvData(other, &data));
    EXPECT_TRUE(AllZero(&data, sizeof data));
    data = Garbage<REBENVDATA>();
    EXPECT_EQ(0, GetRebEnvData(nullptr, &data));
    EXPECT_FALSE(AllZero(&data, sizeof data));
}

TEST_F(TypedReaders, LightSetFromItselfItsFolderOrTheRoot) {
    RifItem* env = InsertRifItemFolder("REBENVDT", root, RIF_LAST);
    REBENVDATA unused{};
    ASSERT_EQ(1, GetRebEnvData(env, &unused));

    LIGHTSETDATA data = Garbage<LIGHTSETDATA>();
    EXPECT_EQ(0, GetLightSetData(root, &data));  // REBENVDT without LIGHTSET
    EXPECT_TRUE(AllZero(&data, sizeof data));

    RifItem* lights = InsertRifItemFolder("LIGHTSET", env, RIF_LAST);
    RifItem* header = InsertRifItemChild("LTSETHDR", "h", 1, lights, RIF_LAST);
    RifItem* standard = InsertRifItemChild("STDLIGHT", "s", 1, lights, RIF_LAST);
    for (RifItem* start : {root, env, lights}) {
        data = Garbage<LIGHTSETDATA>();
        ASSERT_EQ(1, GetLightSetData(start, &data));
        EXPECT_EQ(lights, data.lightSet);
        EXPECT_EQ(header, data.ltSetHdr);
        EXPECT_EQ(nullptr, data.ambience);
        EXPECT_EQ(standard, data.stdLight);
    }

    data = Garbage<LIGHTSETDATA>();
    EXPECT_EQ(0, GetLightSetData(header, &data));  // any other name
    EXPECT_TRUE(AllZero(&data, sizeof data));
    data = Garbage<LIGHTSETDATA>();
    EXPECT_EQ(0, GetLightSetData(nullptr, &data));
    EXPECT_FALSE(AllZero(&data, sizeof data));
}

}  // namespace
}  // namespace tessera_test
