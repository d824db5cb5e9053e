#include "ui/skin_menu.h"

#include "app/profile_file.h"
#include "ui/skin_description.h"

#include <QDir>

#include <algorithm>
#include <set>

namespace gearloft {

SkinMenuContents ScanSkins(const QStringList& folders, const QString& activeName) {
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
            ProfileFile description;
            if (!description.Load(dir.filePath(name)) || !skin::HasSignature(description)) {
                continue;
            }
            const QString skinName = skin::DisplayName(description);
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
