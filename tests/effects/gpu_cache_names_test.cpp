// The compiled-shader cache's names: the hash and its base32 text, the ".inf" form and the blob names,
// and how the sources that use a blob are recorded and found gone.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstring>
#include <string>
#include <vector>

#include "file_fixtures.h"
#include "gpu/QeShaderCacheInfo.h"
#include "gpu/QeShaderCachePaths.h"
#include "gpu/QeShaderHash.h"
#include "gpu_fixture.h"

using namespace irr;

namespace {

using qetest::macroList;

class GpuCacheNames : public qetest::DeviceTest {};

TEST_F(GpuCacheNames, HashAndBase32MatchTheReferenceVectorsAndNameTheCacheFiles) {
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

    // the hash names the info text: the macros, a line feed and the source's content key
    const core::stringc content = "ABCDEFGHJKMNPQRSTUVWXYZ123456789";
    EXPECT_STREQ("\nABCDEFGHJKMNPQRSTUVWXYZ123456789", cacheInfoText(macroList({}), content).c_str());
    EXPECT_STREQ("shaders!LppDepthPass!vertexMain!G5YXWYHZV81VJDZHQXNTZGH9BF67PPWV.vso",
                 makeCacheFileName(fs, "D:/data/shaders/LppDepthPass.hlsl", "vertexMain", macroList({}), true, content)
                     .c_str());
    // the key text is sorted: any order of the same macros gives the same name; other content another
    const SShaderMacroList one = macroList({{"USE_FOG", "1"}, {"A", ""}});
    const SShaderMacroList other = macroList({{"A", ""}, {"USE_FOG", "1"}});
    EXPECT_STREQ("A ~USE_FOG 1~", macroKeyText(one).c_str());
    const core::stringc name = makeCacheFileName(fs, "C:\\a\\b\\y.fx", "main", one, false, content);
    EXPECT_EQ(name, makeCacheFileName(fs, "C:\\a\\b\\y.fx", "main", other, false, content));
    EXPECT_NE(name, makeCacheFileName(fs, "C:\\a\\b\\y.fx", "main", one, false, core::stringc("Z") + content.subString(1, 31)));
    EXPECT_EQ(0, name.find("b!y!main!"));
    EXPECT_EQ(core::stringc(".pso"), name.subString(name.size() - 4, 4));
    // a bare file name has "." as its folder; no entry point leaves that part empty
    EXPECT_EQ(0, makeCacheFileName(fs, "x.hlsl", nullptr, one, false, content).find(".!x!!"));
}

// Sources are recorded relative to the cache folder on its drive or share, whole elsewhere; a path on a
// share keeps its server and share in every step (record, compare, look up).
TEST_F(GpuCacheNames, SourcePathsKeepTheirDriveOrShareWhole) {
    std::string rest;
    EXPECT_EQ("C:", cachePathRoot("C:\\a\\b.hlsl", &rest));
    EXPECT_EQ("\\a\\b.hlsl", rest);
    EXPECT_EQ("//server/share", cachePathRoot("\\\\server\\share\\demo\\fx.hlsl", &rest));
    EXPECT_EQ("\\demo\\fx.hlsl", rest);
    EXPECT_EQ("/", cachePathRoot("/a/b.hlsl"));
    EXPECT_EQ("", cachePathRoot("a/b.hlsl"));

    const struct {
        const char *source, *folder, *recorded;
    } cases[] = {
        {"C:/demo/shaders/fx.hlsl", "C:/qirn/shadersCache", "../../demo/shaders/fx.hlsl"},
        {"D:/demo/fx.hlsl", "C:/qirn/shadersCache", "D:/demo/fx.hlsl"},
        {"\\\\server\\share\\demo\\shaders\\fx.hlsl", "C:/qirn/shadersCache", "//server/share/demo/shaders/fx.hlsl"},
        {"//server/share/demo/shaders/fx.hlsl", "//server/share/qirn/shadersCache", "../../demo/shaders/fx.hlsl"},
        {"//server/other/fx.hlsl", "//server/share/qirn/shadersCache", "//server/other/fx.hlsl"},
        {"C:/demo/fx.hlsl", "//server/share/qirn/shadersCache", "C:/demo/fx.hlsl"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.recorded, cacheSourcePath(c.source, c.folder)) << c.source;
        // looked up where it was: the same file as the source
        const std::string full = cacheSourceFullPath(c.recorded, c.folder);
        EXPECT_TRUE(sameCacheSource(c.source, full)) << c.source << " " << full;
    }
    EXPECT_TRUE(sameCacheSource("\\\\SERVER\\share\\x.hlsl", "//server/share/x.hlsl"));
    EXPECT_FALSE(sameCacheSource("//server/share/x.hlsl", "/server/share/x.hlsl"));
    // nothing lies above a drive or share
    EXPECT_EQ("C:/x.hlsl", cacheSourceFullPath("../../../x.hlsl", "C:/a"));
    EXPECT_EQ("//server/share/x.hlsl", cacheSourceFullPath("../../../x.hlsl", "//server/share/a"));

    // a share that cannot be reached, a drive that is not there, and a path without a root are never gone
    EXPECT_FALSE(isCacheSourceGone("//qirn-nowhere/share/demo/fx.hlsl"));
    EXPECT_FALSE(isCacheSourceGone("relative/fx.hlsl"));
    const DWORD drives = GetLogicalDrives();
    for (char letter = 'Q'; letter <= 'Y'; ++letter)
        if (!(drives & (1u << (letter - 'A'))))
            EXPECT_FALSE(isCacheSourceGone(std::string(1, letter) + ":/demo/fx.hlsl")) << letter;
    // on a drive that is there: a missing file, and a file of a missing folder, are gone
    qetest::TempDir dir("gpugonetest");
    const std::string there = dir.write("fx.hlsl", "x");
    EXPECT_FALSE(isCacheSourceGone(there));
    EXPECT_TRUE(isCacheSourceGone(dir.path() + "none.hlsl"));
    EXPECT_TRUE(isCacheSourceGone(dir.path() + "none\\shaders\\fx.hlsl"));
}

}  // namespace
