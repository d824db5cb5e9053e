#include "tools/cli/game_finder.h"

#include "app/game_location.h"
#include "platform/file_registry_store.h"
#include "platform/wine_registry_file.h"

#include <QDir>
#include <QFileInfo>

namespace gearloft::cli {
namespace {

class ReadOnlyRegistry final : public RegistryStore {
public:
    explicit ReadOnlyRegistry(RegistryStore& store) : m_store(store) {}
    QByteArray ReadRegistryString(RegistryRoot root, const QByteArray& keyPath,
                                  const QByteArray& valueName,
                                  const QByteArray& defaultValue) override {
        return m_store.ReadRegistryString(root, keyPath, valueName, defaultValue);
    }
    bool WriteRegistryString(RegistryRoot, const QByteArray&, const QByteArray&,
                             const QByteArray&) override {
        return true;
    }

private:
    RegistryStore& m_store;
};

}  // namespace

bool FindGameQuietly(const QString& programDir, GameLocation* game) {
    FileRegistryStore store(FileRegistryStore::DefaultFolder());
    // A command-line run never changes where the dialog looks for the game.
    ReadOnlyRegistry registry(store);
    WineRegistryFile wineRegistry;
    return LocateGame(*game, registry, UsersWineSearch(wineRegistry),
                      DefaultSearchDirs(programDir));
}

bool GameInFolder(const QString& dir, GameLocation* game, QString* error) {
    const QFileInfo info(dir);
    if (!info.isDir()) {
        *error = QStringLiteral("%1: not a folder").arg(dir);
        return false;
    }
    game->strGameDir = dir;
    if (!game->strGameDir.endsWith(QLatin1Char('/'))) {
        game->strGameDir += QLatin1Char('/');
    }
    game->strGameExe = SearchFile(QLatin1String(kGameExecutable), {game->strGameDir});
    return true;
}

}  // namespace gearloft::cli
