#include "platform/process_launcher.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace gearloft {

bool ProcessLauncher::Launch(const LaunchCommand& command, QString* whyNot) {
    ResolvedLaunch resolved;
    if (!ResolveLaunch(command, m_findProgram, &resolved, whyNot)) {
        return false;
    }
    QProcess process;
    process.setProgram(resolved.executable);
    process.setArguments(resolved.arguments);
    process.setWorkingDirectory(resolved.workingDir);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : resolved.environment) {
        const qsizetype equals = entry.indexOf(QLatin1Char('='));
        environment.insert(entry.left(equals), entry.mid(equals + 1));
    }
    process.setProcessEnvironment(environment);
    if (!process.startDetached()) {
        *whyNot = QStringLiteral("ERROR: Cannot start '%1'!\nThe system refused to start it.")
                      .arg(command.program);
        return false;
    }
    return true;
}

}  // namespace gearloft
