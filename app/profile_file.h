// ProfileFile: the program's INI-style text file, held in memory.
//
// The whole file is kept as an ordered list of sections, each an ordered list
// of entries, so that a file written back keeps its sections, entries and
// comment lines in the order they were read. Texts are bytes in the file's own
// encoding and pass through unchanged. Section names and keys compare without
// regard to ASCII letter case; the first match in list order wins.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace gearloft {

class ProfileFile {
public:
    explicit ProfileFile(const QString& path = QString());
    ~ProfileFile();
    ProfileFile(const ProfileFile&) = delete;
    // Settings and skin descriptions hold a few dozen lines, well under a
    // kilobyte. A megabyte is a thousand times that, and reading it costs
    // little; what lies beyond is not such a file, and its lines would each
    // become an entry of the store.
    static constexpr qint64 kMaxFileSize = 1024 * 1024;
    ProfileFile& operator=(const ProfileFile&) = delete;

    // Empties the store, remembers a non-empty path and reads the file. False
    // when the file is missing or cannot be read; readError() tells which.
    // Only a regular file of at most kMaxFileSize bytes is read: a folder, a
    // pipe, a device or a larger file is refused (and a pipe without waiting
    // for its writer), leaving the store empty.
    bool Load(const QString& path = QString());
    // Remembers a non-empty path and replaces the file with the whole store.
    bool Save(const QString& path = QString());

    // Empties the store and reads it from a file's bytes, as Load does; the
    // path and readError() are left alone.
    void LoadBytes(const QByteArray& bytes);
    // The bytes Save writes.
    QByteArray ToBytes() const;

    QByteArray GetString(const QByteArray& section, const QByteArray& key,
                         const QByteArray& defaultValue) const;
    int GetInt(const QByteArray& section, const QByteArray& key, int defaultValue) const;
    // A colour 0x00BBGGRR from a value "R,G,B".
    std::uint32_t GetColor(const QByteArray& section, const QByteArray& key,
                           std::uint32_t defaultColor) const;

    // An empty section name is refused. An empty key counts as absent. A null
    // value (QByteArray()) is "no value" and deletes the entry; an empty but
    // non-null value ("") keeps the entry without a value, written "key=".
    bool SetString(const QByteArray& section, const QByteArray& key, const QByteArray& value);
    bool SetInt(const QByteArray& section, const QByteArray& key, int value);

    // True when the section holds the key, with a value or without one.
    bool HasKey(const QByteArray& section, const QByteArray& key) const;

    const QString& path() const { return m_path; }
    // Why the last Load failed although the file is there ("Permission
    // denied", "it is a named pipe, not a file"); empty after a successful
    // Load or when the file is missing.
    const QString& readError() const { return m_readError; }

private:
    struct Entry;
    struct Section;
    // Adds one line of the file (its line break, if any, included).
    void AddLine(QByteArray text, Section** current);
    // Hands the file's bytes to write piece by piece; false as soon as write is.
    bool WriteTo(const std::function<bool(const QByteArray&)>& write) const;
    QString m_path;
    QString m_readError;
    std::vector<std::unique_ptr<Section>> m_sections;
};

// Test hook: false makes saves take the way of systems without unnamed
// temporary files (a named, locked one from the start).
void SetUnnamedProfileTemporaryFiles(bool allowed);

}  // namespace gearloft
