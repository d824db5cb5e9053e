#include "app/library_binding.h"

#include "app/debug_output.h"
#include "app/user_interaction.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include <cstring>

namespace gearloft {

// A loaded library and the record its TesseraInit filled. Destroyed when the
// binding and every copy of the record have let go: the record is cleared
// before the code it points to goes away.
struct LibraryBinding::Loaded {
    explicit Loaded(const QString& fileName) : library(fileName) {}
    ~Loaded() {
        std::memset(&record, 0, sizeof record);
        library.unload();
    }
    Loaded(const Loaded&) = delete;
    Loaded& operator=(const Loaded&) = delete;

    QLibrary library;
    TESSERAEXPORT record{};
};

LibraryBinding::LibraryBinding() = default;

LibraryBinding::~LibraryBinding() {
    Unbind();
}

bool LibraryBinding::loaded() const {
    return m_loaded != nullptr && m_loaded->library.isLoaded();
}

bool LibraryBinding::Bind(const QStringList& candidates) {
    Unbind();
    for (const QString& candidate : candidates) {
        m_triedFileName = QFileInfo(candidate).fileName();
        auto loaded = std::make_shared<Loaded>(candidate);
        if (loaded->library.load()) {
            m_loaded = std::move(loaded);
            break;
        }
        m_error = loaded->library.errorString();
    }
    if (m_loaded == nullptr) {
        return false;
    }

    auto init = reinterpret_cast<PFN_TesseraInit>(m_loaded->library.resolve("TesseraInit"));
    if (init == nullptr) {
        m_error = m_loaded->library.errorString();
        return false;
    }
    TESSERAEXPORT& record = m_loaded->record;
    record.dwSize = sizeof record;
    if ((init(&record) & 0xFF) == 0) {
        std::memset(&record, 0, sizeof record);
        m_error = QStringLiteral("TesseraInit refused the export record");
        return false;
    }
    m_error.clear();
    // A pointer to the record that owns the library as well.
    m_record = TesseraRecord(m_loaded, &m_loaded->record);
    return true;
}

void LibraryBinding::Unbind() {
    m_record.reset();
    m_loaded.reset();
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

TesseraRecord BindTessera(LibraryBinding& binding, const QStringList& candidates,
                          UserInteraction& ui) {
    if (binding.Bind(candidates)) {
        return binding.record();
    }
    DebugOutput(QStringLiteral("ERROR: %1\n").arg(binding.errorString()).toLocal8Bit().constData());
    ui.ShowMessage(QStringLiteral("ERROR: Failed to load '%1'!").arg(binding.triedFileName()),
                   MessageIcon::Information);
    return nullptr;
}

}  // namespace gearloft
