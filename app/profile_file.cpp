#include "app/profile_file.h"

#include "app/debug_output.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
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

// Creates a new file beside the one that info names, as a document is
// created (mode 0666 under the umask, which the system applies: the process's
// mask is never changed, so other threads creating files meanwhile are not
// affected), and stores its name in path. The descriptor, or -1.
int CreateTemporaryBeside(const QFileInfo& info, QByteArray* path) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    const QByteArray stem =
        QFile::encodeName(info.absolutePath()) + "/." + QFile::encodeName(info.fileName()) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = stem;
        for (int i = 0; i < 6; ++i) {
            name += kLetters[QRandomGenerator::global()->bounded(36)];
        }
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            *path = name;
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
}

// Closes the stream and removes the temporary file when a save does not
// reach its rename.
class TemporaryFile {
public:
    TemporaryFile(std::FILE* stream, QByteArray path) : m_stream(stream), m_path(std::move(path)) {}
    ~TemporaryFile() {
        if (m_stream != nullptr) {
            std::fclose(m_stream);
        }
        if (!m_path.isEmpty()) {
            ::unlink(m_path.constData());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    std::FILE* stream() const { return m_stream; }
    // Closes the stream; false when the last buffered bytes could not be written.
    bool Close() {
        const int result = std::fclose(m_stream);
        m_stream = nullptr;
        return result == 0;
    }
    void Keep() { m_path.clear(); }

private:
    std::FILE* m_stream;
    QByteArray m_path;
};

}  // namespace

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

    std::FILE* stream = std::fopen(QFile::encodeName(m_path).constData(), "rb");
    if (stream == nullptr) {
        if (errno != ENOENT) {
            m_readError = QString::fromLocal8Bit(std::strerror(errno));
        }
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
    for (;;) {
        errno = 0;
        const ssize_t length = ::getline(&line, &capacity, stream);
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
        QByteArray text(line, length);
        if (text.endsWith('\n')) {
            text.chop(1);
            if (text.endsWith('\r')) {
                text.chop(1);
            }
        }
        if (text.isEmpty()) {
            continue;
        }

        if (text[0] == '[') {
            const qsizetype close = text.indexOf(']');
            if (close < 0) {
                continue;
            }
            auto section = std::make_unique<Section>();
            section->name = text.mid(1, close - 1);
            current = section.get();
            m_sections.push_back(std::move(section));
        } else if (text[0] == ';') {
            if (current != nullptr) {
                current->entries.push_back({QByteArray(), text});
            } else {
                // A comment before the first section names a section of its
                // own, which is written back as the comment line.
                auto section = std::make_unique<Section>();
                section->name = text;
                current = section.get();
                m_sections.push_back(std::move(section));
            }
        } else if (current == nullptr) {
            continue;
        } else if (const qsizetype equals = text.indexOf('='); equals >= 0) {
            if (text.size() == 1) {
                continue;
            }
            current->entries.push_back({text.left(equals), text.mid(equals + 1)});
        } else {
            current->entries.push_back({text, QByteArray()});
        }
    }
    std::free(line);
    std::fclose(stream);
    return ok;
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
    QByteArray pattern;
    const int fd = CreateTemporaryBeside(info, &pattern);
    if (fd < 0) {
        return false;
    }
    std::FILE* stream = ::fdopen(fd, "wb");
    if (stream == nullptr) {
        ::close(fd);
        ::unlink(pattern.constData());
        return false;
    }
    TemporaryFile temporary(stream, pattern);
    if (std::setvbuf(stream, nullptr, _IOFBF, kStreamBufferSize) != 0) {
        DebugOutput("WARNING: failed to set buffer for output stream!\n");
    }

    auto write = [stream](const QByteArray& bytes) {
        return bytes.isEmpty() ||
               std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream) ==
                   static_cast<std::size_t>(bytes.size());
    };
    for (const auto& section : m_sections) {
        bool ok = section->name.startsWith(';')
                      ? write(section->name) && write("\n")
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
    if (!temporary.Close()) {
        return false;
    }
    if (std::rename(pattern.constData(), target.constData()) != 0) {
        return false;
    }
    temporary.Keep();
    return true;
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
    // key would split it differently.
    const auto hasLineBreak = [](const QByteArray& text) {
        return text.contains('\n') || text.contains('\r');
    };
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value) ||
        (!section.startsWith(';') && section.contains(']')) || key.contains('=')) {
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
    s->entries.push_back({key, value});
    m_sections.push_back(std::move(s));
    return true;
}

bool ProfileFile::SetInt(const QByteArray& section, const QByteArray& key, int value) {
    return SetString(section, key, QByteArray::number(value));
}

}  // namespace gearloft
