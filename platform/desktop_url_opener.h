// The desktop's handler for web and mail addresses (xdg-open on Linux),
// reached through QDesktopServices.
#pragma once

#include "app/url_opener.h"

namespace gearloft {

class DesktopUrlOpener : public UrlOpener {
public:
    bool Open(const QUrl& url, QString* error) override;
};

}  // namespace gearloft
