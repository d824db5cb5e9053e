// The one place where the command-line programs bind Tessera: load the shared
// library beside the program (../lib) or from the system's search, look up
// TesseraInit and let it fill the complete export record, as the dialog
// program does at start-up.
#pragma once

#include "app/library_binding.h"
#include "chunkfile/tessera.h"

#include <QString>

namespace gearloft::cli {

class BoundLibrary {
public:
    // Binds the library for a program living in programDir. False, with a
    // sentence for the user in *why, when it cannot be loaded or refuses.
    bool Bind(const QString& programDir, QString* why);

    // The export record; valid after a successful Bind. Every copy of
    // record() keeps the library loaded.
    const TESSERAEXPORT& api() const { return *m_binding.record(); }
    const TesseraRecord& record() const { return m_binding.record(); }

private:
    LibraryBinding m_binding;
};

}  // namespace gearloft::cli
