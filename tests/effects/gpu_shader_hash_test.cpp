// The compiled-shader cache's hash and the base32 text that names what it hashes.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstring>

#include "gpu/QeShaderHash.h"

using namespace irr;

namespace {

TEST(GpuShaderHash, HashAndBase32MatchTheReferenceVectors) {
    u32 words[5];
    hash160("abc", 3, 0, words);
    const u8 expected[20] = {0x02, 0x94, 0x86, 0x65, 0x84, 0xa9, 0x29, 0x22, 0xdf, 0x97,
                             0x51, 0x77, 0x9f, 0x2a, 0xe9, 0x14, 0x5d, 0xfc, 0x40, 0x37};
    u8 bytes[20];
    for (int i = 0; i < 20; ++i) bytes[i] = static_cast<u8>(words[i / 4] >> (8 * (i % 4)));
    EXPECT_EQ(0, std::memcmp(expected, bytes, 20));
    u8 values[32];
    char text[33] = {};
    ASSERT_TRUE(base32Split(bytes, 20, values));
    ASSERT_TRUE(base32MapAlphabet(values, 32, text));
    EXPECT_STREQ("1BB9DTD5P5NK6RWRB6VTYBRA3JFZSH2R", text);

    // a partial last group gives only the characters its bits need; no padding
    const struct { s32 bytes, chars; } lengths[] = {{1, 2}, {3, 5}, {4, 7}, {6, 10}};
    for (auto& l : lengths) EXPECT_EQ(l.chars, base32EncodedLength(l.bytes)) << l.bytes;
    const u8 ff[6] = {0xFF, 0, 0, 0, 0, 0xFF};
    char two[11] = {};
    ASSERT_TRUE(base32Split(ff, 6, values));
    ASSERT_TRUE(base32MapAlphabet(values, 10, two));
    EXPECT_STREQ("ZW111111ZW", two);
    EXPECT_FALSE(base32Split(nullptr, 3, values));
}

}  // namespace
