// Streams that the bounded parser must refuse, built field by field, with the
// one line each must produce. None of them may be read past its last byte:
// each is copied into a block of exactly its size, so the sanitizer build
// catches any over-read.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "chunk_test_support.h"
#include "chunkfile/stream.h"
#include "chunkfile/tessera.h"

namespace {

using tessera_test::CapturedLines;
using tessera_test::kCorruptChunk;
using tessera_test::kCorruptFolder;
using tessera_test::kNotAStream;
using tessera_test::StreamBytes;

struct RefusedStream {
    const char* name;
    StreamBytes stream;
    const char* line;
};

std::vector<RefusedStream> RefusedStreams() {
    std::vector<RefusedStream> cases;
    auto add = [&](const char* name, StreamBytes stream, const char* line) {
        cases.push_back({name, std::move(stream), line});
    };

    add("empty", StreamBytes(), kNotAStream);
    add("shorter than the magic", StreamBytes().Fill(7, 'R'), kNotAStream);
    add("header cut short",
        StreamBytes().Id("REBINFF2"),  // the magic and no size field
        kCorruptChunk);
    {
        StreamBytes s;
        s.Id("REBINFF2")   // magic
            .Fill(3, 12);  // 3 of the 4 size bytes
        add("size field cut short", s, kCorruptChunk);
    }
    {
        StreamBytes s;
        s.Id("REBCRIF1")  // the compressed container's magic
            .Size(12);
        add("compressed container", s, kNotAStream);
    }
    {
        StreamBytes s;
        s.Id("rebinff2")  // the magic in lower case
            .Size(12);
        add("lower-case magic", s, kNotAStream);
    }
    {
        StreamBytes s;
        s.Id("REBINFF2")  // root
            .Size(11);    // below the header's own 12 bytes
        add("root size 11", s, kCorruptChunk);
    }
    {
        StreamBytes s;
        s.Id("REBINFF2").Size(13)  // root claiming one byte more than it has
            ;
        add("root size past the end", s, kCorruptChunk);
    }
    {
        StreamBytes s;
        s.Id("REBINFF2").Size(0xFFFFFFFF);  // root claiming 4 GiB
        add("root size 4 GiB", s, kCorruptChunk);
    }
    {
        StreamBytes s;
        s.Id("REBINFF2")
            .Size(24)  // root with one 12-byte child
            .Id("QELENVIR")
            .Size(11);  // data chunk of size 11
        add("data chunk size 11", s, kCorruptChunk);
    }
    {
        StreamBytes s;
        s.Id("REBINFF2")
            .Size(36)  // root
            .Id("REBENVDT")
            .Size(24)  // folder holding one chunk
            .Id("QELENVIR")
            .Size(0);  // a size of zero, deep inside
        add("nested chunk size 0", s, kCorruptChunk);
    }
    {
        StreamBytes s;
        s.Id("REBINFF2")
            .Size(28)  // root, honest about its 16 payload bytes
            .Id("QELENVIR")
            .Size(40)  // data chunk claiming 28 payload bytes
            .Fill(4);  // of which 4 are there
        add("data past the end", s, kCorruptChunk);
    }
    {
        StreamBytes s;
        s.Id("REBINFF2")
            .Size(48)  // root claiming 36 payload bytes
            .Id("REBENVDT")
            .Size(12)  // an empty folder
            .Id("QELENVIR")
            .Size(12);  // and a data chunk: 24 bytes, 12 missing
        add("root past the end", s, kCorruptChunk);
    }
    {
        StreamBytes s;
        s.Id("REBINFF2")
            .Size(17)  // root whose payload is 5 bytes
            .Fill(5);
        add("folder payload of 5 bytes", s, kCorruptFolder);
    }
    {
        StreamBytes s;
        s.Id("REBINFF2")
            .Size(41)  // root
            .Id("REBENVDT")
            .Size(29)  // folder: one 12-byte child, then 5 bytes
            .Id("QELENVIR")
            .Size(12)  // the child
            .Fill(5);  // 5 bytes left before the folder's end
        add("5 bytes after the last child", s, kCorruptFolder);
    }
    {
        StreamBytes s;
        s.Id("REBINFF2")
            .Size(35)  // root: a child and 11 spare bytes
            .Id("QELENVIR")
            .Size(12)   // the child
            .Fill(11);  // one byte short of a header
        add("11 bytes after the last child", s, kCorruptFolder);
    }
    {
        StreamBytes s;
        s.Id("REBINFF2")
            .Size(0xFFFFFFFF)  // root claiming 4 GiB, so every child is looked at
            .Id("REBENVDT")
            .Size(20)  // folder claiming 8 payload bytes
            .Fill(4);  // of which only 4 are given
        add("child header cut short", s, kCorruptChunk);
    }
    return cases;
}

TEST(RefusedStreamsTest, EachIsRefusedWithItsLine) {
    for (const RefusedStream& c : RefusedStreams()) {
        const auto& bytes = c.stream.bytes();
        // An exact-size heap copy: any read past it is an overflow.
        std::unique_ptr<unsigned char[]> exact(new unsigned char[bytes.size()]);
        std::copy(bytes.begin(), bytes.end(), exact.get());
        CapturedLines captured;
        EXPECT_EQ(tessera::ParseStream(exact.get(), bytes.size()), nullptr) << c.name;
        EXPECT_EQ(captured.lines(), std::vector<std::string>{c.line}) << c.name;
    }
}

// Refusals that come from the stream itself, not from where the given bytes
// end, are the same for the trusting parse.
TEST(RefusedStreamsTest, TrustedParseRefusesInconsistentStreams) {
    struct Case {
        const char* name;
        StreamBytes stream;
        const char* line;
    } cases[] = {
        {"compressed container", StreamBytes().Id("REBCRIF1").Size(12), kNotAStream},
        {"chunk size 11", StreamBytes().Id("REBINFF2").Size(24).Id("QELENVIR").Size(11),
         kCorruptChunk},
        {"folder payload of 5 bytes", StreamBytes().Id("REBINFF2").Size(17).Fill(5),
         kCorruptFolder},
    };
    for (const Case& c : cases) {
        CapturedLines captured;
        EXPECT_EQ(ParseRif(c.stream.bytes().data()), nullptr) << c.name;
        EXPECT_EQ(captured.lines(), std::vector<std::string>{c.line}) << c.name;
    }
}

}  // namespace
