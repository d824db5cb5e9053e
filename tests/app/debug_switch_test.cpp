// The debug switches GEARLOFT_DEBUG and TESSERA_DEBUG: a child program writes
// to both outputs under each value, and its standard error shows which ones
// were on.
#include "app/debug_output.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace gearloft {
namespace {

TEST(DebugSwitch, UnsetEmptyAndZeroAreOffAnythingElseIsOn) {
    struct Case {
        const char* value;  // null: the variable is not set
        bool on;
    } const cases[] = {
        {nullptr, false}, {"", false},  {"0", false}, {"1", true},
        {"yes", true},    {"00", true}, {" ", true},
    };
    for (const Case& c : cases) {
        const char* shown = c.value ? c.value : "(unset)";
        EXPECT_EQ(DebugSwitchOn(c.value), c.on) << "'" << shown << "'";

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("GEARLOFT_DEBUG"));
        environment.remove(QStringLiteral("TESSERA_DEBUG"));
        // Each switch alone, so that one cannot stand in for the other.
        for (const char* variable : {"GEARLOFT_DEBUG", "TESSERA_DEBUG"}) {
            QProcessEnvironment run = environment;
            if (c.value != nullptr) {
                run.insert(QLatin1String(variable), QString::fromLatin1(c.value));
            }
            QProcess child;
            child.setProcessEnvironment(run);
            child.start(QStringLiteral(DEBUG_SWITCH_CHILD), {});
            ASSERT_TRUE(child.waitForFinished(30000));
            EXPECT_EQ(child.exitCode(), 0);
            const QByteArray error = child.readAllStandardError();
            const bool gearloftOn = std::string(variable) == "GEARLOFT_DEBUG" && c.on;
            const bool tesseraOn = std::string(variable) == "TESSERA_DEBUG" && c.on;
            EXPECT_EQ(error.contains("gearloft: a debug line\n"), gearloftOn)
                << variable << "='" << shown << "': " << error.toStdString();
            EXPECT_EQ(error.contains("ERROR: LoadRifFile() failed to open file!\n"), tesseraOn)
                << variable << "='" << shown << "': " << error.toStdString();
        }
    }
}

}  // namespace
}  // namespace gearloft
