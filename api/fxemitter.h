#ifndef QIRN_API_FXEMITTER_H
#define QIRN_API_FXEMITTER_H

#include <cstdint>

#include "shader_material.h"

class IQeParticleSystemSceneNode;
namespace irr { namespace scene { class IMesh; } }

// One fx emitter under its ID: the effect library's particle node and the drawing settings its particle
// shader reads. The block's address travels in the node's material 0, so the entry never moves. The fx
// emitter table of the engine record points to it; the module creates and frees it.
struct FxEmitterEntry {
    IQeParticleSystemSceneNode* node;
    uint32_t reserved;
    uint32_t isStatic;  // made by MakeFxEmitterMeshStatic: most emitter setters leave it alone
    float lifeTime;
    float explosion;
    float size[3];  // nozzle size
    ParticleShaderBlock block;
    irr::scene::IMesh* nozzleMesh;  // the mesh the mesh nozzles read, grabbed while the emitter uses it
};

// Creation: 0, or -1 with the error reported. Nothing stays after a failure, except that the mesh kinds
// keep an emitter without nozzle mesh when the object has no mesh.
int qeIrrlichtMakeFxEmitterBox(int id, const char* image, float x, float y, float z);
int qeIrrlichtMakeFxEmitterSphere(int id, const char* image, float x, float y, float z);
int qeIrrlichtMakeFxEmitterMeshVertices(int id, const char* image, int objectId);
int qeIrrlichtMakeFxEmitterMeshNormal(int id, const char* image, int objectId);
int qeIrrlichtMakeFxEmitterMeshTriangles(int id, const char* image, int objectId);
int qeIrrlichtMakeFxEmitterMeshStatic(int id, const char* image, int objectId);

int qeIrrlichtFxEmitterExist(int id);
void qeIrrlichtShowFxEmitter(int id);
void qeIrrlichtHideFxEmitter(int id);
void qeIrrlichtDeleteFxEmitter(int id);
void qeIrrlichtLockFxEmitterOn(int id);
void qeIrrlichtLockFxEmitterOff(int id);
void qeIrrlichtPositionFxEmitter(int id, float x, float y, float z);
void qeIrrlichtRotateFxEmitter(int id, float x, float y, float z);
void qeIrrlichtSetFxEmitterParticleSize(int id, float size);
void qeIrrlichtSetFxEmitterVelocity(int id, float x, float y, float z);
void qeIrrlichtSetFxEmitterParentMotion(int id, float share);
void qeIrrlichtSetFxEmitterGravity(int id, float x, float y, float z);
void qeIrrlichtSetFxEmitterBirthRate(int id, float rate);
void qeIrrlichtSetFxEmitterLifeTime(int id, float seconds, float variation);
void qeIrrlichtSetFxEmitterExplosion(int id, float speed);
void qeIrrlichtSetFxEmitterWeight(int id, float weight);
void qeIrrlichtSetFxEmitterResistance(int id, float resistance);
void qeIrrlichtSetFxEmitterVibration(int id, float vibration);
void qeIrrlichtSetFxEmitterParticleLimit(int id, int limit);
void qeIrrlichtSetFxEmitterBlendMode(int id, int mode);
void qeIrrlichtSetFxEmitterUseImageColor(int id);
void qeIrrlichtSetFxEmitterColor(int id, uint32_t rgb);
void qeIrrlichtSetFxEmitterRotation(int id, float rotation);
void qeIrrlichtFxResetEmitter(int id);
void qeIrrlichtFxResetEmitterEmittedCount(int id);
// Scene slots: n keys of five floats each (parameter, then r, g, b, a or the size); at most 8 are kept.
void qeIrrlichtSetFxEmitterColorGradient(int id, int n, const float* keys);
void qeIrrlichtSetFxEmitterSizeGradient(int id, int n, const float* keys);

// For the rest of the engine: the entry under an ID, null without message.
FxEmitterEntry* qeIrrlichtGetFxEmitterEntry(int id);

// Engine start: empties the particle shaders' cache; always 0.
int qeIrrlichtFxEmitterInit();
// Engine stop, while the scene still exists: frees every entry and lets go of the nozzle meshes.
void qeIrrlichtFxEmittersReset();

#endif
