#include "ui/skin_menu.h"

#include "app/profile_file.h"
#include "ui/skin_description.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <set>

namespace gearloft {

namespace {

QString ReadListedName(const QString& path) {
    ProfileFile description;
    if (skin::ReadDescription(path, description) != skin::DescriptionRead::Read ||
        !skin::HasSignature(description)) {
        return QString();
    }
    return skin::DisplayName(description);
}

}  // namespace

QString SkinDescriptionCache::ListedName(const QString& path) {
    const QFileInfo info(path);
    // The change time moves with every write, also one that keeps the size
    // and puts the modification time back.
    const qint64 size = info.size();
    const QDateTime modified = info.lastModified();
    const QDateTime changed = info.metadataChangeTime();
    const auto known = m_known.constFind(path);
    if (known != m_known.cend() && known->size == size && known->modified == modified &&
        known->changed == changed) {
        return known->name;
    }
    ++m_reads;
    const QString name = ReadListedName(path);
    m_known.insert(path, Known{size, modified, changed, name});
    return name;
}

SkinMenuContents ScanSkins(const QStringList& folders, const QString& activeName,
                           SkinDescriptionCache* cache) {
    SkinMenuContents contents;
    std::set<QString> seen;
    for (const QString& folder : folders) {
        const QDir dir(folder);
        QStringList names = dir.entryList({QStringLiteral("*") + skin::kDescriptionSuffix},
                                          QDir::Files | QDir::Readable, QDir::NoSort);
        std::sort(names.begin(), names.end());
        for (const QString& name : names) {
            if (contents.skins.size() == kMaxListedSkins) {
                return contents;
            }
            if (!seen.insert(name).second) {
                continue;
            }
            const QString path = dir.filePath(name);
            const QString skinName =
                cache != nullptr ? cache->ListedName(path) : ReadListedName(path);
            if (skinName.isEmpty()) {
                continue;
            }
            contents.skins.push_back({skinName.left(kSkinEntryLength), name});
            if (skinName.compare(activeName, Qt::CaseInsensitive) == 0) {
                contents.marked = static_cast<int>(contents.skins.size());
            }
        }
    }
    return contents;
}

}  // namespace gearloft
