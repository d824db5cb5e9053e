// Running the command-line programs as a user does, and chunk streams built
// byte by byte (names with any bytes, sizes exact unless a test breaks them).
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <vector>

namespace gearloft::testing {

struct ProgramRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the program with the arguments, standard input fed from `input`, in
// the given folder (empty: the current one) and environment.
ProgramRun RunProgram(
    const QString& program, const QStringList& arguments, const QByteArray& input = QByteArray(),
    const QString& workingDir = QString(),
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

// A chunk: name (up to 8 bytes, zero-padded), a folder with children or data.
struct Node {
    QByteArray name;
    bool folder = false;
    QByteArray data;
    std::vector<Node> children;
};

Node Folder(const QByteArray& name, std::vector<Node> children);
Node Data(const QByteArray& name, const QByteArray& data);

// The plain stream of a tree with exact sizes.
QByteArray Stream(const Node& root);
// The library's container of a plain stream.
QByteArray Compressed(const QByteArray& plain);

void WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);

}  // namespace gearloft::testing
