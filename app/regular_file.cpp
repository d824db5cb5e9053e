#include "app/regular_file.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>

namespace gearloft {

namespace {

QString KindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return QStringLiteral("a folder");
    }
    if (S_ISFIFO(mode)) {
        return QStringLiteral("a named pipe");
    }
    if (S_ISCHR(mode)) {
        return QStringLiteral("a character device");
    }
    if (S_ISBLK(mode)) {
        return QStringLiteral("a block device");
    }
    if (S_ISSOCK(mode)) {
        return QStringLiteral("a socket");
    }
    return QString();
}

}  // namespace

QString NonRegularKind(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return errno == ELOOP ? QStringLiteral("a loop of symbolic links") : QString();
    }
    return KindOf(info.st_mode);
}

int OpenRegularFile(const QString& path, qint64 maxBytes, QString* why) {
    // O_NONBLOCK: a pipe without a writer would hold the open for ever. The
    // type is then taken from the open file itself, so that nothing can be
    // swapped in between the test and the read.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        *why = QString::fromLocal8Bit(std::strerror(error));
        errno = error;
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        *why = QString::fromLocal8Bit(std::strerror(error));
        errno = error;
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        *why = QStringLiteral("it is %1, not a file").arg(KindOf(info.st_mode));
        errno = EINVAL;
        return -1;
    }
    if (info.st_size > maxBytes) {
        ::close(fd);
        *why = QStringLiteral("it is %1, more than the %2 such a file may have")
                   .arg(SizeText(info.st_size), SizeText(maxBytes));
        errno = EFBIG;
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) {
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    return fd;
}

QString SizeText(qint64 bytes) {
    static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
    if (bytes < 1024) {
        return QStringLiteral("%1 bytes").arg(bytes);
    }
    qint64 value = bytes / 1024;
    int unit = 0;
    while (value >= 1024 && unit + 1 < static_cast<int>(std::size(kUnits))) {
        value /= 1024;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value).arg(QLatin1String(kUnits[unit]));
}

}  // namespace gearloft
