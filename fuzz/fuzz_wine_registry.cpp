// Reading a string value from a Wine registry file's bytes. The input's
// first line is the key path and its second the value name, so that names
// with escapes, case and separators of every kind meet the file's; the rest
// is the file.
#include "platform/wine_registry_file.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr std::size_t kMaxInput = 64 * 1024;

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

QString AsciiUpper(QString text) {
    for (QChar& c : text) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) {
            c = QChar(c.unicode() - 'a' + 'A');
        }
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kMaxInput) {
        return 0;
    }
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype keyEnd = input.indexOf('\n');
    if (keyEnd < 0) {
        return 0;
    }
    const qsizetype valueEnd = input.indexOf('\n', keyEnd + 1);
    if (valueEnd < 0) {
        return 0;
    }
    const QString key = QString::fromUtf8(input.left(keyEnd));
    const QString value = QString::fromUtf8(input.mid(keyEnd + 1, valueEnd - keyEnd - 1));
    const QByteArray contents = input.mid(valueEnd + 1);

    const std::optional<QString> found =
        gearloft::WineRegistryFile::FindString(contents, key, value);
    if (!found) {
        return 0;
    }
    // Only a registry file yields values, and the same lookup gives the same
    // answer with Windows line ends and with the names in other letter case.
    Require(contents.startsWith("WINE REGISTRY Version 2"));
    QByteArray crlf = contents;
    crlf.replace("\r\n", "\n").replace("\n", "\r\n");
    Require(gearloft::WineRegistryFile::FindString(crlf, key, value) == found);
    Require(gearloft::WineRegistryFile::FindString(contents, AsciiUpper(key), AsciiUpper(value)) ==
            found);
    return 0;
}
