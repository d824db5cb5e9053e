#include "tools/cli/bound_library.h"

namespace gearloft::cli {

bool BoundLibrary::Bind(const QString& programDir, QString* why) {
    if (m_binding.Bind(TesseraCandidates(programDir))) {
        return true;
    }
    *why = QStringLiteral("cannot load %1: %2")
               .arg(m_binding.triedFileName(), m_binding.errorString());
    return false;
}

}  // namespace gearloft::cli
