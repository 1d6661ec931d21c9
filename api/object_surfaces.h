#ifndef QIRN_API_OBJECT_SURFACES_H
#define QIRN_API_OBJECT_SURFACES_H

#include <cstdint>

#include "scene_access.h"

namespace irr {
namespace scene { class ISceneNode; }
namespace video { class ITexture; class SMaterial; }
}  // namespace irr

struct ShaderObject;

// The state one material of an object's node takes from its LightWave surface.
struct ObjectSurface {
    uint32_t hasShaderMaterial;
    ShaderObject* shader;  // the node shader (owned) or a cached uber shader (not owned)
    uint32_t ownsShader;
    uint32_t needsTangents;
    uint32_t usesSecondUV;
    SurfaceChannelEntry channels[QE_SURF_SLOTS];     // refreshed on every update
    irr::video::ITexture* textures[QE_SURF_SLOTS];   // the driver's texture cache owns them
};

struct ObjectSurfaceSet {
    int32_t count;
    ObjectSurface* surfaces;
};

ObjectSurfaceSet* qeIrrlichtObjInitSurfaces(int id, irr::scene::ISceneNode* node, int count,
                                            const ObjectSurfaceRecord* records);
void qeIrrlichtObjUpdateSurfaces(int id, irr::scene::ISceneNode* node, ObjectSurfaceSet* set, int count,
                                 const ObjectSurfaceRecord* records);
void qeIrrlichtObjFreeSurfaces(int id, ObjectSurfaceSet* set);
ObjectSurface* qeIrrlichtObjGetSurface(int id, int i);

// Cube maps from six numbered files: "env00.png" names env00.png .. env05.png; a name without "00." is
// numbered before its extension ("sky.jpg": sky00.jpg .. sky05.jpg).
irr::video::ITexture* qeIrrlichtLoadCubeMap(const char* name);
// Face i's file name, in a static buffer.
const char* qeIrrlichtCubeMapFaceName(const char* name, int face);
// The file's first channel as a 32-bit float texture named by the found path + "r32f", without mip-maps.
irr::video::ITexture* qeIrrlichtLoadFloatTexture(const char* name);

// The numbers a surface record's slots hold: integers for integer slots, else the first float.
float qeIrrlichtSurfaceValue(const SurfaceChannelEntry& slot);
int qeIrrlichtSurfaceIsTransparent(const ObjectSurfaceRecord& record);

// Material set-up of one surface material (also the per-frame outline modes, for the tests).
void qeIrrlichtSurfaceSetupMaterial(irr::video::SMaterial& material, ObjectSurface* surface,
                                    const ObjectSurfaceRecord& record, bool isTerrain);

#endif
