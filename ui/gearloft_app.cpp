#include "ui/gearloft_app.h"

#include "app/debug_output.h"
#include "app/game_location.h"
#include "app/settings_keys.h"
#include "app/start_up_rules.h"
#include "app/user_interaction.h"
#include "ui/splash_dialog.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

namespace gearloft {
namespace {

// Loads the skin named in the settings. Skin description files and skin
// modules are not part of this build yet, so every skin falls back to the
// plain dialog; an empty name is the plain look by choice.
bool LoadSkin(AppState& /*state*/, const QByteArray& skinName) {
    if (skinName.isEmpty()) {
        return false;
    }
    DebugOutput("WARNING: skins are not available in this build; using the plain dialog.\n");
    return false;
}

}  // namespace

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
    // A missing settings file is an empty store (the first run takes the
    // defaults); it is created at exit.
    m_state.settings.Load(m_state.paths.settingsFile);
    // Load keeps the path even when there is no file yet, so that the exit
    // steps write it there.

    const QString programDir = ProgramDir(m_state.programPath);
    const QStringList candidates =
        m_services.libraryCandidates.value_or(TesseraCandidates(programDir));
    if (!m_tessera.Bind(candidates, m_state.tessera)) {
        DebugOutput(
            QStringLiteral("ERROR: %1\n").arg(m_tessera.errorString()).toLocal8Bit().constData());
        m_services.ui->ShowMessage(
            QStringLiteral("ERROR: Failed to load '%1'!").arg(m_tessera.triedFileName()),
            MessageIcon::Information);
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
    // A skin that loads will run the skinned main dialog once skins are part
    // of the program; until then LoadSkin never succeeds and says so, and the
    // plain dialog runs.
    const bool skinned = LoadSkin(m_state, skin);
    Q_ASSERT(!skinned);
    Q_UNUSED(skinned);
    const int result = m_services.runMainDialog(m_state);

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
    m_tessera.Unbind();

    // The settings folder of an installed program may not exist yet.
    if (!m_state.settings.path().isEmpty()) {
        QDir().mkpath(QFileInfo(m_state.settings.path()).absolutePath());
    }
    if (!m_state.settings.Save()) {
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
