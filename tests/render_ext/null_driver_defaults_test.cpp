// The engine's shader additions on a driver without them (the null driver) and the code buffer.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <string>
#include <vector>

using namespace irr;
using namespace irr::video;

namespace {

// Keeps every engine log line.
struct LogLines : IEventReceiver {
    std::vector<std::string> lines;
    bool OnEvent(const SEvent& event) override {
        if (event.EventType == EET_LOG_TEXT_EVENT) lines.push_back(event.LogEvent.Text);
        return event.EventType == EET_LOG_TEXT_EVENT;
    }
};

TEST(NullDriverDefaults, ShaderAdditionsAnswerFailureWithTheirMessagesAndTheBufferStaysEmpty) {
    LogLines log;
    SIrrlichtCreationParameters params;
    params.DriverType = EDT_NULL;
    params.EventReceiver = &log;
    IrrlichtDevice* device = createDeviceEx(params);
    ASSERT_NE(nullptr, device);
    log.lines.clear();
    IGPUProgrammingServices* gpu = device->getVideoDriver()->getGPUProgrammingServices();
    SShaderCodeBuffer code;
    const u32 tokens[2] = {0xFFFE0300u, 0x0000FFFFu};
    EXPECT_EQ(-1, gpu->addHighLevelShaderMaterial(tokens, tokens, nullptr, scene::EPT_TRIANGLES,
                                                  scene::EPT_TRIANGLE_STRIP, 0, nullptr, EMT_SOLID, 0));
    EXPECT_FALSE(gpu->compileVertexShader("x", "main", EVST_VS_3_0, nullptr, nullptr, code));
    EXPECT_FALSE(gpu->compilePixelShader("x", "main", EPST_PS_3_0, nullptr, nullptr, code));
    EXPECT_FALSE(gpu->getMaterialTypeConstantTables(0, nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, code.Size);
    EXPECT_EQ((std::vector<std::string>{"compiled tokens shader materials not available (yet) in this driver, sorry",
                                        "Compile vertex shader not available (yet) in this driver, sorry",
                                        "Compile vertex shader not available (yet) in this driver, sorry",
                                        "material type contants tables not available (yet) in this driver, sorry"}),
              log.lines);
    // The other driver additions do nothing and say nothing.
    EXPECT_EQ(nullptr, device->getVideoDriver()->addRenderTargetTextureEx(core::dimension2du(64, 64), "rt", ECF_R32F));
    EXPECT_EQ(4u, log.lines.size());
    device->drop();

    code.set(nullptr, 3);  // zeros
    ASSERT_EQ(3u, code.Size);
    EXPECT_EQ(0, code.Data[0] | code.Data[1] | code.Data[2]);
    code.set(tokens, 0);
    EXPECT_EQ(nullptr, code.Data);
}

}  // namespace
