// The small rules of start-up: where the settings and help files live, the
// command-line switch and the splash screen's duration.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace gearloft {

// The program's full path with the extension of its file name replaced by
// `extension` (or added when the file name has none): /opt/x/gearloft gives
// /opt/x/gearloft.cfg. A "." in a folder name does not count.
QString SiblingFilePath(const QString& programPath, const QString& extension);

// The program's folder, without a trailing separator.
QString ProgramDir(const QString& programPath);

// True when the command line (without the program's name) holds "-nosplash"
// or "/nosplash" in any letter case, anywhere, even inside another word.
bool HasNoSplashSwitch(const QStringList& arguments);

// The splash screen's duration in milliseconds from the "Splash Screen"
// setting: taken as unsigned, above 10000 is 10000, below 500 is 0 (none);
// the switch makes it 0.
std::uint32_t SplashDuration(int setting, bool noSplashSwitch);

}  // namespace gearloft
