// The DDS reader: every supported layout written in memory and loaded through the null driver's image
// loading, pixel values checked; truncated and hostile headers refused without a crash.
#include <irrlicht.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dds_writer.h"

using namespace irr;
using namespace irr::video;

namespace {

using qetest::DdsLayout;
using qetest::ddsFile;

std::vector<uint8_t> bytes(size_t n, uint8_t start = 0) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(start + i);
    return v;
}

class DdsReader : public ::testing::Test {
protected:
    IrrlichtDevice* device = nullptr;
    void SetUp() override { device = createDevice(EDT_NULL); }
    void TearDown() override { device->drop(); }

    IImage* load(const std::vector<uint8_t>& file, const char* name = "test.dds") {
        io::IReadFile* f = device->getFileSystem()->createMemoryReadFile(
            const_cast<uint8_t*>(file.data()), (s32)file.size(), name, false);
        IImage* image = device->getVideoDriver()->createImageFromFile(f);
        f->drop();
        return image;
    }
    // loads with stdout captured; returns what the reader printed
    std::string loadPrinting(const std::vector<uint8_t>& file, IImage** image) {
        testing::internal::CaptureStdout();
        *image = load(file);
        return testing::internal::GetCapturedStdout();
    }
    IImageLoader* ddsLoader() const {
        IVideoDriver* driver = device->getVideoDriver();
        for (u32 i = 0; i < driver->getImageLoaderCount(); ++i)
            if (driver->getImageLoader(i)->isALoadableFileExtension("a.dds")) return driver->getImageLoader(i);
        ADD_FAILURE() << "no DDS loader";
        return nullptr;
    }
    // the DDS reader alone, without the engine's other loaders trying the file afterwards
    IImage* loadDds(const std::vector<uint8_t>& file) {
        IImageLoader* loader = ddsLoader();
        if (!loader) return nullptr;
        io::IReadFile* f = device->getFileSystem()->createMemoryReadFile(
            const_cast<uint8_t*>(file.data()), (s32)file.size(), "a.dds", false);
        IImage* image = loader->loadImage(f);
        f->drop();
        return image;
    }
    static std::vector<uint8_t> pixels(IImage* image) {
        const uint8_t* p = static_cast<const uint8_t*>(image->lock());
        std::vector<uint8_t> v(p, p + image->getImageDataSizeInBytes());
        image->unlock();
        return v;
    }
};

}  // namespace

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
        {0x40, 24, 0xFF0000, 0xFF, 0, ECF_R8G8B8, Kept, ""},
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
        IImage* image = nullptr;
        const std::string printed = loadPrinting(ddsFile(l, data), &image);
        EXPECT_NE(std::string::npos, printed.find(c.printed)) << printed;
        if (c.format == ECF_UNKNOWN) {
            EXPECT_EQ(nullptr, image);
            continue;
        }
        ASSERT_NE(nullptr, image);
        EXPECT_EQ(c.format, image->getColorFormat());
        std::vector<uint8_t> expected = data;
        for (size_t i = 0; c.bytes != Kept && i < expected.size(); i += 4) {
            std::swap(expected[i], expected[i + 2]);
            if (c.bytes == SwappedOpaque) expected[i + 3] = 0xFF;
        }
        EXPECT_EQ(expected, pixels(image));
        if (c.format == ECF_L8) EXPECT_EQ(SColor(255, 2, 2, 2), image->getPixel(1, 0));
        image->drop();
    }
}

TEST_F(DdsReader, PitchRowsArePackedAndShortPitchesRefused) {
    DdsLayout l;
    l.width = 3;
    l.height = 2;
    l.bits = 24;
    l.flags |= 0x8;
    l.pitch = 12;  // 9 bytes of pixels and 3 of padding per row
    std::vector<uint8_t> data = bytes(12 * 2, 0);
    IImage* image = load(ddsFile(l, data));
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(9u, image->getPitch());
    std::vector<uint8_t> packed(data.begin(), data.begin() + 9);
    packed.insert(packed.end(), data.begin() + 12, data.begin() + 21);
    EXPECT_EQ(packed, pixels(image));
    image->drop();

    l.pitch = 8;  // shorter than a row
    EXPECT_NE(std::string::npos, loadPrinting(ddsFile(l, data), &image).find("DDS : "));
    EXPECT_EQ(nullptr, image);
}

TEST_F(DdsReader, BlockCompressedDataStaysCompressedInWholeBlocksAndVolumesNeedTheDepthFlag) {
    DdsLayout l;
    l.pfFlags = 0x4;
    l.width = l.height = 64;
    const struct {
        const char* fourCC;
        ECOLOR_FORMAT format;
        uint32_t size;
        const char* printed;
    } cases[] = {{"DXT1", ECF_DXT1, 2048, "DDS : ECF_DXT1 format"},
                 {"DXT2", ECF_DXT3, 4096, "DDS : ECF_DXT3 format"},
                 {"DXT4", ECF_DXT5, 4096, "DDS : ECF_DXT5 format"}};
    for (const auto& c : cases) {
        l.fourCC = c.fourCC;
        const std::vector<uint8_t> data = bytes(c.size, 7);
        IImage* image = nullptr;
        const std::string printed = loadPrinting(ddsFile(l, data), &image);
        ASSERT_NE(nullptr, image) << c.fourCC;
        EXPECT_EQ(c.format, image->getColorFormat()) << c.fourCC;
        EXPECT_NE(std::string::npos, printed.find(c.printed)) << printed;
        EXPECT_EQ(data, pixels(image));
        image->drop();
    }
    // A 6 x 2 image holds 2 x 1 blocks; one byte short is refused, and so is an unknown code.
    l.fourCC = "DXT1";
    l.width = 6;
    l.height = 2;
    IImage* image = load(ddsFile(l, bytes(16)));
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(16u, image->getImageDataSizeInBytes());
    image->drop();
    EXPECT_EQ(nullptr, load(ddsFile(l, bytes(15))));
    l.fourCC = "ATI2";
    EXPECT_EQ(nullptr, load(ddsFile(l, bytes(16))));

    // A depth without the depth flag makes a 2D image; a compressed volume holds every slice.
    l.fourCC = "DXT5";
    l.width = l.height = 4;
    l.depth = 3;
    image = load(ddsFile(l, bytes(16 * 3)));
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(1u, image->getDepth());
    image->drop();
    l.flags |= 0x800000;
    image = load(ddsFile(l, bytes(16 * 3)));
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(3u, image->getDepth());
    EXPECT_EQ(48u, image->getImageDataSizeInBytes());
    image->drop();
    EXPECT_EQ(nullptr, load(ddsFile(l, bytes(16 * 2))));
}

TEST_F(DdsReader, BrokenHeadersAreRefusedQuietly) {
    const std::vector<uint8_t> data = bytes(64);
    DdsLayout l;
    for (uint32_t size : {123u, 125u}) {
        l.headerSize = size;
        IImage* image = nullptr;
        EXPECT_EQ("", loadPrinting(ddsFile(l, data), &image));
        EXPECT_EQ(nullptr, image);
    }
    l.headerSize = 124;
    l.flags &= ~0x1000u;
    EXPECT_EQ(nullptr, load(ddsFile(l, data)));
}

TEST_F(DdsReader, HostileSizesAndShortFilesAreRefused) {
    DdsLayout l;
    l.pfFlags = 0x40 | 0x1;
    l.alpha = 0xFF000000;
    std::vector<uint8_t> file = ddsFile(l, bytes(64));
    for (size_t cut : {size_t(1), size_t(4), size_t(60), size_t(127), size_t(128), size_t(191)}) {
        std::vector<uint8_t> shortFile(file.begin(), file.begin() + cut);
        EXPECT_EQ(nullptr, loadDds(shortFile)) << "cut at " << cut;
    }

    // products that overflow 32 bits, absurd edges and depths, a zero size
    const uint32_t huge[][3] = {{16384, 16384, 0}, {0x10000, 0x10000, 0}, {0xFFFFFFFF, 4, 0},
                                {4, 4, 0xFFFFFFFF}, {1024, 1024, 16384}, {0, 4, 0}};
    for (const auto& h : huge) {
        DdsLayout hl = l;
        hl.width = h[0];
        hl.height = h[1];
        hl.depth = h[2];
        if (h[2]) hl.flags |= 0x800000;
        EXPECT_EQ(nullptr, loadDds(ddsFile(hl, bytes(64)))) << h[0] << " " << h[1] << " " << h[2];
        hl.flags |= 0x8;
        hl.pitch = 0xFFFFFFFF;
        EXPECT_EQ(nullptr, loadDds(ddsFile(hl, bytes(64))));
        hl.pfFlags = 0x4;
        hl.fourCC = "DXT1";
        EXPECT_EQ(nullptr, loadDds(ddsFile(hl, bytes(64))));
    }
}

TEST_F(DdsReader, RecognisesTheExtensionAndTheMagic) {
    IImageLoader* dds = ddsLoader();
    ASSERT_NE(nullptr, dds);
    EXPECT_TRUE(dds->isALoadableFileExtension("textures/UPPER.DDS"));
    EXPECT_FALSE(dds->isALoadableFileExtension("a.dds.png"));
    EXPECT_FALSE(dds->isALoadableFileFormat(nullptr));
    std::vector<uint8_t> file = ddsFile(DdsLayout(), bytes(64));
    for (int at : {3, 2}) {  // the fourth byte is not looked at
        file[at] = 'x';
        io::IReadFile* f = device->getFileSystem()->createMemoryReadFile(file.data(), (s32)file.size(), "a.bin", false);
        EXPECT_EQ(at == 3, dds->isALoadableFileFormat(f)) << at;
        f->drop();
    }
}
