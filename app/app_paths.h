// Where the program keeps its settings, reads levels.cfg, finds skins and its
// help file. Run from the folder it was built in, everything lies beside the
// program, as it always has. Installed (the program's folder is then another
// user's and read-only), the settings and levels.cfg live in the user's
// configuration folder, skins come from the installed skins folder and the
// user's own data folder, and the help file from the documentation folder.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace gearloft {

struct AppPaths {
    bool installed = false;
    QString settingsFile;     // <program>.cfg, read at start, written at exit
    QString levelsCfg;        // the player's own level names and stems
    QStringList skinFolders;  // searched in order for *.skn files
    QString helpFile;         // <program>.html
};

// The installed layout relative to the programs' folder (set by the build
// from the install folders; "../lib/gearloft/skins" and
// "../share/doc/gearloft" by default). The skins folder holds the shipped
// skins' modules beside their descriptions, so it lies with the libraries.
QString InstalledSkinsDir(const QString& programDir);
QString InstalledDocDir(const QString& programDir);

// Decides from the program's own path which layout applies: installed when
// the installed skins folder (<libdir>/gearloft/skins) lies beside the
// program's folder, the build folder's otherwise. `environment` gives
// XDG_CONFIG_HOME and XDG_DATA_HOME (relative values are ignored, as the
// base directory rules say) and `home` the user's home folder.
AppPaths ResolveAppPaths(const QString& programPath, const QProcessEnvironment& environment,
                         const QString& home);

// The skin description `name` as the "Skin" setting names it: an absolute
// name as it stands, a relative one in the first skin folder that holds it
// (the first folder when none does, so the failure names a real place).
QString FindSkinFile(const QStringList& skinFolders, const QString& name);

}  // namespace gearloft
