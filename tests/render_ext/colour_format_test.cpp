// The extended colour formats: their numbers, sizes, data sizes and the image conversions from the
// formats without alpha.
#include <irrlicht.h>

#include <gtest/gtest.h>

#include <cstring>

using namespace irr;
using namespace irr::video;

namespace {

struct NullDevice {
    IrrlichtDevice* device = createDevice(EDT_NULL);
    IVideoDriver* driver() const { return device->getVideoDriver(); }
    ~NullDevice() { device->drop(); }
};

}  // namespace

TEST(ColourFormat, NumbersPlaceTheNewFormatsBeforeTheFloatFormats) {
    EXPECT_EQ(3, ECF_A8R8G8B8);
    EXPECT_EQ(4, ECF_X8R8G8B8);
    EXPECT_EQ(5, ECF_DXT1);
    EXPECT_EQ(9, ECF_DXT5);
    EXPECT_EQ(10, ECF_L8);
    EXPECT_EQ(11, ECF_R16F);
    EXPECT_EQ(14, ECF_R32F);
    EXPECT_EQ(16, ECF_A32B32G32R32F);
    EXPECT_EQ(17, ECF_UNKNOWN);
}

TEST(ColourFormat, BitsPerPixelForEveryFormat) {
    const u32 expected[] = {16, 16, 24, 32, 32, 16, 32, 32, 32, 32, 8, 16, 32, 64, 32, 64, 128, 0};
    for (u32 f = 0; f <= ECF_UNKNOWN; ++f)
        EXPECT_EQ(expected[f], IImage::getBitsPerPixelFromFormat((ECOLOR_FORMAT)f)) << "format " << f;
    EXPECT_EQ(0u, IImage::getBitsPerPixelFromFormat((ECOLOR_FORMAT)18));
}

TEST(ColourFormat, ImageFormatsAreNotRenderTargetOnly) {
    for (u32 f = ECF_A1R5G5B5; f <= ECF_L8; ++f)
        EXPECT_FALSE(IImage::isRenderTargetOnlyFormat((ECOLOR_FORMAT)f)) << "format " << f;
    EXPECT_FALSE(IImage::isRenderTargetOnlyFormat(ECF_R32F));  // float images become textures
    EXPECT_TRUE(IImage::isRenderTargetOnlyFormat(ECF_R16F));
    EXPECT_TRUE(IImage::isRenderTargetOnlyFormat(ECF_G32R32F));
    EXPECT_TRUE(IImage::isCompressedFormat(ECF_DXT1));
    EXPECT_TRUE(IImage::isCompressedFormat(ECF_DXT5));
    EXPECT_FALSE(IImage::isCompressedFormat(ECF_X8R8G8B8));
    EXPECT_FALSE(IImage::isCompressedFormat(ECF_L8));
}

TEST(ColourFormat, DataSizeCountsWholeBlocksAndRefusesOverflow) {
    EXPECT_EQ(2048u, IImage::getDataSizeFromFormat(ECF_DXT1, 64, 64));
    EXPECT_EQ(4096u, IImage::getDataSizeFromFormat(ECF_DXT5, 64, 64));
    EXPECT_EQ(8u, IImage::getDataSizeFromFormat(ECF_DXT1, 1, 1));      // one partial block
    EXPECT_EQ(16u * 4, IImage::getDataSizeFromFormat(ECF_DXT3, 5, 5));  // 2 x 2 blocks
    EXPECT_EQ(4u * 3 * 2 * 5, IImage::getDataSizeFromFormat(ECF_X8R8G8B8, 3, 2, 5));
    EXPECT_EQ(0u, IImage::getDataSizeFromFormat(ECF_A8R8G8B8, 65536, 65536));
    EXPECT_EQ(0u, IImage::getDataSizeFromFormat(ECF_L8, 65536, 65536, 2));
}

TEST(ColourFormat, X8R8G8B8AndL8PixelsAreOpaque) {
    NullDevice null;
    u32 x8[2] = {0x00102030, 0x55A0B0C0};
    IImage* image = null.driver()->createImageFromData(ECF_X8R8G8B8, core::dimension2du(2, 1), x8, false, false);
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(4u, image->getBytesPerPixel());
    EXPECT_EQ(8u, image->getPitch());
    EXPECT_EQ(0xFF102030u, image->getPixel(0, 0).color);
    EXPECT_EQ(0xFFA0B0C0u, image->getPixel(1, 0).color);

    // converted into a 32 bit texture layout and into the 16 bit one
    u32 argb[2] = {0, 0};
    image->copyToScaling(argb, 2, 1, ECF_A8R8G8B8);
    EXPECT_EQ(0xFF102030u, argb[0]);
    EXPECT_EQ(0xFFA0B0C0u, argb[1]);
    u16 a1[2] = {0, 0};
    image->copyToScaling(a1, 2, 1, ECF_A1R5G5B5);
    EXPECT_EQ(A8R8G8B8toA1R5G5B5(0xFF102030), a1[0]);
    image->drop();

    u8 l8[4] = {0, 64, 128, 255};
    image = null.driver()->createImageFromData(ECF_L8, core::dimension2du(2, 2), l8, false, false);
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(2u, image->getPitch());
    EXPECT_EQ(0xFF404040u, image->getPixel(1, 0).color);
    EXPECT_EQ(0xFFFFFFFFu, image->getPixel(1, 1).color);
    u32 grey[4] = {};
    image->copyToScaling(grey, 2, 2, ECF_A8R8G8B8);
    EXPECT_EQ(0xFF000000u, grey[0]);
    EXPECT_EQ(0xFF808080u, grey[2]);
    image->drop();
}
