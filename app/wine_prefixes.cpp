#include "app/wine_prefixes.h"

#include "app/game_location.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace gearloft {
namespace {

bool IsPrefix(const QString& folder) {
    return QFileInfo(folder + QStringLiteral("/system.reg")).isFile();
}

// The folders under `parent` that are prefixes, optionally one level below
// each entry (Steam keeps <id>/pfx), in name order.
QStringList PrefixesUnder(const QString& parent, const QString& below = QString()) {
    QStringList found;
    const QDir dir(parent);
    for (const QString& entry : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        QString candidate = dir.filePath(entry);
        if (!below.isEmpty()) {
            candidate += QLatin1Char('/') + below;
        }
        if (IsPrefix(candidate)) {
            found.append(candidate);
        }
    }
    return found;
}

// One name inside folder, the exact one when it exists and otherwise one
// that differs only in letter case; the name as given when there is none.
QString FindEntry(const QString& folder, const QString& name) {
    const QDir dir(folder);
    if (QFileInfo::exists(dir.filePath(name))) {
        return dir.filePath(name);
    }
    const QStringList entries =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0) {
            return dir.filePath(entry);
        }
    }
    return dir.filePath(name);
}

}  // namespace

QStringList GameRegistryKeysInPrefix() {
    return {QStringLiteral("Software\\Ombrine\\Qelmarch"),
            QStringLiteral("Software\\Wow6432Node\\Ombrine\\Qelmarch")};
}

QStringList WinePrefixFolders(const QProcessEnvironment& environment, const QString& home) {
    QString dataHome = environment.value(QStringLiteral("XDG_DATA_HOME"));
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome)) {
        dataHome = home + QStringLiteral("/.local/share");
    }

    QStringList candidates;
    const QString winePrefix = environment.value(QStringLiteral("WINEPREFIX"));
    if (!winePrefix.isEmpty()) {
        candidates.append(winePrefix);
    }
    candidates.append(home + QStringLiteral("/.wine"));

    const QStringList steamFolders{
        home + QStringLiteral("/.steam/steam"),
        home + QStringLiteral("/.steam/root"),
        dataHome + QStringLiteral("/Steam"),
        home + QStringLiteral("/.var/app/com.valvesoftware.Steam/.local/share/Steam"),
        home + QStringLiteral("/.var/app/com.valvesoftware.Steam/data/Steam"),
    };
    for (const QString& steam : steamFolders) {
        candidates +=
            PrefixesUnder(steam + QStringLiteral("/steamapps/compatdata"), QStringLiteral("pfx"));
    }

    const QStringList managerFolders{
        home + QStringLiteral("/Games"),                          // Lutris
        home + QStringLiteral("/Games/Heroic/Prefixes"),          // Heroic
        home + QStringLiteral("/Games/Heroic/Prefixes/default"),  // Heroic, newer
        dataHome + QStringLiteral("/bottles/bottles"),            // Bottles
        home + QStringLiteral("/.var/app/com.usebottles.bottles/data/bottles/bottles"),
        home + QStringLiteral("/.PlayOnLinux/wineprefix"),  // PlayOnLinux
    };
    for (const QString& folder : managerFolders) {
        candidates += PrefixesUnder(folder);
    }

    // Each prefix once, however it was reached (~/.steam/steam is usually a
    // link to the Steam folder under the data folder).
    QStringList prefixes;
    QSet<QString> seen;
    for (const QString& candidate : candidates) {
        if (!IsPrefix(candidate)) {
            continue;
        }
        const QString canonical = QFileInfo(candidate).canonicalFilePath();
        if (seen.contains(canonical)) {
            continue;
        }
        seen.insert(canonical);
        prefixes.append(QDir::cleanPath(candidate));
    }
    return prefixes;
}

QString MapWindowsPath(const QString& prefix, const QString& windowsPath) {
    QString path = windowsPath.trimmed();
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    if (path.size() < 2 || path.at(1) != QLatin1Char(':') || !path.at(0).isLetter() ||
        path.at(0).unicode() > 127 || (path.size() > 2 && path.at(2) != QLatin1Char('\\'))) {
        return QString();
    }
    const QString letter = path.left(1).toLower();
    QString folder = prefix + QStringLiteral("/dosdevices/") + letter + QLatin1Char(':');
    if (!QFileInfo(folder).isDir()) {
        if (letter != QLatin1String("c") ||
            !QFileInfo(prefix + QStringLiteral("/drive_c")).isDir()) {
            return QString();
        }
        folder = prefix + QStringLiteral("/drive_c");
    }
    // The drive's real folder, so that the game's folder reads as it is on
    // disk rather than through the link.
    folder = QFileInfo(folder).canonicalFilePath();
    for (const QString& name : path.mid(3).split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        if (name == QLatin1String(".")) {
            continue;
        }
        if (name == QLatin1String("..")) {
            return QString();
        }
        folder = FindEntry(folder, name);
    }
    return QDir::cleanPath(folder);
}

QString WinePrefixOf(const QString& path) {
    QDir dir(QFileInfo(path).absolutePath());
    do {
        if (IsPrefix(dir.path()) &&
            (QFileInfo(dir.filePath(QStringLiteral("drive_c"))).isDir() ||
             QFileInfo(dir.filePath(QStringLiteral("dosdevices"))).isDir())) {
            return dir.path();
        }
    } while (dir.cdUp());
    return QString();
}

std::optional<WineGame> FindGameInWinePrefixes(const WineSearch& search) {
    if (search.reader == nullptr) {
        return std::nullopt;
    }
    for (const QString& prefix : search.prefixes) {
        for (const QString& key : GameRegistryKeysInPrefix()) {
            const std::optional<QString> windowsDir = search.reader->ReadString(
                prefix + QStringLiteral("/system.reg"), key, QLatin1String(kGameRegistryValue));
            if (!windowsDir) {
                continue;
            }
            const QString gameDir = MapWindowsPath(prefix, *windowsDir);
            if (gameDir.isEmpty()) {
                continue;
            }
            const QString exe = SearchFile(QLatin1String(kGameExecutable), {gameDir});
            if (!exe.isEmpty()) {
                return WineGame{prefix, gameDir, exe};
            }
        }
    }
    return std::nullopt;
}

}  // namespace gearloft
