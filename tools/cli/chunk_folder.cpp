#include "tools/cli/chunk_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QtEndian>

#include <cstdint>
#include <limits>

namespace gearloft::cli {
namespace {

constexpr int kManifestFormat = 1;
constexpr char kRootName[] = "REBINFF2";

// A file name for a chunk: its position among its siblings, so the names
// sort in stream order and never collide, then its name with anything but
// letters, digits, "_" and "-" made "_".
QString EntryName(int position, int siblings, const QByteArray& name8) {
    const int width = std::max(4, static_cast<int>(QString::number(siblings).size()));
    QString safe;
    for (const QChar c : EscapeName(name8)) {
        const bool plain = (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                           (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                           c == QLatin1Char('_') || c == QLatin1Char('-');
        safe += plain ? c : QLatin1Char('_');
    }
    QString entry = QStringLiteral("%1").arg(position, width, 10, QLatin1Char('0'));
    if (!safe.isEmpty()) {
        entry += QLatin1Char('-') + safe;
    }
    return entry;
}

// ---------------------------------------------------------------------------
// Unpacking

struct Unpacker {
    const QByteArray& plain;
    const StreamWalk& walk;
    QString* error;

    // The manifest entries of the children of chunk `index`, written below
    // folder `path`. Depth is bounded by kMaxUnpackDepth.
    bool WriteChildren(int index, const QString& path, QJsonArray* entries) {
        std::vector<int> children;
        for (std::size_t i = static_cast<std::size_t>(index) + 1; i < walk.chunks.size(); ++i) {
            if (walk.chunks[i].depth <= walk.chunks[index].depth) {
                break;
            }
            if (walk.chunks[i].parent == index) {
                children.push_back(static_cast<int>(i));
            }
        }
        for (std::size_t position = 0; position < children.size(); ++position) {
            const Chunk& chunk = walk.chunks[children[position]];
            const QString name = EntryName(static_cast<int>(position),
                                           static_cast<int>(children.size()), chunk.name);
            const QString target = path + QLatin1Char('/') + name;
            QJsonObject entry{{QStringLiteral("name"), EscapeName(chunk.name)},
                              {QStringLiteral("path"), name},
                              {QStringLiteral("folder"), chunk.folder}};
            if (chunk.folder) {
                if (!QDir().mkdir(target)) {
                    *error = QStringLiteral("%1: cannot create the folder").arg(target);
                    return false;
                }
                QJsonArray grandChildren;
                if (!WriteChildren(children[position], target, &grandChildren)) {
                    return false;
                }
                entry.insert(QStringLiteral("children"), grandChildren);
            } else {
                QFile file(target);
                const QByteArray payload = PayloadOf(plain, chunk);
                if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
                    file.write(payload) != payload.size() || !file.flush()) {
                    *error = QStringLiteral("%1: %2").arg(target, file.errorString());
                    return false;
                }
            }
            entries->append(entry);
        }
        return true;
    }
};

// ---------------------------------------------------------------------------
// Packing

class Packer {
public:
    Packer(FolderNames& folders, QByteArray& plain, QString* error)
        : m_folders(folders), m_plain(plain), m_error(error) {}

    bool WriteChildren(const QJsonValue& value, const QString& dir, const QString& where) {
        if (!value.isArray()) {
            return Fail(QStringLiteral("%1: \"children\" is not a list").arg(where));
        }
        // Every file and folder on disk must be named by the manifest: a
        // chunk left out of it would silently vanish from the packed tree.
        QSet<QString> listed;
        for (const QJsonValue& child : value.toArray()) {
            if (!WriteEntry(child, dir, where, &listed)) {
                return false;
            }
        }
        const QStringList present = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden |
                                                        QDir::System | QDir::NoDotAndDotDot);
        for (const QString& name : present) {
            if (!listed.contains(name) && !(where.isEmpty() && name == kManifestName)) {
                return Fail(
                    QStringLiteral("%1: not in the manifest").arg(QDir(dir).filePath(name)));
            }
        }
        return true;
    }

private:
    bool Fail(const QString& text) {
        *m_error = text;
        return false;
    }

    bool WriteEntry(const QJsonValue& value, const QString& dir, const QString& where,
                    QSet<QString>* listed) {
        if (!value.isObject()) {
            return Fail(QStringLiteral("%1: an entry is not an object").arg(Where(where)));
        }
        const QJsonObject entry = value.toObject();
        const QJsonValue nameValue = entry.value(QStringLiteral("name"));
        const QJsonValue pathValue = entry.value(QStringLiteral("path"));
        const QJsonValue folderValue = entry.value(QStringLiteral("folder"));
        if (!nameValue.isString() || !pathValue.isString() || !folderValue.isBool()) {
            return Fail(QStringLiteral("%1: an entry needs \"name\", \"path\" and \"folder\"")
                            .arg(Where(where)));
        }
        const QString path = pathValue.toString();
        const QString here = where.isEmpty() ? path : where + QLatin1Char('/') + path;
        QByteArray name8;
        if (!UnescapeName(nameValue.toString(), &name8)) {
            return Fail(QStringLiteral("%1: \"%2\" is not a chunk name of at most 8 bytes")
                            .arg(here, nameValue.toString()));
        }
        if (path.isEmpty() || path == QLatin1String(".") || path == QLatin1String("..") ||
            path.contains(QLatin1Char('/')) || path.contains(QLatin1Char('\\')) ||
            path.contains(QChar(0)) || (where.isEmpty() && path == kManifestName)) {
            return Fail(QStringLiteral("\"%1\": a path must name an entry inside its own folder")
                            .arg(here));
        }
        if (listed->contains(path)) {
            return Fail(QStringLiteral("%1: named twice in the manifest").arg(here));
        }
        listed->insert(path);

        const bool folder = folderValue.toBool();
        const QString onDisk = QDir(dir).filePath(path);
        const QFileInfo info(onDisk);
        if (info.isSymLink()) {
            return Fail(QStringLiteral("%1: is a link; links are not followed").arg(here));
        }
        if (!info.exists()) {
            return Fail(QStringLiteral("%1: missing").arg(here));
        }
        if (folder ? !info.isDir() : !info.isFile()) {
            return Fail(
                QStringLiteral("%1: is not a %2")
                    .arg(here, folder ? QStringLiteral("folder") : QStringLiteral("regular file")));
        }
        if (m_folders.IsFolder(name8) != folder) {
            return Fail(QStringLiteral("%1: the library reads a chunk named %2 as %3")
                            .arg(here, EscapeName(name8),
                                 folder ? QStringLiteral("data") : QStringLiteral("a folder")));
        }

        const qsizetype start = m_plain.size();
        m_plain.append(name8);
        m_plain.append(QByteArray(4, '\0'));
        if (folder) {
            if (!WriteChildren(entry.value(QStringLiteral("children")), onDisk, here)) {
                return false;
            }
        } else {
            QFile file(onDisk);
            if (!file.open(QIODevice::ReadOnly)) {
                return Fail(QStringLiteral("%1: %2").arg(here, file.errorString()));
            }
            m_plain.append(file.readAll());
            if (file.error() != QFileDevice::NoError) {
                return Fail(QStringLiteral("%1: %2").arg(here, file.errorString()));
            }
        }
        return PatchSize(start, here);
    }

    static QString Where(const QString& where) {
        return where.isEmpty() ? QString::fromLatin1(kManifestName) : where;
    }

public:
    // Writes the size of the chunk that starts at `start` and ends here.
    bool PatchSize(qsizetype start, const QString& here) {
        const auto size = static_cast<std::uint64_t>(m_plain.size() - start);
        if (size > std::numeric_limits<std::uint32_t>::max() ||
            static_cast<std::uint64_t>(m_plain.size()) >
                std::numeric_limits<std::uint32_t>::max()) {
            return Fail(QStringLiteral("%1: the tree would be larger than 4 GiB")
                            .arg(here.isEmpty() ? QStringLiteral("the root") : here));
        }
        qToLittleEndian<std::uint32_t>(static_cast<std::uint32_t>(size),
                                       m_plain.data() + start + kNameSize);
        return true;
    }

private:
    FolderNames& m_folders;
    QByteArray& m_plain;
    QString* m_error;
};

}  // namespace

bool UnpackTree(const QByteArray& plain, const StreamWalk& walk, const QString& dir,
                QString* error) {
    int depth = 0;
    for (const Chunk& chunk : walk.chunks) {
        depth = std::max(depth, chunk.depth);
    }
    if (depth > kMaxUnpackDepth) {
        *error = QStringLiteral("folders nest %1 deep; at most %2 levels can be unpacked")
                     .arg(depth)
                     .arg(kMaxUnpackDepth);
        return false;
    }
    const QFileInfo info(dir);
    if (info.exists() || info.isSymLink()) {
        if (!info.isDir() || info.isSymLink()) {
            *error = QStringLiteral("%1: exists and is not a folder").arg(dir);
            return false;
        }
        if (!QDir(dir).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System |
                               QDir::NoDotAndDotDot)) {
            *error = QStringLiteral("%1: is not empty; unpack into a new folder").arg(dir);
            return false;
        }
    } else if (!QDir().mkpath(dir)) {
        *error = QStringLiteral("%1: cannot create the folder").arg(dir);
        return false;
    }

    QJsonArray children;
    Unpacker unpacker{plain, walk, error};
    if (!unpacker.WriteChildren(0, dir, &children)) {
        return false;
    }
    const QJsonObject manifest{{QStringLiteral("format"), kManifestFormat},
                               {QStringLiteral("root"), EscapeName(walk.chunks[0].name)},
                               {QStringLiteral("children"), children}};
    QFile file(QDir(dir).filePath(kManifestName));
    const QByteArray text = QJsonDocument(manifest).toJson(QJsonDocument::Indented);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(text) != text.size() ||
        !file.flush()) {
        *error = QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
        return false;
    }
    return true;
}

bool PackTree(FolderNames& folders, const QString& dir, QByteArray* plain, QString* error) {
    const QString manifestPath = QDir(dir).filePath(kManifestName);
    const QFileInfo dirInfo(dir);
    if (!dirInfo.isDir()) {
        *error = QStringLiteral("%1: not a folder").arg(dir);
        return false;
    }
    if (QFileInfo(manifestPath).isSymLink()) {
        *error = QStringLiteral("%1: is a link; links are not followed").arg(manifestPath);
        return false;
    }
    QFile file(manifestPath);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(manifestPath, file.errorString());
        return false;
    }
    return PackManifest(folders, file.readAll(), dir, plain, error);
}

bool PackManifest(FolderNames& folders, const QByteArray& manifestBytes, const QString& dir,
                  QByteArray* plain, QString* error) {
    const QString manifestPath = QDir(dir).filePath(kManifestName);
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(manifestBytes, &parseError);
    if (document.isNull()) {
        *error = QStringLiteral("%1: not valid JSON: %2 at byte %3")
                     .arg(manifestPath, parseError.errorString())
                     .arg(parseError.offset);
        return false;
    }
    const QJsonObject manifest = document.object();
    if (!document.isObject() ||
        manifest.value(QStringLiteral("format")).toInt(-1) != kManifestFormat) {
        *error = QStringLiteral("%1: not a manifest of format %2")
                     .arg(manifestPath)
                     .arg(kManifestFormat);
        return false;
    }
    QByteArray root8;
    if (!UnescapeName(manifest.value(QStringLiteral("root")).toString(), &root8) ||
        root8 != QByteArray(kRootName, kNameSize)) {
        *error = QStringLiteral("%1: the root must be named REBINFF2").arg(manifestPath);
        return false;
    }

    plain->clear();
    plain->append(root8);
    plain->append(QByteArray(4, '\0'));
    Packer packer(folders, *plain, error);
    return packer.WriteChildren(manifest.value(QStringLiteral("children")), dir, QString()) &&
           packer.PatchSize(0, QString());
}

}  // namespace gearloft::cli
