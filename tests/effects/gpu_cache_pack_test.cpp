// What a pack takes of the compiled-shader cache: the current blobs of the sources it holds, under the
// names and with the ".inf" lines that the packed demo's cache has for them.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <string>
#include <vector>

#include "IQeGPUProgrammingServices.h"
#include "file_fixtures.h"
#include "gpu_fixture.h"

using namespace irr;

namespace {

using qetest::setTime;

class GpuCachePack : public qetest::DeviceTest {};

// A pack takes the blobs compiled from what its sources hold now, found by their names and contents
// wherever the cache lies (not those of other sources, nor of a content that a source no longer has);
// each goes under the name that its source asks for where the packed demo has it, dated by the newest of
// its source and includes, its ".inf" listing the packed sources in place of the program's lines.
TEST_F(GpuCachePack, APackTakesTheCurrentBlobsOfItsSources) {
    qetest::TempDir dir("gpupack");
    const qetest::DemoShaderCache shaders(fs, dir);
    for (const char* demo : {"a/shaders", "b/shaders", "c/shaders", "d/shaders"}) dir.mkdir(demo);
    auto pack = [&](const std::vector<SQePackedShaderFolder>& folders) {
        std::vector<SQePackedCacheFile> files;
        listPackableCacheFiles(fs, shaders.cache.c_str(), folders, &files);
        return files;
    };

    // c holds what a held before an edit of its include: that blob is c's alone now
    const char* const fx = "#include \"tint.h\"\nfloat4 psMain() : COLOR0 { return TINT; }\n";
    for (const char* demo : {"a", "c"}) {
        dir.write(std::string(demo) + "/shaders/tint.h", "#define TINT 0.5\n");
        dir.write(std::string(demo) + "/shaders/fx.hlsl", fx);
        ASSERT_TRUE(shaders.write(demo));
    }
    const std::string older = shaders.blobOf("c");
    dir.write("a/shaders/tint.h", "#define TINT 0.25\n");
    ASSERT_TRUE(shaders.write("a"));
    const std::string current = shaders.blobOf("a");
    ASSERT_NE(older, current);
    // b was edited since its blob was written
    dir.write("b/shaders/fx.hlsl", "float4 psMain() : COLOR0 { return 0; }\n");
    ASSERT_TRUE(shaders.write("b"));
    dir.write("b/shaders/fx.hlsl", "float4 psMain() : COLOR0 { return 1; }\n");
    ASSERT_EQ(6u, qetest::namesIn(shaders.cache + "*").size());

    const __time64_t t = 1700000000;
    setTime(shaders.source("a"), t);
    setTime(dir.path() + "a/shaders/tint.h", t + 50);
    const std::vector<SQePackedCacheFile> taken = pack({{dir.path() + "a\\shaders", "shaders", "../shaders"},
                                                        {dir.path() + "b/shaders/", "shaders", "../shaders"}});
    ASSERT_EQ(2u, taken.size());
    EXPECT_EQ(current, taken[0].name);
    EXPECT_EQ(current, taken[0].packedName);
    EXPECT_EQ("", taken[0].packedInfo);  // a blob goes in as it is
    EXPECT_EQ(current + ".inf", taken[1].name);
    EXPECT_EQ(current + ".inf", taken[1].packedName);
    EXPECT_EQ("A 1~\n" + shaders.keyOf("a") + "\n../shaders/fx.hlsl", taken[1].packedInfo);
    for (const SQePackedCacheFile& file : taken) EXPECT_EQ(t + 50, file.newestSourceTime) << file.name;

    // a folder named in another case, packed under another name: its blob goes under that name
    const std::vector<SQePackedCacheFile> top = pack({{dir.path() + "C/Shaders", "top", "../top"}});
    ASSERT_EQ(2u, top.size());
    EXPECT_EQ(older, top[0].name);
    EXPECT_EQ("top" + older.substr(7), top[0].packedName);  // in place of "shaders"
    EXPECT_EQ(older + ".inf", top[1].name);
    EXPECT_EQ("top" + older.substr(7) + ".inf", top[1].packedName);
    EXPECT_EQ("A 1~\n" + shaders.keyOf("c") + "\n../top/fx.hlsl", top[1].packedInfo);

    // one content in two folders of one packed name is one blob there, as here, listing both sources;
    // d has never used it
    dir.write("d/shaders/tint.h", "#define TINT 0.5\n");
    dir.write("d/shaders/fx.hlsl", fx);
    const std::vector<SQePackedCacheFile> both = pack({{dir.path() + "c/shaders", "shaders", "../c/shaders"},
                                                       {dir.path() + "d/shaders", "shaders", "../d/shaders"}});
    ASSERT_EQ(2u, both.size());
    EXPECT_EQ(older, both[0].packedName);
    EXPECT_EQ("A 1~\n" + shaders.keyOf("c") + "\n../c/shaders/fx.hlsl\n../d/shaders/fx.hlsl", both[1].packedInfo);
}

}  // namespace
