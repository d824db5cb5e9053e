#include "ui/skin_description.h"

#include <QFileInfo>

namespace gearloft::skin {

bool HasSignature(const ProfileFile& description) {
    const QByteArray signature = description.GetString(kLayout, kSignature, QByteArray());
    return signature.compare("Gearloft", Qt::CaseInsensitive) == 0;
}

QString DisplayName(const ProfileFile& description) {
    return QString::fromLocal8Bit(description.GetString(kLayout, kName, QByteArray()));
}

DescriptionRead ReadDescription(const QString& path, ProfileFile& into) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return DescriptionRead::Unreadable;
    }
    if (!info.isFile()) {
        return DescriptionRead::NotAFile;
    }
    if (info.size() > kMaxDescriptionBytes) {
        return DescriptionRead::TooLarge;
    }
    return into.Load(path) ? DescriptionRead::Read : DescriptionRead::Unreadable;
}

}  // namespace gearloft::skin
