#include "ui/help_file.h"

#include "app/app_state.h"
#include "app/debug_output.h"
#include "app/user_interaction.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace gearloft {

void OpenHelpFile(const AppState& state) {
    QString path = state.helpFilePath;
    if (path.isEmpty()) {
        const QFileInfo program(state.programPath);
        path = state.programPath.isEmpty()
                   ? QCoreApplication::applicationDirPath() + QStringLiteral("/gearloft.html")
                   : program.absolutePath() + QLatin1Char('/') + program.completeBaseName() +
                         QStringLiteral(".html");
    }
    if (!QFileInfo(path).isFile()) {
        state.ui->ShowMessage(QStringLiteral("ERROR: Cannot open the help file '%1'!").arg(path),
                              MessageIcon::Error);
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        DebugOutput(
            QStringLiteral("ERROR: no program opens '%1'\n").arg(path).toLocal8Bit().constData());
        state.ui->ShowMessage(
            QStringLiteral("ERROR: No program to show the help file was found!\nThe help file is "
                           "'%1'; open it with a web browser.")
                .arg(path),
            MessageIcon::Error);
    }
}

}  // namespace gearloft
