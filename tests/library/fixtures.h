// Small helpers shared by the library's tests: trees and files built by code,
// a scratch folder, and the diagnostic lines an operation sends.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "chunkfile/diagnostics.h"
#include "chunkfile/tessera.h"
#include "tests/support/captured_lines.h"

namespace tessera_test {

using Bytes = std::vector<unsigned char>;

// A small level: the root, an environment folder with the equipment record
// and a light set, and an object folder with a nested folder and an empty
// data item.
inline RifItem* MakeLevel() {
    RifItem* root = CreateRifItemFolder("REBINFF2");
    RifItem* env = InsertRifItemFolder("REBENVDT", root, RIF_LAST);
    const char header[] = "header";
    InsertRifItemChild("ENDTHEAD", header, sizeof header, env, RIF_LAST);
    const unsigned char equipment[8] = {0x3f, 0, 0, 0, 7, 0, 0, 0};
    InsertRifItemChild("QELENVIR", equipment, sizeof equipment, env, RIF_LAST);
    RifItem* lights = InsertRifItemFolder("LIGHTSET", env, RIF_LAST);
    InsertRifItemChild("LTSETHDR", "lt", 2, lights, RIF_LAST);
    RifItem* object = InsertRifItemFolder("RBOBJECT", root, RIF_LAST);
    RifItem* shape = InsertRifItemFolder("REBSHAPE", object, RIF_LAST);
    std::string vertices(3000, '\0');
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        vertices[i] = static_cast<char>(i * 7 % 251);
    }
    InsertRifItemChild("SHPRAWVT", vertices.data(), static_cast<uint32_t>(vertices.size()), shape,
                       RIF_LAST);
    InsertRifItemChild("SHPEMPTY", nullptr, 0, object, RIF_LAST);
    return root;
}

// The tree as a plain stream: two trees are equal when their streams are.
inline Bytes Compile(RifItem* root) {
    uint32_t length = 0;
    void* stream = CompileRif(root, &length);
    if (stream == nullptr) {
        return {};
    }
    const auto* bytes = static_cast<const unsigned char*>(stream);
    Bytes result(bytes, bytes + length);
    ReleaseBuffer(stream);
    return result;
}

inline Bytes Compress(const Bytes& plain) {
    uint32_t length = 0;
    void* container = CompressRif(plain.data(), static_cast<uint32_t>(plain.size()), &length);
    if (container == nullptr) {
        return {};
    }
    const auto* bytes = static_cast<const unsigned char*>(container);
    Bytes result(bytes, bytes + length);
    ReleaseBuffer(container);
    return result;
}

inline void Put32(Bytes& bytes, std::size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

inline bool WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh folder under the system's temporary folder, removed with its
// files (one level deep) when the test ends.
class TempDir {
public:
    TempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/tessera-XXXXXX";
        path_ = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }
    ~TempDir() {
        if (path_.empty()) {
            return;
        }
        chmod(path_.c_str(), 0700);
        for (const std::string& name : Entries()) {
            unlink((path_ + "/" + name).c_str());
        }
        rmdir(path_.c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

    // Names in the folder, "." and ".." left out.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        if (DIR* dir = opendir(path_.c_str())) {
            while (dirent* entry = readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") {
                    names.push_back(name);
                }
            }
            closedir(dir);
        }
        return names;
    }

private:
    std::string path_;
};

}  // namespace tessera_test
