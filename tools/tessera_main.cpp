// tessera: the chunk-file tool. Looks inside level files (tree, cat, check),
// takes them apart and puts them together again (unpack, pack) and runs the
// container codec (compress, decompress), all through the shared library.
#include "tools/cli/bound_library.h"
#include "tools/cli/chunk_folder.h"
#include "tools/cli/chunk_stream.h"
#include "tools/cli/cli_io.h"
#include "tools/cli/command_line.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <limits>

namespace gearloft::cli {
namespace {

const QString kProgram = QStringLiteral("tessera");

QCommandLineOption JsonOption(const QString& what) {
    return QCommandLineOption(QStringLiteral("json"), what);
}

std::vector<Command> Commands() {
    return {
        {QStringLiteral("tree"),
         QStringLiteral("FILE [--json]"),
         QStringLiteral(
             "Show the chunk tree of a plain or compressed level file, one line per\n"
             "chunk indented two spaces per folder level: name, \"folder\" or \"data\",\n"
             "the chunk's size as the stream holds it (12 + payload) and its offset\n"
             "in the plain stream. Name bytes outside printable ASCII, and the\n"
             "backslash, are written \\xNN; trailing zero bytes are dropped."),
         {JsonOption(QStringLiteral("One JSON object per chunk: name, folder, size, offset and, "
                                    "for folders, children."))},
         1,
         1},
        {QStringLiteral("cat"),
         QStringLiteral("FILE PATH"),
         QStringLiteral("Write the payload of one data chunk to standard output. PATH is chunk\n"
                        "names joined by \"/\" below the root (REBENVDT/QELENVIR); NAME#n picks\n"
                        "the n-th child of that name, counted from 0; \\xNN stands for a byte."),
         {},
         2,
         2},
        {QStringLiteral("unpack"),
         QStringLiteral("FILE DIR"),
         QStringLiteral("Write the tree into the new or empty folder DIR: a folder per folder\n"
                        "chunk, a file per data chunk, and manifest.json, which keeps the order\n"
                        "and the exact names."),
         {},
         2,
         2},
        {QStringLiteral("pack"),
         QStringLiteral("DIR FILE [--plain]"),
         QStringLiteral("Build a level file from a folder that unpack wrote (after any edits).\n"
                        "Unpacking and packing again gives the same plain stream byte for byte\n"
                        "when the stream's sizes were exact. A manifest or folder that does not\n"
                        "describe a valid tree is refused; nothing outside DIR is read."),
         {QCommandLineOption(QStringLiteral("plain"),
                             QStringLiteral("Write the plain chunk stream instead of a "
                                            "compressed container."))},
         2,
         2},
        {QStringLiteral("compress"),
         QStringLiteral("IN OUT"),
         QStringLiteral("Code the bytes of IN into a REBCRIF1 container in OUT (\"-\": standard\n"
                        "input or output)."),
         {},
         2,
         2},
        {QStringLiteral("decompress"),
         QStringLiteral("IN OUT"),
         QStringLiteral("Decode the container IN into its plain bytes in OUT (\"-\": standard\n"
                        "input or output)."),
         {},
         2,
         2},
        {QStringLiteral("check"),
         QStringLiteral("FILE... [--json]"),
         QStringLiteral("Load each file and report \"FILE: ok (container|plain, N chunks, M "
                        "bytes)\"\nor \"FILE: <reason>\" on standard output; M is the plain "
                        "stream's size.\nA chunk that runs past the end of its folder counts as "
                        "damage here."),
         {JsonOption(QStringLiteral("An array of {file, ok, format, chunks, plain_size, "
                                    "error}."))},
         1,
         -1},
    };
}

// ---------------------------------------------------------------------------
// Loading a level file for the commands that look inside it

struct LoadedStream {
    PlainStream plain;
    StreamWalk walk;
};

bool LoadStream(const TESSERAEXPORT& lib, FolderNames& folders, const QString& path,
                Strictness strictness, LoadedStream* loaded, QString* error) {
    QByteArray file;
    if (!ReadWholeFile(path, RIF_MAX_FILE_SIZE, &file, error)) {
        return false;
    }
    if (static_cast<std::uint64_t>(file.size()) > std::numeric_limits<std::uint32_t>::max()) {
        *error = QStringLiteral("larger than 4 GiB, more than a chunk file can hold");
        return false;
    }
    loaded->plain = ToPlainStream(lib, file);
    if (!loaded->plain.ok) {
        *error = loaded->plain.error;
        return false;
    }
    loaded->walk = WalkStream(folders, loaded->plain.bytes, strictness, loaded->plain.container);
    if (!loaded->walk.ok) {
        *error = loaded->walk.error;
        return false;
    }
    // The library has the last word: what it does not load is not a level.
    RifItem* root = lib.LoadRif(file.constData(), static_cast<std::uint32_t>(file.size()));
    if (root == nullptr) {
        *error = QStringLiteral("the library does not load it");
        return false;
    }
    lib.DeleteRifItem(root);
    return true;
}

// ---------------------------------------------------------------------------
// tree

QString JsonString(const QString& text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
            out += QLatin1Char('\\');
            out += c;
        } else if (c.unicode() < 0x20) {
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out + QLatin1Char('"');
}

// The walk as nested JSON, written without recursion (a tree may be nested
// far deeper than a recursive writer's stack allows).
QString TreeJson(const StreamWalk& walk) {
    QString out;
    int openFolders = 0;  // folders whose "children" list is open
    std::vector<bool> hasItems;
    auto indent = [&](int depth) { return QString(2 * depth, QLatin1Char(' ')); };
    for (const Chunk& chunk : walk.chunks) {
        while (openFolders > chunk.depth) {
            out += QLatin1Char('\n') + indent(2 * openFolders - 1) + QLatin1Char(']');
            out += QLatin1Char('\n') + indent(2 * openFolders - 2) + QLatin1Char('}');
            --openFolders;
            hasItems.pop_back();
        }
        if (!hasItems.empty()) {
            if (hasItems.back()) {
                out += QLatin1Char(',');
            }
            hasItems.back() = true;
            out += QLatin1Char('\n');
        }
        out += indent(2 * chunk.depth) +
               QStringLiteral("{\"name\": %1, \"folder\": %2, \"size\": %3, \"offset\": %4")
                   .arg(JsonString(EscapeName(chunk.name)),
                        chunk.folder ? QStringLiteral("true") : QStringLiteral("false"))
                   .arg(chunk.size)
                   .arg(chunk.offset);
        if (chunk.folder) {
            out += QStringLiteral(", \"children\": [");
            ++openFolders;
            hasItems.push_back(false);
        } else {
            out += QLatin1Char('}');
        }
    }
    while (openFolders > 0) {
        out += (hasItems.back() ? QLatin1Char('\n') + indent(2 * openFolders - 1) : QString()) +
               QLatin1Char(']');
        out += QLatin1Char('\n') + indent(2 * openFolders - 2) + QLatin1Char('}');
        --openFolders;
        hasItems.pop_back();
    }
    return out + QLatin1Char('\n');
}

int RunTree(const TESSERAEXPORT& lib, const CommandLine& line) {
    // The operand counts were checked with the command line.
    const QStringList operands = line.parser().positionalArguments();
    FolderNames folders(lib);
    LoadedStream loaded;
    QString error;
    if (!LoadStream(lib, folders, operands[0], Strictness::kAsLoaded, &loaded, &error)) {
        Complain(kProgram, operands[0] + QStringLiteral(": ") + error);
        return kExitFailed;
    }
    if (line.parser().isSet(QStringLiteral("json"))) {
        Print(TreeJson(loaded.walk));
        return kExitOk;
    }
    QString out;
    for (const Chunk& chunk : loaded.walk.chunks) {
        out += QStringLiteral("%1%2 %3 %4 %5\n")
                   .arg(QString(2 * chunk.depth, QLatin1Char(' ')), EscapeName(chunk.name),
                        chunk.folder ? QStringLiteral("folder") : QStringLiteral("data"))
                   .arg(chunk.size)
                   .arg(chunk.offset);
    }
    Print(out);
    return kExitOk;
}

// ---------------------------------------------------------------------------
// cat

struct PathStep {
    QByteArray name8;
    int index = 0;
};

bool ParsePath(const QString& path, std::vector<PathStep>* steps) {
    if (path.isEmpty()) {
        return false;
    }
    for (const QString& part : path.split(QLatin1Char('/'))) {
        PathStep step;
        QString name = part;
        const qsizetype hash = part.lastIndexOf(QLatin1Char('#'));
        if (hash >= 0) {
            const QString digits = part.mid(hash + 1);
            bool ok = !digits.isEmpty();
            for (const QChar c : digits) {
                ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
            }
            const int index = ok ? digits.toInt(&ok) : 0;
            if (!ok) {
                return false;
            }
            step.index = index;
            name = part.left(hash);
        }
        if (name.isEmpty() || !UnescapeName(name, &step.name8)) {
            return false;
        }
        steps->push_back(step);
    }
    return true;
}

int RunCat(const TESSERAEXPORT& lib, const CommandLine& line) {
    const QStringList operands = line.parser().positionalArguments();
    std::vector<PathStep> steps;
    if (!ParsePath(operands[1], &steps)) {
        return UsageError(
            kProgram,
            QStringLiteral("'%1' is not a chunk path (NAME/NAME#n/...)").arg(operands[1]));
    }
    FolderNames folders(lib);
    LoadedStream loaded;
    QString error;
    const QString& file = operands[0];
    if (!LoadStream(lib, folders, file, Strictness::kAsLoaded, &loaded, &error)) {
        Complain(kProgram, file + QStringLiteral(": ") + error);
        return kExitFailed;
    }
    const std::vector<Chunk>& chunks = loaded.walk.chunks;
    int current = 0;
    QString walked;
    for (const PathStep& step : steps) {
        walked += (walked.isEmpty() ? QString() : QStringLiteral("/")) + EscapeName(step.name8) +
                  (step.index > 0 ? QStringLiteral("#%1").arg(step.index) : QString());
        if (!chunks[current].folder) {
            Complain(kProgram, QStringLiteral("%1: %2: %3 is data, not a folder")
                                   .arg(file, walked, EscapeName(chunks[current].name)));
            return kExitFailed;
        }
        int seen = 0;
        int found = -1;
        for (std::size_t i = current + 1;
             i < chunks.size() && chunks[i].depth > chunks[current].depth; ++i) {
            if (chunks[i].parent == current && chunks[i].name == step.name8 &&
                seen++ == step.index) {
                found = static_cast<int>(i);
                break;
            }
        }
        if (found < 0) {
            Complain(kProgram, QStringLiteral("%1: %2: no such chunk").arg(file, walked));
            return kExitFailed;
        }
        current = found;
    }
    if (chunks[current].folder) {
        Complain(kProgram, QStringLiteral("%1: %2: is a folder, not data").arg(file, walked));
        return kExitFailed;
    }
    if (!WriteStandardOutput(PayloadOf(loaded.plain.bytes, chunks[current]))) {
        Complain(kProgram, QStringLiteral("cannot write to standard output"));
        return kExitFailed;
    }
    return kExitOk;
}

// ---------------------------------------------------------------------------
// unpack and pack

int RunUnpack(const TESSERAEXPORT& lib, const CommandLine& line) {
    const QStringList operands = line.parser().positionalArguments();
    FolderNames folders(lib);
    LoadedStream loaded;
    QString error;
    if (!LoadStream(lib, folders, operands[0], Strictness::kAsLoaded, &loaded, &error)) {
        Complain(kProgram, operands[0] + QStringLiteral(": ") + error);
        return kExitFailed;
    }
    if (!UnpackTree(loaded.plain.bytes, loaded.walk, operands[1], &error)) {
        Complain(kProgram, error);
        return kExitFailed;
    }
    return kExitOk;
}

// Codes a plain stream into a container through the library.
bool Compress(const TESSERAEXPORT& lib, const QByteArray& plain, QByteArray* container,
              QString* error) {
    if (plain.isEmpty()) {
        *error = QStringLiteral("nothing to compress: the input is empty");
        return false;
    }
    if (static_cast<std::uint64_t>(plain.size()) > std::numeric_limits<std::uint32_t>::max()) {
        *error = QStringLiteral("the input is larger than 4 GiB");
        return false;
    }
    std::uint32_t size = 0;
    void* block =
        lib.CompressRif(plain.constData(), static_cast<std::uint32_t>(plain.size()), &size);
    if (block == nullptr || size == 0) {
        lib.ReleaseBuffer(block);
        *error = QStringLiteral(
            "the library could not compress it (out of memory, or the "
            "container would exceed 4 GiB)");
        return false;
    }
    *container = QByteArray(static_cast<const char*>(block), size);
    lib.ReleaseBuffer(block);
    return true;
}

int RunPack(const TESSERAEXPORT& lib, const CommandLine& line) {
    const QStringList operands = line.parser().positionalArguments();
    FolderNames folders(lib);
    QByteArray plain;
    QString error;
    if (!PackTree(folders, operands[0], &plain, &error)) {
        Complain(kProgram, error);
        return kExitFailed;
    }
    QByteArray output = plain;
    if (!line.parser().isSet(QStringLiteral("plain")) && !Compress(lib, plain, &output, &error)) {
        Complain(kProgram, operands[0] + QStringLiteral(": ") + error);
        return kExitFailed;
    }
    if (!WriteWholeFile(operands[1], output, &error)) {
        Complain(kProgram, operands[1] + QStringLiteral(": ") + error);
        return kExitFailed;
    }
    return kExitOk;
}

// ---------------------------------------------------------------------------
// compress and decompress

int RunCodec(const TESSERAEXPORT& lib, const CommandLine& line, bool compress) {
    const QStringList operands = line.parser().positionalArguments();
    QByteArray input;
    QByteArray output;
    QString error;
    const QString in =
        operands[0] == QLatin1String("-") ? QStringLiteral("standard input") : operands[0];
    // A plain stream to compress may be as long as a 32-bit size allows; a
    // container to expand is a level file.
    const qint64 limit =
        compress ? qint64{std::numeric_limits<std::uint32_t>::max()} : qint64{RIF_MAX_FILE_SIZE};
    if (!ReadWholeFile(operands[0], limit, &input, &error)) {
        Complain(kProgram, in + QStringLiteral(": ") + error);
        return kExitFailed;
    }
    if (compress) {
        if (!Compress(lib, input, &output, &error)) {
            Complain(kProgram, in + QStringLiteral(": ") + error);
            return kExitFailed;
        }
    } else {
        PlainStream plain = ToPlainStream(lib, input);
        if (plain.ok && !plain.container) {
            plain.ok = false;
            plain.error = QStringLiteral("not a container: it does not begin with REBCRIF1");
        }
        if (!plain.ok) {
            Complain(kProgram, in + QStringLiteral(": ") + plain.error);
            return kExitFailed;
        }
        output = plain.bytes;
    }
    if (!WriteWholeFile(operands[1], output, &error)) {
        Complain(kProgram, operands[1] + QStringLiteral(": ") + error);
        return kExitFailed;
    }
    return kExitOk;
}

// ---------------------------------------------------------------------------
// check

int RunCheck(const TESSERAEXPORT& lib, const CommandLine& line) {
    const QStringList files = line.parser().positionalArguments();
    const bool json = line.parser().isSet(QStringLiteral("json"));
    FolderNames folders(lib);
    QJsonArray reports;
    int status = kExitOk;
    for (const QString& file : files) {
        LoadedStream loaded;
        QString error;
        const bool ok = LoadStream(lib, folders, file, Strictness::kStrict, &loaded, &error);
        if (!ok) {
            status = kExitFailed;
        }
        const QString format =
            loaded.plain.container ? QStringLiteral("container") : QStringLiteral("plain");
        if (json) {
            QJsonObject report{{QStringLiteral("file"), file}, {QStringLiteral("ok"), ok}};
            report.insert(QStringLiteral("format"), loaded.plain.ok || loaded.plain.container
                                                        ? QJsonValue(format)
                                                        : QJsonValue());
            report.insert(
                QStringLiteral("chunks"),
                ok ? QJsonValue(static_cast<qint64>(loaded.walk.chunks.size())) : QJsonValue());
            report.insert(
                QStringLiteral("plain_size"),
                ok ? QJsonValue(static_cast<qint64>(loaded.plain.bytes.size())) : QJsonValue());
            report.insert(QStringLiteral("error"), ok ? QJsonValue() : QJsonValue(error));
            reports.append(report);
        } else if (ok) {
            Print(QStringLiteral("%1: ok (%2, %3 chunks, %4 bytes)\n")
                      .arg(file, format)
                      .arg(loaded.walk.chunks.size())
                      .arg(loaded.plain.bytes.size()));
        } else {
            Print(QStringLiteral("%1: %2\n").arg(file, error));
        }
    }
    if (json) {
        Print(QString::fromUtf8(QJsonDocument(reports).toJson(QJsonDocument::Indented)));
    }
    return status;
}

}  // namespace
}  // namespace gearloft::cli

int main(int argc, char** argv) {
    using namespace gearloft::cli;
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(kProgram);

    CommandLine line(kProgram,
                     QStringLiteral("Look inside, take apart, put together and check chunk files "
                                    "(.rif),\nplain or compressed."),
                     Commands());
    int status = kExitOk;
    const QString version = QStringLiteral(PROJECT_VERSION " (Tessera library 1.4)");
    if (line.Parse(QCoreApplication::arguments().mid(1), version, &status) ==
        CommandLine::Outcome::kExit) {
        return status;
    }

    BoundLibrary library;
    QString why;
    if (!library.Bind(QCoreApplication::applicationDirPath(), &why)) {
        Complain(kProgram, why);
        return kExitFailed;
    }
    const TESSERAEXPORT& lib = library.api();
    const QString& name = line.command().name;
    if (name == QLatin1String("tree")) {
        return RunTree(lib, line);
    }
    if (name == QLatin1String("cat")) {
        return RunCat(lib, line);
    }
    if (name == QLatin1String("unpack")) {
        return RunUnpack(lib, line);
    }
    if (name == QLatin1String("pack")) {
        return RunPack(lib, line);
    }
    if (name == QLatin1String("compress") || name == QLatin1String("decompress")) {
        return RunCodec(lib, line, name == QLatin1String("compress"));
    }
    return RunCheck(lib, line);
}
