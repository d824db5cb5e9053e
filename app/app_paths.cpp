#include "app/app_paths.h"

#include "app/start_up_rules.h"

#include <QDir>
#include <QFileInfo>

#ifndef GEARLOFT_BIN_TO_SKINS
#define GEARLOFT_BIN_TO_SKINS "../lib/gearloft/skins"
#endif
#ifndef GEARLOFT_BIN_TO_DOC
#define GEARLOFT_BIN_TO_DOC "../share/doc/gearloft"
#endif

namespace gearloft {
namespace {

// An XDG base folder: the variable when it holds an absolute path, the
// fallback under the home folder otherwise.
QString BaseFolder(const QProcessEnvironment& environment, const QString& variable,
                   const QString& home, const QString& fallback) {
    const QString value = environment.value(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) {
        return QDir::cleanPath(value);
    }
    return QDir::cleanPath(home + QLatin1Char('/') + fallback);
}

}  // namespace

QString InstalledSkinsDir(const QString& programDir) {
    return QDir::cleanPath(programDir + QLatin1Char('/') + QLatin1String(GEARLOFT_BIN_TO_SKINS));
}

QString InstalledDocDir(const QString& programDir) {
    return QDir::cleanPath(programDir + QLatin1Char('/') + QLatin1String(GEARLOFT_BIN_TO_DOC));
}

AppPaths ResolveAppPaths(const QString& programPath, const QProcessEnvironment& environment,
                         const QString& home) {
    const QString programDir = ProgramDir(programPath);
    const QString programName = QFileInfo(programPath).completeBaseName();
    AppPaths paths;
    paths.installed = QFileInfo(InstalledSkinsDir(programDir)).isDir();
    if (!paths.installed) {
        paths.settingsFile = SiblingFilePath(programPath, QStringLiteral("cfg"));
        paths.levelsCfg = programDir + QStringLiteral("/levels.cfg");
        paths.skinFolders = {programDir};
        paths.helpFile = SiblingFilePath(programPath, QStringLiteral("html"));
        return paths;
    }

    const QString config = BaseFolder(environment, QStringLiteral("XDG_CONFIG_HOME"), home,
                                      QStringLiteral(".config")) +
                           QStringLiteral("/Gearloft");
    const QString data = BaseFolder(environment, QStringLiteral("XDG_DATA_HOME"), home,
                                    QStringLiteral(".local/share"));
    paths.settingsFile = config + QLatin1Char('/') + programName + QStringLiteral(".cfg");
    paths.levelsCfg = config + QStringLiteral("/levels.cfg");
    paths.skinFolders = {InstalledSkinsDir(programDir), data + QStringLiteral("/gearloft/skins")};
    paths.helpFile =
        InstalledDocDir(programDir) + QLatin1Char('/') + programName + QStringLiteral(".html");
    return paths;
}

QString FindSkinFile(const QStringList& skinFolders, const QString& name) {
    if (name.isEmpty() || QDir::isAbsolutePath(name) || skinFolders.isEmpty()) {
        return name;
    }
    for (const QString& folder : skinFolders) {
        const QString candidate = QDir(folder).filePath(name);
        if (QFileInfo(candidate).isFile()) {
            return candidate;
        }
    }
    return QDir(skinFolders.first()).filePath(name);
}

}  // namespace gearloft
