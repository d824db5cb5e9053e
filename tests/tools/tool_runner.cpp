#include "tests/tools/tool_runner.h"

#include "chunkfile/tessera.h"

#include <QFile>
#include <QProcess>
#include <QtEndian>

#include <gtest/gtest.h>

namespace gearloft::testing {

ProgramRun RunProgram(const QString& program, const QStringList& arguments, const QByteArray& input,
                      const QString& workingDir, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessEnvironment(environment);
    if (!workingDir.isEmpty()) {
        process.setWorkingDirectory(workingDir);
    }
    process.start();
    ProgramRun run;
    if (!process.waitForStarted()) {
        ADD_FAILURE() << "cannot start " << program.toStdString();
        return run;
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        ADD_FAILURE() << program.toStdString() << " did not finish";
        process.kill();
        process.waitForFinished();
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

Node Folder(const QByteArray& name, std::vector<Node> children) {
    return Node{name, true, QByteArray(), std::move(children)};
}

Node Data(const QByteArray& name, const QByteArray& data) {
    return Node{name, false, data, {}};
}

namespace {

void Append(const Node& node, QByteArray& out) {
    const qsizetype start = out.size();
    out.append(node.name.left(8));
    out.append(QByteArray(8 - std::min<qsizetype>(node.name.size(), 8), '\0'));
    out.append(QByteArray(4, '\0'));
    if (node.folder) {
        for (const Node& child : node.children) {
            Append(child, out);
        }
    } else {
        out.append(node.data);
    }
    qToLittleEndian<std::uint32_t>(static_cast<std::uint32_t>(out.size() - start),
                                   out.data() + start + 8);
}

}  // namespace

QByteArray Stream(const Node& root) {
    QByteArray out;
    Append(root, out);
    return out;
}

QByteArray Compressed(const QByteArray& plain) {
    std::uint32_t size = 0;
    void* block = CompressRif(plain.constData(), static_cast<std::uint32_t>(plain.size()), &size);
    const QByteArray container(static_cast<const char*>(block), size);
    ReleaseBuffer(block);
    return container;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    return file.readAll();
}

}  // namespace gearloft::testing
