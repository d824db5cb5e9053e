// Reading a level file's bytes the way the library does, keeping what the
// library's tree forgets: each chunk's size as the stream holds it, its
// offset, and its identifier's raw bytes. The library still decides which
// identifiers are folders (a probe parse per new identifier), so the walk and
// LoadRif always agree on the tree's shape.
//
// Every failure comes with a specific reason for the user: a file too short
// to be anything, a container cut short, a container whose code table cannot
// form a code, a coded stream that does not decode, a chunk whose size runs
// past its folder or the stream, not a chunk file at all.
#pragma once

#include "chunkfile/tessera.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace gearloft::cli {

constexpr std::size_t kChunkHeaderSize = 12;
constexpr std::size_t kNameSize = 8;

// A chunk name for people: the 8 bytes without their trailing zero bytes,
// every byte outside printable ASCII, and the backslash itself, as \xNN (so
// that the text reads back as exactly those bytes).
QString EscapeName(const QByteArray& name8);
// The bytes of an escaped name, zero-padded to 8; false when the text is not
// an escaped name of at most 8 bytes.
bool UnescapeName(const QString& text, QByteArray* name8);

// Whether the library reads a chunk of that identifier as a folder.
class FolderNames {
public:
    explicit FolderNames(const TESSERAEXPORT& lib) : m_lib(lib) {}
    bool IsFolder(const QByteArray& name8);

private:
    const TESSERAEXPORT& m_lib;
    std::map<QByteArray, bool> m_known;
};

// A level file's bytes as a plain stream.
struct PlainStream {
    bool ok = false;
    bool container = false;  // the file was a "REBCRIF1" container
    QByteArray bytes;        // the plain stream
    QString error;           // why not, when !ok
};

// Undoes the container when the bytes are one; checks the header against
// the bytes that are there before the library decodes anything.
PlainStream ToPlainStream(const TESSERAEXPORT& lib, const QByteArray& file);

struct Chunk {
    QByteArray name;  // 8 raw bytes
    bool folder = false;
    std::uint32_t size = 0;  // as the stream holds it
    std::size_t offset = 0;  // in the plain stream
    int depth = 0;           // 0 for the root
    int parent = -1;         // index in the walk, -1 for the root
};

enum class Strictness {
    kAsLoaded,  // accept what the library loads
    kStrict,    // also refuse a chunk that runs past the end of its folder
};

// The chunks of a plain stream in stream order (a folder before its
// children), or the reason it is not a valid chunk stream.
struct StreamWalk {
    bool ok = false;
    std::vector<Chunk> chunks;
    QString error;
};

// decoded: the stream came out of a container (messages say so).
StreamWalk WalkStream(FolderNames& folders, const QByteArray& plain, Strictness strictness,
                      bool decoded);

// The payload of a data chunk of the walk.
QByteArray PayloadOf(const QByteArray& plain, const Chunk& chunk);

}  // namespace gearloft::cli
