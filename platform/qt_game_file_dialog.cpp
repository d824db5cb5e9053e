#include "platform/qt_game_file_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

namespace gearloft {

GameExecutableDialog::GameExecutableDialog(std::function<bool(const QString&)> acceptName,
                                           QWidget* parent)
    : QFileDialog(parent, QStringLiteral("Gearloft")), m_acceptName(std::move(acceptName)) {
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFile);
    setAcceptMode(QFileDialog::AcceptOpen);
    setNameFilters({QStringLiteral("Qelmarch (Qel.exe)"), QStringLiteral("Program Files (*.exe)"),
                    QStringLiteral("All Files (*)")});
    selectFile(QStringLiteral("Qel.exe"));
    setSizeGripEnabled(true);
    setWindowIcon(QApplication::windowIcon());
}

void GameExecutableDialog::accept() {
    const QStringList files = selectedFiles();
    if (files.isEmpty()) {
        return;
    }
    const QFileInfo chosen(files.first());
    // Folders open and missing files are refused as the dialog always does;
    // an existing file must have the game's name.
    if (chosen.isFile() && !m_acceptName(chosen.absoluteFilePath())) {
        return;
    }
    QFileDialog::accept();
}

QString QtGameFileDialog::ChooseGame(const std::function<bool(const QString& path)>& accept) {
    GameExecutableDialog dialog(accept);
    if (dialog.exec() != QDialog::Accepted) {
        return QString();
    }
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : QFileInfo(files.first()).absoluteFilePath();
}

}  // namespace gearloft
