#include "tools/cli/chunk_stream.h"

#include <QtEndian>

#include <cstring>

namespace gearloft::cli {
namespace {

constexpr char kRootName[] = "REBINFF2";
constexpr char kContainerMagic[] = "REBCRIF1";
constexpr std::size_t kContainerHeaderSize = 316;
constexpr unsigned kMaxCodeLength = 11;
constexpr unsigned kByteValues = 256;

std::uint32_t Word(const QByteArray& bytes, std::size_t offset) {
    return qFromLittleEndian<std::uint32_t>(bytes.constData() + offset);
}

// The one guard for sizes read from the bytes: does [offset, offset + length)
// lie inside the available bytes?
bool Within(std::size_t available, std::size_t offset, std::size_t length) {
    return offset <= available && length <= available - offset;
}

// The code table of a container header: counts of codes per length 1 to 11,
// handed out shortest first until the 256 byte values have one. A count above
// the codes still free at its length, or too few codes in all, cannot form a
// code; the library refuses both.
bool CheckCodeTable(const QByteArray& header, QString* error) {
    std::uint32_t free = 1;
    unsigned assigned = 0;
    for (unsigned length = 1; length <= kMaxCodeLength && assigned < kByteValues; ++length) {
        free *= 2;
        const std::uint32_t count = Word(header, 16 + 4 * (length - 1));
        if (count > free) {
            *error = QStringLiteral("corrupt code table: %1 codes of %2 bits, only %3 are free")
                         .arg(count)
                         .arg(length)
                         .arg(free);
            return false;
        }
        const std::uint32_t taken = std::min<std::uint32_t>(count, kByteValues - assigned);
        assigned += taken;
        free -= taken;
    }
    if (assigned < kByteValues) {
        *error = QStringLiteral("corrupt code table: codes for only %1 of the 256 byte values")
                     .arg(assigned);
        return false;
    }
    return true;
}

QString Hex(unsigned char byte) {
    return QStringLiteral("\\x") +
           QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

// ---------------------------------------------------------------------------
// Names

QString EscapeName(const QByteArray& name8) {
    qsizetype length = std::min<qsizetype>(name8.size(), kNameSize);
    while (length > 0 && name8[length - 1] == '\0') {
        --length;
    }
    QString text;
    for (qsizetype i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(name8[i]);
        if (byte < 0x20 || byte > 0x7E || byte == '\\') {
            text += Hex(byte);
        } else {
            text += QLatin1Char(static_cast<char>(byte));
        }
    }
    return text;
}

bool UnescapeName(const QString& text, QByteArray* name8) {
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\\') {
            // Exactly "\x" and two hexadecimal digits.
            const QString digits = text.mid(i + 2, 2);
            bool ok = digits.size() == 2 && text[i + 1] == QLatin1Char('x') &&
                      digits[0].isLetterOrNumber() && digits[1].isLetterOrNumber();
            const uint value = ok ? digits.toUInt(&ok, 16) : 0;
            if (!ok) {
                return false;
            }
            bytes.append(static_cast<char>(value));
            i += 3;
        } else if (c >= 0x20 && c <= 0x7E) {
            bytes.append(static_cast<char>(c));
        } else {
            return false;
        }
        if (bytes.size() > static_cast<qsizetype>(kNameSize)) {
            return false;
        }
    }
    bytes.append(QByteArray(static_cast<qsizetype>(kNameSize) - bytes.size(), '\0'));
    *name8 = bytes;
    return true;
}

// ---------------------------------------------------------------------------
// Folder identifiers, as the library sees them

bool FolderNames::IsFolder(const QByteArray& name8) {
    const auto known = m_known.find(name8);
    if (known != m_known.end()) {
        return known->second;
    }
    // A root holding one chunk of that identifier, whose 12-byte payload is
    // a bare header: a folder around an empty data chunk, or 12 bytes of data.
    QByteArray probe(kRootName, kNameSize);
    probe.append(QByteArray(4, '\0'));
    probe.append(name8.left(kNameSize));
    probe.append(QByteArray(4, '\0'));
    probe.append(QByteArray(kNameSize, '\0'));
    probe.append(QByteArray(4, '\0'));
    qToLittleEndian<std::uint32_t>(36, probe.data() + 8);
    qToLittleEndian<std::uint32_t>(24, probe.data() + 20);
    qToLittleEndian<std::uint32_t>(12, probe.data() + 32);

    bool folder = false;
    RifItem* root = m_lib.LoadRif(probe.constData(), static_cast<std::uint32_t>(probe.size()));
    if (root != nullptr) {
        folder = m_lib.IsRifItemFolder(m_lib.GetChildRifItem(root)) != 0;
        m_lib.DeleteRifItem(root);
    }
    m_known.emplace(name8, folder);
    return folder;
}

// ---------------------------------------------------------------------------
// Container

PlainStream ToPlainStream(const TESSERAEXPORT& lib, const QByteArray& file) {
    PlainStream result;
    const auto size = static_cast<std::size_t>(file.size());
    if (size < kChunkHeaderSize) {
        result.error =
            QStringLiteral("file too short: %1 bytes, a chunk header alone is 12").arg(size);
        return result;
    }
    if (!file.startsWith(QByteArray(kContainerMagic, kNameSize))) {
        result.ok = true;
        result.bytes = file;
        return result;
    }
    result.container = true;
    if (size < kContainerHeaderSize) {
        result.error =
            QStringLiteral("truncated container: %1 bytes, the header alone is 316").arg(size);
        return result;
    }
    const std::uint32_t streamSize = Word(file, 8);
    const std::uint32_t plainSize = Word(file, 12);
    if (!Within(size, kContainerHeaderSize, streamSize)) {
        result.error = QStringLiteral(
                           "truncated container: the header promises %1 bytes of coded stream, "
                           "the file holds %2")
                           .arg(streamSize)
                           .arg(size - kContainerHeaderSize);
        return result;
    }
    if (streamSize == 0 || plainSize == 0) {
        result.error = QStringLiteral("corrupt container header: %1 is 0")
                           .arg(streamSize == 0 ? QStringLiteral("the coded stream's size")
                                                : QStringLiteral("the plain size"));
        return result;
    }
    if (!CheckCodeTable(file, &result.error)) {
        return result;
    }
    // No code is shorter than one bit: a stream of n bytes holds at most 8n.
    if (plainSize / 8 > streamSize) {
        result.error = QStringLiteral(
                           "corrupt stream: %1 coded bytes cannot hold the %2 bytes "
                           "the header promises")
                           .arg(streamSize)
                           .arg(plainSize);
        return result;
    }
    std::uint32_t decodedSize = 0;
    void* decoded = lib.DecompressRif(file.constData(), &decodedSize);
    if (decoded == nullptr) {
        result.error = QStringLiteral(
                           "corrupt stream: the coded bits do not decode to the %1 "
                           "bytes the header promises")
                           .arg(plainSize);
        return result;
    }
    result.bytes = QByteArray(static_cast<const char*>(decoded), decodedSize);
    lib.ReleaseBuffer(decoded);
    result.ok = true;
    return result;
}

// ---------------------------------------------------------------------------
// Walking the stream

StreamWalk WalkStream(FolderNames& folders, const QByteArray& plain, Strictness strictness,
                      bool decoded) {
    StreamWalk walk;
    const auto available = static_cast<std::size_t>(plain.size());
    if (available < kNameSize || !plain.startsWith(QByteArray(kRootName, kNameSize))) {
        walk.error = decoded ? QStringLiteral(
                                   "corrupt stream: the decoded bytes do not begin "
                                   "with REBINFF2")
                             : QStringLiteral(
                                   "not a chunk file: it begins neither REBINFF2 "
                                   "nor REBCRIF1");
        return walk;
    }

    struct OpenFolder {
        int index;
        std::size_t end;
    };
    std::vector<OpenFolder> open;
    std::size_t cursor = 0;
    auto describe = [&](const Chunk& chunk) {
        return QStringLiteral("chunk %1 at offset %2")
            .arg(EscapeName(chunk.name))
            .arg(chunk.offset);
    };

    while (true) {
        if (!open.empty()) {
            const OpenFolder& top = open.back();
            const std::size_t remaining = cursor < top.end ? top.end - cursor : 0;
            if (remaining == 0) {
                open.pop_back();
                if (open.empty()) {
                    break;
                }
                continue;
            }
            if (remaining < kChunkHeaderSize) {
                walk.error = QStringLiteral("%1 stray bytes at offset %2 at the end of folder %3")
                                 .arg(remaining)
                                 .arg(cursor)
                                 .arg(EscapeName(walk.chunks[top.index].name));
                return walk;
            }
        }
        if (!Within(available, cursor, kChunkHeaderSize)) {
            walk.error = QStringLiteral(
                             "chunk header at offset %1 cut short by the end of the "
                             "data (%2 bytes)")
                             .arg(cursor)
                             .arg(available);
            return walk;
        }
        Chunk chunk;
        chunk.name = plain.mid(static_cast<qsizetype>(cursor), kNameSize);
        chunk.size = Word(plain, cursor + kNameSize);
        chunk.offset = cursor;
        chunk.depth = static_cast<int>(open.size());
        chunk.parent = open.empty() ? -1 : open.back().index;
        chunk.folder = open.empty() || folders.IsFolder(chunk.name);
        if (chunk.size < kChunkHeaderSize) {
            walk.error = QStringLiteral("%1: size %2 is below the 12 bytes of its header")
                             .arg(describe(chunk))
                             .arg(chunk.size);
            return walk;
        }
        if (!Within(available, cursor, chunk.size)) {
            walk.error =
                QStringLiteral("%1: size %2 runs past the end of the %3 (%4 bytes)")
                    .arg(describe(chunk))
                    .arg(chunk.size)
                    .arg(decoded ? QStringLiteral("decoded stream") : QStringLiteral("file"))
                    .arg(available);
            return walk;
        }
        if (strictness == Strictness::kStrict && !open.empty() &&
            cursor + chunk.size > open.back().end) {
            walk.error =
                QStringLiteral("%1: size %2 runs past the end of its folder %3 by %4 bytes")
                    .arg(describe(chunk))
                    .arg(chunk.size)
                    .arg(EscapeName(walk.chunks[open.back().index].name))
                    .arg(cursor + chunk.size - open.back().end);
            return walk;
        }
        walk.chunks.push_back(chunk);
        if (chunk.folder) {
            open.push_back({static_cast<int>(walk.chunks.size()) - 1, cursor + chunk.size});
            cursor += kChunkHeaderSize;
        } else {
            cursor += chunk.size;
        }
    }
    walk.ok = true;
    return walk;
}

QByteArray PayloadOf(const QByteArray& plain, const Chunk& chunk) {
    return plain.mid(static_cast<qsizetype>(chunk.offset + kChunkHeaderSize),
                     static_cast<qsizetype>(chunk.size - kChunkHeaderSize));
}

}  // namespace gearloft::cli
