#include "platform/process_launcher.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
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

bool ProcessLauncher::Launch(const QString& program, const QStringList& arguments,
                             const QString& workingDir, QString* whyNot) {
    const QString cannotStart = QStringLiteral("ERROR: Cannot start '%1'!\n").arg(program);
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
            *whyNot = cannotStart + QStringLiteral("It is not a program that this system can run.");
            return false;
    }
    if (!QProcess::startDetached(executable, args, workingDir)) {
        *whyNot = cannotStart + QStringLiteral("The system refused to start it.");
        return false;
    }
    return true;
}

}  // namespace gearloft
