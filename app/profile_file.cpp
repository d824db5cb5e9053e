#include "app/profile_file.h"

#include "app/debug_output.h"
#include "app/regular_file.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace gearloft {

// An empty key or value is stored as absent (an empty QByteArray). A comment
// line is an entry without key whose value is the whole line.
struct ProfileFile::Entry {
    QByteArray key;
    QByteArray value;
};

struct ProfileFile::Section {
    QByteArray name;
    std::vector<Entry> entries;
    // A comment line in place of a header: the name is the whole line.
    bool comment = false;
};

namespace {

constexpr std::size_t kStreamBufferSize = 65536;

bool SameName(const QByteArray& a, const QByteArray& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads the decimal number at the start of text; a value beyond the range of
// int saturates instead of wrapping.
int LeadingInt(const QByteArray& text) {
    qsizetype i = 0;
    const bool negative = !text.isEmpty() && text[0] == '-';
    if (negative) {
        ++i;
    }
    long long magnitude = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1) {
            magnitude = static_cast<long long>(INT_MAX) + 1;
        }
    }
    const long long value = negative ? -magnitude : magnitude;
    if (value > INT_MAX) {
        return INT_MAX;
    }
    return static_cast<int>(value);
}

// The low 8 bits of the decimal number at the start of text.
std::uint32_t LeadingByte(const QByteArray& text) {
    std::uint32_t value = 0;
    for (qsizetype i = 0; i < text.size() && IsDigit(text[i]); ++i) {
        value = (value * 10 + static_cast<std::uint32_t>(text[i] - '0')) & 0xFF;
    }
    return value;
}

std::atomic<bool> g_unnamedFiles{true};

constexpr char kTemporaryLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kRandomLength = 6;
constexpr char kTemporarySuffix[] = ".tmp";

// The temporary file's name beside the settings file: its own name, hidden,
// a random part and a fixed ending.
QByteArray TemporaryName(const QByteArray& stem) {
    QByteArray name = stem;
    for (int i = 0; i < kRandomLength; ++i) {
        name += kTemporaryLetters[QRandomGenerator::global()->bounded(36)];
    }
    return name + kTemporarySuffix;
}

bool SameFile(int fd, const QByteArray& path) {
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && ::lstat(path.constData(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

// Every writer holds a lock on its temporary file for as long as it runs;
// the lock goes with the process however it ends. Blocking, since a cleaner
// holds it only for the instant it checks.
bool LockAsWriter(int fd) {
    int locked = 0;
    do {
        locked = ::flock(fd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    return locked == 0;
}

// Removes the temporary files that saves of this settings file left when
// they were killed: those whose lock can be taken. A running save's file,
// and every name of another form, stays.
void RemoveAbandoned(const QByteArray& folder, const QByteArray& prefix) {
    const int folderFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        return;
    }
    DIR* listing = ::fdopendir(folderFd);
    if (listing == nullptr) {
        ::close(folderFd);
        return;
    }
    const std::size_t suffix = sizeof kTemporarySuffix - 1;
    while (const dirent* entry = ::readdir(listing)) {
        const char* name = entry->d_name;
        const std::size_t length = std::strlen(name);
        if (length != static_cast<std::size_t>(prefix.size()) + kRandomLength + suffix ||
            std::strncmp(name, prefix.constData(), static_cast<std::size_t>(prefix.size())) != 0 ||
            std::strspn(name + prefix.size(), kTemporaryLetters) < kRandomLength ||
            std::strcmp(name + length - suffix, kTemporarySuffix) != 0) {
            continue;
        }
        // A file that took over write-only bits opens for writing only;
        // nothing is written to it.
        constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
        int fd = ::openat(folderFd, name, O_RDONLY | kFlags);
        if (fd < 0 && errno == EACCES) {
            fd = ::openat(folderFd, name, O_WRONLY | kFlags);
        }
        if (fd < 0) {
            continue;
        }
        struct stat held {};
        struct stat named {};
        // The name must still be the file locked: a new writer may have put
        // its own there since.
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(folderFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            ::unlinkat(folderFd, name, 0);
        }
        ::close(fd);
    }
    ::closedir(listing);
}

// A new file without a name in folder, locked, where the system offers one
// (O_TMPFILE, and /proc to link it by); -1 otherwise. A kill before it is
// named leaves nothing.
int CreateUnnamed(const QByteArray& folder) {
#ifdef O_TMPFILE
    if (!g_unnamedFiles.load(std::memory_order_relaxed)) {
        return -1;
    }
    const int fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        return -1;
    }
    if (::access(QByteArray("/proc/self/fd/").append(QByteArray::number(fd)).constData(), F_OK) !=
            0 ||
        !LockAsWriter(fd)) {
        ::close(fd);
        return -1;
    }
    return fd;
#else
    (void)folder;
    return -1;
#endif
}

// Gives the unnamed file a free temporary name, stored in path.
bool GiveName(int fd, const QByteArray& stem, QByteArray* path) {
    const QByteArray link = QByteArray("/proc/self/fd/").append(QByteArray::number(fd));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = TemporaryName(stem);
        if (::linkat(AT_FDCWD, link.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) ==
            0) {
            *path = name;
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

// Creates a new named file, locked, beside the target, and stores its name
// in path. The descriptor, or -1.
int CreateNamed(const QByteArray& stem, QByteArray* path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = TemporaryName(stem);
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno != EEXIST) {
                return -1;
            }
            continue;
        }
        if (LockAsWriter(fd) && SameFile(fd, name)) {
            *path = name;
            return fd;
        }
        ::close(fd);  // a cleaner removed it between the create and the lock
    }
    return -1;
}

// Closes the stream and removes the temporary file when a save does not
// reach its rename; the writer's lock, on a second descriptor, stays until
// the file is moved or removed.
class TemporaryFile {
public:
    TemporaryFile(std::FILE* stream, int keeper) : m_stream(stream), m_keeper(keeper) {}
    ~TemporaryFile() {
        if (m_stream != nullptr) {
            std::fclose(m_stream);
        }
        if (!m_path.isEmpty()) {
            ::unlink(m_path.constData());
        }
        ::close(m_keeper);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    std::FILE* stream() const { return m_stream; }
    void SetPath(QByteArray path) { m_path = std::move(path); }
    // Closes the stream; false when the last buffered bytes could not be written.
    bool Close() {
        const int result = std::fclose(m_stream);
        m_stream = nullptr;
        return result == 0;
    }
    void Keep() { m_path.clear(); }

private:
    std::FILE* m_stream;
    int m_keeper;
    QByteArray m_path;
};

}  // namespace

void SetUnnamedProfileTemporaryFiles(bool allowed) {
    g_unnamedFiles.store(allowed, std::memory_order_relaxed);
}

ProfileFile::ProfileFile(const QString& path) : m_path(path) {}

ProfileFile::~ProfileFile() = default;

bool ProfileFile::Load(const QString& path) {
    m_sections.clear();
    m_readError.clear();
    if (!path.isEmpty()) {
        m_path = path;
    }
    if (m_path.isEmpty()) {
        return false;
    }

    QString why;
    const int fd = OpenRegularFile(m_path, kMaxFileSize, &why);
    if (fd < 0) {
        if (errno != ENOENT) {
            m_readError = why;
        }
        return false;
    }
    std::FILE* stream = ::fdopen(fd, "rb");
    if (stream == nullptr) {
        m_readError = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return false;
    }
    if (std::setvbuf(stream, nullptr, _IOFBF, kStreamBufferSize) != 0) {
        DebugOutput("WARNING: failed to set buffer for input stream!\n");
    }

    // Lines are read whole, however long they are, so that a long value comes
    // back as it was written rather than broken into several entries.
    char* line = nullptr;
    std::size_t capacity = 0;
    Section* current = nullptr;
    bool ok = true;
    qint64 total = 0;
    for (;;) {
        errno = 0;
        const ssize_t length = ::getline(&line, &capacity, stream);
        // A file that grows while it is read is held to the same limit.
        total += length > 0 ? length : 0;
        if (total > kMaxFileSize) {
            m_readError = QStringLiteral("it grew past the %1 such a file may have")
                              .arg(SizeText(kMaxFileSize));
            m_sections.clear();
            ok = false;
            break;
        }
        if (length < 0) {
            if (std::ferror(stream)) {
                if (errno == ENOMEM) {
                    DebugOutput("WARNING: failed to allocate input buffer!\n");
                }
                m_readError = QString::fromLocal8Bit(std::strerror(errno != 0 ? errno : EIO));
                ok = false;
            }
            break;
        }
        AddLine(QByteArray(line, length), &current);
    }
    std::free(line);
    std::fclose(stream);
    return ok;
}

void ProfileFile::AddLine(QByteArray text, Section** current) {
    // Carriage returns at the end belong to the line break: a value that
    // kept one would lose it when written back.
    if (text.endsWith('\n')) {
        text.chop(1);
    }
    while (text.endsWith('\r')) {
        text.chop(1);
    }
    if (text.isEmpty()) {
        return;
    }

    if (text[0] == '[') {
        const qsizetype close = text.indexOf(']');
        if (close < 0) {
            return;
        }
        auto section = std::make_unique<Section>();
        section->name = text.mid(1, close - 1);
        *current = section.get();
        m_sections.push_back(std::move(section));
    } else if (text[0] == ';') {
        if (*current != nullptr) {
            (*current)->entries.push_back({QByteArray(), text});
        } else {
            // A comment before the first section names a section of its
            // own, which is written back as the comment line.
            auto section = std::make_unique<Section>();
            section->name = text;
            section->comment = true;
            *current = section.get();
            m_sections.push_back(std::move(section));
        }
    } else if (*current == nullptr) {
        return;
    } else if (const qsizetype equals = text.indexOf('='); equals >= 0) {
        if (text.size() == 1) {
            return;
        }
        if (equals == 0) {
            // A value without a key is never read; it is kept as the line it
            // is, since written as a bare value it would read back as a key.
            (*current)->entries.push_back({QByteArray(), text});
            return;
        }
        (*current)->entries.push_back({text.left(equals), text.mid(equals + 1)});
    } else {
        (*current)->entries.push_back({text, QByteArray()});
    }
}

void ProfileFile::LoadBytes(const QByteArray& bytes) {
    m_sections.clear();
    m_readError.clear();
    Section* current = nullptr;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype end = bytes.indexOf('\n', start);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        AddLine(bytes.mid(start, next - start), &current);
        start = next;
    }
}

bool ProfileFile::Save(const QString& path) {
    if (!path.isEmpty()) {
        m_path = path;
    }
    if (m_path.isEmpty()) {
        return false;
    }

    // The store goes to a temporary file beside the target, which replaces the
    // target only once every byte is on disk: a save that fails at any point
    // leaves the old file as it was.
    // A settings file that is a symbolic link stays one: the file it points
    // to is replaced.
    QFileInfo info(m_path);
    if (info.isSymLink()) {
        info = QFileInfo(info.symLinkTarget());
    }
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    const QByteArray prefix = "." + QFile::encodeName(info.fileName()) + ".";
    const QByteArray stem = folder + "/" + prefix;
    // What killed saves of this file left goes first.
    RemoveAbandoned(folder, prefix);
    // Where the system offers it, the new file has no name until just before
    // it replaces the target, so that a kill while it is written leaves
    // nothing; otherwise it is named and locked from the start.
    QByteArray pattern;
    int fd = CreateUnnamed(folder);
    const bool unnamed = fd >= 0;
    if (!unnamed) {
        fd = CreateNamed(stem, &pattern);
        if (fd < 0) {
            return false;
        }
    }
    // A second descriptor keeps the lock once the stream is closed.
    const int keeper = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    std::FILE* stream = keeper < 0 ? nullptr : ::fdopen(fd, "wb");
    if (stream == nullptr) {
        ::close(fd);
        if (!unnamed) {
            ::unlink(pattern.constData());
        }
        if (keeper >= 0) {
            ::close(keeper);
        }
        return false;
    }
    TemporaryFile temporary(stream, keeper);
    temporary.SetPath(pattern);
    if (std::setvbuf(stream, nullptr, _IOFBF, kStreamBufferSize) != 0) {
        DebugOutput("WARNING: failed to set buffer for output stream!\n");
    }

    auto write = [stream](const QByteArray& bytes) {
        return bytes.isEmpty() ||
               std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream) ==
                   static_cast<std::size_t>(bytes.size());
    };
    if (!WriteTo(write)) {
        return false;
    }
    if (std::fflush(stream) != 0 || ::fsync(fd) != 0) {
        return false;
    }

    // Keep the permission bits of the file being replaced; a new file keeps
    // what its create gave it, the usual bits for a document under the
    // process's umask.
    struct stat old {};
    if (::stat(target.constData(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0) {
        return false;
    }
    if (unnamed) {
        if (!GiveName(fd, stem, &pattern)) {
            return false;
        }
        temporary.SetPath(pattern);
    }
    if (!temporary.Close()) {
        return false;
    }
    if (std::rename(pattern.constData(), target.constData()) != 0) {
        return false;
    }
    temporary.Keep();
    return true;
}

bool ProfileFile::WriteTo(const std::function<bool(const QByteArray&)>& write) const {
    for (const auto& section : m_sections) {
        bool ok = section->comment ? write(section->name) && write("\n")
                                   : write("[") && write(section->name) && write("]\n");
        for (const Entry& entry : section->entries) {
            if (!entry.key.isEmpty()) {
                ok = ok && write(entry.key) && write("=");
            }
            ok = ok && write(entry.value) && write("\n");
        }
        if (!(ok && write("\n"))) {
            return false;
        }
    }
    return true;
}

QByteArray ProfileFile::ToBytes() const {
    QByteArray bytes;
    WriteTo([&bytes](const QByteArray& piece) {
        bytes += piece;
        return true;
    });
    return bytes;
}

QByteArray ProfileFile::GetString(const QByteArray& section, const QByteArray& key,
                                  const QByteArray& defaultValue) const {
    for (const auto& s : m_sections) {
        if (!SameName(s->name, section)) {
            continue;
        }
        for (const Entry& entry : s->entries) {
            if (!entry.key.isEmpty() && SameName(entry.key, key)) {
                return entry.value.isEmpty() ? defaultValue : entry.value;
            }
        }
        return defaultValue;
    }
    return defaultValue;
}

bool ProfileFile::HasKey(const QByteArray& section, const QByteArray& key) const {
    for (const auto& s : m_sections) {
        if (!SameName(s->name, section)) {
            continue;
        }
        for (const Entry& entry : s->entries) {
            if (!entry.key.isEmpty() && SameName(entry.key, key)) {
                return true;
            }
        }
        return false;
    }
    return false;
}

int ProfileFile::GetInt(const QByteArray& section, const QByteArray& key, int defaultValue) const {
    const QByteArray value = GetString(section, key, QByteArray());
    if (value.isEmpty() || !(IsDigit(value[0]) || value[0] == '-')) {
        return defaultValue;
    }
    return LeadingInt(value);
}

std::uint32_t ProfileFile::GetColor(const QByteArray& section, const QByteArray& key,
                                    std::uint32_t defaultColor) const {
    const QByteArray value = GetString(section, key, QByteArray());
    if (value.isEmpty()) {
        return defaultColor;
    }
    const QList<QByteArray> parts = value.split(',');
    std::uint32_t color = 0;
    for (int i = 0; i < 3; ++i) {
        const int shift = 8 * i;
        std::uint32_t component = (defaultColor >> shift) & 0xFF;
        if (i < parts.size() && !parts[i].isEmpty() && IsDigit(parts[i][0])) {
            component = LeadingByte(parts[i]);
        }
        color |= component << shift;
    }
    return color;
}

bool ProfileFile::SetString(const QByteArray& section, const QByteArray& key,
                            const QByteArray& value) {
    if (section.isEmpty()) {
        return false;
    }
    // Texts that would read back as something else are refused: a line break
    // would start a new line, a "]" would end the header early, an "=" in a
    // key would split it differently, and a key that starts with "[" or ";"
    // would read back as a header or a comment.
    const auto hasLineBreak = [](const QByteArray& text) {
        return text.contains('\n') || text.contains('\r');
    };
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value) ||
        (!section.startsWith(';') && section.contains(']')) || key.contains('=') ||
        key.startsWith('[') || key.startsWith(';')) {
        return false;
    }
    for (auto it = m_sections.begin(); it != m_sections.end(); ++it) {
        Section& s = **it;
        if (!SameName(s.name, section)) {
            continue;
        }
        if (key.isEmpty()) {
            m_sections.erase(it);
            return true;
        }
        for (auto e = s.entries.begin(); e != s.entries.end(); ++e) {
            if (e->key.isEmpty() || !SameName(e->key, key)) {
                continue;
            }
            if (value.isNull()) {
                s.entries.erase(e);
            } else {
                e->value = value;
            }
            return true;
        }
        if (!value.isNull()) {
            s.entries.push_back({key, value});
        }
        return true;
    }
    if (key.isEmpty() && value.isNull()) {
        return true;
    }
    auto s = std::make_unique<Section>();
    s->name = section;
    s->comment = section.startsWith(';');
    s->entries.push_back({key, value});
    m_sections.push_back(std::move(s));
    return true;
}

bool ProfileFile::SetInt(const QByteArray& section, const QByteArray& key, int value) {
    return SetString(section, key, QByteArray::number(value));
}

}  // namespace gearloft
