// Binding the Tessera library at run time, as any client of its ABI does:
// load it, look up TesseraInit and let it fill the export record.
//
// The record points into the library's code, so the two have one owner: the
// shared state behind a TesseraRecord. Every copy of the record keeps the
// library loaded; when the last copy goes, the record is zeroed and the
// library unloaded. Whoever keeps a tree of the library keeps a copy, so no
// call can reach code that has been unloaded, whatever the order in which
// the program lets go of the binding and of its levels.
#pragma once

#include "chunkfile/tessera.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace gearloft {

// The shared library's file name as this build loads it.
inline constexpr char kTesseraFileName[] = "libtessera.so.1";

// The export record of a bound library; null when none is bound.
using TesseraRecord = std::shared_ptr<const TESSERAEXPORT>;

class LibraryBinding {
public:
    LibraryBinding();
    ~LibraryBinding();
    LibraryBinding(const LibraryBinding&) = delete;
    LibraryBinding& operator=(const LibraryBinding&) = delete;

    // Tries the candidates in order until one loads, then lets its
    // TesseraInit fill a zeroed full record (dwSize = sizeof(TESSERAEXPORT)).
    // False when none loads, the export is missing or the init refuses; a
    // library that did load stays loaded until Unbind, like any handle
    // obtained. Unbinds first.
    bool Bind(const QStringList& candidates);
    // Lets go of the library: it unloads now, or as soon as the last copy of
    // its record is released.
    void Unbind();

    // The record while bound, null otherwise. Copies keep the library loaded.
    const TesseraRecord& record() const { return m_record; }
    // Whether a library is loaded through this binding (bound or refused).
    bool loaded() const;
    // The file name of the last candidate tried, for the user's message.
    const QString& triedFileName() const { return m_triedFileName; }
    // Why the last attempt failed, for the debug output.
    const QString& errorString() const { return m_error; }

private:
    struct Loaded;
    std::shared_ptr<Loaded> m_loaded;
    TesseraRecord m_record;
    QString m_triedFileName;
    QString m_error;
};

// Where the program looks for the library: beside itself in ../lib, then by
// the system's search.
QStringList TesseraCandidates(const QString& programDir);

class UserInteraction;

// The start-up step of every program on the core: binds the library from the
// candidates and returns its record; on failure sends the reason to the
// debug output, shows "ERROR: Failed to load '<file name>'!" and returns null.
TesseraRecord BindTessera(LibraryBinding& binding, const QStringList& candidates,
                          UserInteraction& ui);

}  // namespace gearloft
