#include "tools/cli/cli_io.h"

#include "app/regular_file.h"

#include <QFile>
#include <QSaveFile>

#include <unistd.h>
#include <cstdio>

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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QStringLiteral("cannot write: %1").arg(file.errorString());
        return false;
    }
    return true;
}

bool IsTerminal(int fd) {
    return isatty(fd) == 1;
}

}  // namespace gearloft::cli
