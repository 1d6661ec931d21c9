// Fuzzes the engine's DDS reader on memory files; every image it gives is read back whole, compressed
// ones through the texel decoder that textures of sizes the driver refuses are made with.
#include <cstddef>
#include <cstdint>

#include "CDXTDecoder.h"
#include "CImageLoaderDDS.h"
#include "fuzz_support.h"

using namespace irr;

namespace irr { namespace video {
IImageLoader* createImageLoaderDDS(IVideoDriver* driver);
} }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static video::IImageLoader* loader = video::createImageLoaderDDS(nullptr);
    io::IReadFile* file = io::createMemoryReadFile(const_cast<uint8_t*>(data), static_cast<long>(size), "fuzz.dds", false);
    if (loader->isALoadableFileFormat(file)) {
        file->seek(0);
        if (video::IImage* image = loader->loadImage(file)) {
            volatile uint32_t sum = 0;
            if (video::IImage* decoded = video::createDecodedDXTImage(image)) {
                sum += decoded->getPixel(decoded->getDimension().Width - 1, decoded->getDimension().Height - 1).color;
                decoded->drop();
            } else if (!video::IImage::isCompressedFormat(image->getColorFormat())) {
                const uint8_t* bytes = static_cast<const uint8_t*>(image->lock());
                for (u32 i = 0; i < image->getImageDataSizeInBytes(); ++i) sum += bytes[i];
                image->unlock();
            }
            image->drop();
        }
    }
    file->drop();
    return 0;
}
