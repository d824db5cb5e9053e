// A chunk tree as a folder on disk, and back.
//
// Unpacking writes a folder per folder chunk and a file per data chunk (its
// payload), named "<position>-<name>" so that a listing shows stream order,
// and a manifest, "manifest.json" in the top folder, that keeps what file
// names cannot: the order, each chunk's exact name (escaped as the tree
// shows it), and which entry is a folder. Duplicate names are distinct by
// their position.
//
//   {"format": 1, "root": "REBINFF2",
//    "children": [{"name": "REBENVDT", "path": "0000-REBENVDT", "folder": true,
//                  "children": [{"name": "QELENVIR", "path": "0000-QELENVIR",
//                                "folder": false}, ...]}, ...]}
//
// Packing reads the manifest and nothing else decides the tree. Every entry
// must be a plain name inside its own folder (no separator, no "." or "..",
// no link, nothing outside the top folder), of the kind the manifest says,
// and every file on disk must be in the manifest; folder and data names must
// be read that way by the library. The plain stream it writes has exact
// sizes, so unpacking a stream with exact sizes and packing it again gives
// the same bytes.
#pragma once

#include "tools/cli/chunk_stream.h"

#include <QByteArray>
#include <QString>

namespace gearloft::cli {

inline constexpr char kManifestName[] = "manifest.json";
// Deeper trees would make paths longer than the system takes.
constexpr int kMaxUnpackDepth = 64;

// Writes the walk's tree into dir, which must not exist or be empty.
bool UnpackTree(const QByteArray& plain, const StreamWalk& walk, const QString& dir,
                QString* error);

// Builds the plain stream that the folder describes.
bool PackTree(FolderNames& folders, const QString& dir, QByteArray* plain, QString* error);
// The same with the manifest's bytes given: what PackTree does once it has
// read dir's manifest.
bool PackManifest(FolderNames& folders, const QByteArray& manifestBytes, const QString& dir,
                  QByteArray* plain, QString* error);

}  // namespace gearloft::cli
