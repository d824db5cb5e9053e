// How a program is started: a native executable directly, a Windows program
// through Wine with the prefix it was installed into. The decision is made
// here, from the file's first bytes and the programs found on the path, so
// that it is the same for the game, for the program's restart and for tests.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace gearloft {

enum class ExecutableKind { Native, Windows, Unknown };

// Looks at the file's first bytes: an ELF image or a "#!" script with the
// executable bit is native, an "MZ" image is a Windows program.
ExecutableKind KindOfExecutable(const QString& path);

// What to start, as the caller knows it.
struct LaunchCommand {
    QString program;
    QStringList arguments;
    QString workingDir;  // empty keeps the current folder
    QString winePrefix;  // the Wine prefix a Windows program belongs to, if known
};

// What the system is asked to run.
struct ResolvedLaunch {
    QString executable;
    QStringList arguments;
    QString workingDir;
    QStringList environment;  // "NAME=value" entries added to the program's own
};

// Finds a program on the path; empty when there is none.
using ProgramFinder = std::function<QString(const QString& name)>;

// The path search of the running system, then the folder where a Debian
// system keeps Wine's loaders when only the wine64 package is installed.
QString FindOnPath(const QString& name);

// Turns a command into what the system runs: a native program as it stands,
// a Windows program as `wine <program> <arguments>` (wine64 when only that
// is installed) with WINEPREFIX set when the prefix is known. False with a
// sentence for the user in whyNot when it cannot be started here.
bool ResolveLaunch(const LaunchCommand& command, const ProgramFinder& findProgram,
                   ResolvedLaunch* resolved, QString* whyNot);

}  // namespace gearloft
