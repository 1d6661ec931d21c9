// Image depth and the data sizes of volume and compressed images; cube textures on the null driver.
#include <irrlicht.h>

#include <gtest/gtest.h>

#include <vector>

using namespace irr;
using namespace irr::video;

namespace {

class NullDriver : public ::testing::Test {
protected:
    IrrlichtDevice* device = nullptr;
    IVideoDriver* driver = nullptr;
    void SetUp() override {
        device = createDevice(EDT_NULL);
        driver = device->getVideoDriver();
    }
    void TearDown() override { device->drop(); }
};

}  // namespace

TEST_F(NullDriver, TwoDimensionalImagesHaveDepthOne) {
    IImage* image = driver->createImage(ECF_A8R8G8B8, core::dimension2du(8, 4));
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(1u, image->getDepth());
    EXPECT_EQ(8u * 4 * 4, image->getImageDataSizeInBytes());
    image->drop();
}

TEST_F(NullDriver, CompressedImagesCopyOnlyTheirBlocks) {
    // 8 x 8 DXT1 holds 4 blocks of 8 bytes: the copying constructor reads exactly those
    std::vector<u8> blocks(32, 0xAB);
    IImage* image = driver->createImageFromData(ECF_DXT1, core::dimension2du(8, 8), blocks.data(), false, false);
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(32u, image->getImageDataSizeInBytes());
    const u8* data = static_cast<const u8*>(image->lock());
    EXPECT_EQ(0xAB, data[0]);
    EXPECT_EQ(0xAB, data[31]);
    image->unlock();

    // pixel operations leave compressed data alone
    IImage* target = driver->createImage(ECF_A8R8G8B8, core::dimension2du(8, 8));
    target->fill(SColor(0xFF112233));
    image->copyTo(target);
    image->copyToScaling(target);
    image->fill(SColor(0));
    EXPECT_EQ(0xFF112233u, target->getPixel(3, 3).color);
    EXPECT_EQ(0xAB, static_cast<const u8*>(image->lock())[5]);
    image->unlock();
    target->drop();
    image->drop();
}

TEST_F(NullDriver, CubeMapsNeedANameAndSixImagesAndThisDriverHasNone) {
    std::vector<IImage*> faces;
    for (int i = 0; i < 6; ++i) faces.push_back(driver->createImage(ECF_A8R8G8B8, core::dimension2du(4, 4)));
    const u32 before = driver->getTextureCount();
    EXPECT_EQ(nullptr, driver->addTextureCubeMap("", faces[0], faces[1], faces[2], faces[3], faces[4], faces[5]));
    EXPECT_EQ(nullptr, driver->addTextureCubeMap("cube", faces[0], faces[1], faces[2], faces[3], faces[4], nullptr));
    EXPECT_EQ(nullptr, driver->addTextureCubeMap("cube", faces[0], faces[1], faces[2], faces[3], faces[4], faces[5]));
    EXPECT_EQ(before, driver->getTextureCount());
    for (IImage* face : faces) face->drop();
}

TEST_F(NullDriver, TexturesAreTwoDimensionalWithoutANativeSurface) {
    IImage* image = driver->createImage(ECF_A8R8G8B8, core::dimension2du(4, 4));
    ITexture* texture = driver->addTexture("plain", image);
    ASSERT_NE(nullptr, texture);
    EXPECT_EQ(0u, texture->getTextureKind());
    EXPECT_EQ(nullptr, texture->getNativeSurface());
    image->drop();
}

TEST_F(NullDriver, ExposedDataOfTheNullDriverHasNoVersions) {
    EXPECT_EQ(0u, driver->getExposedVideoData().D3D9.D3DXSDKVersion);
}
