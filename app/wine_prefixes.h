// The game inside a Wine prefix. On Linux a player's copy of the game is
// usually a Windows program installed into a Wine prefix (plain Wine, a
// Steam compatibility prefix, or a game manager's), and its installer wrote
// the game's folder into the prefix's registry as a Windows path. This file
// lists the prefixes worth looking in, reads the key through a registry
// reader, and turns the Windows path into a Linux one through the prefix's
// drive links.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

namespace gearloft {

// Reads one string value from one of Wine's registry files. Wine owns the
// files while it runs: they are only read, never written.
class WineRegistryReader {
public:
    virtual ~WineRegistryReader() = default;
    // The REG_SZ value `valueName` ("" or "@" for the key's default value) of
    // the key `keyPath` (with single backslashes, relative to the file's
    // root), names compared without regard to letter case; nothing when the
    // file, the key or the value is missing or the value is not a string.
    virtual std::optional<QString> ReadString(const QString& registryFile, const QString& keyPath,
                                              const QString& valueName) const = 0;
};

// The prefixes to look in and the reader for their registries.
struct WineSearch {
    const WineRegistryReader* reader = nullptr;
    QStringList prefixes;
};

// The keys the game's installer writes, in the order they are tried: the
// plain key, then the one a 32-bit installer's key lands in inside a 64-bit
// prefix.
QStringList GameRegistryKeysInPrefix();

// The prefixes that exist (a folder holding system.reg), in the order they
// are tried, each once: $WINEPREFIX, ~/.wine, Steam's compatibility prefixes
// (steamapps/compatdata/*/pfx under the usual Steam folders), then the
// default prefix folders of the game managers (Lutris, Heroic, Bottles,
// PlayOnLinux). `environment` gives WINEPREFIX and XDG_DATA_HOME.
QStringList WinePrefixFolders(const QProcessEnvironment& environment, const QString& home);

// The Linux path of a Windows path inside a prefix: the drive letter through
// <prefix>/dosdevices/<letter>: (C: falls back to drive_c), then each
// further name found without regard to letter case. Empty when the path is
// not a drive path or the drive is not mapped. Names that do not exist are
// kept as written.
QString MapWindowsPath(const QString& prefix, const QString& windowsPath);

// The prefix a Linux path lies in: the nearest folder above it that holds
// system.reg and drive_c or dosdevices; empty when there is none.
QString WinePrefixOf(const QString& path);

struct WineGame {
    QString prefix;
    QString gameDir;  // Linux path, without a trailing separator
    QString gameExe;  // the game's executable in it
};

// The first prefix whose registry names a folder that holds the game's
// executable (found in any letter case).
std::optional<WineGame> FindGameInWinePrefixes(const WineSearch& search);

}  // namespace gearloft
