// The small rules of start-up: file names beside the program, the command
// line switch and the splash screen's duration.
#include "app/start_up_rules.h"

#include <gtest/gtest.h>

namespace gearloft {
namespace {

TEST(StartUpRules, SplashDurationFromSettingAndSwitch) {
    struct Case {
        int setting;
        QStringList arguments;
        std::uint32_t expected;
    } const cases[] = {
        {2000, {}, 2000},
        {499, {}, 0},
        {500, {}, 500},
        {10000, {}, 10000},
        {10001, {}, 10000},
        {20000, {}, 10000},
        {-1, {}, 10000},
        {0, {}, 0},
        {2000, {QStringLiteral("-NoSplash")}, 0},
        {2000, {QStringLiteral("x/nosplashy")}, 0},
        {2000, {QStringLiteral("level"), QStringLiteral("/NOSPLASH")}, 0},
        {2000, {QStringLiteral("-nosplas")}, 2000},
        {2000, {QStringLiteral("nosplash")}, 2000},
        {2000, {QStringLiteral("-no"), QStringLiteral("splash")}, 2000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplashDuration(c.setting, HasNoSplashSwitch(c.arguments)), c.expected)
            << c.setting << " " << c.arguments.join(QLatin1Char(' ')).toStdString();
    }
}

TEST(StartUpRules, FilesBesideTheProgram) {
    struct Case {
        const char* program;
        const char* expected;
    } const cases[] = {
        {"/opt/gearloft/bin/gearloft", "/opt/gearloft/bin/gearloft.cfg"},
        {"/opt/gear.loft/bin/gearloft", "/opt/gear.loft/bin/gearloft.cfg"},
        {"/opt/bin/Gearloft.exe", "/opt/bin/Gearloft.cfg"},
        {"/opt/bin/gear.loft.bin", "/opt/bin/gear.loft.cfg"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SiblingFilePath(QString::fromLatin1(c.program), QStringLiteral("cfg")),
                  QString::fromLatin1(c.expected));
    }
    EXPECT_EQ(SiblingFilePath(QStringLiteral("/opt/bin/gearloft"), QStringLiteral("html")),
              QStringLiteral("/opt/bin/gearloft.html"));
    EXPECT_EQ(ProgramDir(QStringLiteral("/opt/bin/gearloft")), QStringLiteral("/opt/bin"));
}

}  // namespace
}  // namespace gearloft
