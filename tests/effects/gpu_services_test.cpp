// The GPU programming services on a driver that cannot compile.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <string>

#include "IQeManager.h"
#include "QeLog.h"
#include "file_fixtures.h"
#include "gpu/CQeGPUProgrammingServices.h"
#include "gpu_fixture.h"

using namespace irr;

namespace {

using qetest::exists;

class GpuServices : public qetest::LoggedDeviceTest {};

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
