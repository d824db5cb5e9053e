#include "ui/skin_description.h"

namespace gearloft::skin {

bool HasSignature(const ProfileFile& description) {
    const QByteArray signature = description.GetString(kLayout, kSignature, QByteArray());
    return signature.compare("Gearloft", Qt::CaseInsensitive) == 0;
}

QString DisplayName(const ProfileFile& description) {
    return QString::fromLocal8Bit(description.GetString(kLayout, kName, QByteArray()));
}

}  // namespace gearloft::skin
