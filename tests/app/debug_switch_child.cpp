// Writes one line to each debug output, the program's and the library's,
// and leaves it to the environment whether they reach standard error.
#include "app/debug_output.h"
#include "app/library_binding.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    gearloft::DebugOutput("gearloft: a debug line\n");
    gearloft::LibraryBinding binding;
    if (!binding.Bind({QStringLiteral(REAL_TESSERA)})) {
        return 2;
    }
    // A file that does not exist: the library reports it on its own output.
    return binding.record()->LoadRifFile("/nonexistent/level.rif") == nullptr ? 0 : 3;
}
