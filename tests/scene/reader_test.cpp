// The chunk reader: header checks, the walk and its callback, property records, both length widths,
// baked channel values, and refusal of broken files.
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
    return bytes;
}

struct Seen {
    uint32_t parent, id, offset, length;
};

int record(SceneMemoryFile*, int, uint32_t parent, uint32_t id, uint32_t offset, uint32_t length, void* user) {
    static_cast<std::vector<Seen>*>(user)->push_back(Seen{parent, id, offset, length});
    return 0;
}

// Walks bytes with a recording callback; returns read_form's result and, with keep, the open file.
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

uint32_t offsetOf(const std::vector<Seen>& seen, uint32_t id) {
    for (const Seen& s : seen)
        if (s.id == id) return s.offset;
    return 0;
}

TEST(SceneReader, RefusesFilesWithoutTheirTags) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(walk({'R', 'I', 'F', 'F', 0, 0, 0, 4, 'Q', 'I', 'R', 'N'}), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Not an IFF file (Missing FORM tag)");
    testing::internal::CaptureStderr();
    EXPECT_EQ(walk({'F', 'O', 'R', 'M', 0, 0, 0, 4, 'I', 'L', 'B', 'M'}), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Not a QIRN scene file (Missing QIRN tag)");
    std::vector<Seen> seen;
    EXPECT_EQ(walk({'F', 'O', 'R', 'M', 0, 0, 0, 4, 'Q', 'I', 'R', 'N'}, &seen), 0);
    EXPECT_TRUE(seen.empty());
}

TEST(SceneReader, ReportsEveryChunkWithParentAndBodyOffset) {
    std::vector<uint8_t> bytes = build(R"(
        ZZZZ { }  SCEN { NAME "abc" YYYY { } FNAM "abcd" }
        CGRP { CGRP { CHAN { TYPE 1 VALS { VRUN 2 1.5 } } } })");
    std::vector<Seen> seen;
    ASSERT_EQ(walk(bytes, &seen), 0);
    std::string order;
    for (const Seen& s : seen) order += std::string(reinterpret_cast<const char*>(bytes.data()) + s.offset - 8, 4) + " ";
    EXPECT_EQ(order, "ZZZZ SCEN NAME YYYY FNAM CGRP CGRP CHAN TYPE VALS VRUN ");
    EXPECT_EQ(seen[7].parent, QE_ID_CGRP);
    EXPECT_EQ(seen[0].offset, 20u);  // after the 12-byte file header and its own 8-byte header
    EXPECT_EQ(seen[2].length, 4u);   // "abc" and its NUL, no pad
    EXPECT_EQ(std::memcmp(bytes.data() + seen[2].offset, "abc", 4), 0);
    EXPECT_EQ(seen[4].length, 6u);   // "abcd", NUL and a pad byte
}

TEST(SceneReader, PropertyAccessorsReadEveryValueKind) {
    std::vector<Seen> seen;
    SceneMemoryFile* f = nullptr;
    ASSERT_EQ(walk(build(R"(BKDR { PRPS {
        PROP int i -7  PROP float f 2.5  PROP string s "hello"  PROP float3 v 1 2 3
        PROP int2 p 640 480  PROP float2 q 0.25 0.5  PROP type 9 odd } })"), &seen, &f), 0);
    std::vector<uint32_t> p;
    for (const Seen& s : seen)
        if (s.id == QE_ID_PROP) p.push_back(s.offset);
    ASSERT_EQ(p.size(), 7u);
    EXPECT_EQ(prop_int(f, p[0]), -7);
    EXPECT_FLOAT_EQ(prop_float0(f, p[1]), 2.5f);
    EXPECT_STREQ(prop_string(f, p[2]), "hello");
    EXPECT_FLOAT_EQ(prop_float(f, p[3], 2), 3.0f);
    EXPECT_EQ(prop_word(f, p[4], 1), 480u);
    EXPECT_FLOAT_EQ(prop_float(f, p[5], 1), 0.5f);
    EXPECT_EQ(prop_type(f, p[6]), 9u);
    EXPECT_EQ(prop_word(f, p[6], 0), 0u);  // no value words to read
    EXPECT_EQ(prop_string(f, p[0]), nullptr);
    scene_file_close(f);
}

TEST(SceneReader, ShortPropertyFailsTheLoadWithoutEndingTheProcess) {
    std::vector<uint8_t> bytes = build("BKDR { PRPS { PROP float3 zenith 1 2 0 } }");
    bytes.pop_back();  // the third float one byte short, in every length
    for (size_t at : {7, 19, 27, 35}) --bytes[at];
    testing::internal::CaptureStderr();
    EXPECT_EQ(walk(bytes), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: read_prop: bytesread(12)  != nbytes expected(23)\n");
}

TEST(SceneReader, RefusesOverrunsAndBadTexts) {
    const std::vector<uint8_t> name = build(R"(SCEN { NAME "abc" })");  // SCEN body at 20, NAME body at 28
    std::vector<std::vector<uint8_t>> cases(5, name);
    cases[0][27] = 40;   // a child longer than its container
    cases[1][19] = 200;  // a top-level chunk longer than the file
    cases[2][7] += 2;    // the FORM length past the end
    cases[3][31] = 'd';  // a NAME without its NUL
    cases[4] = build(R"(CGRP { CHAN { VALS { VDAT 1 1 } } })");
    cases[4][47] = 5;    // a VDAT count its length cannot hold
    cases.push_back(build("SCEN { NAME \"" + std::string(256, 'x') + "\" }"));
    cases.push_back(build("SCEN { PRPS { PROP string s \"" + std::string(260, 'y') + "\" } }"));
    std::string deep;
    for (int i = 0; i < QE_SCENE_MAX_DEPTH + 2; ++i) deep = "CGRP { " + deep + " }";
    cases.push_back(build(deep));
    for (size_t i = 0; i < cases.size(); ++i) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(walk(cases[i]), -1) << i;
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.rfind("Error: ", 0), 0u) << i << ": " << err;
    }
    EXPECT_EQ(walk(build("SCEN { NAME \"" + std::string(255, 'x') + "\" }")), 0);
}

TEST(SceneReader, BakedChannelRuns) {
    std::vector<Seen> seen;
    SceneMemoryFile* f = nullptr;
    ASSERT_EQ(walk(build("CGRP { CHAN { VALS { VRUN 10 2.5 VDAT 3 1 2 3 } } }"), &seen, &f), 0);
    const uint32_t vals = offsetOf(seen, QE_ID_VALS);
    const float want[][2] = {{0, 2.5f}, {9, 2.5f}, {10, 1}, {11, 2}, {12, 3}, {13, 0}, {1000000, 0}, {-1, 0}};
    for (const auto& w : want) EXPECT_FLOAT_EQ(dumpqirn_ext_vals_get_value(f, vals, int(w[0])), w[1]) << w[0];
    EXPECT_FLOAT_EQ(dumpqirn_ext_vals_get_value(f, 0, 3), 0.0f);  // no channel: never reads a header
    scene_file_close(f);

    // An unknown run is reported and yields 0.0; the runs before it still answer.
    std::vector<uint8_t> bytes = build("CGRP { CHAN { VALS { VRUN 2 7 VRUN 5 9 } } }");
    bytes[bytes.size() - 16] = 'X';  // the second run's id
    seen.clear();
    ASSERT_EQ(walk(bytes, &seen, &f), 0);
    EXPECT_FLOAT_EQ(dumpqirn_ext_vals_get_value(f, offsetOf(seen, QE_ID_VALS), 1), 7.0f);
    testing::internal::CaptureStdout();
    EXPECT_FLOAT_EQ(dumpqirn_ext_vals_get_value(f, offsetOf(seen, QE_ID_VALS), 2), 0.0f);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "dumpqirn_ext_vals_get_value: Unknown Chunk !\n");
    scene_file_close(f);
}

TEST(SceneReader, LengthWidthBelongsToEachFile) {
    const std::string scene = R"(SCEN { NAME "legacy" } CGRP { CHAN { VALS { VRUN 10 2.5 VDAT 3 1 2 3 } } })";
    const char* line[] = {"DumpQirn: enable backward Compatibility with export <= LW10.1\n", ""};
    // A 16-bit file, then a 32-bit one that keeps its 32-bit lengths.
    for (int longLengths = 0; longLengths < 2; ++longLengths) {
        std::vector<Seen> seen;
        SceneMemoryFile* f = nullptr;
        testing::internal::CaptureStdout();
        ASSERT_EQ(walk(build((longLengths ? "" : "width 16\n") + scene), &seen, &f), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), line[longLengths]);
        EXPECT_EQ(f->longNestedLengths, longLengths);
        EXPECT_EQ(seen.size(), 7u);
        EXPECT_FLOAT_EQ(dumpqirn_ext_vals_get_value(f, offsetOf(seen, QE_ID_VALS), 11), 2.0f);
        scene_file_close(f);
    }
    // A scene chunk too short to hold the probe is read with 32-bit lengths and no message.
    testing::internal::CaptureStdout();
    EXPECT_EQ(walk(build("SCEN { }")), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(SceneReader, MemoryFileOperationsStayInsideTheBuffer) {
    SceneMemoryFile* f = open_scene_memory_buffer("one\ntwo", 7);
    char line[16];
    ASSERT_NE(scene_file_gets(line, sizeof line, f), nullptr);
    EXPECT_STREQ(line, "one\n");
    ASSERT_NE(scene_file_gets(line, 3, f), nullptr);
    EXPECT_STREQ(line, "tw");  // the size is respected
    EXPECT_EQ(scene_file_getc(f), 'o');
    EXPECT_EQ(scene_file_getc(f), -1);
    EXPECT_EQ(scene_file_gets(line, sizeof line, f), nullptr);
    EXPECT_EQ(scene_file_seek(f, 2, 2), 0);
    EXPECT_EQ(scene_file_read(line, 1, 8, f), 2u);
    EXPECT_EQ(scene_file_seek(f, 8, 0), -1);
    EXPECT_EQ(scene_file_seek(f, -1, 0), -1);
    scene_file_close(f);
}

}  // namespace
