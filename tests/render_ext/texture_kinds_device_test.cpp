// Cube, volume and block-compressed textures on a real Direct3D 9 device: created through the driver,
// sampled by a small HLSL shader into a render target and read back; plus the device's creation rules.
#include <irrlicht.h>

#include <d3d9.h>
#include <d3dx9core.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <string>
#include <vector>

#include "dds_writer.h"
#include "device_check.h"
#include "file_fixtures.h"

using namespace irr;
using namespace irr::video;

namespace {

// Every pixel of the quad gets the sample of layer 0 at the constant coordinates "coord".
const char* kShader =
    "float4 coord;\n"
    "samplerCUBE cubeMap : register(s0);\n"
    "sampler3D volume : register(s0);\n"
    "sampler2D plain : register(s0);\n"
    "float4 vsMain(float4 pos : POSITION) : POSITION { return pos; }\n"
    "float4 psCube() : COLOR0 { return texCUBE(cubeMap, coord.xyz); }\n"
    "float4 psVolume() : COLOR0 { return tex3D(volume, coord.xyz); }\n"
    "float4 psPlain() : COLOR0 { return tex2D(plain, coord.xy); }\n";

class Coordinates : public IShaderConstantSetCallBack {
public:
    f32 coord[4] = {};
    void OnSetConstants(IMaterialRendererServices* services, s32) override {
        services->setPixelShaderConstant("coord", coord, 4);
    }
};

// One DXT1 block of a single 5:6:5 colour; a DXT5 block is an opaque alpha block before it.
void dxtBlock(std::vector<uint8_t>& v, uint16_t colour, bool dxt5 = false) {
    if (dxt5) v.insert(v.end(), {255, 255, 0, 0, 0, 0, 0, 0});
    v.insert(v.end(), {uint8_t(colour), uint8_t(colour >> 8), 0, 0, 0, 0, 0, 0});
}

// A DDS file (a volume when d > 0): 32-bit with alpha, without (rgbFlags 0x40), or DXT5 when fourCC is set.
std::vector<uint8_t> dds(uint32_t w, uint32_t h, uint32_t d, const std::vector<uint8_t>& data,
                         const char* fourCC = nullptr, uint32_t rgbFlags = 0x41) {
    qetest::DdsLayout l;
    l.flags |= 0x800000;
    l.width = w;
    l.height = h;
    l.depth = d;
    l.pfFlags = fourCC ? 0x4 : rgbFlags;
    l.fourCC = fourCC ? fourCC : "";
    l.alpha = (rgbFlags & 1) ? 0xFF000000 : 0;
    return qetest::ddsFile(l, data);
}

class D3D9Textures : public ::testing::Test {
protected:
    qetest::D3D9Device d3d;
    IVideoDriver* driver = d3d.driver;
    ITexture* target = nullptr;
    Coordinates* constants = new Coordinates();
    s32 cubeMaterial = -1, volumeMaterial = -1, plainMaterial = -1;

    void SetUp() override {
        ASSERT_NE(nullptr, driver) << "no Direct3D 9 device";
        target = driver->addRenderTargetTexture(core::dimension2du(16, 16), "target", ECF_A8R8G8B8);
        s32* materials[] = {&cubeMaterial, &volumeMaterial, &plainMaterial};
        const char* entries[] = {"psCube", "psVolume", "psPlain"};
        for (int i = 0; i < 3; ++i) {
            *materials[i] = qetest::hlslMaterial(driver, kShader, "vsMain", entries[i], constants);
            ASSERT_GE(*materials[i], 0) << entries[i];
        }
    }
    ~D3D9Textures() override { constants->drop(); }

    // Draws one full-target quad sampling at the coordinates and gives the A8R8G8B8 pixel at its centre.
    unsigned sample(s32 materialType, ITexture* texture, std::initializer_list<f32> coord) {
        std::copy(coord.begin(), coord.end(), constants->coord);
        SMaterial material = qetest::quadMaterial(materialType);
        material.TextureLayer[0].BilinearFilter = false;
        material.TextureLayer[0].TextureWrapU = material.TextureLayer[0].TextureWrapV = ETC_CLAMP_TO_EDGE;
        material.setTexture(0, texture);
        return qetest::drawAndReadCentre(driver, target, material);
    }

    // A cube texture of six solid faces, each of its own colour.
    ITexture* cubeOf(const char* name, ECOLOR_FORMAT format, u32 w, u32 h, const unsigned colours[6]) {
        IImage* f[6];
        for (int i = 0; i < 6; ++i) f[i] = solidImage(format, w, h, SColor(colours[i]));
        ITexture* cube = driver->addTextureCubeMap(name, f[0], f[1], f[2], f[3], f[4], f[5]);
        for (IImage* face : f) face->drop();
        return cube;
    }

    IImage* solidImage(ECOLOR_FORMAT format, u32 w, u32 h, SColor colour) {
        IImage* image = driver->createImage(format, core::dimension2du(w, h));
        image->fill(colour);
        return image;
    }

    ITexture* load(const std::vector<uint8_t>& file, const char* name) {
        io::IReadFile* f = d3d.device->getFileSystem()->createMemoryReadFile(
            const_cast<uint8_t*>(file.data()), (s32)file.size(), name, false);
        ITexture* texture = driver->getTexture(f);
        f->drop();
        return texture;
    }
};

const unsigned kFaceColours[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFF00FFFF, 0xFFFF00FF};

}  // namespace

TEST_F(D3D9Textures, DeviceHasAnAlphaBackBufferTheSdkVersionsAndVsyncTwoBackBuffers) {
    EXPECT_EQ(ECF_A8R8G8B8, driver->getColorFormat());
    const SExposedVideoData& data = driver->getExposedVideoData();
    EXPECT_EQ(32u, data.D3D9.D3DSDKVersion);
    EXPECT_EQ((unsigned)D3DX_SDK_VERSION, data.D3D9.D3DXSDKVersion);
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(D3D_OK, data.D3D9.D3DDev9->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer));
    D3DSURFACE_DESC desc;
    backBuffer->GetDesc(&desc);
    backBuffer->Release();
    EXPECT_EQ(D3DFMT_A8R8G8B8, desc.Format);

    qetest::D3D9Device second(64, 64, true);
    ASSERT_NE(nullptr, second.driver);
    IDirect3DSwapChain9* chain = nullptr;
    ASSERT_EQ(D3D_OK, second.driver->getExposedVideoData().D3D9.D3DDev9->GetSwapChain(0, &chain));
    D3DPRESENT_PARAMETERS present;
    chain->GetPresentParameters(&present);
    chain->Release();
    EXPECT_EQ(2u, present.BackBufferCount);
    EXPECT_EQ((UINT)D3DPRESENT_INTERVAL_ONE, present.PresentationInterval);
}

TEST_F(D3D9Textures, CubeTexturesSampleEachFaceAtAnySizeAndBadFacesAreRefused) {
    ITexture* cube = cubeOf("sky", ECF_A8R8G8B8, 16, 16, kFaceColours);
    ASSERT_NE(nullptr, cube);
    EXPECT_EQ(2u, cube->getTextureKind());
    EXPECT_EQ(nullptr, cube->lock());
    const float dirs[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int i = 0; i < 6; ++i) {
        const unsigned pixel = sample(cubeMaterial, cube, {dirs[i][0], dirs[i][1], dirs[i][2]});
        EXPECT_TRUE(qeColourNear(pixel, kFaceColours[i], 1)) << "face " << i << " read 0x" << std::hex << pixel;
    }
    // Edges become powers of two, at most the next above; non-square images are scaled into the face.
    ITexture* sized = cubeOf("sized", ECF_A8R8G8B8, 100, 50, kFaceColours);
    ASSERT_NE(nullptr, sized);
    EXPECT_EQ(core::dimension2du(64, 64), sized->getSize());
    EXPECT_TRUE(qeColourNear(sample(cubeMaterial, sized, {0, 0, -1}), kFaceColours[5], 1));

    // Unequal sizes or a compressed face: no texture, nothing cached.
    const u32 before = driver->getTextureCount();
    IImage* big = solidImage(ECF_A8R8G8B8, 8, 8, SColor(0xFFFFFFFF));
    IImage* odd = solidImage(ECF_A8R8G8B8, 4, 4, SColor(0xFFFFFFFF));
    EXPECT_EQ(nullptr, driver->addTextureCubeMap("odd", big, big, big, big, big, odd));
    std::vector<u8> blocks(8, 0);
    IImage* dxt = driver->createImageFromData(ECF_DXT1, core::dimension2du(8, 8), blocks.data(), false, false);
    EXPECT_EQ(nullptr, driver->addTextureCubeMap("dxt", dxt, dxt, dxt, dxt, dxt, dxt));
    EXPECT_EQ(before, driver->getTextureCount());
    for (IImage* image : {big, odd, dxt}) image->drop();
}

TEST_F(D3D9Textures, VolumeTexturesFromDdsFilesSampleEachSlice) {
    const unsigned sliceColours[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    std::vector<uint8_t> data;
    for (unsigned colour : sliceColours)
        for (int i = 0; i < 8 * 4; ++i)  // 8 x 4 texels a slice
            for (int b = 0; b < 4; ++b) data.push_back(uint8_t(colour >> (8 * b)));
    ITexture* volume = load(dds(8, 4, 4, data), "volume.dds");
    ASSERT_NE(nullptr, volume);
    ASSERT_EQ(1u, volume->getTextureKind());
    EXPECT_EQ(core::vector3d<u32>(8, 4, 4), static_cast<ITexture3D*>(volume)->getSize3D());
    for (int z = 0; z < 4; ++z) {
        const unsigned pixel = sample(volumeMaterial, volume, {0.5f, 0.5f, (z + 0.5f) / 4});
        EXPECT_TRUE(qeColourNear(pixel, sliceColours[z], 1)) << "slice " << z << " read 0x" << std::hex << pixel;
    }

    // Compressed volumes are filled slice by slice.
    data.clear();
    for (uint16_t c : {0x001F, 0xF800})                         // blue, red
        for (int b = 0; b < 4; ++b) dxtBlock(data, c, true);  // 8 x 8: 2 x 2 blocks a slice
    ITexture* dxt5 = load(dds(8, 8, 2, data, "DXT5"), "dxt5volume.dds");
    ASSERT_NE(nullptr, dxt5);
    EXPECT_EQ(ECF_DXT5, dxt5->getColorFormat());
    EXPECT_TRUE(qeColourNear(sample(volumeMaterial, dxt5, {0.7f, 0.7f, 0.25f}), 0xFF0000FF, 2));
    EXPECT_TRUE(qeColourNear(sample(volumeMaterial, dxt5, {0.3f, 0.3f, 0.75f}), 0xFFFF0000, 2));

    // A 32-bit file without alpha is X8R8G8B8, which has no volume texture: null, not an empty texture.
    std::vector<uint8_t> x8(4 * 4 * 2 * 4, 0x80);
    const u32 before = driver->getTextureCount();
    EXPECT_EQ(nullptr, load(dds(4, 4, 2, x8, nullptr, 0x40), "x8volume.dds"));
    EXPECT_EQ(before, driver->getTextureCount());
}

// A cube map keeps the bare name it is given, so a flat texture of that name in another folder, asked for
// by its bare name as the mesh loaders and surfaces do, shares it: a flat lookup passes over cube and volume
// textures of its name wherever among them the search lands, and a flat texture found that way is made once.
TEST_F(D3D9Textures, FlatLookupsPassOverCubeAndVolumeTexturesOfTheirName) {
    const unsigned red[6] = {0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000};
    ITexture* cube = cubeOf("kinds-env00.bmp", ECF_A8R8G8B8, 8, 8, red);
    ASSERT_NE(nullptr, cube);
    qetest::TempDir folder("kinds");
    const std::string blueFile = folder.path() + "kinds-env00.bmp";
    IImage* blue = solidImage(ECF_R8G8B8, 8, 8, SColor(0xFF0000FF));
    ASSERT_TRUE(driver->writeImageToFile(blue, blueFile.c_str()));
    blue->drop();

    // By path, from the blue file's folder.
    io::IFileSystem* files = d3d.device->getFileSystem();
    const io::path saved = files->getWorkingDirectory();
    ASSERT_TRUE(files->changeWorkingDirectoryTo(folder.path().c_str()));
    ITexture* byPath = driver->getTexture("kinds-env00.bmp");
    const u32 count = driver->getTextureCount();
    ITexture* byPathAgain = driver->getTexture("kinds-env00.bmp");
    files->changeWorkingDirectoryTo(saved);
    ASSERT_NE(nullptr, byPath);
    EXPECT_EQ(0u, byPath->getTextureKind());
    EXPECT_TRUE(qeColourNear(sample(plainMaterial, byPath, {0.5f, 0.5f}), 0xFF0000FF, 1));
    EXPECT_EQ(byPath, byPathAgain);
    EXPECT_EQ(count, driver->getTextureCount());
    EXPECT_EQ(nullptr, driver->findTexture("kinds-env00.bmp")) << "the only texture of the bare name is the cube";
    EXPECT_STREQ("kinds-env00.bmp", cube->getName().getPath().c_str());
    EXPECT_TRUE(qeColourNear(sample(cubeMaterial, cube, {0, 0, 1}), 0xFFFF0000, 1));

    // By file, under the bare name itself, among more cube maps of that name (one a folder).
    std::vector<uint8_t> bmp;
    if (FILE* f = std::fopen(blueFile.c_str(), "rb")) {
        for (int c; (c = std::fgetc(f)) != EOF;) bmp.push_back(uint8_t(c));
        std::fclose(f);
    }
    ITexture* flat = load(bmp, "kinds-env00.bmp");
    ASSERT_NE(nullptr, flat);
    EXPECT_EQ(0u, flat->getTextureKind());
    for (int cubes = 1; cubes <= 4; ++cubes) {
        SCOPED_TRACE(testing::Message() << cubes << " cube maps of the name");
        if (cubes > 1) {
            ASSERT_NE(nullptr, cubeOf("kinds-env00.bmp", ECF_A8R8G8B8, 8, 8, red));
        }
        const u32 before = driver->getTextureCount();
        EXPECT_EQ(flat, driver->findTexture("kinds-env00.bmp"));
        EXPECT_EQ(flat, load(bmp, "kinds-env00.bmp"));
        EXPECT_EQ(before, driver->getTextureCount());
    }
    EXPECT_TRUE(qeColourNear(sample(plainMaterial, flat, {0.5f, 0.5f}), 0xFF0000FF, 1));

    // A volume texture is not a flat texture of its name either, though its file named again gives it.
    std::vector<uint8_t> slices(4 * 4 * 2 * 4, 0xFF);
    const std::vector<uint8_t> volumeFile = dds(4, 4, 2, slices);
    ITexture* volume = load(volumeFile, "kinds-noise.dds");
    ASSERT_NE(nullptr, volume);
    ASSERT_EQ(1u, volume->getTextureKind());
    EXPECT_EQ(nullptr, driver->findTexture("kinds-noise.dds"));
    u32 before = driver->getTextureCount();
    EXPECT_EQ(volume, load(volumeFile, "kinds-noise.dds"));
    EXPECT_EQ(before, driver->getTextureCount());
    // A flat texture of that name, once there is one, comes first for both lookups.
    IImage* green = solidImage(ECF_A8R8G8B8, 4, 4, SColor(0xFF00FF00));
    ITexture* flatNoise = driver->addTexture("kinds-noise.dds", green);
    green->drop();
    ASSERT_NE(nullptr, flatNoise);
    before = driver->getTextureCount();
    EXPECT_EQ(flatNoise, driver->findTexture("kinds-noise.dds"));
    EXPECT_EQ(flatNoise, load(volumeFile, "kinds-noise.dds"));
    EXPECT_EQ(before, driver->getTextureCount());
    EXPECT_TRUE(qeColourNear(sample(plainMaterial, flatNoise, {0.5f, 0.5f}), 0xFF00FF00, 1));
}

// A volume texture file is read once, as a flat one is: asked for again by its path (also when the file has
// gone since), by a path relative to its folder or as an opened file of its name, it gives the texture made
// the first time without a byte read and without a texture more.
TEST_F(D3D9Textures, AVolumeTextureFileIsReadOnceAndFoundAgainByItsName) {
    std::vector<uint8_t> texels;
    for (int i = 0; i < 8 * 8 * 4; ++i) texels.insert(texels.end(), {0x00, 0x00, 0xFF, 0xFF});  // red
    const std::vector<uint8_t> bytes = dds(8, 8, 4, texels);
    qetest::TempDir folder("volume");
    const std::string path = folder.write("vol.dds", std::string(bytes.begin(), bytes.end()));
    ITexture* volume = driver->getTexture(path.c_str());
    ASSERT_NE(nullptr, volume);
    ASSERT_EQ(1u, volume->getTextureKind());
    const u32 count = driver->getTextureCount();
    ASSERT_EQ(0, std::remove(path.c_str()));
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(volume, driver->getTexture(path.c_str())) << "lookup " << i;
    }
    EXPECT_EQ(count, driver->getTextureCount());
    EXPECT_EQ(nullptr, driver->findTexture(path.c_str()));

    io::IFileSystem* files = d3d.device->getFileSystem();
    const io::path saved = files->getWorkingDirectory();
    ASSERT_TRUE(files->changeWorkingDirectoryTo(folder.path().c_str()));
    ITexture* relative = driver->getTexture("vol.dds");
    files->changeWorkingDirectoryTo(saved);
    EXPECT_EQ(volume, relative);

    io::IReadFile* opened = files->createMemoryReadFile(const_cast<uint8_t*>(bytes.data()), (s32)bytes.size(),
                                                       volume->getName().getPath(), false);
    EXPECT_EQ(volume, driver->getTexture(opened));
    EXPECT_EQ(0, opened->getPos()) << "the file was read again";
    opened->drop();
    EXPECT_EQ(count, driver->getTextureCount());
    EXPECT_TRUE(qeColourNear(sample(volumeMaterial, volume, {0.5f, 0.5f, 0.5f}), 0xFFFF0000, 1));
}

TEST_F(D3D9Textures, DxtLuminanceAndX8TexturesDrawTheirTexels) {
    // 8 x 8 DXT1: block (1, 0) red, the others green; uploaded unchanged.
    std::vector<uint8_t> blocks;
    for (uint16_t colour : {0x07E0, 0xF800, 0x07E0, 0x07E0}) dxtBlock(blocks, colour);
    IImage* image = driver->createImageFromData(ECF_DXT1, core::dimension2du(8, 8), blocks.data(), false, false);
    ITexture* texture = driver->addTexture("dxt1", image);
    image->drop();
    ASSERT_NE(nullptr, texture);
    EXPECT_EQ(ECF_DXT1, texture->getColorFormat());
    EXPECT_TRUE(qeColourNear(sample(plainMaterial, texture, {0.75f, 0.25f}), 0xFFFF0000, 2));
    EXPECT_TRUE(qeColourNear(sample(plainMaterial, texture, {0.25f, 0.75f}), 0xFF00FF00, 2));

    std::vector<uint8_t> l8(16 * 16, 0x60);
    IImage* grey = driver->createImageFromData(ECF_L8, core::dimension2du(16, 16), l8.data(), false, false);
    ITexture* greyTexture = driver->addTexture("grey", grey);
    grey->drop();
    ASSERT_NE(nullptr, greyTexture);
    EXPECT_TRUE(qeColourNear(sample(plainMaterial, greyTexture, {0.5f, 0.5f}), 0xFF606060, 1));

    // A 32-bit DDS file without alpha (X8R8G8B8, unused byte 0): the texture is opaque and not blank.
    std::vector<uint8_t> data;
    for (int i = 0; i < 4 * 4; ++i) data.insert(data.end(), {0x30, 0x90, 0xC0, 0x00});
    ITexture* x8 = load(dds(4, 4, 0, data, nullptr, 0x40), "x8.dds");
    ASSERT_NE(nullptr, x8);
    const unsigned pixel = sample(plainMaterial, x8, {0.5f, 0.5f});
    EXPECT_TRUE(qeColourNear(pixel, 0xFFC09030, 1)) << std::hex << pixel;
}

TEST_F(D3D9Textures, DxtFilesOfSizesThatAreNotWholeBlocksDrawTheirTexels) {
    // Each block a colour of its own; partial blocks at the right and bottom edges hold the last texels.
    const uint16_t palette[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    const unsigned drawn[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    for (const char* fourCC : {"DXT1", "DXT5"}) {
        for (const auto& size : {core::dimension2du(37, 21), core::dimension2du(6, 2), core::dimension2du(1, 1)}) {
            SCOPED_TRACE(testing::Message() << fourCC << " " << size.Width << " x " << size.Height);
            const u32 across = (size.Width + 3) / 4, down = (size.Height + 3) / 4;
            std::vector<uint8_t> blocks;
            for (u32 b = 0; b < across * down; ++b) dxtBlock(blocks, palette[b % 4], fourCC[3] == '5');
            const std::string name = std::string(fourCC) + std::to_string(size.Width) + ".dds";
            ITexture* texture = load(dds(size.Width, size.Height, 0, blocks, fourCC), name.c_str());
            ASSERT_NE(nullptr, texture);
            EXPECT_EQ(size, texture->getOriginalSize());
            // The first texel, the last and one in the middle.
            for (const auto& texel : {core::vector2d<u32>(0, 0), core::vector2d<u32>(size.Width - 1, size.Height - 1),
                                      core::vector2d<u32>(size.Width / 2, size.Height / 2)}) {
                const u32 block = texel.Y / 4 * across + texel.X / 4;
                const unsigned pixel = sample(plainMaterial, texture, {(texel.X + 0.5f) / size.Width, (texel.Y + 0.5f) / size.Height});
                EXPECT_TRUE(qeColourNear(pixel, drawn[block % 4], 2))
                    << texel.X << ", " << texel.Y << " read 0x" << std::hex << pixel;
            }
        }
    }
}

TEST_F(D3D9Textures, TexturesMadeAfterARemovedOneDrawTheirOwnTexels) {
    // A texture made after a drawn one is removed may take its address: it must still be bound.
    const unsigned colours[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFF00FFFF, 0xFFFF00FF};
    for (int i = 0; i < 6; ++i) {
        if (i == 3) driver->removeTexture(driver->addRenderTargetTexture(core::dimension2du(16, 16), "gone"));
        IImage* image = solidImage(ECF_A8R8G8B8, 8, 8, SColor(colours[i]));
        ITexture* texture = driver->addTexture(("short-lived" + std::to_string(i)).c_str(), image);
        image->drop();
        ASSERT_NE(nullptr, texture);
        const unsigned pixel = sample(plainMaterial, texture, {0.5f, 0.5f});
        EXPECT_TRUE(qeColourNear(pixel, colours[i], 1)) << i << " read 0x" << std::hex << pixel;
        driver->removeTexture(texture);
    }
}

TEST_F(D3D9Textures, RenderTargetsGiveTheirNativeSurfaceInTheirFormat) {
    // The renumbered float formats still reach their Direct3D formats.
    const struct {
        ECOLOR_FORMAT format;
        D3DFORMAT d3d;
    } cases[] = {{ECF_A8R8G8B8, D3DFMT_A8R8G8B8}, {ECF_R32F, D3DFMT_R32F}, {ECF_A16B16G16R16F, D3DFMT_A16B16G16R16F}};
    for (const auto& c : cases) {
        ITexture* t = driver->addRenderTargetTexture(core::dimension2du(8, 8), ("rt" + std::to_string(c.format)).c_str(),
                                                     c.format);
        ASSERT_NE(nullptr, t) << c.format;
        IDirect3DSurface9* surface = static_cast<IDirect3DSurface9*>(t->getNativeSurface());
        ASSERT_NE(nullptr, surface) << c.format;
        D3DSURFACE_DESC desc;
        surface->GetDesc(&desc);
        EXPECT_EQ(c.d3d, desc.Format) << c.format;
    }
}
