// Binding the library at run time through TesseraInit, with the real library
// and with stand-ins whose init fills the record or refuses it.
#include "app/library_binding.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>

namespace gearloft {
namespace {

const QString kAccepting = QStringLiteral(FAKE_TESSERA_OK);
const QString kRefusing = QStringLiteral(FAKE_TESSERA_REFUSES);
const QString kReal = QStringLiteral(REAL_TESSERA);

// Whether the real library is mapped into this process now.
bool RealLibraryLoaded() {
    void* handle = dlopen(REAL_TESSERA, RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr) {
        dlclose(handle);
    }
    return handle != nullptr;
}

TEST(LibraryBinding, FillsTheFullRecordThroughTheRealLibrary) {
    LibraryBinding binding;
    EXPECT_EQ(binding.record(), nullptr);
    ASSERT_TRUE(binding.Bind({kReal})) << binding.errorString().toStdString();
    EXPECT_TRUE(binding.loaded());
    const TesseraRecord record = binding.record();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->dwSize, sizeof(TESSERAEXPORT));
    EXPECT_EQ(record->dwVersion, TESSERA_VERSION);
    EXPECT_NE(record->LoadRifFile, nullptr);
    EXPECT_NE(record->SaveRifFile, nullptr);
    EXPECT_NE(record->FindFirstRifItem, nullptr);
    EXPECT_NE(record->GetRifItemData, nullptr);
    EXPECT_NE(record->DeleteRifItem, nullptr);
}

// Unbinding while a copy of the record is held (a level still open, an About
// box, another program's session) must not unload the code the copy points
// into; the last copy to go unloads it.
TEST(LibraryBinding, TheLibraryStaysLoadedWhileACopyOfItsRecordLives) {
    ASSERT_FALSE(RealLibraryLoaded());
    TesseraRecord held;
    {
        LibraryBinding binding;
        ASSERT_TRUE(binding.Bind({kReal})) << binding.errorString().toStdString();
        held = binding.record();
        binding.Unbind();
        EXPECT_EQ(binding.record(), nullptr);
        EXPECT_FALSE(binding.loaded());
    }
    ASSERT_TRUE(RealLibraryLoaded());
    RifItem* item = held->CreateRifItemFolder("REBINFF2");
    ASSERT_NE(item, nullptr);
    held->DeleteRifItem(item);
    held.reset();
    EXPECT_FALSE(RealLibraryLoaded());

    // A new binding replaces the old one the same way.
    LibraryBinding binding;
    ASSERT_TRUE(binding.Bind({kReal}));
    held = binding.record();
    ASSERT_TRUE(binding.Bind({kAccepting}));
    EXPECT_TRUE(RealLibraryLoaded());
    EXPECT_NE(held, binding.record());
    held.reset();
    EXPECT_FALSE(RealLibraryLoaded());
}

TEST(LibraryBinding, TriesCandidatesInOrderAndReportsTheFileName) {
    struct Case {
        const char* name;
        QStringList candidates;
        bool bound;
        bool loaded;
        QString triedFileName;
    } const cases[] = {
        {"beside, then system",
         {QStringLiteral("/nonexistent/lib/libtessera.so.1"), kAccepting},
         true,
         true,
         QStringLiteral("libtessera.so.1")},
        {"missing everywhere",
         {QStringLiteral("/nonexistent/lib/libtessera.so.1"),
          QStringLiteral("libtessera-missing.so.1")},
         false,
         false,
         QStringLiteral("libtessera-missing.so.1")},
        // A library that loads but refuses stays loaded until the exit steps.
        {"init refuses", {kRefusing, kAccepting}, false, true, QStringLiteral("libtessera.so.1")},
        {"no init export", {QStringLiteral("libm.so.6")}, false, true, QStringLiteral("libm.so.6")},
    };
    for (const Case& c : cases) {
        LibraryBinding binding;
        EXPECT_EQ(binding.Bind(c.candidates), c.bound) << c.name;
        EXPECT_EQ(binding.loaded(), c.loaded) << c.name;
        EXPECT_EQ(binding.triedFileName(), c.triedFileName) << c.name;
        // Only a library that accepted has a record to hand out.
        EXPECT_EQ(binding.record() != nullptr, c.bound) << c.name;
        if (c.bound) {
            EXPECT_EQ(binding.record()->dwVersion, TESSERA_VERSION) << c.name;
        }
        if (!c.bound) {
            EXPECT_FALSE(binding.errorString().isEmpty()) << c.name;
        }
    }
}

TEST(LibraryBinding, CandidatesAreBesideTheProgramThenTheSystemSearch) {
    // Between them, on a multiarch system, the installed library folder.
    const QStringList candidates = TesseraCandidates(QStringLiteral("/opt/gearloft/bin"));
    ASSERT_GE(candidates.size(), 2);
    ASSERT_LE(candidates.size(), 3);
    EXPECT_EQ(candidates.front(), QStringLiteral("/opt/gearloft/lib/libtessera.so.1"));
    EXPECT_EQ(candidates.back(), QStringLiteral("libtessera.so.1"));
    if (candidates.size() == 3) {
        EXPECT_TRUE(candidates[1].startsWith(QStringLiteral("/opt/gearloft/lib/")));
        EXPECT_TRUE(candidates[1].endsWith(QStringLiteral("/libtessera.so.1")));
    }
}

}  // namespace
}  // namespace gearloft
