// The light pre-pass renderer: creation of its targets, textures, shaders, quads and light volumes, the
// permutation rules, on-demand preparation of an object's permutations, and destruction.
#include "lpp.h"

#include <d3d9.h>
#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#include "engine_context.h"
#include "lpp_internal.h"
#include "object_surfaces.h"
#include "objects.h"
#include "shader_material.h"
#include "shader_object.h"
#include "sys.h"
#include "sysfile.h"

using namespace irr;

// ---- permutation rules ----

int qeIrrlichtLppFinalIndexOf(const LppSurfaceTextures& t, bool hasTangents, bool uv2InBinormal, int* reflective) {
    int index = (t.color ? 1 : 0) | (t.luminosity ? 2 : 0) | (t.diffuse ? 4 : 0) | (t.specular ? 8 : 0);
    int reflect = 0;
    if (t.reflectionImage) {
        reflect = 1;
        if (t.reflectivity) index |= 64;
        if (t.normal) index |= 128;
        if ((index & 128) && !hasTangents) index |= 16;
        if (t.reflectionCube) index |= 256;
    }
    if ((index & 2) && uv2InBinormal) index |= 32;
    if (reflective) *reflective = reflect;
    return index;
}

int qeIrrlichtLppDepthIndexOf(const LppSurfaceTextures& t, bool hasTangents) {
    int index = (t.normal ? 1 : 0) | (t.glossiness ? 2 : 0);
    if ((index & 1) && !hasTangents) index |= 4;
    return index;
}

bool qeIrrlichtLppDepthPassDefines(int index, const char* defines[4]) {
    if (index < 0 || index >= LPP_DEPTH_PASS_SHADERS || ((index & 4) && !(index & 1))) return false;
    int n = 0;
    if (index & 1) defines[n++] = "TEX_NORMAL";
    if (index & 2) defines[n++] = "TEX_GLOSSINESS";
    if (index & 4) defines[n++] = "COMPTANGENT";
    defines[n] = nullptr;
    return true;
}

bool qeIrrlichtLppLightPassDefines(int index, const char* defines[4]) {
    static const char* const kTypes[3] = {"DISTANT", "POINT", "SPOTLIGHT"};
    static const char* const kFilters[6] = {nullptr, "SH0", "SH1", "SH2", "SH4", "SH8"};
    if (index < 0 || index >= LPP_LIGHT_PASS_SHADERS) return false;
    const int type = index / 6, variant = index % 6;
    if (type == 1 && variant > 0) return false;  // point lights cast no shadows
    int n = 0;
    defines[n++] = kTypes[type];
    if (variant > 0) {
        defines[n++] = "SHADOW";
        defines[n++] = kFilters[variant];
    }
    defines[n] = nullptr;
    return true;
}

bool qeIrrlichtLppFinalPassDefines(int index, bool reflective, const char* defines[11]) {
    int n = 0;
    if (reflective) {
        if (index < 0 || index >= LPP_REFLEC_FINAL_PASS_SHADERS) return false;
        if (((index & 16) && !(index & 128)) || ((index & 32) && !(index & 2))) return false;
        static const struct { int bit; const char* name; } kOrder[9] = {
            {1, "TEX_COLOR"},        {2, "TEX_LUMINOSITY"}, {4, "TEX_DIFFUSE"},    {8, "TEX_SPECULAR"},
            {64, "TEX_REFLECTIVITY"}, {128, "TEX_NORMAL"},  {256, "TEX_REFLECCUBE"}, {16, "COMPTANGENT"},
            {32, "UV2INTEX2"}};
        defines[n++] = "TEX_REFLECIMG";
        for (const auto& d : kOrder)
            if (index & d.bit) defines[n++] = d.name;
    } else {
        if (index < 0 || index >= LPP_FINAL_PASS_SHADERS) return false;
        if ((index & 16) || ((index & 32) && !(index & 2))) return false;
        static const struct { int bit; const char* name; } kOrder[5] = {
            {1, "TEX_COLOR"}, {2, "TEX_LUMINOSITY"}, {4, "TEX_DIFFUSE"}, {8, "TEX_SPECULAR"}, {32, "UV2INTEX2"}};
        for (const auto& d : kOrder)
            if (index & d.bit) defines[n++] = d.name;
    }
    defines[n] = nullptr;
    return true;
}

bool qeIrrlichtLppPowerOfTwoSize(int width, int height) {
    auto ok = [](int v) { return v == 256 || v == 512 || v == 1024 || v == 2048; };
    return ok(width) && ok(height);
}

LppSurfaceTextures qeIrrlichtLppSurfaceTextures(const ObjectSurface* s) {
    LppSurfaceTextures t = {};
    t.color = s->textures[QE_SURF_BASECOLOR] != nullptr;
    t.luminosity = s->textures[QE_SURF_LUMINOSITY] != nullptr;
    t.diffuse = s->textures[QE_SURF_DIFFUSE] != nullptr;
    t.specular = s->textures[QE_SURF_SPECULARITY] != nullptr;
    t.reflectivity = s->textures[QE_SURF_REFLECTIVITY] != nullptr;
    t.normal = s->textures[QE_SURF_BUMP] != nullptr;
    t.glossiness = s->textures[QE_SURF_GLOSSINESS] != nullptr;
    const video::ITexture* reflection = s->textures[QE_SURF_REFLECTIONIMAGE];
    t.reflectionImage = reflection && qeIrrlichtSurfaceValue(s->channels[QE_SURF_REFLECTIONOPTIONS]) >= 2.0f;
    t.reflectionCube = reflection && reflection->getTextureKind() == 2;
    return t;
}

namespace {

// A surface the final pass shades: no own shader, an opaque material, no transparency.
bool plainOpaqueSurface(const ObjectSurface* s, const video::SMaterial& material) {
    EngineContext* ctx = qeIrrlichtGetContext();
    video::IMaterialRenderer* renderer = ctx->driver->getMaterialRenderer(material.MaterialType);
    if (renderer && renderer->isTransparent()) return false;
    return qeIrrlichtSurfaceValue(s->channels[QE_SURF_TRANSPARENCY]) == 0.0f &&
           s->textures[QE_SURF_TRANSPARENCY] == nullptr;
}

}  // namespace

bool qeIrrlichtLppIsLppSurface(const ObjectSurface* s, const video::SMaterial& material) {
    if (s->hasShaderMaterial && s->ownsShader && s->shader && !qeIrrShaderIsLpp(s->shader)) return false;
    return plainOpaqueSurface(s, material);
}

int qeIrrlichtLppFinalPassIndex(const ObjectSurface* surface, int hasTangents, int uv2InBinormal, int* reflective) {
    return qeIrrlichtLppFinalIndexOf(qeIrrlichtLppSurfaceTextures(surface), hasTangents != 0, uv2InBinormal != 0,
                                     reflective);
}

// ---- shader creators: 0, or non-zero after their message ----

int qeIrrlichtMakeShader(ShaderObject** slot, const char* file, const char* const* defines, const char* messageName) {
    ShaderObject* shader = qeIrrShaderCreate(file, defines);
    if (!shader) {
        qeSysMessageBox("failed to create shader %s", messageName);
        return 1;
    }
    if (qeIrrShaderSetupGpuMaterial(shader) != 0) {
        qeSysMessageBox("failed to set gpu for shader %s", messageName);
        qeIrrShaderDestroy(shader);
        return 1;
    }
    *slot = shader;
    return 0;
}

namespace {

int createLightShaders(LppRenderer* r) {
    if (qeIrrlichtMakeShader(&r->lightClearShader, "LppLightClear.hlsl", nullptr, "LppLightClear.hlsl") != 0) return 1;
    for (int i = 0; i < LPP_LIGHT_PASS_SHADERS; ++i) {
        const char* defines[4];
        if (!qeIrrlichtLppLightPassDefines(i, defines)) continue;
        if (qeIrrlichtMakeShader(&r->lightPassShader[i], "LppLightPass.hlsl", defines, "LppLightPass.hlsl") != 0) return 1;
    }
    return 0;
}

const char* const kPostFiles[LPP_POST_SHADERS] = {
    "DownScale4x4.hlsl", "DownScale2x2.hlsl", "DownScale2x2-HalfScreen.hlsl", "GlowAlphaMul.hlsl",
    "GlowHVBlur.hlsl", "GlowHBlur.hlsl", "GlowVBlur.hlsl", "GlowCompose.hlsl", "LightStreakMaxInt.hlsl",
    "LightStreakDraw.hlsl", "LightStreakCompose.hlsl", "Dof.hlsl", "DofAdvanced.hlsl", "ssao.hlsl",
    "ssaoHBlur.hlsl", "ssaoVBlur.hlsl", "ssaoCombine.hlsl", "MLAA-ColorEdgeDetection.fx",
    "MLAA-BlendWeightCalculation.fx", "MLAA-NeighborhoodBlending.fx"};

}  // namespace

const char* qeIrrlichtLppPostShaderFile(int index) {
    return index >= 0 && index < LPP_POST_SHADERS ? kPostFiles[index] : nullptr;
}

namespace {

int createPostShaders(LppRenderer* r) {
    for (int i = 0; i < LPP_POST_SHADERS; ++i)
        if (qeIrrlichtMakeShader(&r->postShader[i], kPostFiles[i], nullptr, kPostFiles[i]) != 0) return 1;
    return 0;
}

void destroyShader(ShaderObject*& shader) {
    if (shader) qeIrrShaderDestroy(shader);
    shader = nullptr;
}

template <int N>
void destroyShaders(ShaderObject* (&table)[N]) {
    for (ShaderObject*& shader : table) destroyShader(shader);
}

// A generated texture: pixels from the function, added to the texture cache under the name.
template <typename PixelFn>
video::ITexture* generatedTexture(video::IVideoDriver* driver, const char* name, u32 size, PixelFn pixel) {
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2d<u32>(size, size));
    if (!image) return nullptr;
    std::srand(static_cast<unsigned>(qeIrrlichtGetContext()->device->getTimer()->getRealTime()));
    for (u32 y = 0; y < size; ++y)
        for (u32 x = 0; x < size; ++x) image->setPixel(x, y, pixel());
    video::ITexture* texture = driver->addTexture(name, image);
    image->drop();
    return texture;
}

u32 toByte(f64 v) { return static_cast<u32>(v * 255.0); }

video::SColor randomVector() {
    f64 x, y, z;
    do {
        x = std::rand() / 32767.0;
        y = std::rand() / 32767.0;
        z = std::rand() / 32767.0;
    } while (x * x + y * y + z * z > 1.0);
    return video::SColor(255, toByte(x), toByte(y), toByte(z));
}

video::SColor randomRotation() {
    const f64 a = std::rand() * 2.0 * 3.14159265358979323846 / 32767.0;
    return video::SColor(255, toByte(std::cos(a) * 0.5 + 0.5), toByte(std::sin(a) * 0.5 + 0.5), 0);
}

video::ITexture* loadDataTexture(video::IVideoDriver* driver, const char* file) {
    return driver->getTexture(qeSysFindDataFile(file));
}

void removeTexture(video::IVideoDriver* driver, video::ITexture*& texture) {
    if (texture) driver->removeTexture(texture);
    texture = nullptr;
}

// Everything the record holds, whatever part of creation was reached.
void releaseAll(EngineContext* ctx, LppRenderer* r) {
    video::IVideoDriver* driver = ctx->driver;
    video::ITexture** textures[] = {&r->depthRTT, &r->normalRTT, &r->lightRTT, &r->halfScreen[0], &r->halfScreen[1],
                                    &r->halfScreen[2], &r->quarterScreen[0], &r->quarterScreen[1], &r->backRTT[0],
                                    &r->backRTT[1], &r->backRTT[2], &r->shadowTexture, &r->bestFitNormalsTexture,
                                    &r->randVecTexture, &r->randRotTexture, &r->mlaaAreaMapTexture};
    for (video::ITexture** t : textures) removeTexture(driver, *t);
    delete r->geometryTargets;
    delete r->finalTargets;
    delete r->screenQuad;
    delete r->ppQuad;
    delete r->mlaaQuad;
    if (r->lightSphereMesh) r->lightSphereMesh->drop();
    if (r->lightConeMesh) r->lightConeMesh->drop();
    destroyShader(r->depthClearShader);
    destroyShaders(r->depthPassShader);
    destroyShader(r->lightClearShader);
    destroyShader(r->shadowDepthShader);
    destroyShaders(r->lightPassShader);
    destroyShaders(r->finalPassShader);
    destroyShaders(r->reflecFinalPassShader);
    destroyShaders(r->postShader);
    delete r;
}

core::array<video::IRenderTarget>* targetList(video::ITexture* first, video::ITexture* second) {
    auto* list = new core::array<video::IRenderTarget>();
    for (video::ITexture* t : {first, second})
        list->push_back(video::IRenderTarget(t, video::ECP_ALL, video::EBF_ONE, video::EBF_ONE_MINUS_SRC_ALPHA,
                                             video::EBO_NONE));
    return list;
}

// The targets whose size follows the window's: full, half (divisor 2) and quarter (4) size, in the
// order creation makes them. backRTT[2] exists only with the antialias switch on.
struct ScreenTarget {
    const char* name;
    u32 divisor;
    video::ECOLOR_FORMAT format;
    const char* message;
};
const ScreenTarget kScreenTargets[] = {
    {"backRTT[0]", 1, video::ECF_A8R8G8B8, "failed to create backRTT[0]"},
    {"backRTT[1]", 1, video::ECF_A8R8G8B8, "failed to create backRTT[1]"},
    {"backRTT[2]", 1, video::ECF_A8R8G8B8, "failed to create backRTT[2]"},
    {"depthRTT", 1, video::ECF_R32F, "failed to create depthRTT"},
    {"normalRTT", 1, video::ECF_A8R8G8B8, "failed to create normalRTT"},
    {"lightRTT", 1, video::ECF_A8R8G8B8, "failed to create lightRTT"},
    {"HalfScreen[0]", 2, video::ECF_A8R8G8B8, "failed to create HalfScreen 0"},
    {"HalfScreen[1]", 2, video::ECF_A8R8G8B8, "failed to create HalfScreen 1"},
    {"HalfScreen[2]", 2, video::ECF_A8R8G8B8, "failed to create HalfScreen 2"},
    {"QuarterScreen[0]", 4, video::ECF_A8R8G8B8, "failed to create QuarterScreen"},
    {"QuarterScreen[1]", 4, video::ECF_A8R8G8B8, "failed to create QuarterScreen"},
};
const int kScreenTargetCount = static_cast<int>(sizeof(kScreenTargets) / sizeof(kScreenTargets[0]));

// The renderer's slots for the targets of kScreenTargets, in the same order.
void screenTargetSlots(LppRenderer* r, video::ITexture** slots[kScreenTargetCount]) {
    video::ITexture** all[] = {&r->backRTT[0], &r->backRTT[1], &r->backRTT[2], &r->depthRTT, &r->normalRTT,
                               &r->lightRTT, &r->halfScreen[0], &r->halfScreen[1], &r->halfScreen[2],
                               &r->quarterScreen[0], &r->quarterScreen[1]};
    static_assert(sizeof(all) / sizeof(all[0]) == kScreenTargetCount, "one slot per screen-sized target");
    for (int i = 0; i < kScreenTargetCount; ++i) slots[i] = all[i];
}

// Makes the screen-sized targets for a w x h frame into out (null where a target is not wanted). 0, or 1
// after the failure's message, with the targets made before it left in out.
int makeScreenTargets(EngineContext* ctx, u32 w, u32 h, video::ITexture* out[kScreenTargetCount]) {
    for (int i = 0; i < kScreenTargetCount; ++i) out[i] = nullptr;
    for (int i = 0; i < kScreenTargetCount; ++i) {
        const ScreenTarget& t = kScreenTargets[i];
        if (i == 2 && !ctx->antialias) continue;
        const core::dimension2d<u32> size(w / t.divisor, h / t.divisor);
        out[i] = size.Width && size.Height ? ctx->driver->addRenderTargetTexture(size, t.name, t.format) : nullptr;
        if (!out[i]) {
            qeSysMessageBox("%s", t.message);
            return 1;
        }
    }
    return 0;
}

// Steps 8 to 11 of creation: targets and textures. 0, or 1 after the failure's message.
int createTextures(EngineContext* ctx, LppRenderer* r, u32 w, u32 h) {
    video::IVideoDriver* driver = ctx->driver;
    video::ITexture* made[kScreenTargetCount];
    const int failed = makeScreenTargets(ctx, w, h, made);
    video::ITexture** slots[kScreenTargetCount];
    screenTargetSlots(r, slots);
    for (int i = 0; i < kScreenTargetCount; ++i) *slots[i] = made[i];
    if (failed) return 1;
    r->shadowTexture = driver->addRenderTargetTextureEx(core::dimension2d<u32>(1024, 1024), "shadowTexture",
                                                        video::ECF_R32F);
    if (!r->shadowTexture) {
        qeSysMessageBox("failed to create shadowTexture");
        return 1;
    }
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, true);
    r->bestFitNormalsTexture = loadDataTexture(driver, "NormalsFittingTexture.png");
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
    if (!r->bestFitNormalsTexture) {
        qeSysMessageBox("failed to create bestFitNormalsTexture");
        return 1;
    }
    r->randVecTexture = generatedTexture(driver, "randVec", 512, randomVector);
    if (!r->randVecTexture) {
        qeSysMessageBox("failed to create randVecTexture");
        return 1;
    }
    r->randRotTexture = generatedTexture(driver, "randRot", 64, randomRotation);
    if (!r->randRotTexture) {
        qeSysMessageBox("failed to create randRotTexture");
        return 1;
    }
    if (ctx->antialias) {
        r->mlaaAreaMapTexture = loadDataTexture(driver, "AreaMap33.png");
        if (!r->mlaaAreaMapTexture) {
            qeSysMessageBox("failed to create mlaaAreaMapTexture");
            return 1;
        }
    }
    return 0;
}

CScreenQuadMLAA* newMlaaQuad(int w, int h) {
    CScreenQuadMLAA* quad = new (std::nothrow) CScreenQuadMLAA(w, h);
    if (quad)
        for (video::SMaterialLayer& layer : quad->getMaterial().TextureLayer)
            layer.TextureWrapU = layer.TextureWrapV = video::ETC_CLAMP;
    return quad;
}

// Steps 15 to 19: quads and light volumes.
int createQuadsAndVolumes(EngineContext* ctx, LppRenderer* r, int w, int h) {
    r->screenQuad = new (std::nothrow) CScreenQuad();
    if (!r->screenQuad) {
        qeSysMessageBox("failed to alloc Screen Quad");
        return 1;
    }
    video::SMaterial& quad = r->screenQuad->getMaterial();
    video::ITexture* layers[4] = {r->depthRTT, r->normalRTT, r->shadowTexture, r->randRotTexture};
    for (int i = 0; i < 4; ++i) {
        quad.setTexture(i, layers[i]);
        quad.TextureLayer[i].BilinearFilter = false;
        quad.TextureLayer[i].TextureWrapU = quad.TextureLayer[i].TextureWrapV =
            i == 3 ? video::ETC_REPEAT : video::ETC_CLAMP_TO_EDGE;
    }
    r->ppQuad = new (std::nothrow) CScreenQuad();
    if (!r->ppQuad) {
        qeSysMessageBox("failed to alloc Screen Quad PP");
        return 1;
    }
    r->ppQuad->getMaterial().setTexture(0, r->halfScreen[0]);
    for (video::SMaterialLayer& layer : r->ppQuad->getMaterial().TextureLayer)
        layer.TextureWrapU = layer.TextureWrapV = video::ETC_CLAMP;
    r->mlaaQuad = newMlaaQuad(w, h);
    if (!r->mlaaQuad) {
        qeSysMessageBox("failed to alloc Screen Quad MLAA");
        return 1;
    }

    const scene::IGeometryCreator* geometry = ctx->smgr->getGeometryCreator();
    r->lightSphereMesh = geometry->createSphereMesh(1.0f, 8, 8);
    if (!r->lightSphereMesh) {
        qeSysMessageBox("failed to create LightSphereMesh");
        return 1;
    }
    r->lightConeMesh = geometry->createConeMesh(1.0f, 1.0f, 4, video::SColor(0xFFFFFFFF), video::SColor(0xFFFFFFFF), 0.0f);
    if (!r->lightConeMesh) {
        qeSysMessageBox("failed to create LightConeMesh");
        return 1;
    }
    core::matrix4 m;
    m.setRotationDegrees(core::vector3df(-90.0f, 0.0f, 0.0f));
    m.setTranslation(core::vector3df(0.0f, 0.0f, 1.0f));
    ctx->smgr->getMeshManipulator()->transform(r->lightConeMesh, m);
    return 0;
}

}  // namespace

CScreenQuadMLAA::CScreenQuadMLAA(int width, int height) {
    const f32 dx = -1.0f / static_cast<f32>(width), dy = 1.0f / static_cast<f32>(height);
    const f32 corners[4][4] = {{-1, 1, 0, 0}, {1, 1, 1, 0}, {1, -1, 1, 1}, {-1, -1, 0, 1}};
    for (int i = 0; i < 4; ++i)
        Vertices[i] = video::S3DVertex(corners[i][0] + dx, corners[i][1] + dy, 0.0f, 0.0f, 0.0f, 1.0f,
                                       video::SColor(0), corners[i][2], corners[i][3]);
    Material.Lighting = false;
    Material.ZWriteEnable = false;
}

void CScreenQuadMLAA::render(video::IVideoDriver* driver) {
    static const u16 indices[6] = {0, 1, 3, 1, 2, 3};
    driver->setMaterial(Material);
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->drawIndexedTriangleList(Vertices, 4, indices, 2);
}

LppRenderer* qeIrrlichtLppCreate(EngineContext* ctx, bool stereo3DVision) {
    video::IVideoDriver* driver = ctx->driver;
    const int w = ctx->width;
    const int h = ctx->height - (stereo3DVision ? 2 : 0);
    if (!driver->queryFeature(video::EVDF_RENDER_TO_TARGET)) {
        qeSysMessageBox("Driver does not support render to target");
        return nullptr;
    }
    if (ctx->bits != 32) {
        qeSysMessageBox("LightPrePass only for 32bpp");
        return nullptr;
    }
    if (!driver->queryFeature(video::EVDF_TEXTURE_NPOT) && !qeIrrlichtLppPowerOfTwoSize(w, h)) {
        qeSysMessageBox("Driver does only support RenderTarget size power of two.\n"
                        "Use 512x512, 1024x512 or 1024x1024 window resolution.");
        return nullptr;
    }
    if (!driver->queryFeature(video::EVDF_PIXEL_SHADER_3_0) || !driver->queryFeature(video::EVDF_VERTEX_SHADER_3_0)) {
        qeSysMessageBox("Driver does not support Shader 3.0");
        return nullptr;
    }
    LppRenderer* r = new (std::nothrow) LppRenderer();
    if (!r) return nullptr;

    const bool mipMaps = driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS);
    const bool always32 = driver->getTextureCreationFlag(video::ETCF_ALWAYS_32_BIT);
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
    driver->setTextureCreationFlag(video::ETCF_ALWAYS_32_BIT, true);
    const int failed = createTextures(ctx, r, static_cast<u32>(w), static_cast<u32>(h));
    // A failure restores the flags too, and leaves nothing of the renderer in the texture cache.
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, mipMaps);
    driver->setTextureCreationFlag(video::ETCF_ALWAYS_32_BIT, always32);
    if (failed) {
        releaseAll(ctx, r);
        return nullptr;
    }
    r->geometryTargets = targetList(r->normalRTT, r->depthRTT);
    r->finalTargets = targetList(r->backRTT[0], r->depthRTT);

    if (qeIrrlichtMakeShader(&r->depthClearShader, "LppDepthClear.hlsl", nullptr, "LppDepthClear.hlsl") != 0 ||
        createLightShaders(r) != 0 ||
        qeIrrlichtMakeShader(&r->shadowDepthShader, "LppShadowDepth.hlsl", nullptr, "LppShadowDepth.hlsl") != 0 ||
        createPostShaders(r) != 0 || createQuadsAndVolumes(ctx, r, w, h) != 0) {
        releaseAll(ctx, r);
        return nullptr;
    }
    r->device = static_cast<IDirect3DDevice9*>(driver->getExposedVideoData().D3D9.D3DDev9);
    r->stereo3DVision = stereo3DVision;
    return r;
}

void qeIrrlichtLppDestroy(EngineContext* ctx, LppRenderer* renderer) {
    if (renderer) releaseAll(ctx, renderer);
}

int qeIrrlichtLppResize(EngineContext* ctx, LppRenderer* r) {
    if (!r) return -1;
    // a window of a few pixels still gets quarter-size targets of a pixel
    const int w = std::max(ctx->width, 4);
    const int h = std::max(ctx->height - (r->stereo3DVision ? 2 : 0), 4);
    CScreenQuadMLAA* mlaaQuad = newMlaaQuad(w, h);
    if (!mlaaQuad) {
        qeSysMessageBox("failed to alloc Screen Quad MLAA");
        return -1;
    }
    // Each target stays the same texture and takes the new size: whatever holds one draws from it at that
    // size, whether it was handed the renderer's pointer (the quads, the target lists) or found the target
    // by its name in the driver's cache (a camera effect's slot, an image, a surface's or an emitter's
    // texture, a scene node's material).
    video::ITexture** slots[kScreenTargetCount];
    screenTargetSlots(r, slots);
    core::dimension2du old[kScreenTargetCount];
    for (int i = 0; i < kScreenTargetCount; ++i) {
        video::ITexture* target = *slots[i];
        if (!target) continue;
        old[i] = target->getOriginalSize();
        const u32 divisor = kScreenTargets[i].divisor;
        if (!ctx->driver->resizeRenderTargetTexture(target, core::dimension2du(w / divisor, h / divisor))) {
            qeSysMessageBox("%s", kScreenTargets[i].message);
            // the renderer keeps its old size: frames go on at it
            for (int j = 0; j < i; ++j)
                if (*slots[j]) ctx->driver->resizeRenderTargetTexture(*slots[j], old[j]);
            delete mlaaQuad;
            return -1;
        }
    }
    delete r->mlaaQuad;
    r->mlaaQuad = mlaaQuad;
    return 0;
}

ShaderObject* qeIrrlichtLppDepthShaderFor(LppRenderer* r, int index) {
    ShaderObject* s = index >= 0 && index < LPP_DEPTH_PASS_SHADERS ? r->depthPassShader[index] : nullptr;
    return s && qeIrrShaderGetMaterialType(s) >= 0 ? s : nullptr;
}

ShaderObject* qeIrrlichtLppFinalShaderFor(LppRenderer* r, int index, int reflective) {
    ShaderObject* s = nullptr;
    if (reflective) s = index >= 0 && index < LPP_REFLEC_FINAL_PASS_SHADERS ? r->reflecFinalPassShader[index] : nullptr;
    else s = index >= 0 && index < LPP_FINAL_PASS_SHADERS ? r->finalPassShader[index] : nullptr;
    return s && qeIrrShaderGetMaterialType(s) >= 0 ? s : nullptr;
}

int qeIrrlichtLppCreateDepthPassShader(LppRenderer* r, int index) {
    const char* defines[4];
    if (!qeIrrlichtLppDepthPassDefines(index, defines)) return 0;
    return qeIrrlichtMakeShader(&r->depthPassShader[index], "LppDepthPass.hlsl", defines, "LppDepthPass.hlsl");
}

int qeIrrlichtLppCreateFinalPassShader(LppRenderer* r, int index, int reflective) {
    const char* defines[11];
    if (!qeIrrlichtLppFinalPassDefines(index, reflective != 0, defines)) return 0;
    if (reflective)
        return qeIrrlichtMakeShader(&r->reflecFinalPassShader[index], "LppFinalPass.hlsl", defines, "reflec LppFinalPass.hlsl");
    return qeIrrlichtMakeShader(&r->finalPassShader[index], "LppFinalPass.hlsl", defines, "LppFinalPass.hlsl");
}

void qeIrrlichtLppPrepareShaders(EngineContext* ctx, LppRenderer* r, scene::ISceneNode* node) {
    if (!r || !node) return;
    const int id = node->getID();
    if (id == -1) return;
    const int hasTangents = qeIrrlichtObjectHasTangents(id);
    const int uv2 = qeIrrlichtObjectHasUV2InBinormal(id);
    ObjectSurfaceSet* set = qeIrrlichtGetObjectSurfaces(id);
    if (!set) return;
    (void)ctx;
    // A slot left empty by a failed creation is tried again by the next object; the frame never uses it.
    for (u32 i = 0; i < node->getMaterialCount() && static_cast<int>(i) < set->count; ++i) {
        const ObjectSurface* s = &set->surfaces[i];
        const video::SMaterial& material = node->getMaterial(i);
        if (!s->hasShaderMaterial && plainOpaqueSurface(s, material)) {
            int reflective = 0;
            const int index = qeIrrlichtLppFinalPassIndex(s, hasTangents, uv2, &reflective);
            ShaderObject* slot = reflective ? r->reflecFinalPassShader[index] : r->finalPassShader[index];
            if (!slot) qeIrrlichtLppCreateFinalPassShader(r, index, reflective);
        }
        if (qeIrrlichtLppIsLppSurface(s, material)) {
            const int index = qeIrrlichtLppDepthIndexOf(qeIrrlichtLppSurfaceTextures(s), hasTangents != 0);
            if (!r->depthPassShader[index]) qeIrrlichtLppCreateDepthPassShader(r, index);
        }
    }
}
