#include "app/library_binding.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include <cstring>

namespace gearloft {

LibraryBinding::LibraryBinding() = default;

LibraryBinding::~LibraryBinding() {
    Unbind();
}

bool LibraryBinding::loaded() const {
    return m_library != nullptr && m_library->isLoaded();
}

bool LibraryBinding::Bind(const QStringList& candidates, TESSERAEXPORT& record) {
    Unbind();
    std::memset(&record, 0, sizeof record);
    record.dwSize = sizeof record;

    for (const QString& candidate : candidates) {
        m_triedFileName = QFileInfo(candidate).fileName();
        auto library = std::make_unique<QLibrary>(candidate);
        if (library->load()) {
            m_library = std::move(library);
            break;
        }
        m_error = library->errorString();
    }
    if (m_library == nullptr) {
        return false;
    }

    auto init = reinterpret_cast<PFN_TesseraInit>(m_library->resolve("TesseraInit"));
    if (init == nullptr) {
        m_error = m_library->errorString();
        return false;
    }
    if ((init(&record) & 0xFF) == 0) {
        m_error = QStringLiteral("TesseraInit refused the export record");
        return false;
    }
    m_error.clear();
    return true;
}

void LibraryBinding::Unbind() {
    if (m_library != nullptr) {
        m_library->unload();
        m_library.reset();
    }
}

QStringList TesseraCandidates(const QString& programDir) {
    QStringList candidates{
        QDir::cleanPath(programDir + QStringLiteral("/../lib/") + QLatin1String(kTesseraFileName))};
#ifdef GEARLOFT_BIN_TO_LIB
    // Installed, the library lies in the installed library folder, which on
    // a multiarch system is not ../lib.
    const QString installed =
        QDir::cleanPath(programDir + QLatin1Char('/') + QLatin1String(GEARLOFT_BIN_TO_LIB) +
                        QLatin1Char('/') + QLatin1String(kTesseraFileName));
    if (!candidates.contains(installed)) {
        candidates.append(installed);
    }
#endif
    candidates.append(QLatin1String(kTesseraFileName));
    return candidates;
}

}  // namespace gearloft
