// What the compiled-shader cache knows of shader sources: the key of a source's content and of its
// includes, and the memo that keeps what was read of them.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <string>

#include "file_fixtures.h"
#include "gpu/QeShaderSources.h"
#include "gpu_fixture.h"

using namespace irr;

namespace {

class GpuShaderSources : public qetest::DeviceTest {};

// A memo answers from what it read until a file's date or size changes. The statuses that it holds
// within one read or write of a blob stand for the files' own: a key that keeps them does not see an
// edit made since, a key that forgets them does.
TEST_F(GpuShaderSources, AMemoAnswersFromWhatItReadUntilAFileChanges) {
    qetest::TempDir dir("gpusources");
    dir.mkdir("shaders/lib");
    const std::string main =
        dir.write("shaders/main.hlsl", "#include \"lib/common.hlsl\"\nfloat4 main() : COLOR0 { return -C; }\n");
    dir.write("shaders/lib/common.hlsl", "#include \"values.hlsl\"\n#define C float4(V, 0, 0, 1)\n");
    dir.write("shaders/lib/values.hlsl", "#define V 1\n");
    SShaderFileMemo memo;
    const core::stringc first = shaderSourceKeyForgettingStatuses(fs, memo, main.c_str());
    EXPECT_EQ(32u, first.size());
    EXPECT_EQ(3u, memo.files.size());
    EXPECT_TRUE(memo.statuses.empty());
    EXPECT_EQ(first, shaderSourceKeyKeepingStatuses(fs, memo, main.c_str()));
    EXPECT_EQ(3u, memo.statuses.size());

    dir.write("shaders/main.hlsl", "float4 main() : COLOR0 { return 1; }\n");
    qetest::setTime(main, 1800000000);
    EXPECT_EQ(first, shaderSourceKeyKeepingStatuses(fs, memo, main.c_str()));
    EXPECT_NE(first, shaderSourceKeyForgettingStatuses(fs, memo, main.c_str()));
    EXPECT_EQ(0u, memo.files[main].includes.size());
    EXPECT_EQ(core::stringc(), shaderSourceKeyForgettingStatuses(fs, memo, (dir.path() + "none.hlsl").c_str()));
}

}  // namespace
