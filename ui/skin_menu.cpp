#include "ui/skin_menu.h"

#include "app/profile_file.h"
#include "ui/skin_description.h"

#include <QDir>
#include <QFile>

#include <dirent.h>
#include <sys/stat.h>

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

// The names of the regular files in folder that end in ".skn" (in any
// letter case), hidden ones left out, in file-name order. Read straight from
// the folder: with thousands of entries, the type that the listing carries
// saves a look at each file.
QStringList DescriptionFilesIn(const QString& folder) {
    QStringList names;
    DIR* listing = ::opendir(QFile::encodeName(folder).constData());
    if (listing == nullptr) {
        return names;
    }
    const QByteArray suffix(skin::kDescriptionSuffix);
    while (const dirent* entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith('.') || name.size() <= suffix.size() ||
            name.right(suffix.size()).compare(suffix, Qt::CaseInsensitive) != 0) {
            continue;
        }
        if (entry->d_type != DT_REG) {
            // A link, or a file system that does not say: follow and look.
            struct stat info {};
            if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) {
                continue;
            }
            if (::stat(QFile::encodeName(folder + QLatin1Char('/') + QFile::decodeName(name))
                           .constData(),
                       &info) != 0 ||
                !S_ISREG(info.st_mode)) {
                continue;
            }
        }
        names << QFile::decodeName(name);
    }
    ::closedir(listing);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

QString SkinDescriptionCache::ListedName(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        m_known.remove(path);
        return QString();
    }
    // The change time moves with every write, also one that keeps the size
    // and puts the modification time back.
    Known seen;
    seen.device = info.st_dev;
    seen.inode = info.st_ino;
    seen.size = info.st_size;
    seen.modified = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
    seen.changed = info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec;
    const auto known = m_known.constFind(path);
    if (known != m_known.cend() && *known == seen) {
        return known->name;
    }
    ++m_reads;
    seen.name = ReadListedName(path);
    m_known.insert(path, seen);
    return seen.name;
}

SkinMenuContents ScanSkins(const QStringList& folders, const QString& activeName,
                           SkinDescriptionCache* cache, const std::atomic<bool>* stop) {
    SkinMenuContents contents;
    std::set<QString> seen;
    for (const QString& folder : folders) {
        const QDir dir(folder);
        const QStringList names = DescriptionFilesIn(folder);
        for (const QString& name : names) {
            if (contents.skins.size() == kMaxListedSkins ||
                (stop != nullptr && stop->load(std::memory_order_relaxed))) {
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
