#ifndef QIRN_API_SURFACE_SHADERS_H
#define QIRN_API_SURFACE_SHADERS_H

// The shader side of a surface: its node shader or the built-in uber shader, the shader material's
// set-up, its per-frame parameters and its release.

struct ObjectSurface;
struct ObjectSurfaceRecord;
namespace irr { namespace video { class SMaterial; } }

// A node shader for a surface that has one, else the uber shader for a transparent surface; sets the
// has-shader-material flag when the surface got one.
void qeIrrlichtSurfaceChooseShader(ObjectSurface* surface, const ObjectSurfaceRecord& record, bool compTangent,
                                   bool uv2InTex2);
int qeIrrlichtSurfaceShaderWantsTangents(const ObjectSurface* surface);
void qeIrrlichtSurfaceShaderMaterial(irr::video::SMaterial& material, ObjectSurface* surface,
                                     const ObjectSurfaceRecord& record);
void qeIrrlichtSurfaceUpdateShader(ObjectSurface* surface, const ObjectSurfaceRecord& record);
// Frees a node shader the surface owns.
void qeIrrlichtSurfaceFreeShader(ObjectSurface* surface);

#endif
