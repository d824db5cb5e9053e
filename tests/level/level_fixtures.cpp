#include "tests/level/level_fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace gearloft::testing {

TesseraRecord Tessera() {
    static const TesseraRecord record = std::make_shared<const TESSERAEXPORT>([] {
        TESSERAEXPORT filled{};
        void* library = dlopen(TESSERA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            ADD_FAILURE() << "cannot load " << TESSERA_LIBRARY_PATH << ": " << dlerror();
            return filled;
        }
        auto init = reinterpret_cast<PFN_TesseraInit>(dlsym(library, "TesseraInit"));
        filled.dwSize = sizeof filled;
        if (!init || !init(&filled)) {
            ADD_FAILURE() << "TesseraInit failed";
            filled = TESSERAEXPORT{};
        }
        return filled;
    }());
    return record;
}

QByteArray RecordBytes(const LevelFixture& fixture) {
    QByteArray bytes(static_cast<int>(std::max<std::uint32_t>(fixture.recordSize, 24)), '\0');
    auto* data = reinterpret_cast<unsigned char*>(bytes.data());
    qToLittleEndian<std::uint32_t>(0x11223344u, data + 0);
    qToLittleEndian<std::uint32_t>(0xA5A5A5A5u, data + 4);
    qToLittleEndian<std::uint32_t>(0xDEADBEEFu, data + 8);
    qToLittleEndian<std::uint32_t>(0x01020304u, data + 12);
    qToLittleEndian<std::uint32_t>(fixture.equipment, data + 16);
    qToLittleEndian<std::uint32_t>(fixture.spears, data + 20);
    for (int i = 24; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(0xF0 ^ i);
    }
    bytes.resize(static_cast<int>(fixture.recordSize));
    return bytes;
}

void WriteLevelFile(const QString& path, const LevelFixture& fixture) {
    const TESSERAEXPORT& lib = *Tessera();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    RifItem* root = lib.CreateRifItemFolder("REBINFF2");
    const char header[] = "level header \x01\x02\x03";
    lib.InsertRifItemChild("HEADERDT", header, sizeof header, root, RIF_LAST);
    RifItem* env = lib.InsertRifItemFolder("REBENVDT", root, RIF_LAST);
    lib.InsertRifItemChild("ENDTHEAD", "\x05\x06\x07\x08", 4, env, RIF_LAST);
    if (fixture.withRecord) {
        const QByteArray record = RecordBytes(fixture);
        lib.InsertRifItemChild("QELENVIR", record.constData(),
                               static_cast<std::uint32_t>(record.size()), env, RIF_LAST);
    }
    lib.InsertRifItemChild("SOUNDDIR", "sound/a.wav", 12, env, RIF_LAST);
    RifItem* shape = lib.InsertRifItemFolder("REBSHAPE", root, RIF_LAST);
    QByteArray bulk(5000, '\0');
    for (int i = 0; i < bulk.size(); ++i) {
        bulk[i] = static_cast<char>((i * 7) % 13);
    }
    lib.InsertRifItemChild("SHPRAWVT", bulk.constData(), static_cast<std::uint32_t>(bulk.size()),
                           shape, RIF_LAST);

    const QByteArray file = QFile::encodeName(path);
    if (fixture.compressed) {
        ASSERT_TRUE(lib.SaveRifFile(root, file.constData()));
    } else {
        std::uint32_t length = 0;
        void* stream = lib.CompileRif(root, &length);
        ASSERT_NE(stream, nullptr);
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(static_cast<const char*>(stream), length);
        lib.ReleaseBuffer(stream);
    }
    lib.DeleteRifItem(root);
}

QByteArray PlainStream(const QString& path) {
    const TESSERAEXPORT& lib = *Tessera();
    RifItem* root = lib.LoadRifFile(QFile::encodeName(path).constData());
    if (!root) {
        return QByteArray();
    }
    std::uint32_t length = 0;
    void* stream = lib.CompileRif(root, &length);
    QByteArray bytes(static_cast<const char*>(stream), static_cast<int>(length));
    lib.ReleaseBuffer(stream);
    lib.DeleteRifItem(root);
    return bytes;
}

QByteArray ReadRecord(const QString& path) {
    const TESSERAEXPORT& lib = *Tessera();
    RifItem* root = lib.LoadRifFile(QFile::encodeName(path).constData());
    if (!root) {
        return QByteArray();
    }
    QByteArray bytes;
    RifItem* record = lib.FindFirstRifItem(lib.FindFirstRifItem(root, "REBENVDT"), "QELENVIR");
    if (record) {
        std::uint32_t size = 0;
        const void* data = lib.GetRifItemData(record, &size);
        bytes = QByteArray(static_cast<const char*>(data), static_cast<int>(size));
    }
    lib.DeleteRifItem(root);
    return bytes;
}

std::uint32_t WordAt(const QByteArray& bytes, int offset) {
    if (bytes.size() < offset + 4) {
        ADD_FAILURE() << "no word at offset " << offset;
        return 0;
    }
    return qFromLittleEndian<std::uint32_t>(bytes.constData() + offset);
}

QByteArray ReadFileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace gearloft::testing
