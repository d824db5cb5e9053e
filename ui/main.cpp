// Gearloft: the level equipment editor for Qelmarch.
#include "app/app_state.h"
#include "platform/desktop_url_opener.h"
#include "platform/file_registry_store.h"
#include "platform/message_box_interaction.h"
#include "platform/process_launcher.h"
#include "platform/qt_game_file_dialog.h"
#include "platform/termination_signal.h"
#include "platform/wine_registry_file.h"
#include "ui/gearloft_app.h"
#include "ui/main_dialog.h"
#include "ui/resource_module.h"
#include "ui/skinned_main_dialog.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Gearloft"));
    // The program's icon for every window it opens, the game file dialog included.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/gearloft/icon/128.png")));

    gearloft::CloseWindowsOnTermination();

    gearloft::AppState state;
    state.programPath = QCoreApplication::applicationFilePath();

    gearloft::MessageBoxInteraction ui;
    gearloft::FileRegistryStore registry(gearloft::FileRegistryStore::DefaultFolder());
    gearloft::QtGameFileDialog fileDialog;
    gearloft::ProcessLauncher launcher;
    gearloft::DesktopUrlOpener urlOpener;
    state.urlOpener = &urlOpener;
    gearloft::WineRegistryFile wineRegistry;

    gearloft::StartUpServices services;
    services.ui = &ui;
    services.registry = &registry;
    services.fileDialog = &fileDialog;
    services.launcher = &launcher;
    services.arguments = QCoreApplication::arguments().mid(1);
    services.wine.reader = &wineRegistry;
    services.wine.prefixes =
        gearloft::WinePrefixFolders(QProcessEnvironment::systemEnvironment(), QDir::homePath());
    services.runMainDialog = [](gearloft::AppState& appState) {
        gearloft::MainDialog dialog(appState);
        return dialog.exec();
    };
    services.runSkinnedMainDialog = [](gearloft::AppState& appState) {
        gearloft::SkinnedMainDialog dialog(
            appState, gearloft::ResourceModule::Skin(appState.skinModule.get()));
        return dialog.exec();
    };

    gearloft::GearloftApp app(state, std::move(services));
    return app.Run();
}
