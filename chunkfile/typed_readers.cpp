// Typed chunk readers: GetRebShapeData, GetLightSetData, GetRebEnvData.
//
// Each gathers well-known items of a parsed tree into a fixed record so that a
// caller need not walk the tree. They only look items up through the item
// operations and copy handles or data references: nothing is allocated,
// copied or changed, and what they hand out stays the tree's.
#include <cstddef>
#include <cstring>
#include <iterator>

#include "chunkfile/tessera.h"

namespace tessera {
namespace {

// The readers compare names exactly, all 8 bytes, with case.
bool Named(RifItem* item, const char (&id)[9]) {
    return std::memcmp(GetRifItemName(item), id, 8) == 0;
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
    for (RifItem* child = GetChildRifItem(folder); child != nullptr;
         child = GetNextRifItem(child)) {
        for (std::size_t i = 0; i < N; ++i) {
            if (std::memcmp(GetRifItemName(child), ids[i], 8) != 0) {
                continue;
            }
            RifDataRef ref{};
            if (!IsRifItemFolder(child)) {
                ref.pData = GetRifItemData(child, &ref.dwDataSize);
                if (ref.pData == nullptr) {
                    ref.dwDataSize = 0;
                }
            }
            slots[i] = ref;
            break;
        }
    }
}

}  // namespace
}  // namespace tessera

using tessera::Named;

extern "C" {

TESSERA_API RifBool GetRebShapeData(RifItem* shape, REBSHAPEDATA* data) {
    if (shape == nullptr || data == nullptr) {
        return 0;
    }
    *data = REBSHAPEDATA{};
    if (!Named(shape, "REBSHAPE") || GetChildRifItem(shape) == nullptr) {
        return 0;
    }
    // The record is the eight direct pairs followed by the six of SHPEXTFL.
    RifDataRef slots[std::size(tessera::kShapeIds) + std::size(tessera::kExternalIds)] = {};
    tessera::GatherData(shape, tessera::kShapeIds, slots);
    for (RifItem* child = GetChildRifItem(shape); child != nullptr; child = GetNextRifItem(child)) {
        if (Named(child, "SHPEXTFL")) {
            tessera::GatherData(child, tessera::kExternalIds,
                                slots + std::size(tessera::kShapeIds));
        }
    }
    std::memcpy(static_cast<void*>(data), slots, sizeof slots);
    return 1;
}

TESSERA_API RifBool GetLightSetData(RifItem* item, LIGHTSETDATA* data) {
    if (item == nullptr || data == nullptr) {
        return 0;
    }
    *data = LIGHTSETDATA{};
    RifItem* lightSet = nullptr;
    if (Named(item, "LIGHTSET")) {
        lightSet = item;
    } else if (Named(item, "REBENVDT")) {
        lightSet = FindFirstRifItem(item, "LIGHTSET");
    } else if (Named(item, "REBINFF2")) {
        lightSet = FindFirstRifItem(FindFirstRifItem(item, "REBENVDT"), "LIGHTSET");
    }
    if (lightSet == nullptr) {
        return 0;
    }
    data->lightSet = lightSet;
    data->ltSetHdr = FindFirstRifItem(lightSet, tessera::kLightSetIds[0]);
    data->ambience = FindFirstRifItem(lightSet, tessera::kLightSetIds[1]);
    data->stdLight = FindFirstRifItem(lightSet, tessera::kLightSetIds[2]);
    return 1;
}

TESSERA_API RifBool GetRebEnvData(RifItem* item, REBENVDATA* data) {
    if (item == nullptr || data == nullptr) {
        return 0;
    }
    *data = REBENVDATA{};
    RifItem* environment = nullptr;
    if (Named(item, "REBENVDT")) {
        environment = item;
    } else if (Named(item, "REBINFF2")) {
        environment = FindFirstRifItem(item, "REBENVDT");
    }
    if (environment == nullptr) {
        return 0;
    }
    RifItem* entries[1 + std::size(tessera::kEnvironmentIds)] = {environment};
    for (std::size_t i = 0; i < std::size(tessera::kEnvironmentIds); ++i) {
        entries[i + 1] = FindFirstRifItem(environment, tessera::kEnvironmentIds[i]);
    }
    std::memcpy(static_cast<void*>(data), entries, sizeof entries);
    return 1;
}

}  // extern "C"
