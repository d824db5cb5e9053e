// Packing a folder by a manifest of untrusted bytes. The folders are made
// once: a clean tree, and a trap beside it holding links to a file and a
// folder outside it. Whatever the manifest says, nothing from outside the
// tree reaches the stream, the trap never packs, and a packed stream is no
// larger than the tree's headers and payloads.
#include "chunkfile/tessera.h"
#include "tools/cli/chunk_folder.h"
#include "tools/cli/chunk_stream.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QtEndian>

#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr std::size_t kMaxInput = 64 * 1024;
const QByteArray kSecret("OUTSIDE-THE-TREE");

TESSERAEXPORT g_lib{};
QString g_base;
qsizetype g_maxPlain = 0;

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    Require(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// tree/                          trap/ (the same, and)
//   0000-REBENVDT/                 0002-link   -> ../outside/secret
//     0000-QELENVIR                0003-folder -> ../outside
//     0001-LIGHTSET/
//   0001-QELDATA1
void MakeTree(const QString& dir) {
    QDir().mkpath(dir + "/0000-REBENVDT/0001-LIGHTSET");
    Write(dir + "/0000-REBENVDT/0000-QELENVIR", "environment");
    Write(dir + "/0001-QELDATA1", "level data");
}

void RemoveBase() {
    QDir(g_base).removeRecursively();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The library is linked in: its record holds its own functions.
    g_lib.dwSize = sizeof g_lib;
    g_lib.LoadRif = LoadRif;
    g_lib.DeleteRifItem = DeleteRifItem;
    g_lib.IsRifItemFolder = IsRifItemFolder;
    g_lib.GetChildRifItem = GetChildRifItem;
    std::string pattern = QDir::tempPath().toStdString() + "/fuzz_manifest.XXXXXX";
    Require(::mkdtemp(pattern.data()) != nullptr);
    g_base = QString::fromStdString(pattern);
    std::atexit(RemoveBase);
    QDir().mkpath(g_base + "/outside");
    Write(g_base + "/outside/secret", kSecret);
    MakeTree(g_base + "/tree");
    MakeTree(g_base + "/trap");
    Require(QFile::link("../outside/secret", g_base + "/trap/0002-link"));
    Require(QFile::link("../outside", g_base + "/trap/0003-folder"));
    // The root, four entries with a 12-byte header each, and the payloads.
    g_maxPlain = 12 * 5 + 11 + 10;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > kMaxInput) {
        return 0;
    }
    // The first byte picks the folder.
    const bool trap = (data[0] & 1) != 0;
    const QByteArray manifest(reinterpret_cast<const char*>(data) + 1,
                              static_cast<qsizetype>(size - 1));
    gearloft::cli::FolderNames folders(g_lib);
    QByteArray plain;
    QString error;
    const bool packed = gearloft::cli::PackManifest(
        folders, manifest, g_base + (trap ? "/trap" : "/tree"), &plain, &error);
    if (!packed) {
        Require(!error.isEmpty());
        return 0;
    }
    Require(!trap);
    Require(!plain.contains(kSecret));
    Require(plain.size() >= 12 && plain.size() <= g_maxPlain);
    Require(plain.startsWith("REBINFF2"));
    Require(qFromLittleEndian<std::uint32_t>(plain.constData() + 8) ==
            static_cast<std::uint32_t>(plain.size()));
    return 0;
}
