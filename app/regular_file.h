// Files that the program reads whole: the settings file, levels.cfg, skin
// descriptions and level files. Whatever stands at such a path is taken as
// hostile until shown otherwise: a folder, a pipe that never gets a writer,
// a device that never ends, a loop of symbolic links, or a file far larger
// than any real one. These helpers tell such things apart before a byte is
// read, and never block doing so.
#pragma once

#include <QString>
#include <QtGlobal>

namespace gearloft {

// What path names when it is not a regular file: "a folder", "a named pipe",
// "a character device", "a block device", "a socket" or "a loop of symbolic
// links". Empty for a regular file, and for a path that does not exist or
// cannot be examined (the open that follows tells why).
QString NonRegularKind(const QString& path);

// Opens path for reading when it is a regular file of at most maxBytes,
// without waiting for a pipe's writer: a descriptor, or -1 with *why set to
// the system's reason ("No such file or directory", with errno kept) or to
// "it is a named pipe, not a file" or "it is 100 MiB, more than the 1 MiB
// such a file may have". The caller closes the descriptor.
int OpenRegularFile(const QString& path, qint64 maxBytes, QString* why);

// A size as people read it: "512 bytes", "3 KiB", "100 MiB", "4 GiB"
// (rounded down).
QString SizeText(qint64 bytes);

}  // namespace gearloft
