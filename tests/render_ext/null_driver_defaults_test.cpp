// The engine's additions on a driver without them (the null driver), and the code buffer.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstring>
#include <string>
#include <vector>

using namespace irr;
using namespace irr::video;

namespace {

// Keeps every engine log line.
class LogLines : public IEventReceiver {
public:
    std::vector<std::string> lines;
    bool OnEvent(const SEvent& event) override {
        if (event.EventType != EET_LOG_TEXT_EVENT) return false;
        lines.push_back(event.LogEvent.Text);
        return true;
    }
};

void noReset(IDirect3DDevice9*) {}

class NullDriverDefaults : public testing::Test {
protected:
    LogLines log;
    IrrlichtDevice* device = nullptr;
    IVideoDriver* driver = nullptr;
    void SetUp() override {
        SIrrlichtCreationParameters params;
        params.DriverType = EDT_NULL;
        params.EventReceiver = &log;
        device = createDeviceEx(params);
        ASSERT_NE(nullptr, device);
        device->getLogger()->setLogLevel(ELL_INFORMATION);
        driver = device->getVideoDriver();
        log.lines.clear();
    }
    void TearDown() override {
        if (device) device->drop();
    }
};

TEST_F(NullDriverDefaults, VideoDriverAdditionsDoNothingAndSayNothing) {
    const u32 textures = driver->getTextureCount();
    EXPECT_EQ(nullptr, driver->addRenderTargetTextureEx(core::dimension2du(64, 64), "rt", ECF_R32F));
    ITexture* plain = driver->addTexture(core::dimension2du(4, 4), "plain", ECF_A8R8G8B8);
    EXPECT_FALSE(driver->copyTextureToTexture(plain, plain, false));
    driver->setBeforeResetCallback(noReset);
    EXPECT_EQ(textures + 1, driver->getTextureCount());
    EXPECT_TRUE(log.lines.empty()) << log.lines.front();
}

TEST_F(NullDriverDefaults, ShaderAdditionsAnswerFailureWithTheirMessages) {
    IGPUProgrammingServices* gpu = driver->getGPUProgrammingServices();
    ASSERT_NE(nullptr, gpu);
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
}

TEST(ShaderCodeBuffer, SetCopiesOrZeroFillsAndSizeZeroEmpties) {
    SShaderCodeBuffer buffer;
    const char bytes[5] = {'t', 'o', 'k', 'e', 'n'};
    buffer.set(bytes, 5);
    ASSERT_EQ(5u, buffer.Size);
    EXPECT_NE(static_cast<const void*>(bytes), static_cast<const void*>(buffer.Data));  // a copy
    EXPECT_EQ(0, std::memcmp(bytes, buffer.Data, 5));
    buffer.set(nullptr, 3);  // zeros
    EXPECT_EQ(0, buffer.Data[0] | buffer.Data[1] | buffer.Data[2]);
    buffer.set(bytes, 0);
    EXPECT_EQ(nullptr, buffer.Data);
    EXPECT_EQ(0u, buffer.Size);
}

}  // namespace
