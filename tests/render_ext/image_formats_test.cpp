// The extended colour formats on the null driver: sizes, data sizes of volume and compressed images, the
// conversions from the formats without alpha, the decoding of compressed texels; the shader additions on
// a driver without them.
#include <irrlicht.h>

#include "CDXTDecoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace irr;
using namespace irr::video;

namespace {

struct NullDriver : testing::Test {
    IrrlichtDevice* device = createDevice(EDT_NULL);
    IVideoDriver* driver = device->getVideoDriver();
    ~NullDriver() override { device->drop(); }
};

TEST(ColourFormat, BitsDataSizesAndKindsOfEveryFormat) {
    // The table also pins the numbering: the new formats stand before the float formats.
    const u32 bits[] = {16, 16, 24, 32, 32, 16, 32, 32, 32, 32, 8, 16, 32, 64, 32, 64, 128, 0};
    ASSERT_EQ(17, ECF_UNKNOWN);
    for (u32 f = 0; f <= ECF_UNKNOWN; ++f)
        EXPECT_EQ(bits[f], IImage::getBitsPerPixelFromFormat((ECOLOR_FORMAT)f)) << "format " << f;
    EXPECT_EQ(0u, IImage::getBitsPerPixelFromFormat((ECOLOR_FORMAT)18));

    EXPECT_FALSE(IImage::isRenderTargetOnlyFormat(ECF_L8));
    EXPECT_FALSE(IImage::isRenderTargetOnlyFormat(ECF_R32F));  // float images become textures
    EXPECT_TRUE(IImage::isRenderTargetOnlyFormat(ECF_R16F));
    for (u32 f = 0; f < ECF_UNKNOWN; ++f)
        EXPECT_EQ(f >= ECF_DXT1 && f <= ECF_DXT5, IImage::isCompressedFormat((ECOLOR_FORMAT)f)) << "format " << f;

    // Whole blocks are counted; sizes that overflow give 0.
    EXPECT_EQ(8u, IImage::getDataSizeFromFormat(ECF_DXT1, 1, 1));      // one partial block
    EXPECT_EQ(16u * 4, IImage::getDataSizeFromFormat(ECF_DXT3, 5, 5));  // 2 x 2 blocks
    EXPECT_EQ(4u * 3 * 2 * 5, IImage::getDataSizeFromFormat(ECF_X8R8G8B8, 3, 2, 5));
    EXPECT_EQ(0u, IImage::getDataSizeFromFormat(ECF_A8R8G8B8, 65536, 65536));
    EXPECT_EQ(0u, IImage::getDataSizeFromFormat(ECF_L8, 65536, 65536, 2));
}

TEST_F(NullDriver, X8R8G8B8AndL8PixelsAreOpaque) {
    u32 x8[2] = {0x00102030, 0x55A0B0C0};
    IImage* image = driver->createImageFromData(ECF_X8R8G8B8, core::dimension2du(2, 1), x8, false, false);
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(0xFFA0B0C0u, image->getPixel(1, 0).color);
    // converted into a 32 bit texture layout and into the 16 bit one
    u32 argb[2] = {0, 0};
    image->copyToScaling(argb, 2, 1, ECF_A8R8G8B8);
    EXPECT_EQ(0xFFA0B0C0u, argb[1]);
    u16 a1[2] = {0, 0};
    image->copyToScaling(a1, 2, 1, ECF_A1R5G5B5);
    EXPECT_EQ(A8R8G8B8toA1R5G5B5(0xFF102030), a1[0]);
    image->drop();

    u8 l8[4] = {0, 64, 128, 255};
    image = driver->createImageFromData(ECF_L8, core::dimension2du(2, 2), l8, false, false);
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(0xFF404040u, image->getPixel(1, 0).color);
    u32 grey[4] = {};
    image->copyToScaling(grey, 2, 2, ECF_A8R8G8B8);
    EXPECT_EQ(0xFF808080u, grey[2]);
    image->drop();
}

TEST_F(NullDriver, CompressedImagesCopyOnlyTheirBlocksAndPixelOperationsLeaveThemAlone) {
    // 8 x 8 DXT1 holds 4 blocks of 8 bytes: the copying constructor reads exactly those
    std::vector<u8> blocks(32, 0xAB);
    IImage* image = driver->createImageFromData(ECF_DXT1, core::dimension2du(8, 8), blocks.data(), false, false);
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(32u, image->getImageDataSizeInBytes());

    IImage* target = driver->createImage(ECF_A8R8G8B8, core::dimension2du(8, 8));
    target->fill(SColor(0xFF112233));
    image->copyTo(target);  // pixel operations leave compressed images alone
    image->fill(SColor(0));
    EXPECT_EQ(0xFF112233u, target->getPixel(3, 3).color);
    EXPECT_EQ(0xAB, static_cast<const u8*>(image->lock())[5]);
    image->unlock();
    target->drop();
    image->drop();
}

// Keeps every engine log line.
struct LogLines : IEventReceiver {
    std::vector<std::string> lines;
    bool OnEvent(const SEvent& event) override {
        if (event.EventType == EET_LOG_TEXT_EVENT) lines.push_back(event.LogEvent.Text);
        return event.EventType == EET_LOG_TEXT_EVENT;
    }
};

TEST(DxtDecoding, ColourModesExplicitAndInterpolatedAlphaAndPartialBlocks) {
    // Two blocks across a 5 x 1 image: texel i of a block takes index i % 4 (DXT1 and the colour half of
    // DXT3 and DXT5); the second block's first texel is the image's fifth.
    auto decode = [](ECOLOR_FORMAT format, std::vector<u8> block) {
        std::vector<u8> blocks = block;
        blocks.insert(blocks.end(), block.begin(), block.end());
        std::vector<u32> texels(5, 0x12345678);
        EXPECT_TRUE(decodeDXT(format, blocks.data(), 5, 1, texels.data()));
        return texels;
    };
    const std::vector<u8> redToBlue = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0xE4, 0xE4, 0xE4};
    EXPECT_EQ(std::vector<u32>({0xFFFF0000, 0xFF0000FF, 0xFFAA0055, 0xFF5500AA, 0xFFFF0000}),
              decode(ECF_DXT1, redToBlue));
    // The first colour not above the second: three colours and transparent black (DXT1 only).
    const std::vector<u8> blueToRed = {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0xE4, 0xE4, 0xE4};
    EXPECT_EQ(std::vector<u32>({0xFF0000FF, 0xFFFF0000, 0xFF7F007F, 0x00000000, 0xFF0000FF}),
              decode(ECF_DXT1, blueToRed));
    // DXT3 alpha is i * 17 for the first four texels; its colours always take four-colour mode.
    std::vector<u8> dxt3 = {0x10, 0x32, 0, 0, 0, 0, 0, 0};
    dxt3.insert(dxt3.end(), blueToRed.begin(), blueToRed.end());
    EXPECT_EQ(std::vector<u32>({0x000000FF, 0x11FF0000, 0x225500AA, 0x33AA0055, 0x000000FF}), decode(ECF_DXT3, dxt3));
    // Alpha 255 to 0 in eight steps: indices 2 and 7 are 6/7 and 1/7 of the way.
    std::vector<u8> dxt5 = {255, 0, 0x3A, 0, 0, 0, 0, 0};
    dxt5.insert(dxt5.end(), redToBlue.begin(), redToBlue.end());
    EXPECT_EQ(std::vector<u32>({0xDAFF0000, 0x240000FF, 0xFFAA0055, 0xFF5500AA, 0xDAFF0000}), decode(ECF_DXT5, dxt5));

    std::vector<u32> untouched(1, 7);
    EXPECT_FALSE(decodeDXT(ECF_A8R8G8B8, redToBlue.data(), 1, 1, untouched.data()));
    EXPECT_FALSE(decodeDXT(ECF_DXT1, redToBlue.data(), 0, 1, untouched.data()));
    EXPECT_EQ(7u, untouched[0]);
}

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
