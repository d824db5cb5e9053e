// Binding the Tessera library at run time, as any client of its ABI does:
// load it, look up TesseraInit and let it fill the export record.
#pragma once

#include "chunkfile/tessera.h"

#include <QString>
#include <QStringList>

#include <memory>

class QLibrary;

namespace gearloft {

// The shared library's file name as this build loads it.
inline constexpr char kTesseraFileName[] = "libtessera.so.1";

class LibraryBinding {
public:
    LibraryBinding();
    ~LibraryBinding();
    LibraryBinding(const LibraryBinding&) = delete;
    LibraryBinding& operator=(const LibraryBinding&) = delete;

    // Tries the candidates in order until one loads, then fills `record`
    // (zeroed, dwSize = sizeof record) through its TesseraInit. False when
    // none loads, the export is missing or the init refuses; a library that
    // did load stays loaded until Unbind, like any handle obtained.
    bool Bind(const QStringList& candidates, TESSERAEXPORT& record);
    // Frees the library when one was loaded.
    void Unbind();

    bool loaded() const;
    // The file name of the last candidate tried, for the user's message.
    const QString& triedFileName() const { return m_triedFileName; }
    // Why the last attempt failed, for the debug output.
    const QString& errorString() const { return m_error; }

private:
    std::unique_ptr<QLibrary> m_library;
    QString m_triedFileName;
    QString m_error;
};

// Where the program looks for the library: beside itself in ../lib, then by
// the system's search.
QStringList TesseraCandidates(const QString& programDir);

}  // namespace gearloft
