// Fx emitters over objects: the mesh nozzles read an object's mesh, the static-mesh emitter is a particle
// node over the object's node whose particles sit on the vertices the object shows.
#include <irrlicht.h>

#include "IQeManager.h"
#include "IQeSceneManager.h"
#include "frame.h"
#include "fxemitter.h"
#include "fxemitter_internal.h"
#include "log.h"
#include "objects.h"
#include "particles/IQeParticleSystemSceneNode.h"

using namespace irr;

namespace {

IQeSceneManager* effectScenes() {
    IQeManager* manager = getQeManager();
    return manager ? manager->getSceneManager() : nullptr;
}

// A moving emitter of unit size whose mesh nozzle of that kind reads the object's mesh. Without a mesh the
// emitter stays, without nozzle mesh, and the failure is reported (-1).
int makeMeshEmitter(int id, const char* image, int objectId, u32 kind) {
    FxEmitterEntry* entry = qeFxEmitterCreate(id, image, 1.0f, 1.0f, 1.0f);
    if (!entry) return -1;
    scene::IMesh* mesh = getObjectMesh(objectId);
    if (!mesh) {
        qeLogError(3, "failed to get mesh of object ID %d", objectId);
        return -1;
    }
    qeFxEmitterSetNozzleMesh(entry, mesh, kind);
    return 0;
}

// The particle node over the object's mesh node, static or animated: one particle on each vertex.
IQeParticleSystemSceneNode* createQeMeshParticleSystemNode(int objectId) {
    IQeSceneManager* scenes = effectScenes();
    if (!scenes) return nullptr;
    if (scene::IMeshSceneNode* node = qeIrrlichtGetObjectMeshNode(objectId))
        return scenes->createAnimatedMeshParticleSystemSceneNode(node, nullptr, -1);
    if (scene::IAnimatedMeshSceneNode* node = qeIrrlichtGetObjectAnimatedNode(objectId))
        return scenes->createAnimatedMeshParticleSystemSceneNode(node, nullptr, -1);
    qeLogErrorBox(-1, "createQeMeshParticleSystemNode: Failed to get mesh");
    return nullptr;
}

}  // namespace

int qeIrrlichtMakeFxEmitterMeshVertices(int id, const char* image, int objectId) {
    return makeMeshEmitter(id, image, objectId, 2);
}

int qeIrrlichtMakeFxEmitterMeshNormal(int id, const char* image, int objectId) {
    return makeMeshEmitter(id, image, objectId, 3);
}

int qeIrrlichtMakeFxEmitterMeshTriangles(int id, const char* image, int objectId) {
    return makeMeshEmitter(id, image, objectId, 4);
}

int qeIrrlichtMakeFxEmitterMeshStatic(int id, const char* image, int objectId) {
    FxEmitterEntry* entry = qeFxEmitterNewEntry(id, 1, 0.0f, 0.0f, 0.0f);
    if (!entry) return -1;
    entry->node = createQeMeshParticleSystemNode(objectId);
    if (!entry->node) {
        qeLogError(3, "failed to create FxEmitter node");
        qeFxEmitterDiscard(id, entry);
        return -1;
    }
    return qeFxEmitterFinish(id, entry, image);
}
