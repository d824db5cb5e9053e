#include "tools/demo_game.h"

#include "app/level_catalogue.h"
#include "chunkfile/tessera.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace gearloft::demo {

namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Deterministic bytes

// splitmix64: tiny, fast and good enough to make level content.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 <= result < bound
    std::uint32_t Below(std::uint32_t bound) {
        return bound ? static_cast<std::uint32_t>(Next() % bound) : 0;
    }
    double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

private:
    std::uint64_t m_state;
};

class Bytes {
public:
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            m_data.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    }
    void U16(std::uint16_t v) {
        m_data.push_back(static_cast<std::uint8_t>(v));
        m_data.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void F32(float f) {
        std::uint32_t v;
        std::memcpy(&v, &f, 4);
        U32(v);
    }
    void Byte(std::uint8_t b) { m_data.push_back(b); }
    void Text(const std::string& s, bool terminate = true) {
        m_data.insert(m_data.end(), s.begin(), s.end());
        if (terminate) {
            m_data.push_back(0);
        }
    }
    void PadTo(std::size_t size) { m_data.resize(std::max(size, m_data.size()), 0); }
    const std::vector<std::uint8_t>& data() const { return m_data; }
    std::size_t size() const { return m_data.size(); }

private:
    std::vector<std::uint8_t> m_data;
};

// ---------------------------------------------------------------------------
// Building a level tree

void Add(RifItem* folder, const char* name, const Bytes& bytes) {
    InsertRifItemChild(name, bytes.data().data(), static_cast<std::uint32_t>(bytes.size()), folder,
                       RIF_LAST);
}

RifItem* AddFolder(RifItem* folder, const char* name) {
    return InsertRifItemFolder(name, folder, RIF_LAST);
}

// Coordinates on a coarse grid, as modelling tools export them: few distinct
// exponents and many zero low bytes.
float GridCoordinate(Random& random, float extent) {
    const float step = 1.0f / 16.0f;
    return std::round(static_cast<float>((random.Unit() * 2.0 - 1.0) * extent) / step) * step;
}

std::string Stem(const LevelCatalogue& catalogue, int row) {
    return catalogue.stem(row).toStdString();
}

void AddEnvironment(RifItem* root, const LevelCatalogue& catalogue, int row, Random& random) {
    RifItem* env = AddFolder(root, "REBENVDT");
    Bytes head;
    head.U32(0x00020001);  // format version
    head.U32(static_cast<std::uint32_t>(row));
    head.U32(random.Below(64) + 16);  // object count
    head.U32(random.Below(8) + 1);    // light count
    head.PadTo(32);
    Add(env, "ENDTHEAD", head);

    Bytes scale;
    scale.F32(1.0f);
    scale.F32(1.0f);
    scale.F32(0.5f + 0.25f * static_cast<float>(random.Below(4)));
    Add(env, "ENVSDSCL", scale);

    Bytes name;
    name.Text(Stem(catalogue, row));
    name.PadTo(32);
    Add(env, "RIFFNAME", name);

    Bytes bitmaps;
    const int textures = 12 + static_cast<int>(random.Below(40));
    bitmaps.U32(static_cast<std::uint32_t>(textures));
    for (int i = 0; i < textures; ++i) {
        bitmaps.Text("textures/" + Stem(catalogue, row) + "_" + std::to_string(i) + ".bmp");
    }
    Add(env, "BMPNAMES", bitmaps);

    Bytes generic;
    for (int i = 0; i < 64; ++i) {
        generic.U32(random.Below(4) == 0 ? random.Below(1000) : 0);
    }
    Add(env, "GLOGENDC", generic);

    Bytes acoustics;
    acoustics.F32(0.8f);
    acoustics.F32(static_cast<float>(random.Below(100)) / 100.0f);
    acoustics.U32(random.Below(6));
    acoustics.U32(0);
    Add(env, "ENVACOUS", acoustics);

    if (row != kNoRecordRow) {
        // The equipment record: four words the program keeps, the equipment
        // bits (with bits above the six switches in use), the spear count,
        // and a tail of further words.
        Bytes record;
        record.U32(static_cast<std::uint32_t>(row) + 1);
        record.U32(0x00000100);
        record.F32(1.0f);
        record.F32(static_cast<float>(random.Below(300)));
        std::uint32_t equipment = LevelCatalogue::defaultEquipment(row);
        std::uint32_t spears = LevelCatalogue::kDefaultSpears;
        if (row % 4 == 1) {
            equipment |= 0x00010000u;  // bits the game uses for other things
        }
        if (row == kOddRecordRow) {
            equipment = kOddEquipment;
            spears = kOddSpears;
        }
        record.U32(equipment);
        record.U32(spears);
        record.U32(0xFFFFFFFFu);
        record.U32(static_cast<std::uint32_t>(random.Below(5)));
        record.U32(0x51454C00u | static_cast<std::uint32_t>(row));
        record.U32(0);
        std::vector<std::uint8_t> bytes = record.data();
        if (row == kShortRecordRow) {
            bytes.resize(23);
        }
        InsertRifItemChild("QELENVIR", bytes.data(), static_cast<std::uint32_t>(bytes.size()), env,
                           RIF_LAST);
    }

    Bytes sounds;
    sounds.Text("sound/ambient_" + std::to_string(random.Below(9)) + ".wav");
    sounds.Text("sound/steps.wav");
    Add(env, "SOUNDDIR", sounds);

    RifItem* special = AddFolder(env, "SPECLOBJ");
    for (int i = 0; i < 3; ++i) {
        Bytes object;
        object.U32(static_cast<std::uint32_t>(i));
        object.F32(GridCoordinate(random, 256));
        object.F32(GridCoordinate(random, 256));
        object.F32(GridCoordinate(random, 64));
        Add(special, "SPOBJECT", object);
    }
    RifItem* fragments = AddFolder(env, "FRAGTYPE");
    Bytes fragment;
    fragment.U32(2);
    fragment.F32(0.25f);
    Add(fragments, "FRAGHEAD", fragment);
}

void AddLights(RifItem* root, Random& random) {
    RifItem* lights = AddFolder(root, "LIGHTSET");
    Bytes header;
    header.U32(3);
    header.U32(0);
    Add(lights, "LTSETHDR", header);
    Bytes ambience;
    for (int i = 0; i < 3; ++i) {
        ambience.Byte(static_cast<std::uint8_t>(32 + random.Below(64)));
    }
    ambience.Byte(0);
    Add(lights, "AMBIENCE", ambience);
    for (int i = 0; i < 3; ++i) {
        Bytes light;
        light.F32(GridCoordinate(random, 512));
        light.F32(GridCoordinate(random, 512));
        light.F32(GridCoordinate(random, 128));
        light.U32(0x00FFFFFFu - random.Below(0x202020));
        light.F32(static_cast<float>(100 + random.Below(900)));
        Add(lights, "STDLIGHT", light);
    }
}

// One shape of about `budget` bytes: vertices on a grid, normals, polygons
// of small indices, texture coordinates.
void AddShape(RifItem* root, int index, std::size_t budget, Random& random) {
    RifItem* shape = AddFolder(root, "REBSHAPE");
    const std::uint32_t vertices =
        static_cast<std::uint32_t>(std::max<std::size_t>(budget / 64, 8));
    const std::uint32_t polygons = vertices * 2;

    Bytes head;
    head.U32(static_cast<std::uint32_t>(index));
    head.U32(vertices);
    head.U32(polygons);
    head.U32(0);
    head.PadTo(64);
    Add(shape, "SHPHEAD1", head);

    const float extent = static_cast<float>(32 + random.Below(480));
    Bytes centre;
    centre.F32(GridCoordinate(random, 1024));
    centre.F32(GridCoordinate(random, 1024));
    centre.F32(GridCoordinate(random, 64));
    Add(shape, "SHPCENTR", centre);

    Bytes raw;
    for (std::uint32_t i = 0; i < vertices; ++i) {
        raw.F32(GridCoordinate(random, extent));
        raw.F32(GridCoordinate(random, extent));
        raw.F32(GridCoordinate(random, extent / 4));
    }
    Add(shape, "SHPRAWVT", raw);

    // Normals of mostly axis-aligned faces.
    static const float kAxes[6][3] = {{1, 0, 0},  {-1, 0, 0}, {0, 1, 0},
                                      {0, -1, 0}, {0, 0, 1},  {0, 0, -1}};
    Bytes normals;
    for (std::uint32_t i = 0; i < vertices; ++i) {
        const float* axis = kAxes[random.Below(6)];
        for (int k = 0; k < 3; ++k) {
            normals.F32(axis[k]);
        }
    }
    Add(shape, "SHPVNORM", normals);

    Bytes planeNormals;
    for (std::uint32_t i = 0; i < polygons / 4; ++i) {
        const float* axis = kAxes[random.Below(6)];
        for (int k = 0; k < 3; ++k) {
            planeNormals.F32(axis[k]);
        }
    }
    Add(shape, "SHPPNORM", planeNormals);

    Bytes polys;
    for (std::uint32_t i = 0; i < polygons; ++i) {
        polys.U16(3);
        polys.U16(static_cast<std::uint16_t>(random.Below(4)));  // material
        const std::uint32_t base = random.Below(vertices);
        for (int k = 0; k < 3; ++k) {
            polys.U32(std::min(vertices - 1, base + random.Below(4)));
        }
    }
    Add(shape, "SHPPOLYS", polys);

    Bytes uv;
    for (std::uint32_t i = 0; i < vertices; ++i) {
        uv.U16(static_cast<std::uint16_t>(random.Below(16) * 16));
        uv.U16(static_cast<std::uint16_t>(random.Below(16) * 16));
    }
    Add(shape, "SHPUVCRD", uv);

    Bytes merge;
    merge.U32(0);
    merge.PadTo(16);
    Add(shape, "SHPMRGDT", merge);

    RifItem* external = AddFolder(shape, "SHPEXTFL");
    Bytes file;
    file.Text("shapes/shape_" + std::to_string(index) + ".rif");
    Add(external, "SHPEXTFN", file);
    Bytes list;
    list.U32(1);
    list.U32(static_cast<std::uint32_t>(index));
    Add(external, "BMPLSTST", list);
}

// A bank of 8-bit sprite pixels: a few palette entries dominate, as in
// hand-drawn art with flat areas and dithered edges.
void AddSprites(RifItem* root, std::size_t budget, Random& random) {
    RifItem* sprites = AddFolder(root, "RSPRITES");
    const std::size_t spriteSize = 64 * 64;
    const std::size_t count = std::max<std::size_t>(budget / spriteSize, 1);
    for (std::size_t s = 0; s < count; ++s) {
        Bytes pixels;
        const std::uint8_t base = static_cast<std::uint8_t>(random.Below(200));
        for (std::size_t i = 0; i < spriteSize; ++i) {
            // Geometric distribution: each further colour half as likely.
            std::uint8_t step = 0;
            while (step < 40 && (random.Next() & 1)) {
                ++step;
            }
            pixels.Byte(step == 0 ? 0 : static_cast<std::uint8_t>(base + step));
        }
        Add(sprites, "SPRITEDT", pixels);
    }
}

// The chunk stream size a row aims at, so that the file on disk has 100 KB
// to 2 MB: campaign levels are the big ones, and the container's code
// roughly halves this content.
std::size_t TargetSize(int row, double scale) {
    Random random(0xD3C0DE00u + static_cast<std::uint64_t>(row));
    std::size_t onDisk;
    if (row < 32) {
        onDisk = 400 * 1024 + random.Below(1400 * 1024);
    } else {
        onDisk = 100 * 1024 + random.Below(600 * 1024);
    }
    const std::size_t stream = IsPlainRow(row) ? onDisk : onDisk * 2;
    return static_cast<std::size_t>(static_cast<double>(stream) * scale);
}

RifItem* BuildLevel(const LevelCatalogue& catalogue, int row, double scale) {
    Random random(0x51454C00u + static_cast<std::uint64_t>(row) * 7919u);
    RifItem* root = CreateRifItemFolder("REBINFF2");
    AddEnvironment(root, catalogue, row, random);
    AddLights(root, random);
    RifItem* mode = AddFolder(root, "GAMEMODE");
    Bytes modeData;
    modeData.U32(row >= 32 && row < 46 ? 2 : row >= 46 ? 3 : 1);
    Add(mode, "GMODEHDR", modeData);

    const std::size_t target = TargetSize(row, scale);
    const std::size_t shapeBudget = target * 3 / 5;
    const int shapes = 4 + static_cast<int>(random.Below(12));
    for (int i = 0; i < shapes; ++i) {
        AddShape(root, i, shapeBudget / static_cast<std::size_t>(shapes), random);
    }
    AddSprites(root, target - shapeBudget, random);
    return root;
}

bool WriteBytes(const fs::path& path, const void* data, std::size_t size, std::string* error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        *error = "cannot write " + path.string();
        return false;
    }
    return true;
}

bool WriteLevel(RifItem* root, int row, const fs::path& path, std::string* error) {
    if (IsPlainRow(row)) {
        std::uint32_t length = 0;
        void* stream = CompileRif(root, &length);
        if (!stream) {
            *error = "cannot compile level " + std::to_string(row);
            return false;
        }
        const bool ok = WriteBytes(path, stream, length, error);
        ReleaseBuffer(stream);
        return ok;
    }
    if (row == kCorruptFileRow) {
        // A download that broke off: the container ends three fifths in.
        std::uint32_t length = 0;
        void* container = SaveRif(root, &length);
        if (!container) {
            *error = "cannot compress level " + std::to_string(row);
            return false;
        }
        const bool ok = WriteBytes(path, container, length * 3 / 5, error);
        ReleaseBuffer(container);
        return ok;
    }
    if (!SaveRifFile(root, path.string().c_str())) {
        *error = "cannot save " + path.string();
        return false;
    }
    return true;
}

const char kStandInScript[] =
    "#!/bin/sh\n"
    "# Stand-in for the game's executable in Gearloft's demo game: it only\n"
    "# records how it was started.\n"
    "log=\"$(dirname \"$0\")/qel-starts.log\"\n"
    "printf '%s\\tcwd=%s\\targs=%s\\n' \"$(date -u +%Y-%m-%dT%H:%M:%SZ)\" \"$(pwd)\" \"$*\" "
    ">>\"$log\"\n"
    "echo \"Qel (demo stand-in) started in $(pwd) with: $*\"\n";

}  // namespace

bool IsPlainRow(int row) {
    return row == 3 || row == 12 || row == 24 || row == 35 || row == 50;
}

bool WriteDemoGame(const std::string& folder, const Options& options, std::string* error) {
    std::string ignored;
    if (!error) {
        error = &ignored;
    }
    const fs::path game(folder);
    const fs::path levels = game / "Qel_Rifs";
    std::error_code code;
    fs::create_directories(levels, code);
    if (code) {
        *error = "cannot create " + levels.string() + ": " + code.message();
        return false;
    }

    const fs::path exe = game / "Qel.exe";
    if (!WriteBytes(exe, kStandInScript, sizeof kStandInScript - 1, error)) {
        return false;
    }
    fs::permissions(exe,
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec,
                    code);

    const LevelCatalogue catalogue;
    for (int row = 0; row < catalogue.rowCount(); ++row) {
        const fs::path path = levels / (Stem(catalogue, row) + ".rif");
        if (row == kMissingFileRow) {
            fs::remove(path, code);
            continue;
        }
        RifItem* root = BuildLevel(catalogue, row, options.scale);
        if (!root) {
            *error = "cannot build level " + std::to_string(row);
            return false;
        }
        const bool written = WriteLevel(root, row, path, error);
        DeleteRifItem(root);
        if (!written) {
            return false;
        }
    }
    return true;
}

}  // namespace gearloft::demo
