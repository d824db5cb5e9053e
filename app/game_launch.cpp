#include "app/game_launch.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace gearloft {

ExecutableKind KindOfExecutable(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return ExecutableKind::Unknown;
    }
    const QByteArray head = file.read(4);
    const bool executable = QFileInfo(path).isExecutable();
    if (executable && (head == "\x7f"
                               "ELF" ||
                       head.startsWith("#!"))) {
        return ExecutableKind::Native;
    }
    if (head.startsWith("MZ")) {
        return ExecutableKind::Windows;
    }
    return ExecutableKind::Unknown;
}

QString FindOnPath(const QString& name) {
    const QString found = QStandardPaths::findExecutable(name);
    if (!found.isEmpty()) {
        return found;
    }
    // Debian's wine64 package alone puts its loader here, not on the path.
    return QStandardPaths::findExecutable(name, {QStringLiteral("/usr/lib/wine")});
}

bool ResolveLaunch(const LaunchCommand& command, const ProgramFinder& findProgram,
                   ResolvedLaunch* resolved, QString* whyNot) {
    const QString cannotStart = QStringLiteral("ERROR: Cannot start '%1'!\n").arg(command.program);
    *resolved = ResolvedLaunch{command.program, command.arguments, command.workingDir, {}};
    switch (KindOfExecutable(command.program)) {
        case ExecutableKind::Native:
            return true;
        case ExecutableKind::Windows: {
            // "wine" picks the right loader for the program; a machine with
            // only the 64-bit loader installed has "wine64" alone.
            QString wine = findProgram(QStringLiteral("wine"));
            if (wine.isEmpty()) {
                wine = findProgram(QStringLiteral("wine64"));
            }
            if (wine.isEmpty()) {
                *whyNot = cannotStart + QStringLiteral(
                                            "It is a Windows program, and Wine is not installed: "
                                            "install the package \"wine\" to run it.");
                return false;
            }
            resolved->executable = wine;
            resolved->arguments.prepend(command.program);
            if (!command.winePrefix.isEmpty()) {
                resolved->environment.append(QStringLiteral("WINEPREFIX=") + command.winePrefix);
            }
            return true;
        }
        case ExecutableKind::Unknown:
            break;
    }
    *whyNot = cannotStart + QStringLiteral("It is not a program that this system can run.");
    return false;
}

}  // namespace gearloft
