#include "app/game_location.h"

#include "app/user_interaction.h"

#include <QDir>
#include <QFileInfo>
#include <QtGlobal>

namespace gearloft {
namespace {

bool IsExistingFile(const QString& path) {
    const QFileInfo info(path);
    return !path.isEmpty() && info.exists() && !info.isDir();
}

// The last separator of either kind: folder names on this system may hold a
// "\", and a path written on another may use it.
qsizetype LastSeparator(const QString& path) {
    return std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
}

}  // namespace

QStringList DefaultSearchDirs(const QString& programDir) {
    QStringList dirs{programDir, QDir::currentPath()};
    const QByteArray path = qgetenv("PATH");
    for (const QString& dir : QString::fromLocal8Bit(path).split(QDir::listSeparator())) {
        // An empty PATH element stands for the current folder.
        dirs.append(dir.isEmpty() ? QDir::currentPath() : dir);
    }
    return dirs;
}

QString SearchFile(const QString& name, const QStringList& dirs) {
    for (const QString& dir : dirs) {
        if (dir.isEmpty()) {
            continue;
        }
        const QDir folder(dir);
        const QString exact = folder.filePath(name);
        if (IsExistingFile(exact)) {
            return exact;
        }
        const QStringList entries = folder.entryList(QDir::Files | QDir::Hidden, QDir::Name);
        for (const QString& entry : entries) {
            if (entry.compare(name, Qt::CaseInsensitive) == 0) {
                return folder.filePath(entry);
            }
        }
    }
    return QString();
}

bool IsGameExecutableName(const QString& path) {
    const QString name = path.mid(LastSeparator(path) + 1);
    return name.compare(QLatin1String(kGameExecutable), Qt::CaseInsensitive) == 0;
}

namespace {

enum class Source { Store, Elsewhere, Nowhere };

void Remember(RegistryStore& registry, const GameLocation& game) {
    // A failed write is ignored: the game is found again next time.
    registry.WriteRegistryString(RegistryRoot::LocalMachine, kGameRegistryKey, kGameRegistryValue,
                                 QFile::encodeName(game.strGameDir));
    registry.WriteRegistryString(RegistryRoot::LocalMachine, kGameRegistryKey, kGamePrefixValue,
                                 QFile::encodeName(game.winePrefix));
}

void EndWithSeparator(QString& dir) {
    if (!dir.endsWith(QLatin1Char('\\')) && !dir.endsWith(QLatin1Char('/'))) {
        dir.append(QLatin1Char('/'));
    }
}

// strGameDir from strGameExe: the text before its last separator (the root
// folder keeps its one separator rather than becoming empty). False when the
// path has no separator.
bool DirOfExe(GameLocation& game) {
    const qsizetype separator = LastSeparator(game.strGameExe);
    if (separator < 0) {
        return false;
    }
    game.strGameDir = separator == 0 ? game.strGameExe.left(1) : game.strGameExe.left(separator);
    return true;
}

Source Locate(GameLocation& game, RegistryStore& registry, const WineSearch& wine,
              const QStringList& defaultSearchDirs) {
    game = GameLocation();
    game.strGameDir = QFile::decodeName(registry.ReadRegistryString(
        RegistryRoot::LocalMachine, kGameRegistryKey, kGameRegistryValue, QByteArray()));
    if (!game.strGameDir.isEmpty()) {
        game.strGameExe = SearchFile(QLatin1String(kGameExecutable), {game.strGameDir});
    }
    if (IsExistingFile(game.strGameExe)) {
        game.winePrefix = QFile::decodeName(registry.ReadRegistryString(
            RegistryRoot::LocalMachine, kGameRegistryKey, kGamePrefixValue, QByteArray()));
        if (game.winePrefix.isEmpty() || !QFileInfo(game.winePrefix).isDir()) {
            game.winePrefix = WinePrefixOf(game.strGameExe);
        }
        return Source::Store;
    }

    if (const std::optional<WineGame> found = FindGameInWinePrefixes(wine)) {
        game.strGameDir = found->gameDir;
        game.strGameExe = found->gameExe;
        game.winePrefix = found->prefix;
        return Source::Elsewhere;
    }

    game.strGameExe = SearchFile(QLatin1String(kGameExecutable), defaultSearchDirs);
    if (IsExistingFile(game.strGameExe) && DirOfExe(game)) {
        game.winePrefix = WinePrefixOf(game.strGameExe);
        return Source::Elsewhere;
    }
    return Source::Nowhere;
}

}  // namespace

bool LocateGame(GameLocation& game, RegistryStore& registry, const WineSearch& wine,
                const QStringList& defaultSearchDirs) {
    const Source source = Locate(game, registry, wine, defaultSearchDirs);
    if (source == Source::Nowhere) {
        return false;
    }
    if (source == Source::Elsewhere) {
        Remember(registry, game);
    }
    EndWithSeparator(game.strGameDir);
    return true;
}

bool FindGame(GameLocation& game, GameSearch& search, const WineSearch& wine) {
    if (LocateGame(game, search.registry, wine, search.defaultSearchDirs)) {
        return true;
    }
    search.ui.ShowMessage(QStringLiteral("ERROR: Cannot find Qelmarch!\n"
                                         "Please specify the Path to QEL.EXE in the following "
                                         "Dialog."),
                          MessageIcon::Information);
    UserInteraction& ui = search.ui;
    game = GameLocation();
    game.strGameExe = search.fileDialog.ChooseGame([&ui](const QString& path) {
        if (IsGameExecutableName(path)) {
            return true;
        }
        ui.Beep();
        return false;
    });
    if (game.strGameExe.isEmpty() || !DirOfExe(game)) {
        return false;
    }
    game.winePrefix = WinePrefixOf(game.strGameExe);
    Remember(search.registry, game);
    EndWithSeparator(game.strGameDir);
    return true;
}

}  // namespace gearloft
