// What both command-line programs share: exit statuses, messages on standard
// error, and whole-file input and output where "-" means standard input or
// output.
#pragma once

#include <QByteArray>
#include <QString>

namespace gearloft::cli {

// Exit statuses: all well; some input failed (the rest was still done); the
// command line could not be used, nothing was done.
enum ExitStatus : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// "<program>: <text>" and a line feed on standard error.
void Complain(const QString& program, const QString& text);
// A usage error: the complaint, then a hint at --help. Returns kExitUsage.
int UsageError(const QString& program, const QString& text);

// Text and bytes on standard output, unbuffered by Qt: what a pipe reads.
void Print(const QString& text);
bool WriteStandardOutput(const QByteArray& bytes);

// Reads the whole file ("-": standard input) of at most maxBytes. False, with
// the reason in *error, when it cannot be opened or read, is larger, or is
// not a regular file: a folder, a device or a named pipe is refused without
// waiting for it (standard input may be a pipe, and is read up to the limit).
bool ReadWholeFile(const QString& path, qint64 maxBytes, QByteArray* bytes, QString* error);
// Writes the bytes to the file ("-": standard output). A file is replaced
// only once every byte is on disk: a failure leaves the old one as it was,
// and a kill leaves at most one hidden temporary file, which the next write
// of the same file removes.
bool WriteWholeFile(const QString& path, const QByteArray& bytes, QString* error);

// True when the descriptor is a terminal.
bool IsTerminal(int fd);

}  // namespace gearloft::cli
