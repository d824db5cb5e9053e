// File calls on POSIX systems: open/read/write, fsync and rename; unnamed
// temporary files (O_TMPFILE) where Linux offers them, flock for the locks
// that tell a running save's temporary file from an abandoned one.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

File CreateUnnamed(const std::string& folder) {
#ifdef O_TMPFILE
    const char* where = folder.empty() ? "." : folder.c_str();
    const int fd = open(where, O_TMPFILE | O_WRONLY | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        return kNoFile;  // a kernel or a file system without unnamed files
    }
    // Linking needs /proc (see GiveName); without it the named way is taken.
    char link[32];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    if (access(link, F_OK) != 0) {
        close(fd);
        return kNoFile;
    }
    return fd;
#else
    (void)folder;
    return kNoFile;
#endif
}

bool GiveName(File file, const std::string& path, bool* taken) {
    // linkat with AT_EMPTY_PATH would need a privilege; the descriptor's
    // entry under /proc links the same file for anyone who may write it.
    char link[32];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", Descriptor(file));
    const bool linked = linkat(AT_FDCWD, link, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
    *taken = !linked && errno == EEXIST;
    return linked;
}

namespace {

bool SameFile(int fd, const std::string& path) {
    struct stat held {};
    struct stat named {};
    return fstat(fd, &held) == 0 && lstat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace

bool LockAsWriter(File file, const std::string& path) {
    const int fd = Descriptor(file);
    int locked = 0;
    do {
        // Blocking: a cleaner holds a lock only for the instant it checks.
        locked = flock(fd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    return locked == 0 && (path.empty() || SameFile(fd, path));
}

void RemoveAbandoned(const std::string& folder, const std::string& prefix, std::size_t middle,
                     const std::string& suffix) {
    const std::string where = folder.empty() ? "." : folder;
    const int folderFd = open(where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        return;
    }
    DIR* listing = fdopendir(folderFd);
    if (listing == nullptr) {
        close(folderFd);
        return;
    }
    while (const dirent* entry = readdir(listing)) {
        const std::size_t length = std::strlen(entry->d_name);
        if (length != prefix.size() + middle + suffix.size() ||
            std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) != 0 ||
            std::strcmp(entry->d_name + length - suffix.size(), suffix.c_str()) != 0 ||
            std::strspn(entry->d_name + prefix.size(), "abcdefghijklmnopqrstuvwxyz0123456789") <
                middle) {
            continue;
        }
        // O_NONBLOCK: a FIFO of that name cannot hang the save.
        // A file that took over the bits of a level its owner may write but
        // not read opens for writing only; nothing is written to it.
        constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
        int fd = openat(folderFd, entry->d_name, O_RDONLY | kFlags);
        if (fd < 0 && errno == EACCES) {
            fd = openat(folderFd, entry->d_name, O_WRONLY | kFlags);
        }
        if (fd < 0) {
            continue;
        }
        struct stat held {};
        struct stat named {};
        // The lock is taken, so no writer holds it. The name must still be
        // the file locked: a new writer may have put its own there since.
        if (fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            fstatat(folderFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            unlinkat(folderFd, entry->d_name, 0);
        }
        close(fd);
    }
    closedir(listing);
}

bool CloseKeepingLock(File file, File* keeper) {
    // A duplicate shares the open file and therefore its lock.
    const int copy = fcntl(Descriptor(file), F_DUPFD_CLOEXEC, 0);
    const bool closed = close(Descriptor(file)) == 0;
    *keeper = copy < 0 ? kNoFile : copy;
    return copy >= 0 && closed;
}

void Release(File keeper) {
    if (keeper != kNoFile) {
        close(Descriptor(keeper));
    }
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
