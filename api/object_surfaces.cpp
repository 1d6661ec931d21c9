#include "object_surfaces.h"

#include <irrlicht.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine.h"
#include "engine_context.h"
#include "log.h"
#include "lookups.h"
#include "shader_material.h"
#include "objects.h"
#include "surface_shaders.h"
#include "sys.h"
#include "sysfile.h"

using namespace irr;

namespace {

bool hasImage(const ObjectSurfaceRecord& r, int slot) { return r.channels[slot].texImage != nullptr; }

video::IVideoDriver* driver() { return qeIrrlichtGetContext()->driver; }

// Keeps the driver's mip-map creation flag over a scope.
class MipMapFlag {
public:
    MipMapFlag() : saved_(driver()->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS)) {}
    ~MipMapFlag() { driver()->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, saved_); }
    void off() { driver()->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false); }

private:
    bool saved_;
};

// The full path of a file name, which identifies the texture made from it (the driver's own file textures
// are named after theirs too); the name itself when it has none.
core::stringc fullPathOf(const char* name) {
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(name, sizeof(full), full, nullptr);
    return n > 0 && n < sizeof(full) ? core::stringc(full) : core::stringc(name);
}

// A 2D texture this module made before under that name, or null (the driver's lookup by name passes over
// cube and volume textures of the name). The driver keeps every texture it is given, even under a name it
// has: made again at each set-up of a surface (a reload, an object loaded twice), they would pile up.
video::ITexture* madeBefore(const core::stringc& name) { return driver()->findTexture(name); }

void loadChannelTextures(ObjectSurface* s, const ObjectSurfaceRecord& r) {
    for (int c = 0; c < QE_SURF_SLOTS; ++c) {
        const char* name = r.channels[c].texImage;
        if (!name) continue;
        MipMapFlag mipMaps;
        if (c == QE_SURF_REFLECTIONIMAGE) {
            mipMaps.off();
            if (std::strstr(name, "00.")) {
                s->textures[c] = qeIrrlichtLoadCubeMap(name);
                continue;
            }
        }
        s->textures[c] = driver()->getTexture(qeSysFindDataFile(name));
        if (!s->textures[c]) qeSysMessageBox("Surface '%s': can't load texture '%s'", r.name ? r.name : "", name);
    }
}

void initSurface(ObjectSurface* s, const ObjectSurfaceRecord& r, bool isStatic, bool objectUv2) {
    std::memset(s, 0, sizeof(*s));
    std::memcpy(s->channels, r.channels, sizeof(s->channels));
    loadChannelTextures(s, r);
    const bool bump = hasImage(r, QE_SURF_BUMP);
    const bool lum = hasImage(r, QE_SURF_LUMINOSITY);
    const bool compTangent = !isStatic && bump;
    const bool uv2 = objectUv2 || (isStatic && bump && lum);
    qeIrrlichtSurfaceChooseShader(s, r, compTangent, uv2);
    s->needsTangents = bump || qeIrrlichtSurfaceShaderWantsTangents(s);
    s->usesSecondUV = lum;
}

void fixedFunctionMaterial(video::SMaterial& m, const ObjectSurface* s, const ObjectSurfaceRecord& r) {
    const bool transparent = qeIrrlichtSurfaceIsTransparent(r) != 0;
    video::ITexture* layer0 = m.getTexture(0);
    bool vertexAlpha = false;
    if (layer0 && layer0->hasAlpha() && std::strstr(layer0->getName().getPath().c_str(), ".png") && transparent) {
        m.MaterialType = video::EMT_TRANSPARENT_ALPHA_CHANNEL;
    } else if (m.DiffuseColor.getAlpha() < 255) {
        m.MaterialType = video::EMT_TRANSPARENT_VERTEX_ALPHA;
        m.DiffuseColor.setAlpha(255);
        vertexAlpha = true;
    } else {
        m.MaterialType = video::EMT_SOLID;
    }
    // The surface's own reflection image: a cube map is known to the driver only by the name it was given,
    // which a cube map of another folder may share.
    if (hasImage(r, QE_SURF_REFLECTIONIMAGE) && qeIrrlichtSurfaceValue(r.channels[QE_SURF_REFLECTIONOPTIONS]) >= 2.0f) {
        m.setTexture(layer0 ? 1 : 0, s->textures[QE_SURF_REFLECTIONIMAGE]);
        m.MaterialType = vertexAlpha ? video::EMT_TRANSPARENT_REFLECTION_2_LAYER : video::EMT_REFLECTION_2_LAYER;
    }
    if (hasImage(r, QE_SURF_BUMP)) {
        m.setTexture(m.getTexture(0) ? 1 : 0, s->textures[QE_SURF_BUMP]);
        m.MaterialTypeParam = 0.035f;
        m.MaterialType = vertexAlpha ? video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA : video::EMT_PARALLAX_MAP_SOLID;
    }
}

void updateOutlines(video::SMaterial& m, const ObjectSurfaceRecord& r) {
    if (qeIrrlichtSurfaceValue(r.channels[QE_SURF_RENDEROUTLINES]) == 0.0f) return;
    const float size = qeIrrlichtSurfaceValue(r.channels[QE_SURF_LINESIZE]);
    m.Wireframe = size > 0.0f && size < 1.0f;
    m.PointCloud = size >= 1.0f;
    if (size >= 1.0f) m.Thickness = size;
}

}  // namespace

float qeIrrlichtSurfaceValue(const SurfaceChannelEntry& slot) {
    return slot.type == 2 ? static_cast<float>(slot.value.i[0]) : slot.value.f[0];
}

int qeIrrlichtSurfaceIsTransparent(const ObjectSurfaceRecord& r) {
    return hasImage(r, QE_SURF_TRANSPARENCY) || qeIrrlichtSurfaceValue(r.channels[QE_SURF_TRANSPARENCY]) != 0.0f;
}

ObjectSurfaceSet* qeIrrlichtObjInitSurfaces(int id, scene::ISceneNode* node, int count,
                                            const ObjectSurfaceRecord* records) {
    if (!node || count < 0 || (count > 0 && !records)) return nullptr;
    ObjectSurfaceSet* set = static_cast<ObjectSurfaceSet*>(std::calloc(1, sizeof(ObjectSurfaceSet)));
    if (!set) {
        qeSysDebugPrint("qeIrrlichtObjInitSurfaces: alloc surfaces struct failed\n");
        qeSysMessageBox("qeIrrlichtObjInitSurfaces: alloc surfaces struct failed\n");
        return nullptr;
    }
    set->surfaces = static_cast<ObjectSurface*>(std::calloc(count > 0 ? count : 1, sizeof(ObjectSurface)));
    if (!set->surfaces) {
        std::free(set);
        qeSysDebugPrint("qeIrrlichtObjInitSurfaces: alloc surfaces failed\n");
        qeSysMessageBox("qeIrrlichtObjInitSurfaces: alloc surfaces failed\n");
        return nullptr;
    }
    set->count = count;

    const bool isStatic = qeIrrlichtObjectIsStaticMesh(id) != 0;
    const bool isTerrain = qeIrrlichtGetObjectTerrainNode(id) != nullptr;
    const int materials = static_cast<int>(node->getMaterialCount());
    const int n = count < materials ? count : materials;
    bool anyBump = false, anyLum = false;
    if (isStatic) {
        for (int i = 0; i < n; ++i) {
            anyBump = anyBump || hasImage(records[i], QE_SURF_BUMP);
            anyLum = anyLum || hasImage(records[i], QE_SURF_LUMINOSITY);
        }
    }
    const bool objectUv2 = anyBump && anyLum;
    bool needTangents = anyBump, useUv2 = anyLum;
    for (int i = 0; i < n; ++i) {
        initSurface(&set->surfaces[i], records[i], isStatic, objectUv2);
        needTangents = needTangents || set->surfaces[i].needsTangents;
        useUv2 = useUv2 || set->surfaces[i].usesSecondUV;
    }
    if (needTangents) qeIrrlichtObjMakeTangentMesh(id, useUv2);
    for (int i = 0; i < n; ++i)
        qeIrrlichtSurfaceSetupMaterial(node->getMaterial(i), &set->surfaces[i], records[i], isTerrain);
    return set;
}

void qeIrrlichtSurfaceSetupMaterial(video::SMaterial& m, ObjectSurface* s, const ObjectSurfaceRecord& r,
                                    bool isTerrain) {
    static const s8 kTerrainBias[4] = {-16, -4, -8, -8};
    for (int layer = 0; layer < 4; ++layer) m.TextureLayer[layer].LODBias = isTerrain ? kTerrainBias[layer] : -8;
    if (isTerrain) m.FogEnable = true;
    if (qeIrrlichtSurfaceValue(r.channels[QE_SURF_SIDEDNESS]) == 3.0f) m.BackfaceCulling = false;
    m.NormalizeNormals = true;

    if (s->hasShaderMaterial)
        qeIrrlichtSurfaceShaderMaterial(m, s, r);
    else if (!isTerrain)
        fixedFunctionMaterial(m, s, r);

    if (qeIrrlichtGetContext()->lightPrePass || m.MaterialType != video::EMT_PARALLAX_MAP_SOLID) qeIrrlichtSetMaterialMarker(m, QE_MARKER_SURFACE, s);
}

void qeIrrlichtObjUpdateSurfaces(int, scene::ISceneNode* node, ObjectSurfaceSet* set, int count,
                                 const ObjectSurfaceRecord* records) {
    if (!node || !set || !records) return;
    int n = static_cast<int>(node->getMaterialCount());
    if (count < n) n = count;
    if (set->count < n) n = set->count;
    for (int i = 0; i < n; ++i) {
        ObjectSurface* s = &set->surfaces[i];
        if (s->hasShaderMaterial && records[i].nodeShader) qeIrrlichtSurfaceUpdateShader(s, records[i]);
        updateOutlines(node->getMaterial(i), records[i]);
        std::memcpy(s->channels, records[i].channels, sizeof(s->channels));
    }
}

void qeIrrlichtObjFreeSurfaces(int, ObjectSurfaceSet* set) {
    if (!set) return;
    for (int i = 0; i < set->count; ++i) qeIrrlichtSurfaceFreeShader(&set->surfaces[i]);
    std::free(set->surfaces);
    std::free(set);
}

const SurfaceChannelEntry* qeIrrlichtGetSurfaceChannels(const void* surface) {
    return surface ? static_cast<const ObjectSurface*>(surface)->channels : nullptr;
}

ObjectSurface* qeIrrlichtObjGetSurface(int id, int i) {
    ObjectSurfaceSet* set = qeIrrlichtGetObjectSurfaces(id);
    return set && i >= 0 && i < set->count ? &set->surfaces[i] : nullptr;
}

const char* qeIrrlichtCubeMapFaceName(const char* name, int face) {
    static char file[1024];
    const char* base = name;
    int baseLength;
    const char* ext;
    // The last "00." splits the name; without one the first '.' of the file-name part does.
    const char* split = nullptr;
    for (const char* p = std::strstr(name, "00."); p; p = std::strstr(p + 1, "00.")) split = p;
    if (split) {
        baseLength = static_cast<int>(split - name);
        ext = split + 3;
    } else {
        const char* fileName = name;
        for (const char* p = name; *p; ++p)
            if (*p == '/' || *p == '\\') fileName = p + 1;
        const char* dot = std::strchr(fileName, '.');
        baseLength = static_cast<int>(dot ? dot - name : std::strlen(name));
        ext = dot ? dot + 1 : "";
    }
    std::snprintf(file, sizeof(file), "%.*s%02d.%s", baseLength, base, face, ext);
    return file;
}

namespace {

// The cube maps made so far, by the full path of their name: the driver keeps every texture it is given,
// so one made again at each set-up of a surface (a reload, an object loaded twice) would pile up. The
// driver's own name stays the given one; the same name in another scene's folder is another cube map.
struct CubeMapEntry {
    std::string path;
    video::ITexture* texture;
};
std::vector<CubeMapEntry> g_cubeMaps;

void forgetCubeMaps() { std::vector<CubeMapEntry>().swap(g_cubeMaps); }

}  // namespace

video::ITexture* qeIrrlichtLoadCubeMap(const char* name) {
    const std::string path = fullPathOf(name).c_str();
    for (const CubeMapEntry& known : g_cubeMaps)
        if (known.path == path) return known.texture;
    video::IImage* faces[6] = {};
    bool complete = true;
    for (int i = 0; i < 6 && complete; ++i) {
        const char* file = qeIrrlichtCubeMapFaceName(name, i);
        faces[i] = driver()->createImageFromFile(file);
        if (!faces[i]) {
            qeSysMessageBox("CubeMap: Fail to load '%s'\n", file);
            complete = false;
        }
    }
    video::ITexture* cube = nullptr;
    if (complete) {
        cube = driver()->addTextureCubeMap(name, faces[0], faces[1], faces[2], faces[3], faces[4], faces[5]);
        if (!cube) qeSysMessageBox("Fail to create cube map for '%s'\n", name);
    }
    if (cube) {
        // the driver it came from goes at engine stop, and these with it
        qeIrrlichtRegisterModuleReset(forgetCubeMaps, QE_STOP_BEFORE_DROP);
        g_cubeMaps.push_back({path, cube});
    }
    for (video::IImage* face : faces)
        if (face) face->drop();
    return cube;
}

video::ITexture* qeIrrlichtLoadFloatTexture(const char* name) {
    const io::path found = qeSysFindDataFile(name);
    const core::stringc floatName = fullPathOf(found.c_str()) + "r32f";
    if (video::ITexture* known = madeBefore(floatName)) return known;
    video::IImage* image = driver()->createImageFromFile(found);
    if (!image) return nullptr;
    const core::dimension2du size = image->getDimension();
    video::IImage* floats = driver()->createImage(video::ECF_R32F, size);
    if (!floats || floats->getColorFormat() != video::ECF_R32F) {
        if (floats) floats->drop();
        image->drop();
        return nullptr;
    }
    // The image's first channel, 0..255 as 0..1.
    f32* out = static_cast<f32*>(floats->lock());
    for (u32 y = 0; y < size.Height; ++y)
        for (u32 x = 0; x < size.Width; ++x) out[y * size.Width + x] = image->getPixel(x, y).getRed() / 255.0f;
    floats->unlock();
    image->drop();
    MipMapFlag mipMaps;
    mipMaps.off();
    video::ITexture* texture = driver()->addTexture(floatName, floats);
    floats->drop();
    return texture;
}
