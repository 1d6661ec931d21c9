// The chunk reader: header checks, the walk and its callback, text and property records, both length
// widths, baked channel values, and refusal of broken files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "scene_reader.h"
#include "scene_writer.h"

namespace {

std::vector<uint8_t> build(const std::string& text) {
    std::string error;
    std::vector<uint8_t> bytes = qeSceneWriteDescription(text, &error);
    EXPECT_EQ(error, "");
    EXPECT_FALSE(bytes.empty());
    return bytes;
}

struct Seen {
    int depth;
    uint32_t parent;
    uint32_t id;
    uint32_t offset;
    uint32_t length;
};

int record(SceneMemoryFile*, int depth, uint32_t parent, uint32_t id, uint32_t offset, uint32_t length, void* user) {
    static_cast<std::vector<Seen>*>(user)->push_back(Seen{depth, parent, id, offset, length});
    return 0;
}

// Walks bytes with a recording callback; returns read_form's result.
int walk(const std::vector<uint8_t>& bytes, std::vector<Seen>* seen = nullptr, SceneMemoryFile** keep = nullptr) {
    SceneMemoryFile* f = open_scene_memory_buffer(bytes.data(), bytes.size());
    std::vector<Seen> local;
    set_chunk_callback(record, seen ? seen : &local);
    int rc = read_form(f);
    set_chunk_callback(nullptr, nullptr);
    if (keep) *keep = f;
    else scene_file_close(f);
    return rc;
}

std::string id(uint32_t v) {
    char s[5] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v), 0};
    return s;
}

TEST(SceneReader, RefusesFilesWithoutTheirTags) {
    std::vector<uint8_t> notIff = {'R', 'I', 'F', 'F', 0, 0, 0, 4, 'Q', 'I', 'R', 'N'};
    testing::internal::CaptureStderr();
    EXPECT_EQ(walk(notIff), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Not an IFF file (Missing FORM tag)");

    std::vector<uint8_t> otherType = {'F', 'O', 'R', 'M', 0, 0, 0, 4, 'I', 'L', 'B', 'M'};
    testing::internal::CaptureStderr();
    EXPECT_EQ(walk(otherType), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Not a QIRN scene file (Missing QIRN tag)");

    std::vector<Seen> seen;
    std::vector<uint8_t> headerOnly = {'F', 'O', 'R', 'M', 0, 0, 0, 4, 'Q', 'I', 'R', 'N'};
    EXPECT_EQ(walk(headerOnly, &seen), 0);
    EXPECT_TRUE(seen.empty());

    std::vector<uint8_t> empty;
    testing::internal::CaptureStderr();
    EXPECT_EQ(walk(empty), -1);
    testing::internal::GetCapturedStderr();
}

TEST(SceneReader, ReportsEveryChunkWithDepthParentAndBodyOffset) {
    std::vector<uint8_t> bytes = build(R"(
        ZZZZ { }
        SCEN { NAME "abc" YYYY { } PRPS { PROP int frameStart 3 } }
        CGRP { NAME "g" CGRP { NAME "h" CHAN { NAME "c" TYPE 1 VALS { VRUN 2 1.5 } } } }
    )");
    std::vector<Seen> seen;
    ASSERT_EQ(walk(bytes, &seen), 0);
    std::vector<std::string> order;
    for (const Seen& s : seen) order.push_back(std::to_string(s.depth) + id(s.parent) + ">" + id(s.id));
    std::vector<std::string> want = {
        "0QIRN>ZZZZ", "0QIRN>SCEN", "1SCEN>NAME", "1SCEN>YYYY", "1SCEN>PRPS", "2PRPS>PROP",
        "0QIRN>CGRP", "1CGRP>NAME", "1CGRP>CGRP", "2CGRP>NAME", "2CGRP>CHAN", "3CHAN>NAME",
        "3CHAN>TYPE", "3CHAN>VALS", "4VALS>VRUN",
    };
    EXPECT_EQ(order, want);
    // Body offsets: the first top-level body starts after the 12-byte header and its own 8-byte header.
    EXPECT_EQ(seen[0].offset, 20u);
    EXPECT_EQ(seen[0].length, 0u);
    const Seen& name = seen[2];
    EXPECT_EQ(name.length, 4u);  // "abc" + NUL, no pad
    EXPECT_EQ(std::memcmp(bytes.data() + name.offset, "abc", 4), 0);
    // Texts pad to even sizes.
    seen.clear();
    ASSERT_EQ(walk(build(R"(SCEN { FNAM "abcd" })"), &seen), 0);
    EXPECT_EQ(seen.at(1).length, 6u);
}

TEST(SceneReader, PropertyAccessorsReadEveryValueKind) {
    std::vector<Seen> seen;
    SceneMemoryFile* f = nullptr;
    ASSERT_EQ(walk(build(R"(BKDR { PRPS {
        PROP int i -7  PROP float f 2.5  PROP string s "hello"  PROP float3 v 1 2 3
        PROP int2 p 640 480  PROP float2 q 0.25 0.5  PROP type 9 odd } })"),
                   &seen, &f),
              0);
    std::vector<uint32_t> props;
    for (const Seen& s : seen)
        if (s.id == QE_ID_PROP) props.push_back(s.offset);
    ASSERT_EQ(props.size(), 7u);
    EXPECT_EQ(prop_type(f, props[0]), 1u);
    EXPECT_STREQ(prop_name(f, props[0]), "i");
    EXPECT_EQ(prop_int(f, props[0]), -7);
    EXPECT_FLOAT_EQ(prop_float0(f, props[1]), 2.5f);
    EXPECT_STREQ(prop_string(f, props[2]), "hello");
    EXPECT_FLOAT_EQ(prop_float(f, props[3], 2), 3.0f);
    EXPECT_EQ(prop_word(f, props[4], 1), 480u);
    EXPECT_FLOAT_EQ(prop_float(f, props[5], 1), 0.5f);
    EXPECT_EQ(prop_type(f, props[6]), 9u);
    EXPECT_EQ(prop_word_count(f, props[6]), 0);
    EXPECT_EQ(prop_word(f, props[6], 0), 0u);  // no value words to read
    EXPECT_EQ(prop_string(f, props[0]), nullptr);
    scene_file_close(f);
}

TEST(SceneReader, ShortPropertyFailsTheLoadWithoutEndingTheProcess) {
    SceneWriter w;
    w.begin("BKDR");
    w.begin("PRPS");
    w.begin("PROP");
    w.u32(4);
    w.text("zenith");
    w.f32(1);
    w.f32(2);
    w.bytes("\0\0\0", 3);  // the third float is one byte short
    w.end();
    w.end();
    w.end();
    testing::internal::CaptureStderr();
    EXPECT_EQ(walk(w.finish()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: read_prop: bytesread(12)  != nbytes expected(23)\n");
}

TEST(SceneReader, RefusesOverrunsAndBadTexts) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    {  // a child longer than its container
        std::vector<uint8_t> b = build(R"(SCEN { NAME "abc" })");
        b[27] = 40;  // NAME length 4 -> 40 (the SCEN body is 12 bytes)
        cases.push_back({"child overrun", b});
    }
    {  // a top-level chunk longer than the file
        std::vector<uint8_t> b = build(R"(SCEN { NAME "abc" })");
        b[19] = 200;
        cases.push_back({"top-level overrun", b});
    }
    {  // FORM length past the end
        std::vector<uint8_t> b = build(R"(SCEN { NAME "abc" })");
        b[7] += 2;
        cases.push_back({"form overrun", b});
    }
    {  // a NAME without its NUL
        SceneWriter w;
        w.begin("SCEN");
        w.begin("NAME");
        w.bytes("abcd", 4);
        w.end();
        w.end();
        cases.push_back({"unterminated name", w.finish()});
    }
    // a NAME longer than 255 characters, a string value longer than 259
    cases.push_back({"long name", build("SCEN { NAME \"" + std::string(300, 'x') + "\" }")});
    cases.push_back({"long string", build("SCEN { PRPS { PROP string loadAudio \"" + std::string(260, 'y') + "\" } }")});
    {  // a VDAT whose count does not match its length
        SceneWriter w;
        w.begin("CGRP");
        w.begin("CHAN");
        w.begin("VALS");
        w.begin("VDAT");
        w.u32(5);
        w.f32(1);
        w.end();
        w.end();
        w.end();
        w.end();
        cases.push_back({"vdat count", w.finish()});
    }
    std::string deep;  // groups nested past the depth limit
    for (int i = 0; i < QE_SCENE_MAX_DEPTH + 2; ++i) deep = "CGRP { " + deep + " }";
    cases.push_back({"deep nesting", build(deep)});
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(walk(c.bytes), -1) << c.what;
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.rfind("Error: ", 0), 0u) << c.what << ": " << err;
    }
    EXPECT_EQ(walk(build("SCEN { NAME \"" + std::string(255, 'x') + "\" }")), 0);  // 255 characters are still fine
}

const char* kRuns = R"(
    CGRP { CHAN { NAME "c" VALS { VRUN 10 2.5 VDAT 3 1 2 3 } } }
)";

uint32_t valsOffset(const std::vector<Seen>& seen) {
    for (const Seen& s : seen)
        if (s.id == QE_ID_VALS) return s.offset;
    return 0;
}

TEST(SceneReader, BakedChannelRuns) {
    std::vector<Seen> seen;
    SceneMemoryFile* f = nullptr;
    ASSERT_EQ(walk(build(kRuns), &seen, &f), 0);
    uint32_t vals = valsOffset(seen);
    ASSERT_NE(vals, 0u);
    for (int frame = 0; frame < 10; ++frame) EXPECT_FLOAT_EQ(dumpqirn_ext_vals_get_value(f, vals, frame), 2.5f);
    EXPECT_FLOAT_EQ(dumpqirn_ext_vals_get_value(f, vals, 10), 1.0f);
    EXPECT_FLOAT_EQ(dumpqirn_ext_vals_get_value(f, vals, 11), 2.0f);
    EXPECT_FLOAT_EQ(dumpqirn_ext_vals_get_value(f, vals, 12), 3.0f);
    EXPECT_FLOAT_EQ(dumpqirn_ext_vals_get_value(f, vals, 13), 0.0f);
    EXPECT_FLOAT_EQ(dumpqirn_ext_vals_get_value(f, vals, 1000000), 0.0f);
    EXPECT_FLOAT_EQ(dumpqirn_ext_vals_get_value(f, vals, -1), 0.0f);
    EXPECT_FLOAT_EQ(dumpqirn_ext_vals_get_value(f, 0, 3), 0.0f);  // no channel: never reads the header
    scene_file_close(f);

    // An unknown run is reported and yields 0.0; runs before it still answer.
    seen.clear();
    SceneWriter w;
    w.begin("CGRP");
    w.begin("CHAN");
    w.begin("VALS");
    w.vrun(2, 7.0f);
    w.begin("XRUN");
    w.u32(5);
    w.f32(9.0f);
    w.end();
    w.end();
    w.end();
    w.end();
    ASSERT_EQ(walk(w.finish(), &seen, &f), 0);
    vals = valsOffset(seen);
    EXPECT_FLOAT_EQ(dumpqirn_ext_vals_get_value(f, vals, 1), 7.0f);
    testing::internal::CaptureStdout();
    EXPECT_FLOAT_EQ(dumpqirn_ext_vals_get_value(f, vals, 2), 0.0f);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "dumpqirn_ext_vals_get_value: Unknown Chunk !\n");
    scene_file_close(f);
}

TEST(SceneReader, LengthWidthBelongsToEachFile) {
    const std::string scene = R"(
        SCEN { NAME "legacy" PRPS { PROP int frameEnd 12 } }
        CGRP { NAME "g" CHAN { NAME "c" VALS { VRUN 10 2.5 VDAT 3 1 2 3 } } }
    )";
    std::vector<uint8_t> legacy = build("width 16\n" + scene);
    std::vector<uint8_t> current = build(scene);
    ASSERT_LT(legacy.size(), current.size());

    for (int round = 0; round < 2; ++round) {
        std::vector<Seen> seen;
        SceneMemoryFile* f = nullptr;
        testing::internal::CaptureStdout();
        ASSERT_EQ(walk(legacy, &seen, &f), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "DumpQirn: enable backward Compatibility with export <= LW10.1\n");
        EXPECT_EQ(f->longNestedLengths, 0);
        EXPECT_EQ(seen.size(), 11u);
        EXPECT_FLOAT_EQ(dumpqirn_ext_vals_get_value(f, valsOffset(seen), 11), 2.0f);
        scene_file_close(f);

        // A current file read after a legacy one keeps its 32-bit lengths.
        seen.clear();
        testing::internal::CaptureStdout();
        ASSERT_EQ(walk(current, &seen, &f), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(f->longNestedLengths, 1);
        EXPECT_EQ(seen.size(), 11u);
        EXPECT_FLOAT_EQ(dumpqirn_ext_vals_get_value(f, valsOffset(seen), 11), 2.0f);
        scene_file_close(f);
    }

    // A scene chunk too short to hold the probe is read with 32-bit lengths and no message.
    std::vector<Seen> seen;
    testing::internal::CaptureStdout();
    EXPECT_EQ(walk(build("SCEN { }"), &seen), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(SceneReader, MemoryFileOperationsStayInsideTheBuffer) {
    const char text[] = "one\ntwo";
    SceneMemoryFile* f = open_scene_memory_buffer(text, 7);
    char line[16];
    ASSERT_NE(scene_file_gets(line, sizeof line, f), nullptr);
    EXPECT_STREQ(line, "one\n");
    ASSERT_NE(scene_file_gets(line, 3, f), nullptr);
    EXPECT_STREQ(line, "tw");  // the size is respected
    EXPECT_EQ(scene_file_getc(f), 'o');
    EXPECT_EQ(scene_file_getc(f), -1);
    EXPECT_EQ(scene_file_gets(line, sizeof line, f), nullptr);
    EXPECT_EQ(scene_file_seek(f, 2, 2), 0);
    EXPECT_EQ(scene_file_tell(f), 5);
    char buf[8];
    EXPECT_EQ(scene_file_read(buf, 1, 8, f), 2u);
    EXPECT_EQ(scene_file_seek(f, 8, 0), -1);
    EXPECT_EQ(scene_file_seek(f, -1, 0), -1);
    scene_file_close(f);
}

}  // namespace
