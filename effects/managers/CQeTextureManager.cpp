#include "CQeTextureManager.h"

using namespace irr;

namespace {

// Switches mip-map creation off for its lifetime.
class NoMipMaps {
public:
    explicit NoMipMaps(video::IVideoDriver* driver)
        : Driver(driver), Was(driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS)) {
        Driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
    }
    ~NoMipMaps() { Driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, Was); }

private:
    video::IVideoDriver* Driver;
    bool Was;
};

}  // namespace

bool CQeTextureManager::cubeFaceNames(const io::path& name, io::path faces[6]) {
    const s32 dot = name.findLast('.');
    if (dot < 4 || dot == (s32)name.size() - 1) return false;
    if (name[dot - 1] != '0' && name[dot - 2] != '0') return false;
    const io::path base(name.c_str(), (u32)dot);
    const io::path extension(name.c_str() + dot + 1);
    for (u32 i = 0; i < 6; ++i) {
        faces[i] = base;
        faces[i] += "0";
        faces[i] += (char)('0' + i);
        faces[i] += ".";
        faces[i] += extension;
    }
    return true;
}

video::ITexture* CQeTextureManager::getTexture(const io::path& name) {
    video::IVideoDriver* d = driver();
    return d ? d->getTexture(name) : nullptr;
}

video::ITexture* CQeTextureManager::loadCubeTexture(const io::path& name) {
    video::IVideoDriver* d = driver();
    io::path faces[6];
    if (!d || !cubeFaceNames(name, faces)) return nullptr;
    video::IImage* images[6] = {};
    video::ITexture* texture = nullptr;
    u32 read = 0;
    while (read < 6 && (images[read] = d->createImageFromFile(faces[read]))) ++read;
    if (read == 6) {
        io::path cubeName = name;
        cubeName += "_cube";
        texture = d->addTextureCubeMap(cubeName, images[0], images[1], images[2], images[3], images[4], images[5]);
    }
    for (u32 i = 0; i < read; ++i) images[i]->drop();
    return texture;
}

video::ITexture* CQeTextureManager::loadTexture(const io::path& name) {
    video::IVideoDriver* d = driver();
    if (!d) return nullptr;
    io::path faces[6];
    if (cubeFaceNames(name, faces)) {
        io::IFileSystem* fs = Device->getFileSystem();
        bool all = fs != nullptr;
        for (u32 i = 0; all && i < 6; ++i) all = fs->existFile(faces[i]);
        if (all) return loadCubeTexture(name);
    }
    NoMipMaps noMipMaps(d);
    return d->getTexture(name);
}

video::ITexture* CQeTextureManager::loadTextureR32F(const io::path& name) {
    video::IVideoDriver* d = driver();
    if (!d) return nullptr;
    video::IImage* source = d->createImageFromFile(name);
    if (!source) return nullptr;
    const core::dimension2du size = source->getDimension();
    video::IImage* image = d->createImage(video::ECF_R32F, size);
    if (!image || image->getColorFormat() != video::ECF_R32F) {
        if (image) image->drop();
        source->drop();
        return nullptr;
    }
    // The engine's image copy has no float target: each texel takes the red component, 0 to 1.
    u8* row = static_cast<u8*>(image->lock());
    for (u32 y = 0; y < size.Height; ++y, row += image->getPitch()) {
        f32* texel = reinterpret_cast<f32*>(row);
        for (u32 x = 0; x < size.Width; ++x) texel[x] = source->getPixel(x, y).getRed() * (1.0f / 255.0f);
    }
    image->unlock();
    source->drop();
    io::path textureName = name;
    textureName += "r32f";
    video::ITexture* texture;
    {
        NoMipMaps noMipMaps(d);
        texture = d->addTexture(textureName, image);
    }
    image->drop();
    return texture;
}
