#include "ui/skin_description.h"

#include <QDir>
#include <QFileInfo>

namespace gearloft::skin {

bool HasSignature(const ProfileFile& description) {
    const QByteArray signature = description.GetString(kLayout, kSignature, QByteArray());
    return signature.compare("Gearloft", Qt::CaseInsensitive) == 0;
}

QString DisplayName(const ProfileFile& description) {
    return QString::fromLocal8Bit(description.GetString(kLayout, kName, QByteArray()));
}

QString ResolveDescription(const QStringList& folders, const QString& setting) {
    if (QFileInfo(setting).isAbsolute() || folders.isEmpty()) {
        return setting;
    }
    for (const QString& folder : folders) {
        const QString path = QDir(folder).filePath(setting);
        if (QFileInfo(path).isFile()) {
            return path;
        }
    }
    return QDir(folders.first()).filePath(setting);
}

}  // namespace gearloft::skin
