#include "tools/cli/cli_io.h"

#include "app/regular_file.h"
#include "chunkfile/file_io.h"

#include <QFile>

#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace gearloft::cli {

void Complain(const QString& program, const QString& text) {
    std::fprintf(stderr, "%s: %s\n", qPrintable(program), text.toLocal8Bit().constData());
    std::fflush(stderr);
}

int UsageError(const QString& program, const QString& text) {
    Complain(program, text);
    std::fprintf(stderr, "Try '%s --help' for more information.\n", qPrintable(program));
    return kExitUsage;
}

void Print(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

bool WriteStandardOutput(const QByteArray& bytes) {
    const size_t size = static_cast<size_t>(bytes.size());
    return std::fwrite(bytes.constData(), 1, size, stdout) == size && std::fflush(stdout) == 0;
}

bool ReadWholeFile(const QString& path, qint64 maxBytes, QByteArray* bytes, QString* error) {
    QFile file;
    bool opened = false;
    if (path == QLatin1String("-")) {
        opened = file.open(stdin, QIODevice::ReadOnly);
    } else {
        QString why;
        const int fd = OpenRegularFile(path, maxBytes, &why);
        if (fd < 0) {
            *error = QStringLiteral("cannot open: %1").arg(why);
            return false;
        }
        opened = file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
        if (!opened) {
            ::close(fd);
        }
    }
    if (!opened) {
        *error = QStringLiteral("cannot open: %1").arg(file.errorString());
        return false;
    }
    // Read in pieces, so that a stream without end stops at the limit
    // rather than at the end of memory.
    constexpr qint64 kPiece = 1 << 20;
    bytes->clear();
    for (;;) {
        const QByteArray piece = file.read(kPiece);
        if (file.error() != QFileDevice::NoError) {
            *error = QStringLiteral("cannot read: %1").arg(file.errorString());
            return false;
        }
        if (piece.isEmpty()) {
            break;
        }
        if (bytes->size() + piece.size() > maxBytes) {
            bytes->clear();
            *error = QStringLiteral("cannot read: more than the %1 such a file may have")
                         .arg(SizeText(maxBytes));
            return false;
        }
        bytes->append(piece);
    }
    return true;
}

bool WriteWholeFile(const QString& path, const QByteArray& bytes, QString* error) {
    if (path == QLatin1String("-")) {
        if (!WriteStandardOutput(bytes)) {
            *error = QStringLiteral("cannot write to standard output");
            return false;
        }
        return true;
    }
    // The library's own replacement, so that a killed program leaves no
    // temporary file behind for good: the next write of the same output
    // removes what a killed one left.
    errno = 0;
    bool written = false;
    try {
        written = tessera::ReplaceFile(QFile::encodeName(path).constData(),
                                       reinterpret_cast<const unsigned char*>(bytes.constData()),
                                       static_cast<std::size_t>(bytes.size()));
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
    }
    if (!written) {
        *error = QStringLiteral("cannot write: %1")
                     .arg(errno != 0 ? QString::fromLocal8Bit(std::strerror(errno))
                                     : QStringLiteral("not a file that can be replaced"));
        return false;
    }
    return true;
}

bool IsTerminal(int fd) {
    return isatty(fd) == 1;
}

}  // namespace gearloft::cli
