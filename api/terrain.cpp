#include "terrain.h"

#include <irrlicht.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine_context.h"
#include "sys.h"

using namespace irr;

namespace {

constexpr long kRaw257 = 257L * 257L * 2L;
constexpr long kRaw513 = 513L * 513L * 2L;
constexpr float kTerrainSpan = 7680.0f;

struct Step {
    float fracAtLeast;
    int red, green, blue;
};
// The first threshold the fraction reaches decides what is added.
const Step kSteps[] = {
    {0.95f, 1, 1, 1}, {0.86f, 3, 0, 0}, {0.76f, 0, 1, 2}, {0.66f, 0, 1, 1}, {0.57f, 2, 0, 0},
    {0.47f, 1, 0, 2}, {0.38f, 1, 0, 1}, {0.27f, 1, 0, 0}, {0.17f, 0, 0, 2}, {0.06f, 0, 0, 1},
};

}  // namespace

int qeIrrlichtObjIsTerrainName(const char* name) { return name && std::strstr(name, ".terrain") ? 1 : 0; }

void qeIrrlichtTerrainBaseName(const char* file, char* out, int size) {
    if (size <= 0) return;
    const char* layer = std::strstr(file, ".layer");
    const int length = layer ? static_cast<int>(layer - file) : static_cast<int>(std::strlen(file));
    std::snprintf(out, size, "%.*s", length, file);
}

void qeIrrlichtTerrainEncodeHeight(uint16_t sample, uint8_t rgb[3]) {
    const double level = sample / 65535.0 * 250.0;
    const double base = std::floor(level);
    const double frac = level - base;
    int c[3] = {static_cast<int>(base), static_cast<int>(base), static_cast<int>(base)};
    for (const Step& step : kSteps) {
        if (frac >= step.fracAtLeast) {
            c[0] += step.red;
            c[1] += step.green;
            c[2] += step.blue;
            break;
        }
    }
    // 250 plus the largest step stays within a byte.
    for (int i = 0; i < 3; ++i) rgb[i] = static_cast<uint8_t>(c[i]);
}

io::IReadFile* openHeightMapFileRaw(const char* name, int* width, int* height) {
    EngineContext* ctx = qeIrrlichtGetContext();
    io::IFileSystem* fs = ctx->device->getFileSystem();
    io::IReadFile* file = fs->createAndOpenFile(name);
    if (!file) {
        qeSysDebugPrint("openHeightMapFileRaw(%s) file not found\n", name);
        return nullptr;
    }
    const long size = file->getSize();
    if (size != kRaw257 && size != kRaw513) {
        file->drop();
        qeSysDebugPrint("height map raw file '%s' is not 257 or 513 size\n", name);
        qeSysMessageBox("height map raw file '%s' is not 257 or 513 size", name);
        return nullptr;
    }
    const int n = size == kRaw257 ? 257 : 513;
    *width = *height = n;
    unsigned char* raw = static_cast<unsigned char*>(std::malloc(size));
    const bool read = raw && file->read(raw, size) == size;
    file->drop();
    if (!read) {
        std::free(raw);
        qeSysDebugPrint("openHeightMapFileRaw(%s) failed to malloc buffer\n", name);
        return nullptr;
    }
    video::IImage* image = ctx->driver->createImage(video::ECF_R8G8B8, core::dimension2du(n, n));
    if (!image) {
        std::free(raw);
        qeSysDebugPrint("openHeightMapFileRaw(%s) failed to create image\n", name);
        return nullptr;
    }
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const unsigned char* s = raw + 2 * (y * n + x);
            uint8_t rgb[3];
            qeIrrlichtTerrainEncodeHeight(static_cast<uint16_t>(s[0] | (s[1] << 8)), rgb);
            image->setPixel(x, n - 1 - y, video::SColor(255, rgb[0], rgb[1], rgb[2]));
        }
    }
    std::free(raw);

    const long bmpSize = static_cast<long>(n) * n * 3 + 16384;
    void* bmp = std::malloc(bmpSize);
    if (!bmp) {
        image->drop();
        qeSysDebugPrint("openHeightMapFileRaw(%s) failed to malloc buffer for bmp file\n", name);
        return nullptr;
    }
    io::IWriteFile* out = fs->createMemoryWriteFile(bmp, bmpSize, "foo.bmp", false);
    const bool written = out && ctx->driver->writeImageToFile(image, out);
    const long bmpLength = out ? out->getPos() : 0;
    if (out) out->drop();
    image->drop();
    if (!written) {
        std::free(bmp);
        qeSysDebugPrint("openHeightMapFileRaw(%s) failed to writeImageToFile(image, memoryFile)\n", name);
        return nullptr;
    }
    io::IReadFile* result = fs->createMemoryReadFile(bmp, bmpLength, "heightmap", true);
    if (!result) {
        std::free(bmp);
        qeSysDebugPrint("openHeightMapFileRaw(%s) failed to createMemoryReadFile()\n", name);
        return nullptr;
    }
    qeSysDebugPrint("openHeightMapFileRaw(%s) success\n", name);
    return result;
}

io::IReadFile* qeIrrlichtOpenHeightMapFileBmp(const char* name, int* width, int* height) {
    EngineContext* ctx = qeIrrlichtGetContext();
    video::IImage* image = ctx->driver->createImageFromFile(name);
    if (!image) return nullptr;
    *width = static_cast<int>(image->getDimension().Width);
    *height = static_cast<int>(image->getDimension().Height);
    image->drop();
    return ctx->device->getFileSystem()->createAndOpenFile(name);
}

scene::ITerrainSceneNode* qeIrrlichtLoadTerrain(const char* file) {
    EngineContext* ctx = qeIrrlichtGetContext();
    if (!ctx->device || !ctx->smgr) return nullptr;
    char base[260];
    qeIrrlichtTerrainBaseName(file, base, sizeof(base));
    const core::stringc baseName(base);
    const core::stringc rawName = baseName + "_height.raw";
    const core::stringc bmpName = baseName + "_height.bmp";

    int width = 0, height = 0;
    io::IReadFile* map = openHeightMapFileRaw(rawName.c_str(), &width, &height);
    if (!map) map = qeIrrlichtOpenHeightMapFileBmp(bmpName.c_str(), &width, &height);
    if (!map || width <= 0 || height <= 0) {
        if (map) map->drop();
        qeSysMessageBox("Cannot load height map file '%s'", bmpName.c_str());
        return nullptr;
    }
    scene::ITerrainSceneNode* node = ctx->smgr->addTerrainSceneNode(
        map, nullptr, -1, core::vector3df(0, 0, 0), core::vector3df(0, -180.0f, 0),
        core::vector3df(kTerrainSpan / width, 8.0f, kTerrainSpan / height), video::SColor(0xFFFFFFFF), 1,
        scene::ETPS_33, 0);
    map->drop();
    if (!node) {
        qeSysMessageBox("Cannot load terrain basename='%s'. Check height map file '%s'", base, bmpName.c_str());
        return nullptr;
    }
    node->setMaterialFlag(video::EMF_LIGHTING, false);
    if (video::ITexture* colour = ctx->driver->getTexture(baseName + "_texture.jpg"))
        node->setMaterialTexture(0, colour);
    if (video::ITexture* detail = ctx->driver->getTexture(baseName + "_details.jpg")) {
        node->setMaterialTexture(1, detail);
        node->setMaterialType(video::EMT_DETAIL_MAP);
        node->scaleTexture(1.0f, 20.0f);
    }
    return node;
}
