#include "platform/desktop_url_opener.h"

#include <QDesktopServices>
#include <QString>

namespace gearloft {

bool DesktopUrlOpener::Open(const QUrl& url, QString* error) {
    if (url.isValid() && QDesktopServices::openUrl(url)) {
        return true;
    }
    if (error != nullptr) {
        *error = QStringLiteral("ERROR: Cannot open '%1'! No program on this desktop accepted it.")
                     .arg(url.toString());
    }
    return false;
}

}  // namespace gearloft
