#include "app/start_up_rules.h"

#include <QFileInfo>

namespace gearloft {

QString SiblingFilePath(const QString& programPath, const QString& extension) {
    const qsizetype nameStart = programPath.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = programPath.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot >= nameStart ? programPath.left(dot) : programPath;
    return stem + QLatin1Char('.') + extension;
}

QString ProgramDir(const QString& programPath) {
    return QFileInfo(programPath).absolutePath();
}

bool HasNoSplashSwitch(const QStringList& arguments) {
    const QString line = arguments.join(QLatin1Char(' ')).toLower();
    return line.contains(QLatin1String("-nosplash")) || line.contains(QLatin1String("/nosplash"));
}

std::uint32_t SplashDuration(int setting, bool noSplashSwitch) {
    if (noSplashSwitch) {
        return 0;
    }
    auto duration = static_cast<std::uint32_t>(setting);
    if (duration > 10000) {
        duration = 10000;
    }
    if (duration < 500) {
        duration = 0;
    }
    return duration;
}

}  // namespace gearloft
