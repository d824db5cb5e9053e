#include "app/game_launch.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace gearloft {

namespace {

QByteArray HeadOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(4) : QByteArray();
}

// An ELF image or a "#!" script, whatever its permission bits.
bool IsNativeImage(const QByteArray& head) {
    return head ==
               "\x7f"
               "ELF" ||
           head.startsWith("#!");
}

}  // namespace

ExecutableKind KindOfExecutable(const QString& path) {
    const QByteArray head = HeadOf(path);
    if (IsNativeImage(head) && QFileInfo(path).isExecutable()) {
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
    // What is wrong with the path itself comes first: a game removed or
    // renamed since start-up, or a copy that lost its executable bit, is
    // told as such rather than as a file of the wrong kind.
    const QFileInfo file(command.program);
    if (!file.exists()) {
        *whyNot = cannotStart + QStringLiteral(
                                    "The file does not exist (it may have been moved "
                                    "or deleted).");
        return false;
    }
    if (file.isDir()) {
        *whyNot = cannotStart + QStringLiteral("It is a folder, not a program.");
        return false;
    }
    if (!file.isReadable()) {
        *whyNot = cannotStart + QStringLiteral("The file cannot be read.");
        return false;
    }
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
    if (IsNativeImage(HeadOf(command.program)) && !file.isExecutable()) {
        *whyNot = cannotStart + QStringLiteral(
                                    "The file is not marked as executable "
                                    "(chmod +x makes it so).");
    } else {
        *whyNot = cannotStart + QStringLiteral("It is not a program that this system can run.");
    }
    return false;
}

}  // namespace gearloft
