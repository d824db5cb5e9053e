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
    const QString beside =
        QDir::cleanPath(programDir + QStringLiteral("/../lib/") + QLatin1String(kTesseraFileName));
    return {beside, QLatin1String(kTesseraFileName)};
}

}  // namespace gearloft
