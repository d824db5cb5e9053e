#include "platform/process_launcher.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace gearloft {

namespace {

QByteArray HeadOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(4) : QByteArray();
}

// An ELF image or a "#!" script, whatever its permission bits.
bool IsNativeImage(const QString& path) {
    const QByteArray head = HeadOf(path);
    return head ==
               "\x7f"
               "ELF" ||
           head.startsWith("#!");
}

}  // namespace

ExecutableKind KindOfExecutable(const QString& path) {
    const QByteArray head = HeadOf(path);
    if (IsNativeImage(path) && QFileInfo(path).isExecutable()) {
        return ExecutableKind::Native;
    }
    if (head.startsWith("MZ")) {
        return ExecutableKind::Windows;
    }
    return ExecutableKind::Unknown;
}

bool ProcessLauncher::Launch(const QString& program, const QStringList& arguments,
                             const QString& workingDir, QString* whyNot) {
    const QString cannotStart = QStringLiteral("ERROR: Cannot start '%1'!\n").arg(program);
    // What is wrong with the path itself comes first: a game removed or
    // renamed since start-up, or a copy that lost its executable bit, is
    // told as such rather than as a file of the wrong kind.
    const QFileInfo file(program);
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
    QString executable = program;
    QStringList args = arguments;
    switch (KindOfExecutable(program)) {
        case ExecutableKind::Native:
            break;
        case ExecutableKind::Windows: {
            const QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
            if (wine.isEmpty()) {
                *whyNot = cannotStart +
                          QStringLiteral("It is a Windows program; install Wine to run it.");
                return false;
            }
            executable = wine;
            args.prepend(program);
            break;
        }
        case ExecutableKind::Unknown:
            if (IsNativeImage(program) && !file.isExecutable()) {
                *whyNot = cannotStart + QStringLiteral(
                                            "The file is not marked as executable "
                                            "(chmod +x makes it so).");
            } else {
                *whyNot =
                    cannotStart + QStringLiteral("It is not a program that this system can run.");
            }
            return false;
    }
    if (!QProcess::startDetached(executable, args, workingDir)) {
        *whyNot = cannotStart + QStringLiteral("The system refused to start it.");
        return false;
    }
    return true;
}

}  // namespace gearloft
