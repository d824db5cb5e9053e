// The chunk-file tool as a user runs it: its output for a small tree, chunk
// paths, unpacking and packing (random trees and hostile folders), the
// codec through pipes, the reasons check gives, exit statuses and help.
#include "tests/tools/tool_runner.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <random>

namespace gearloft::testing {
namespace {

const QString kTessera = QStringLiteral(TESSERA_PROGRAM);

// Offsets in the plain stream: root 0, HEADERDT 12, REBENVDT 27, QELENVIR
// 39, ENDTHEAD 75, DUP 87 and 100, the odd name 114; 127 bytes in all.
Node SmallTree() {
    return Folder("REBINFF2",
                  {Data("HEADERDT", "abc"),
                   Folder("REBENVDT", {Data("QELENVIR", QByteArray(24, '\x07')),
                                       Data("ENDTHEAD", QByteArray())}),
                   Data("DUP", "1"), Data("DUP", "22"), Data(QByteArray("A\x01\\B"), "x")});
}

const char kSmallTreeText[] =
    "REBINFF2 folder 127 0\n"
    "  HEADERDT data 15 12\n"
    "  REBENVDT folder 60 27\n"
    "    QELENVIR data 36 39\n"
    "    ENDTHEAD data 12 75\n"
    "  DUP data 13 87\n"
    "  DUP data 14 100\n"
    "  A\\x01\\x5CB data 13 114\n";

class TesseraToolTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString PathOf(const QString& name) const { return dir.filePath(name); }
    QString Write(const QString& name, const QByteArray& bytes) const {
        WriteFile(PathOf(name), bytes);
        return PathOf(name);
    }

    QTemporaryDir dir;
};

TEST_F(TesseraToolTest, TreeShowsStreamSizesAndOffsetsOfPlainAndCompressedFiles) {
    const QByteArray plain = Stream(SmallTree());
    for (const QString& file :
         {Write("plain.rif", plain), Write("packed.rif", Compressed(plain))}) {
        SCOPED_TRACE(file.toStdString());
        const ProgramRun run = RunProgram(kTessera, {QStringLiteral("tree"), file});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out.toStdString(), kSmallTreeText);
        EXPECT_TRUE(run.err.isEmpty());
    }
}

TEST_F(TesseraToolTest, TreeJsonNestsChildrenInFoldersOnly) {
    const ProgramRun run = RunProgram(
        kTessera, {QStringLiteral("tree"), Write("t.rif", Stream(SmallTree())), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(run.out, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out.toStdString();
    EXPECT_EQ(root.value("name").toString(), "REBINFF2");
    EXPECT_EQ(root.value("folder").toBool(false), true);
    EXPECT_EQ(root.value("size").toInt(), 127);
    EXPECT_EQ(root.value("offset").toInt(-1), 0);
    const QJsonArray children = root.value("children").toArray();
    ASSERT_EQ(children.size(), 5);
    const QJsonObject env = children[1].toObject();
    EXPECT_EQ(env.value("name").toString(), "REBENVDT");
    const QJsonObject record = env.value("children").toArray()[0].toObject();
    EXPECT_EQ(record,
              (QJsonObject{{"name", "QELENVIR"}, {"folder", false}, {"size", 36}, {"offset", 39}}));
    EXPECT_EQ(children[4].toObject().value("name").toString(), "A\\x01\\x5CB");
    EXPECT_FALSE(children[0].toObject().contains("children"));
}

TEST_F(TesseraToolTest, CatFindsDataByPathAndRefusesWhatIsNotData) {
    const QString file = Write("t.rif", Compressed(Stream(SmallTree())));
    struct Case {
        const char* path;
        int exitCode;
        QByteArray out;
        const char* reason;
    };
    const Case cases[] = {
        {"REBENVDT/QELENVIR", 0, QByteArray(24, '\x07'), ""},
        {"HEADERDT", 0, "abc", ""},
        {"DUP", 0, "1", ""},
        {"DUP#0", 0, "1", ""},
        {"DUP#1", 0, "22", ""},
        {"A\\x01\\x5cB", 0, "x", ""},
        {"REBENVDT/ENDTHEAD", 0, "", ""},
        {"DUP#2", 1, "", "DUP#2: no such chunk"},
        {"REBENVDT/NOTHERE", 1, "", "no such chunk"},
        {"REBENVDT", 1, "", "is a folder"},
        {"HEADERDT/X", 1, "", "is data, not a folder"},
        {"DUP#x", 2, "", "not a chunk path"},
        {"REBENVDT//QELENVIR", 2, "", "not a chunk path"},
        {"NAMELONGER", 2, "", "not a chunk path"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const ProgramRun run = RunProgram(kTessera, {QStringLiteral("cat"), file, c.path});
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.out, c.out);
        EXPECT_TRUE(run.err.contains(c.reason)) << run.err.toStdString();
    }
}

// A random tree: folder names the library knows, data names of any bytes
// (zero bytes inside, bytes above 127, "/" and "\"), duplicates, empty data.
Node RandomTree(std::mt19937& random, int depth) {
    static const QByteArray kFolders[] = {"REBENVDT", "REBSHAPE", "SHPEXTFL", "LIGHTSET"};
    std::vector<Node> children;
    const int count = static_cast<int>(random() % 6);
    for (int i = 0; i < count; ++i) {
        if (depth < 4 && random() % 3 == 0) {
            children.push_back(RandomTree(random, depth + 1));
            children.back().name = kFolders[random() % 4];
            continue;
        }
        QByteArray name(8, '\0');
        for (char& byte : name) {
            byte = static_cast<char>(random() % 4 == 0 ? "\0/\\\xff"[random() % 4]
                                                       : 'A' + random() % 26);
        }
        name.truncate(1 + random() % 8);
        QByteArray data(static_cast<qsizetype>(random() % 3 == 0 ? 0 : random() % 300), '\0');
        for (char& byte : data) {
            byte = static_cast<char>(random());
        }
        children.push_back(Data(random() % 5 == 0 ? QByteArray("DUPNAME") : name, data));
    }
    return Folder("REBINFF2", std::move(children));
}

TEST_F(TesseraToolTest, UnpackThenPackGivesTheSameStreamByteForByte) {
    std::mt19937 random(1234);
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        const QByteArray plain = Stream(RandomTree(random, 0));
        const QByteArray input = round % 2 ? Compressed(plain) : plain;
        const QString file = Write(QStringLiteral("in%1.rif").arg(round), input);
        const QString tree = PathOf(QStringLiteral("tree%1").arg(round));
        const ProgramRun unpack = RunProgram(kTessera, {QStringLiteral("unpack"), file, tree});
        ASSERT_EQ(unpack.exitCode, 0) << unpack.err.toStdString();

        const QString plainOut = PathOf(QStringLiteral("plain%1.rif").arg(round));
        const ProgramRun pack =
            RunProgram(kTessera, {QStringLiteral("pack"), tree, plainOut, "--plain"});
        ASSERT_EQ(pack.exitCode, 0) << pack.err.toStdString();
        EXPECT_EQ(ReadFile(plainOut), plain);

        const QString packedOut = PathOf(QStringLiteral("packed%1.rif").arg(round));
        ASSERT_EQ(RunProgram(kTessera, {QStringLiteral("pack"), tree, packedOut}).exitCode, 0);
        EXPECT_EQ(ReadFile(packedOut), Compressed(plain));
    }
}

TEST_F(TesseraToolTest, UnpackRefusesAFolderThatIsNotEmpty) {
    const QString file = Write("t.rif", Stream(SmallTree()));
    ASSERT_TRUE(QDir(dir.path()).mkdir("full"));
    Write("full/keep.txt", "mine");
    const ProgramRun run = RunProgram(kTessera, {QStringLiteral("unpack"), file, PathOf("full")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("is not empty")) << run.err.toStdString();
    EXPECT_EQ(ReadFile(PathOf("full/keep.txt")), "mine");
}

// Edits an unpacked tree into something pack must refuse.
struct HostileCase {
    const char* what;
    std::function<void(const QString& tree, const QString& outside)> spoil;
    const char* reason;
};

void EditManifest(const QString& tree, const std::function<void(QJsonObject&)>& edit) {
    QJsonObject manifest = QJsonDocument::fromJson(ReadFile(tree + "/manifest.json")).object();
    edit(manifest);
    WriteFile(tree + "/manifest.json", QJsonDocument(manifest).toJson());
}

// Sets a field of the root's child number `index` in the manifest.
std::function<void(const QString&, const QString&)> SetChildField(int index, const char* field,
                                                                  QJsonValue value) {
    return [=](const QString& tree, const QString&) {
        EditManifest(tree, [&](QJsonObject& manifest) {
            QJsonArray children = manifest["children"].toArray();
            QJsonObject child = children[index].toObject();
            child[field] = value;
            children[index] = child;
            manifest["children"] = children;
        });
    };
}

TEST_F(TesseraToolTest, PackRefusesManifestsAndFoldersThatLeaveTheTree) {
    // The root's children in the manifest: 0 HEADERDT, 1 REBENVDT, 2 and 3
    // DUP, 4 the odd name.
    const HostileCase cases[] = {
        {"parent folder", SetChildField(0, "path", ".."), "inside its own folder"},
        {"absolute path", SetChildField(0, "path", "/etc/passwd"), "inside its own folder"},
        {"path with a folder", SetChildField(0, "path", "0001-REBENVDT/0000-QELENVIR"),
         "inside its own folder"},
        {"the manifest itself", SetChildField(0, "path", "manifest.json"), "inside its own folder"},
        {"named twice", SetChildField(2, "path", "0003-DUP"), "named twice"},
        {"name too long", SetChildField(0, "name", "NINEBYTES"), "not a chunk name"},
        {"bad escape", SetChildField(0, "name", "A\\x4"), "not a chunk name"},
        {"data named like a folder", SetChildField(0, "name", "REBSHAPE"),
         "reads a chunk named REBSHAPE as a folder"},
        {"folder flag on a file", SetChildField(0, "folder", true), "is not a folder"},
        {"data file is a link",
         [](const QString& tree, const QString& outside) {
             QFile::remove(tree + "/0000-HEADERDT");
             QFile::link(outside, tree + "/0000-HEADERDT");
         },
         "is a link"},
        {"folder is a link",
         [](const QString& tree, const QString& outside) {
             QDir(tree + "/0001-REBENVDT").removeRecursively();
             QFile::link(QFileInfo(outside).absolutePath(), tree + "/0001-REBENVDT");
         },
         "is a link"},
        {"manifest is a link",
         [](const QString& tree, const QString& outside) {
             QFile::rename(tree + "/manifest.json", outside + ".json");
             QFile::link(outside + ".json", tree + "/manifest.json");
         },
         "is a link"},
        {"file missing",
         [](const QString& tree, const QString&) { QFile::remove(tree + "/0000-HEADERDT"); },
         "missing"},
        {"file not in the manifest",
         [](const QString& tree, const QString&) { WriteFile(tree + "/extra", "?"); },
         "not in the manifest"},
        {"wrong root",
         [](const QString& tree, const QString&) {
             EditManifest(tree, [](QJsonObject& m) { m["root"] = "REBSHAPE"; });
         },
         "root must be named REBINFF2"},
        {"not JSON",
         [](const QString& tree, const QString&) { WriteFile(tree + "/manifest.json", "{"); },
         "not valid JSON"},
    };
    const QString file = Write("t.rif", Stream(SmallTree()));
    const QString outside = Write("outside.bin", "secret");
    int n = 0;
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.what);
        const QString tree = PathOf(QStringLiteral("tree%1").arg(n));
        const QString out = PathOf(QStringLiteral("out%1.rif").arg(n++));
        ASSERT_EQ(RunProgram(kTessera, {QStringLiteral("unpack"), file, tree}).exitCode, 0);
        c.spoil(tree, outside);
        const ProgramRun run = RunProgram(kTessera, {QStringLiteral("pack"), tree, out});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(c.reason)) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
}

TEST_F(TesseraToolTest, CompressAndDecompressThroughPipes) {
    const QByteArray plain = Stream(SmallTree());
    const ProgramRun compress = RunProgram(kTessera, {QStringLiteral("compress"), "-", "-"}, plain);
    ASSERT_EQ(compress.exitCode, 0) << compress.err.toStdString();
    EXPECT_EQ(compress.out, Compressed(plain));
    const ProgramRun decompress =
        RunProgram(kTessera, {QStringLiteral("decompress"), "-", "-"}, compress.out);
    ASSERT_EQ(decompress.exitCode, 0) << decompress.err.toStdString();
    EXPECT_EQ(decompress.out, plain);

    const QString out = PathOf("plain.bin");
    EXPECT_EQ(
        RunProgram(kTessera, {QStringLiteral("decompress"), Write("c.rif", compress.out), out})
            .exitCode,
        0);
    EXPECT_EQ(ReadFile(out), plain);
    const ProgramRun notContainer =
        RunProgram(kTessera, {QStringLiteral("decompress"), "-", "-"}, plain);
    EXPECT_EQ(notContainer.exitCode, 1);
    EXPECT_TRUE(notContainer.err.contains("standard input: not a container"));
}

QByteArray WithWord(QByteArray bytes, int offset, std::uint32_t value) {
    qToLittleEndian<std::uint32_t>(value, bytes.data() + offset);
    return bytes;
}

TEST_F(TesseraToolTest, CheckNamesTheKindOfDamage) {
    const QByteArray plain = Stream(SmallTree());
    const QByteArray container = Compressed(plain);
    QByteArray allOnes = container;
    allOnes.replace(316, allOnes.size() - 316, QByteArray(allOnes.size() - 316, '\xff'));
    struct Case {
        const char* what;
        QByteArray bytes;
        const char* verdict;
    };
    const Case cases[] = {
        {"plain", plain, ": ok (plain, 8 chunks, 127 bytes)"},
        {"container", container, ": ok (container, 8 chunks, 127 bytes)"},
        {"empty", QByteArray(), ": file too short: 0 bytes"},
        {"short", "REBINFF2", ": file too short: 8 bytes"},
        {"header cut", container.left(200), ": truncated container: 200 bytes"},
        {"stream cut", container.left(container.size() - 4), ": truncated container: the header"},
        {"counts above the free codes", WithWord(container, 16, 3),
         ": corrupt code table: 3 codes of 1 bits"},
        {"too few codes", QByteArray(container).replace(16, 44, QByteArray(44, '\0')),
         ": corrupt code table: codes for only 0"},
        {"undecodable stream", allOnes, ": corrupt stream"},
        {"plain size beyond the stream", WithWord(container, 12, 100000), ": corrupt stream"},
        {"size past the folder", WithWord(plain, 75 + 8, 16),
         "chunk ENDTHEAD at offset 75: size 16 runs past the end of its folder REBENVDT by 4"},
        {"size past the file", WithWord(plain, 114 + 8, 14),
         "size 14 runs past the end of the file (127 bytes)"},
        {"root past the file", plain.left(100), "chunk REBINFF2 at offset 0: size 127 runs past"},
        {"size below a header", WithWord(plain, 12 + 8, 11), "size 11 is below the 12 bytes"},
        {"stray bytes", WithWord(WithWord(plain, 27 + 8, 65), 8, 132) + QByteArray(5, '\0'),
         "5 stray bytes at offset 87 at the end of folder REBENVDT"},
        {"not a chunk file", QByteArray("GIF89a, not a level at all"), ": not a chunk file"},
    };
    QStringList files;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = Write(QString::fromLatin1(c.what), c.bytes);
        files << file;
        const ProgramRun run = RunProgram(kTessera, {QStringLiteral("check"), file});
        const bool ok = QByteArray(c.verdict).startsWith(": ok");
        EXPECT_EQ(run.exitCode, ok ? 0 : 1);
        EXPECT_TRUE(run.out.startsWith(file.toUtf8() + ":")) << run.out.toStdString();
        EXPECT_TRUE(run.out.contains(c.verdict)) << run.out.toStdString();
    }

    const ProgramRun json = RunProgram(kTessera, QStringList{"check", "--json"} + files.mid(0, 3));
    EXPECT_EQ(json.exitCode, 1);
    const QJsonArray reports = QJsonDocument::fromJson(json.out).array();
    ASSERT_EQ(reports.size(), 3);
    EXPECT_EQ(reports[1].toObject(), (QJsonObject{{"file", files[1]},
                                                  {"ok", true},
                                                  {"format", "container"},
                                                  {"chunks", 8},
                                                  {"plain_size", 127},
                                                  {"error", QJsonValue()}}));
    EXPECT_EQ(reports[2].toObject().value("ok").toBool(true), false);
    EXPECT_TRUE(reports[2].toObject().value("error").toString().startsWith("file too short"));
}

// What is no level file is refused by name before it is read: a pipe
// without a writer and an endless device do not hold the program (the
// runner's deadline fails a run that hangs), a sparse file of gigabytes is
// not read into memory. Standard input is read up to the same limit.
TEST_F(TesseraToolTest, WhatIsNoLevelFileIsRefusedByName) {
    const QString huge = Write("huge.rif", QByteArray());
    ASSERT_TRUE(QFile(huge).resize(qint64{4} << 30));
    const QString pipe = PathOf("pipe.rif");
    ASSERT_EQ(0, ::mkfifo(QFile::encodeName(pipe).constData(), 0644));
    const QString zero = PathOf("zero.rif");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    const QString folder = PathOf("folder.rif");
    ASSERT_TRUE(QDir().mkpath(folder));
    const struct {
        const char* name;
        QString path;
        const char* reason;
    } cases[] = {
        {"4 GiB sparse file", huge, "it is 4 GiB, more than the 64 MiB such a file may have"},
        {"named pipe without a writer", pipe, "it is a named pipe, not a file"},
        {"character device without end", zero, "it is a character device, not a file"},
        {"a folder", folder, "it is a folder, not a file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* command : {"check", "tree", "decompress"}) {
            SCOPED_TRACE(command);
            QStringList arguments{QLatin1String(command), c.path};
            if (QByteArray(command) == "decompress") {
                arguments << PathOf("out.plain");
            }
            const ProgramRun run = RunProgram(kTessera, arguments);
            EXPECT_EQ(run.exitCode, 1);
            EXPECT_TRUE((run.out + run.err).contains(c.reason))
                << run.out.toStdString() << run.err.toStdString();
            EXPECT_TRUE((run.out + run.err).contains(c.path.toUtf8())) << run.err.toStdString();
        }
    }
    EXPECT_FALSE(QFile::exists(PathOf("out.plain")));
}

TEST_F(TesseraToolTest, ExitStatusesAndHelp) {
    const QString file = Write("t.rif", Stream(SmallTree()));
    struct Case {
        QStringList arguments;
        int exitCode;
        const char* text;  // in standard output (status 0) or error (otherwise)
    };
    const Case cases[] = {
        {{}, 2, "no command given"},
        {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
        {{"tree"}, 2, "usage: tessera tree FILE"},
        {{"tree", file, "--bogus"}, 2, "Unknown option 'bogus'"},
        {{"cat", file}, 2, "usage: tessera cat FILE PATH"},
        {{"check"}, 2, "usage: tessera check"},
        {{"tree", PathOf("absent.rif")}, 1, "absent.rif: cannot open"},
        {{"check", file, PathOf("absent.rif")}, 1, ""},
        {{"--version"}, 0, "tessera "},
        {{"tree", "--help"}, 0, "--json"},
        {{"pack", "--help"}, 0, "--plain"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const ProgramRun run = RunProgram(kTessera, c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_TRUE((c.exitCode == 0 ? run.out : run.err).contains(c.text))
            << run.out.toStdString() << run.err.toStdString();
    }

    const ProgramRun help = RunProgram(kTessera, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"tree FILE", "cat FILE PATH", "unpack FILE DIR", "pack DIR FILE",
                             "compress IN OUT", "decompress IN OUT", "check FILE", "--json",
                             "--plain", "--help", "--version", "Exit status"}) {
        EXPECT_TRUE(help.out.contains(word)) << word;
    }
}

}  // namespace
}  // namespace gearloft::testing
