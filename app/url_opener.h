// Opening a web page or a mail address with the desktop's own programs (the
// browser, the mail program). The program holds one implementation; tests
// replace it to see the exact address without starting anything.
#pragma once

#include <QUrl>

class QString;

namespace gearloft {

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // Hands `url` to the desktop. On failure returns false and a sentence
    // for the user in `error` (when it is not null).
    virtual bool Open(const QUrl& url, QString* error) = 0;
};

}  // namespace gearloft
