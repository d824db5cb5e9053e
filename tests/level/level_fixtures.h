// Fixtures for the level tests: the library bound as the program binds it
// (dlopen + TesseraInit), small level files built by code, and a
// UserInteraction that records instead of showing anything.
#pragma once

#include "app/library_binding.h"
#include "app/user_interaction.h"
#include "chunkfile/tessera.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace gearloft::testing {

// The export record of the built shared library, which stays loaded for the
// whole test program; the test fails when it cannot be bound (the record is
// then zeroed).
TesseraRecord Tessera();

struct Message {
    QString text;
    MessageIcon icon;
};

class RecordingUserInteraction : public UserInteraction {
public:
    void ShowMessage(const QString& text, MessageIcon icon) override {
        messages.push_back({text, icon});
    }
    void Beep() override { ++beeps; }
    ChangedFileAnswer AskAboutChangedFile(const QString& path) override {
        asked.push_back(path);
        return changedFileAnswer;
    }

    std::vector<Message> messages;
    int beeps = 0;
    std::vector<QString> asked;  // the files asked about, in order
    ChangedFileAnswer changedFileAnswer = ChangedFileAnswer::Overwrite;
};

// A level file's equipment record and how the file is stored.
struct LevelFixture {
    std::uint32_t equipment = 0x17;
    std::uint32_t spears = 30;
    std::uint32_t recordSize = 40;  // 24 + a tail the program must keep
    bool withRecord = true;
    bool compressed = true;
};

// The record bytes of a fixture: words and tail filled with recognisable values.
QByteArray RecordBytes(const LevelFixture& fixture);

// Writes a level with an environment folder around the record and some
// siblings before and after it. Creates the folders on the way.
void WriteLevelFile(const QString& path, const LevelFixture& fixture);

// The plain chunk stream of the level at path (loaded and compiled again by
// the library), for comparing two files' content whatever their storage.
QByteArray PlainStream(const QString& path);

// The record's bytes in the level file at path; empty when there is none.
QByteArray ReadRecord(const QString& path);

std::uint32_t WordAt(const QByteArray& bytes, int offset);

QByteArray ReadFileBytes(const QString& path);

}  // namespace gearloft::testing
