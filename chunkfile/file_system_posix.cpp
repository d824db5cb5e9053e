// File calls on POSIX systems: open/read/write, fsync and rename.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "chunkfile/file_system.h"

namespace tessera::os {
namespace {

int Descriptor(File file) {
    return static_cast<int>(file);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

File OpenForReading(const char* path) {
    // O_NONBLOCK so that a FIFO without a writer cannot hang the open; it
    // changes nothing for the regular files that are read.
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return kNoFile;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return kNoFile;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags != -1) {
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    return fd;
}

bool SizeOf(File file, std::uint64_t* size) {
    struct stat info;
    if (fstat(Descriptor(file), &info) != 0 || info.st_size < 0) {
        return false;
    }
    *size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

std::ptrdiff_t ReadSome(File file, void* data, std::size_t size) {
    for (;;) {
        const ssize_t got = read(Descriptor(file), data, size);
        if (got >= 0 || errno != EINTR) {
            return got < 0 ? -1 : got;
        }
    }
}

bool InspectTarget(const char* path, Target* target) {
    target->path = path;
    struct stat old {};
    if (lstat(path, &old) == 0 && S_ISLNK(old.st_mode)) {
        if (char* resolved = realpath(path, nullptr)) {
            target->path = resolved;
            std::free(resolved);
        }
    }
    target->exists = stat(target->path.c_str(), &old) == 0;
    if (!target->exists) {
        return true;
    }
    if (!S_ISREG(old.st_mode)) {
        return false;  // never replace a folder, a device or a pipe
    }
    if (access(target->path.c_str(), W_OK) != 0) {
        return false;  // a file the user may not write stays as it is
    }
    target->attributes = old.st_mode & 0777;
    target->owner = old.st_uid;
    target->group = old.st_gid;
    return true;
}

std::size_t LastSeparator(const std::string& path) {
    return path.rfind('/');
}

std::uint64_t UniqueSeed() {
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::uint64_t>(now.tv_nsec) ^ (static_cast<std::uint64_t>(getpid()) << 20);
}

File CreateExclusive(const std::string& path, bool* taken) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    *taken = fd < 0 && errno == EEXIST;
    return fd < 0 ? kNoFile : fd;
}

std::ptrdiff_t WriteSome(File file, const void* data, std::size_t size) {
    for (;;) {
        const ssize_t put = write(Descriptor(file), data, size);
        if (put >= 0 || errno != EINTR) {
            return put < 0 ? -1 : put;
        }
    }
}

// The new file keeps the old one's permission bits and, where the system
// allows, its owner; a new file gets what an ordinary create under the
// current umask gives.
bool TakeOverAttributes(File file, const Target& target) {
    if (!target.exists) {
        return true;
    }
    const int fd = Descriptor(file);
    if (target.owner != geteuid() || target.group != getegid()) {
        // Only possible for the owner's group or for root; otherwise the
        // file becomes the saving user's, as any rewrite would.
        if (fchown(fd, target.owner, target.group) != 0) {
            (void)!fchown(fd, static_cast<uid_t>(-1), target.group);
        }
    }
    return fchmod(fd, target.attributes) == 0;
}

bool Flush(File file) {
    return fsync(Descriptor(file)) == 0;
}

bool Close(File file) {
    return close(Descriptor(file)) == 0;
}

bool MoveOver(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

void Remove(const std::string& path) {
    unlink(path.c_str());
}

void SyncFolderOf(const std::string& path) {
    const int folder = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        (void)fsync(folder);
        close(folder);
    }
}

}  // namespace tessera::os
