// The shader include callback and the GPU programming services on a driver that cannot compile.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <string>

#include "IQeManager.h"
#include "QeLog.h"
#include "file_fixtures.h"
#include "gpu/CQeGPUProgrammingServices.h"
#include "gpu/ShaderIncludeCallback.h"
#include "gpu_fixture.h"

using namespace irr;

namespace {

using qetest::exists;

class GpuServices : public qetest::LoggedDeviceTest {};

TEST_F(GpuServices, IncludeCallbackSearchesTheSourceFolderThenWhereIncludesWereFound) {
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

TEST_F(GpuServices, ServicesOnADriverThatCannotCompileFailCleanly) {
    qetest::TempDir dir("gpunull");
    const std::string vs = dir.write("v.hlsl", "float4 vsMain() : POSITION { return 0; }\n");
    const std::string ps = dir.write("p.hlsl", "float4 psMain() : COLOR0 { return 1; }\n");
    IQeManager* hub = createQeManager(device);
    ASSERT_NE(nullptr, hub);
    qeLibSetLogger(&logger);  // the hub installed the device's logger
    IQeGPUProgrammingServices* gpu = hub->getGPUProgrammingServices();
    ASSERT_NE(nullptr, gpu);
    gpu->setShaderCache((dir.path() + "cache").c_str(), qetest::kFullCacheMode);

    s32 index = 5;
    EXPECT_TRUE(gpu->getVertexShaderSamplerIndex(-1, "tex", &index));
    EXPECT_EQ(-1, index);

    const SQeMacro macros[] = {{"A", "1"}, {"B", nullptr}, {nullptr, nullptr}};
    EXPECT_EQ(-1, gpu->getShaderMaterial((dir.path() + "missing.hlsl").c_str(), "vsMain", video::EVST_VS_3_0,
                                         ps.c_str(), "psMain", video::EPST_PS_3_0, nullptr, video::EMT_SOLID, 0, macros));
    EXPECT_TRUE(logged("QeGPU: Shader files not found " + dir.path() + "missing.hlsl " + ps, ELL_ERROR));
    EXPECT_EQ(-1, gpu->getShaderMaterial(vs.c_str(), "vsMain", video::EVST_VS_3_0, ps.c_str(), "psMain",
                                         video::EPST_PS_3_0, nullptr, video::EMT_SOLID, 0, macros));
    EXPECT_TRUE(logged("QeGPU: Failed to compile shader " + vs + " Vertex", ELL_ERROR));
    EXPECT_TRUE(logged("QeGPU: Failed to get shader " + vs + " " + ps, ELL_ERROR));
    EXPECT_FALSE(logged("QeGPU: compile shader " + ps));  // the pixel stage is not tried
    EXPECT_FALSE(exists(dir.path() + "cache"));
    delete hub;
}

}  // namespace
