#include "ui/gearloft_app.h"

#include "app/debug_output.h"
#include "app/game_location.h"
#include "app/settings_keys.h"
#include "app/start_up_rules.h"
#include "app/user_interaction.h"
#include "ui/skin_description.h"
#include "ui/skin_loader.h"
#include "ui/splash_dialog.h"

#include <QApplication>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

namespace gearloft {

GearloftApp::GearloftApp(AppState& state, StartUpServices services)
    : m_state(state), m_services(std::move(services)) {
    m_state.ui = m_services.ui;
}

GearloftApp::~GearloftApp() = default;

int GearloftApp::Run() {
    const bool ranMainDialog = StartUp();
    ExitSteps();
    return ranMainDialog ? 0 : 1;
}

bool GearloftApp::StartUp() {
    // The settings and the help file live beside the program when it runs
    // from its build folder, in the user's and the documentation folders
    // when it is installed.
    m_state.paths = m_services.paths.value_or(ResolveAppPaths(
        m_state.programPath, QProcessEnvironment::systemEnvironment(), QDir::homePath()));
    m_state.helpFilePath = m_state.paths.helpFile;
    const QString settingsPath = m_state.paths.settingsFile;
    // A missing settings file is an empty store (the first run takes the
    // defaults); it is created at exit. One that is there but cannot be read
    // is left as it is: the run goes on with the defaults and the exit steps
    // do not write it, so the user's settings survive the fault.
    if (!m_state.settings.Load(settingsPath) && !m_state.settings.readError().isEmpty() &&
        !QFileInfo(settingsPath).isDir()) {
        m_keepSettingsFile = true;
        DebugOutput(QStringLiteral("ERROR: cannot read the settings file '%1': %2\n")
                        .arg(settingsPath, m_state.settings.readError())
                        .toLocal8Bit()
                        .constData());
        m_services.ui->ShowMessage(
            QStringLiteral("ERROR: Cannot read the settings file '%1' (%2)!\nGearloft runs with "
                           "its default settings and leaves the file as it is; changes to the "
                           "settings made in this run are not saved.")
                .arg(QDir::toNativeSeparators(settingsPath), m_state.settings.readError()),
            MessageIcon::Error);
    }

    const QString programDir = ProgramDir(m_state.programPath);
    const QStringList candidates =
        m_services.libraryCandidates.value_or(TesseraCandidates(programDir));
    m_state.tessera = BindTessera(m_tessera, candidates, *m_services.ui);
    if (!m_state.tessera) {
        return false;
    }

    GameSearch search{*m_services.registry, *m_services.fileDialog, *m_services.ui,
                      m_services.gameSearchDirs.value_or(DefaultSearchDirs(programDir))};
    if (!FindGame(m_state.game, search, m_services.wine)) {
        return false;
    }

    // Relative names that follow (the skin and its files) are resolved in
    // the program's folder.
    QDir::setCurrent(programDir);
    // Skin descriptions are listed from these folders, in this order.
    if (m_state.skinFolders.isEmpty()) {
        m_state.skinFolders = m_state.paths.skinFolders.isEmpty() ? QStringList{programDir}
                                                                  : m_state.paths.skinFolders;
    }

    m_state.splashDuration =
        SplashDuration(settings::Read(m_state.settings, settings::kSplashScreen),
                       HasNoSplashSwitch(m_services.arguments));
    if (m_state.splashDuration != 0) {
        if (m_services.runSplash) {
            m_services.runSplash(m_state);
        } else {
            RunSplashDialog(m_state);
        }
    }

    const QByteArray skin =
        m_state.settings.GetString(settings::kSection, settings::kSkin, QByteArray());
    const bool skinned =
        !skin.isEmpty() && m_services.runSkinnedMainDialog &&
        LoadSkin(m_state, FindSkinFile(m_state.skinFolders, QString::fromLocal8Bit(skin)));
    int result = 0;
    if (skinned) {
        // The skin's colours for every dialog of the program.
        if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
            QApplication::setPalette(SkinPalette(m_state.skinBackColor, m_state.skinTextColor));
        }
        result = m_services.runSkinnedMainDialog(m_state);
    } else {
        result = m_services.runMainDialog(m_state);
    }

    if (result == 1) {
        LaunchGame();
    }
    return true;
}

void GearloftApp::LaunchGame() {
    QStringList arguments;
    if (settings::Read(m_state.settings, settings::kStartLevel) != 0) {
        arguments = QProcess::splitCommand(m_state.strLaunchParameters);
    }
    QString whyNot;
    if (!m_services.launcher->Launch(
            LaunchCommand{m_state.game.strGameExe, arguments, m_state.game.strGameDir,
                          m_state.game.winePrefix},
            &whyNot)) {
        m_services.ui->ShowMessage(whyNot, MessageIcon::Error);
    }
}

void GearloftApp::ExitSteps() {
    // The library unloads here, unless something still holds a tree of it.
    m_state.tessera.reset();
    m_tessera.Unbind();
    ReleaseSkin(m_state);

    // The settings folder of an installed program may not exist yet.
    if (!m_keepSettingsFile && !m_state.settings.path().isEmpty()) {
        QDir().mkpath(QFileInfo(m_state.settings.path()).absolutePath());
    }
    if (m_keepSettingsFile) {
        // Said at start-up; the file stays as the user left it.
    } else if (!m_state.settings.Save()) {
        DebugOutput(QStringLiteral("ERROR: cannot save the settings file '%1'\n")
                        .arg(m_state.settings.path())
                        .toLocal8Bit()
                        .constData());
        m_services.ui->ShowMessage(QStringLiteral("ERROR: Failed to save the settings to '%1'!")
                                       .arg(m_state.settings.path()),
                                   MessageIcon::Error);
    }

    if (m_state.restartRequested) {
        QString whyNot;
        if (!m_services.launcher->Launch(m_state.programPath, {QStringLiteral("-nosplash")},
                                         QString(), &whyNot)) {
            m_services.ui->ShowMessage(whyNot, MessageIcon::Error);
        }
    }
}

}  // namespace gearloft
