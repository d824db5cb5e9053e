// Typed chunk readers: GetRebShapeData, GetLightSetData, GetRebEnvData.
//
// Each gathers well-known items of a parsed tree into a fixed record so that a
// caller need not walk the tree. They only look items up and copy handles or
// data references: nothing is allocated, copied or changed, and what they
// hand out stays the tree's.
#include <cstddef>
#include <cstring>
#include <iterator>

#include "chunkfile/item_tree.h"
#include "chunkfile/tessera.h"

namespace tessera {
namespace {

// The readers compare names exactly, all 8 bytes, with case.
bool Named(const RifItem* item, const char (&id)[9]) {
    return std::memcmp(item->szName, id, kNameLength) == 0;
}

// Direct children of "REBSHAPE", in the record's order.
constexpr const char* kShapeIds[] = {"SHPHEAD1", "SHPCENTR", "SHPRAWVT", "SHPVNORM",
                                     "SHPPNORM", "SHPPOLYS", "SHPUVCRD", "SHPMRGDT"};
// Children of its "SHPEXTFL" folder, in the record's order after those.
constexpr const char* kExternalIds[] = {"SHPEXTFN", "BMPLSTST", "BMNAMEXT",
                                        "BMNAMVER", "RIFFNAME", "EXTOBJNM"};
// Children of "REBENVDT", entries 2 to 11 of its record.
constexpr const char* kEnvironmentIds[] = {"ENDTHEAD", "ENVSDSCL", "RIFFNAME", "BMPNAMES",
                                           "GLOGENDC", "ENVACOUS", "QELENVIR", "SOUNDDIR",
                                           "SPECLOBJ", "FRAGTYPE"};
// Children of "LIGHTSET", entries 2 to 4 of its record.
constexpr const char* kLightSetIds[] = {"LTSETHDR", "AMBIENCE", "STDLIGHT"};

static_assert(sizeof(REBSHAPEDATA) ==
              (std::size(kShapeIds) + std::size(kExternalIds)) * sizeof(RifDataRef));
static_assert(sizeof(REBENVDATA) == (1 + std::size(kEnvironmentIds)) * sizeof(RifItem*));
static_assert(sizeof(LIGHTSETDATA) == (1 + std::size(kLightSetIds)) * sizeof(RifItem*));

// Stores each child of folder whose name is one of ids into the matching
// slot; a later child of the same name overwrites an earlier one.
template <std::size_t N>
void GatherData(RifItem* folder, const char* const (&ids)[N], RifDataRef* slots) {
    for (RifItem* child = folder->pChild; child != nullptr; child = child->pNext) {
        for (std::size_t i = 0; i < N; ++i) {
            if (std::memcmp(child->szName, ids[i], kNameLength) != 0) {
                continue;
            }
            RifDataRef ref{};
            if (child->bFolder == 0 && child->pData != nullptr) {
                ref.pData = child->pData;
                ref.dwDataSize = child->dwDataSize;
            }
            slots[i] = ref;
            break;
        }
    }
}

bool ReadShape(RifItem* shape, REBSHAPEDATA* data) {
    if (shape == nullptr || data == nullptr) {
        return false;
    }
    *data = REBSHAPEDATA{};
    if (!Named(shape, "REBSHAPE") || shape->pChild == nullptr) {
        return false;
    }
    // The record is the eight direct pairs followed by the six of SHPEXTFL.
    RifDataRef slots[std::size(kShapeIds) + std::size(kExternalIds)] = {};
    GatherData(shape, kShapeIds, slots);
    for (RifItem* child = shape->pChild; child != nullptr; child = child->pNext) {
        if (Named(child, "SHPEXTFL")) {
            GatherData(child, kExternalIds, slots + std::size(kShapeIds));
        }
    }
    std::memcpy(static_cast<void*>(data), slots, sizeof slots);
    return true;
}

bool ReadLightSet(RifItem* item, LIGHTSETDATA* data) {
    if (item == nullptr || data == nullptr) {
        return false;
    }
    *data = LIGHTSETDATA{};
    RifItem* lightSet = nullptr;
    if (Named(item, "LIGHTSET")) {
        lightSet = item;
    } else if (Named(item, "REBENVDT")) {
        lightSet = FindFirstItem(item, "LIGHTSET");
    } else if (Named(item, "REBINFF2")) {
        lightSet = FindFirstItem(FindFirstItem(item, "REBENVDT"), "LIGHTSET");
    }
    if (lightSet == nullptr) {
        return false;
    }
    data->lightSet = lightSet;
    data->ltSetHdr = FindFirstItem(lightSet, kLightSetIds[0]);
    data->ambience = FindFirstItem(lightSet, kLightSetIds[1]);
    data->stdLight = FindFirstItem(lightSet, kLightSetIds[2]);
    return true;
}

bool ReadEnvironment(RifItem* item, REBENVDATA* data) {
    if (item == nullptr || data == nullptr) {
        return false;
    }
    *data = REBENVDATA{};
    RifItem* environment = nullptr;
    if (Named(item, "REBENVDT")) {
        environment = item;
    } else if (Named(item, "REBINFF2")) {
        environment = FindFirstItem(item, "REBENVDT");
    }
    if (environment == nullptr) {
        return false;
    }
    RifItem* entries[1 + std::size(kEnvironmentIds)] = {environment};
    for (std::size_t i = 0; i < std::size(kEnvironmentIds); ++i) {
        entries[i + 1] = FindFirstItem(environment, kEnvironmentIds[i]);
    }
    std::memcpy(static_cast<void*>(data), entries, sizeof entries);
    return true;
}

}  // namespace
}  // namespace tessera

extern "C" {

TESSERA_API RifBool GetRebShapeData(RifItem* shape, REBSHAPEDATA* data) {
    return tessera::ReadShape(shape, data) ? 1 : 0;
}

TESSERA_API RifBool GetLightSetData(RifItem* item, LIGHTSETDATA* data) {
    return tessera::ReadLightSet(item, data) ? 1 : 0;
}

TESSERA_API RifBool GetRebEnvData(RifItem* item, REBENVDATA* data) {
    return tessera::ReadEnvironment(item, data) ? 1 : 0;
}

}  // extern "C"
