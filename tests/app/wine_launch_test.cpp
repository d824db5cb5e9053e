// The real launch of a Windows game: a stand-in Qel.exe built for Windows is
// started through Wine in a prefix of its own, and reports the arguments and
// the folder it saw. Registered only where Wine and a Windows compiler exist.
#include "platform/process_launcher.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace gearloft {
namespace {

TEST(WineLaunch, TheGameSeesItsArgumentsAndFolderAndRunsInItsPrefix) {
    QTemporaryDir root;
    const QString game = root.filePath(QStringLiteral("game"));
    const QString prefix = root.filePath(QStringLiteral("prefix"));
    ASSERT_TRUE(QDir().mkpath(game));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QEL_STANDIN), game + QStringLiteral("/Qel.exe")));

    ProcessLauncher launcher;
    QString whyNot;
    ASSERT_TRUE(launcher.Launch(LaunchCommand{game + QStringLiteral("/Qel.exe"),
                                              {QStringLiteral("-n"), QStringLiteral("c1l01")},
                                              game + QLatin1Char('/'),
                                              prefix},
                                &whyNot))
        << whyNot.toStdString();

    // A new prefix is set up on the first start, which takes a while.
    const QString seen = game + QStringLiteral("/qel-seen.txt");
    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(seen) && timer.elapsed() < 180000) {
        QThread::msleep(200);
    }
    QFile file(seen);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "the stand-in did not start";
    const QStringList lines = QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'));
    // Wine shows the Linux folder on its drive Z:.
    const QString windowsFolder =
        QStringLiteral("Z:") + QString(game).replace(QLatin1Char('/'), QLatin1Char('\\'));
    EXPECT_EQ(lines, (QStringList{QStringLiteral("-n"), QStringLiteral("c1l01"), windowsFolder,
                                  QString()}));
    // WINEPREFIX reached Wine: the prefix was set up where we said.
    EXPECT_TRUE(QFileInfo(prefix + QStringLiteral("/drive_c")).isDir());

    QProcess wineserver;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WINEPREFIX"), prefix);
    wineserver.setProcessEnvironment(environment);
    wineserver.start(QStringLiteral(WINESERVER), {QStringLiteral("-k")});
    wineserver.waitForFinished(30000);
}

}  // namespace
}  // namespace gearloft
