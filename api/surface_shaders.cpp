// Until shader objects exist, no surface gets a shader: every surface takes the fixed-function material.
#include "surface_shaders.h"

void qeIrrlichtSurfaceChooseShader(ObjectSurface*, const ObjectSurfaceRecord&, bool, bool) {}
int qeIrrlichtSurfaceShaderWantsTangents(const ObjectSurface*) { return 0; }
void qeIrrlichtSurfaceShaderMaterial(irr::video::SMaterial&, ObjectSurface*, const ObjectSurfaceRecord&) {}
void qeIrrlichtSurfaceUpdateShader(ObjectSurface*, const ObjectSurfaceRecord&) {}
void qeIrrlichtSurfaceFreeShader(ObjectSurface*) {}
