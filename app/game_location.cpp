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

bool FindGame(GameLocation& game, GameSearch& search) {
    game.strGameDir = QFile::decodeName(search.registry.ReadRegistryString(
        RegistryRoot::LocalMachine, kGameRegistryKey, kGameRegistryValue, QByteArray()));
    game.strGameExe.clear();
    bool foundBySearch = false;

    if (!game.strGameDir.isEmpty()) {
        game.strGameExe = SearchFile(QLatin1String(kGameExecutable), {game.strGameDir});
    }
    if (!IsExistingFile(game.strGameExe)) {
        game.strGameExe = SearchFile(QLatin1String(kGameExecutable), search.defaultSearchDirs);
        foundBySearch = true;
    }

    const bool useRegistryDir = IsExistingFile(game.strGameExe) && !foundBySearch;
    if (!useRegistryDir) {
        if (!IsExistingFile(game.strGameExe)) {
            search.ui.ShowMessage(
                QStringLiteral("ERROR: Cannot find Qelmarch!\n"
                               "Please specify the Path to QEL.EXE in the following Dialog."),
                MessageIcon::Information);
            UserInteraction& ui = search.ui;
            game.strGameExe = search.fileDialog.ChooseGame([&ui](const QString& path) {
                if (IsGameExecutableName(path)) {
                    return true;
                }
                ui.Beep();
                return false;
            });
            if (game.strGameExe.isEmpty()) {
                return false;
            }
        }

        const qsizetype separator = LastSeparator(game.strGameExe);
        if (separator < 0) {
            return false;
        }
        // The root folder keeps its one separator rather than becoming empty.
        game.strGameDir =
            separator == 0 ? game.strGameExe.left(1) : game.strGameExe.left(separator);
        search.registry.WriteRegistryString(RegistryRoot::LocalMachine, kGameRegistryKey,
                                            kGameRegistryValue, QFile::encodeName(game.strGameDir));
    }

    if (!game.strGameDir.endsWith(QLatin1Char('\\')) &&
        !game.strGameDir.endsWith(QLatin1Char('/'))) {
        game.strGameDir.append(QLatin1Char('/'));
    }
    return true;
}

}  // namespace gearloft
