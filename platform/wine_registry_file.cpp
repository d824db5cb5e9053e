#include "platform/wine_registry_file.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>

namespace gearloft {
namespace {

// Registry files are small (a few megabytes for a well-used prefix); a file
// far larger than that is not one.
constexpr qint64 kMaxRegistryFileSize = 256 * 1024 * 1024;

// The value of a hex digit, or -1.
int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') {
        return u - '0';
    }
    if (u >= 'a' && u <= 'f') {
        return u - 'a' + 10;
    }
    if (u >= 'A' && u <= 'F') {
        return u - 'A' + 10;
    }
    return -1;
}

// Reads a quoted text that starts at `pos` (on the opening quote), undoing
// Wine's escapes. Returns false when the line ends before the closing quote.
// On success `pos` is just behind the closing quote.
bool ReadQuoted(const QString& line, qsizetype& pos, QString* text) {
    if (pos >= line.size() || line.at(pos) != QLatin1Char('"')) {
        return false;
    }
    ++pos;
    text->clear();
    while (pos < line.size()) {
        const QChar c = line.at(pos++);
        if (c == QLatin1Char('"')) {
            return true;
        }
        if (c != QLatin1Char('\\')) {
            text->append(c);
            continue;
        }
        if (pos >= line.size()) {
            return false;
        }
        const QChar e = line.at(pos++);
        switch (e.unicode()) {
            case 'a':
                text->append(QChar(0x07));
                break;
            case 'b':
                text->append(QChar(0x08));
                break;
            case 'e':
                text->append(QChar(0x1b));
                break;
            case 'f':
                text->append(QChar(0x0c));
                break;
            case 'n':
                text->append(QChar(0x0a));
                break;
            case 'r':
                text->append(QChar(0x0d));
                break;
            case 't':
                text->append(QChar(0x09));
                break;
            case 'v':
                text->append(QChar(0x0b));
                break;
            case 'x': {
                // Up to four hex digits: one UTF-16 code unit.
                char16_t unit = 0;
                int digits = 0;
                while (digits < 4 && pos < line.size() && HexDigit(line.at(pos)) >= 0) {
                    unit = static_cast<char16_t>(unit * 16 + HexDigit(line.at(pos)));
                    ++pos;
                    ++digits;
                }
                if (digits == 0) {
                    text->append(e);
                } else {
                    text->append(QChar(unit));
                }
                break;
            }
            default:
                if (e >= QLatin1Char('0') && e <= QLatin1Char('7')) {
                    // Up to three octal digits.
                    char16_t unit = static_cast<char16_t>(e.unicode() - '0');
                    for (int digits = 1;
                         digits < 3 && pos < line.size() && line.at(pos) >= QLatin1Char('0') &&
                         line.at(pos) <= QLatin1Char('7');
                         ++digits, ++pos) {
                        unit = static_cast<char16_t>(unit * 8 + (line.at(pos).unicode() - '0'));
                    }
                    text->append(QChar(unit));
                } else {
                    // \\ and \" and anything else stand for the character itself.
                    text->append(e);
                }
                break;
        }
    }
    return false;
}

// The key path of a "[...] time" line with its doubled backslashes undone;
// false when the line is not a key line.
bool ReadKeyLine(const QString& line, QString* key) {
    if (!line.startsWith(QLatin1Char('['))) {
        return false;
    }
    key->clear();
    for (qsizetype pos = 1; pos < line.size(); ++pos) {
        const QChar c = line.at(pos);
        if (c == QLatin1Char(']')) {
            return true;
        }
        if (c == QLatin1Char('\\') && pos + 1 < line.size()) {
            ++pos;
        }
        key->append(line.at(pos));
    }
    return false;
}

bool SameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace

std::optional<QString> WineRegistryFile::ReadString(const QString& registryFile,
                                                    const QString& keyPath,
                                                    const QString& valueName) const {
    QFile file(registryFile);
    if (file.size() > kMaxRegistryFileSize || !file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return FindString(file.readAll(), keyPath, valueName);
}

std::optional<QString> WineRegistryFile::FindString(const QByteArray& contents,
                                                    const QString& keyPath,
                                                    const QString& valueName) {
    // Wine writes its files in ASCII with escapes for everything else; UTF-8
    // is taken as well, so a hand-edited file reads as its author meant.
    const QStringList lines = QString::fromUtf8(contents).split(QLatin1Char('\n'));
    if (lines.isEmpty() || !lines.first().startsWith(QLatin1String("WINE REGISTRY Version 2"))) {
        return std::nullopt;
    }
    const QString wantedKey = QString(keyPath).replace(QLatin1Char('/'), QLatin1Char('\\'));
    const QString wantedValue = valueName == QLatin1String("@") ? QString() : valueName;

    bool inKey = false;
    bool continued = false;  // the previous line ended in a backslash
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        const bool wasContinued = continued;
        continued = line.endsWith(QLatin1Char('\\'));
        if (wasContinued) {
            continue;  // more of a hex value
        }
        if (line.startsWith(QLatin1Char('['))) {
            QString key;
            inKey = ReadKeyLine(line, &key) && SameName(key, wantedKey);
            continue;
        }
        if (!inKey) {
            continue;
        }
        QString name;
        qsizetype pos = 0;
        if (line.startsWith(QLatin1Char('@'))) {
            pos = 1;
        } else if (!ReadQuoted(line, pos, &name)) {
            continue;  // "#time=", "#class=", comments, blank lines
        }
        if (pos >= line.size() || line.at(pos) != QLatin1Char('=') ||
            !SameName(name, wantedValue)) {
            continue;
        }
        ++pos;
        QString text;
        if (ReadQuoted(line, pos, &text)) {
            return text;
        }
        return std::nullopt;  // the value is there but is no string
    }
    return std::nullopt;
}

WineSearch UsersWineSearch(const WineRegistryFile& reader) {
    return WineSearch{
        &reader, WinePrefixFolders(QProcessEnvironment::systemEnvironment(), QDir::homePath())};
}

}  // namespace gearloft
