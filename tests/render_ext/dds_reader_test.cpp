// The DDS reader: every supported layout written in memory and read by the engine's DDS loader, pixel
// values checked; truncated and hostile headers refused without a crash.
#include <irrlicht.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dds_writer.h"

using namespace irr;
using namespace irr::video;
using qetest::DdsLayout;
using qetest::ddsFile;

namespace {

std::vector<uint8_t> bytes(size_t n, uint8_t start = 0) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(start + i);
    return v;
}

class DdsReader : public ::testing::Test {
protected:
    IrrlichtDevice* device = createDevice(EDT_NULL);
    IImageLoader* dds = nullptr;
    std::string printed;  // what the last load printed

    void SetUp() override {
        IVideoDriver* driver = device->getVideoDriver();
        for (u32 i = 0; i < driver->getImageLoaderCount(); ++i)
            if (driver->getImageLoader(i)->isALoadableFileExtension("a.dds")) dds = driver->getImageLoader(i);
        ASSERT_NE(nullptr, dds);
    }
    ~DdsReader() override { device->drop(); }

    io::IReadFile* memoryFile(const std::vector<uint8_t>& file) {
        return device->getFileSystem()->createMemoryReadFile(const_cast<uint8_t*>(file.data()), (s32)file.size(),
                                                             "a.dds", false);
    }
    IImage* load(const std::vector<uint8_t>& file) {
        io::IReadFile* f = memoryFile(file);
        testing::internal::CaptureStdout();
        IImage* image = dds->loadImage(f);
        printed = testing::internal::GetCapturedStdout();
        f->drop();
        return image;
    }
    // The bytes of an image, which is dropped.
    static std::vector<uint8_t> take(IImage* image) {
        if (!image) return {};
        const uint8_t* p = static_cast<const uint8_t*>(image->lock());
        std::vector<uint8_t> v(p, p + image->getImageDataSizeInBytes());
        image->unlock();
        image->drop();
        return v;
    }
};

// Uncompressed layouts: the format each mask set becomes, the message printed, and what becomes of the
// bytes (kept, red and blue swapped, swapped with the unused byte made opaque); null when refused.
TEST_F(DdsReader, UncompressedLayoutsKeepOrSwapTheirBytes) {
    enum Bytes { Kept, Swapped, SwappedOpaque };
    const struct Case {
        uint32_t pfFlags, bits, red, blue, alpha;
        ECOLOR_FORMAT format;  // ECF_UNKNOWN: refused
        Bytes bytes;
        const char* printed;
    } cases[] = {
        {0x41, 32, 0xFF0000, 0xFF, 0xFF000000, ECF_A8R8G8B8, Kept, "DDS : ECF_A8R8G8B8 format"},
        {0x41, 32, 0xFF, 0xFF0000, 0xFF000000, ECF_A8R8G8B8, Swapped, ""},
        {0x40, 32, 0xFF, 0xFF0000, 0, ECF_X8R8G8B8, SwappedOpaque, ""},
        {0x40, 32, 0xF00, 0xFF0000, 0, ECF_UNKNOWN, Kept, ""},  // neither layout
        {0x40, 16, 0xF800, 0xFF, 0, ECF_R5G6B5, Kept, ""},
        {0x41, 16, 0x7C00, 0xFF, 0x8000, ECF_A1R5G5B5, Kept, ""},
        {0x41, 16, 0x7C00, 0xFF, 0xF000, ECF_UNKNOWN, Kept, "DDS : Unsupported 16 bit format with alpha"},
        {0x40, 24, 0xFF0000, 0xFF, 0, ECF_R8G8B8, Swapped, "DDS : ECF_R8G8B8 format"},
        {0x41, 24, 0xFF0000, 0xFF, 0, ECF_UNKNOWN, Kept, ""},
        {0x20000, 8, 0xFF0000, 0xFF, 0, ECF_L8, Kept, ""},
        {0x200, 8, 0xFF0000, 0xFF, 0, ECF_UNKNOWN, Kept, "UNKNOWN DDS FORMAT TEXTURE"},  // YUV
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << c.pfFlags << " bits " << std::dec << c.bits
                                        << " red 0x" << std::hex << c.red << " alpha 0x" << c.alpha);
        DdsLayout l;
        l.pfFlags = c.pfFlags;
        l.bits = c.bits;
        l.red = c.red;
        l.blue = c.blue;
        l.alpha = c.alpha;
        const std::vector<uint8_t> data = bytes(4 * 4 * c.bits / 8, 1);
        IImage* image = load(ddsFile(l, data));
        EXPECT_NE(std::string::npos, printed.find(c.printed)) << printed;
        if (c.format == ECF_UNKNOWN) {
            EXPECT_EQ(nullptr, image);
            continue;
        }
        ASSERT_NE(nullptr, image);
        EXPECT_EQ(c.format, image->getColorFormat());
        std::vector<uint8_t> expected = data;
        for (size_t i = 0; c.bytes != Kept && i < expected.size(); i += c.bits / 8) {
            std::swap(expected[i], expected[i + 2]);
            if (c.bytes == SwappedOpaque) expected[i + 3] = 0xFF;
        }
        EXPECT_EQ(expected, take(image));
    }

    // Rows with a pitch are packed; a pitch shorter than a row is refused. A 24-bit file stores blue,
    // green, red: the pixel reads back in its own colours.
    DdsLayout l;
    l.width = 3;
    l.bits = 24;
    l.flags |= 0x8;
    l.pitch = 12;  // 9 bytes of pixels and 3 of padding per row
    std::vector<uint8_t> data = bytes(12 * 4);
    data[12] = 50, data[13] = 100, data[14] = 200;
    IImage* image = load(ddsFile(l, data));
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(SColor(255, 200, 100, 50), image->getPixel(0, 1));
    const std::vector<uint8_t> pixels = take(image);
    EXPECT_EQ(std::vector<uint8_t>({200, 100, 50, 17, 16, 15, 20, 19, 18}),
              std::vector<uint8_t>(pixels.begin() + 9, pixels.begin() + 18));
    l.pitch = 8;
    EXPECT_EQ(nullptr, load(ddsFile(l, data)));
}

TEST_F(DdsReader, BlockCompressedDataStaysCompressedInWholeBlocksAndVolumesNeedTheDepthFlag) {
    DdsLayout l;
    l.pfFlags = 0x4;
    l.width = l.height = 64;
    const struct {
        const char* fourCC;
        ECOLOR_FORMAT format;
        uint32_t size;
    } cases[] = {{"DXT1", ECF_DXT1, 2048}, {"DXT2", ECF_DXT3, 4096}, {"DXT4", ECF_DXT5, 4096}};
    for (const auto& c : cases) {
        l.fourCC = c.fourCC;
        const std::vector<uint8_t> data = bytes(c.size, 7);
        IImage* image = load(ddsFile(l, data));
        ASSERT_NE(nullptr, image) << c.fourCC;
        EXPECT_EQ(c.format, image->getColorFormat()) << c.fourCC;
        EXPECT_EQ(data, take(image));
    }
    EXPECT_NE(std::string::npos, printed.find("DDS : ECF_DXT5 format")) << printed;
    // A 6 x 2 image holds 2 x 1 blocks: one byte short is refused, and so is an unknown code.
    l.fourCC = "DXT1";
    l.width = 6;
    l.height = 2;
    EXPECT_EQ(16u, take(load(ddsFile(l, bytes(16)))).size());
    EXPECT_EQ(nullptr, load(ddsFile(l, bytes(15))));
    l.fourCC = "ATI2";
    EXPECT_EQ(nullptr, load(ddsFile(l, bytes(16))));

    // A depth without the depth flag makes a 2D image; a compressed volume holds every slice.
    l.fourCC = "DXT5";
    l.width = l.height = 4;
    l.depth = 3;
    EXPECT_EQ(16u, take(load(ddsFile(l, bytes(16 * 3)))).size());
    l.flags |= 0x800000;
    IImage* image = load(ddsFile(l, bytes(16 * 3)));
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(3u, image->getDepth());
    EXPECT_EQ(48u, take(image).size());
    EXPECT_EQ(nullptr, load(ddsFile(l, bytes(16 * 2))));
}

TEST_F(DdsReader, BrokenHeadersHostileSizesAndShortFilesAreRefused) {
    DdsLayout l;
    for (uint32_t size : {123u, 125u}) {
        l.headerSize = size;
        EXPECT_EQ(nullptr, load(ddsFile(l, bytes(64))));
        EXPECT_EQ("", printed);
    }
    l.headerSize = 124;
    const std::vector<uint8_t> file = ddsFile(l, bytes(64));
    for (size_t cut : {size_t(1), size_t(4), size_t(60), size_t(127), size_t(128), size_t(191)})
        EXPECT_EQ(nullptr, load(std::vector<uint8_t>(file.begin(), file.begin() + cut))) << "cut at " << cut;

    // Products that overflow 32 bits, absurd edges and depths, a zero size.
    const uint32_t huge[][3] = {{16384, 16384, 0}, {0x10000, 0x10000, 0}, {0xFFFFFFFF, 4, 0},
                                {4, 4, 0xFFFFFFFF}, {1024, 1024, 16384}, {0, 4, 0}};
    for (const auto& h : huge) {
        DdsLayout hl = l;
        hl.width = h[0];
        hl.height = h[1];
        hl.depth = h[2];
        if (h[2]) hl.flags |= 0x800000;
        EXPECT_EQ(nullptr, load(ddsFile(hl, bytes(64)))) << h[0] << " " << h[1] << " " << h[2];
        hl.flags |= 0x8;
        hl.pitch = 0xFFFFFFFF;
        EXPECT_EQ(nullptr, load(ddsFile(hl, bytes(64))));
        hl.pfFlags = 0x4;
        hl.fourCC = "DXT1";
        EXPECT_EQ(nullptr, load(ddsFile(hl, bytes(64))));
    }
}

TEST_F(DdsReader, RecognisesTheExtensionAndTheMagic) {
    EXPECT_TRUE(dds->isALoadableFileExtension("textures/UPPER.DDS"));
    EXPECT_FALSE(dds->isALoadableFileExtension("a.dds.png"));
    std::vector<uint8_t> file = ddsFile(DdsLayout(), bytes(64));
    for (int at : {3, 2}) {  // the fourth byte is not looked at
        file[at] = 'x';
        io::IReadFile* f = memoryFile(file);
        EXPECT_EQ(at == 3, dds->isALoadableFileFormat(f)) << at;
        f->drop();
    }
}

}  // namespace
