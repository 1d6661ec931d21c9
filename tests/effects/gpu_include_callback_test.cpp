// The shader include callback: where it looks for the files that a source includes.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <string>

#include "file_fixtures.h"
#include "gpu/ShaderIncludeCallback.h"
#include "gpu_fixture.h"

using namespace irr;

namespace {

class GpuIncludeCallback : public qetest::LoggedDeviceTest {};

TEST_F(GpuIncludeCallback, SearchesTheSourceFolderThenWhereIncludesWereFound) {
    qetest::TempDir dir("gpucb");
    dir.mkdir("src/a");
    dir.mkdir("src/b");
    dir.write("src/near.hlsl", "near");
    dir.write("src/b/x.hlsl", "bx");
    dir.write("src/a/y.hlsl", "ay");
    dir.write("src/a/shared.hlsl", "A");
    dir.write("src/b/shared.hlsl", "B");
    const std::string src = dir.path() + "src";
    ShaderIncludeCallback cb(fs, src.c_str());

    auto open = [&](const char* name) {
        const void* data = nullptr;
        u32 size = 0;
        if (!cb.Open(name, &data, &size)) return std::string("(failed)");
        std::string text(static_cast<const char*>(data), size);
        EXPECT_TRUE(cb.Close(data));
        return text;
    };
    EXPECT_EQ("near", open("near.hlsl"));
    EXPECT_EQ("bx", open("b/x.hlsl"));
    EXPECT_EQ("bx", open("b/x.hlsl"));
    EXPECT_EQ("ay", open("a/y.hlsl"));
    ASSERT_EQ(3u, cb.getDirectories().size());
    // the search runs source folder, b, a; after it the list is sorted and a comes before b
    logger.lines.clear();
    EXPECT_EQ("B", open("shared.hlsl"));
    EXPECT_TRUE(logged("QeGPU: Include Not found: '" + src + "/shared.hlsl'"));
    EXPECT_TRUE(logged("QeGPU: Include found: '" + src + "/b/shared.hlsl'"));
    EXPECT_EQ("A", open("shared.hlsl"));

    EXPECT_EQ("(failed)", open("nowhere.hlsl"));
    EXPECT_TRUE(logged("QeGPU: ShaderIncludeCallback:Open FileName='nowhere.hlsl' FAILED", ELL_ERROR));
    EXPECT_FALSE(cb.Close(nullptr));
    EXPECT_TRUE(logged("QeGPU: ShaderIncludeCallback:Close pData IS NULL!", ELL_ERROR));
}

}  // namespace
