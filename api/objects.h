#ifndef QIRN_API_OBJECTS_H
#define QIRN_API_OBJECTS_H

#include <cstdint>

#include "lookups.h"

namespace irr { namespace scene {
class IMesh;
class ISceneNode;
class IMeshSceneNode;
class IAnimatedMeshSceneNode;
class ITerrainSceneNode;
} }

struct ObjectSurfaceRecord;
struct ObjectSurfaceSet;

// One mesh object or terrain, under the ID its creator chose. The object table of the engine record points
// to it; the module creates and frees it.
struct ObjectEntry {
    int32_t id;
    uint32_t isStatic;         // drawn by a plain mesh node (0 or 1 frames), and every terrain
    uint32_t isTerrain;        // the file name holds ".terrain"
    uint32_t hasTangents;      // the tangent set-up ran on this static mesh object
    uint32_t uv2InBinormal;    // that set-up put the second UV set into the binormals
    uint32_t shadowShading;    // read by the renderer
    uint8_t surfacesInitialised;
    uint8_t visible;           // in the visible-object list
    uint8_t inCollisionWorld;  // its node's triangle selector is in the camera's collision world
    ObjectEntry* prevVisible;
    ObjectEntry* nextVisible;
    // The mesh the node draws: the scene manager's animated mesh, or after the tangent set-up the node's
    // tangent copy. Null for a terrain.
    irr::scene::IMesh* mesh;
    irr::scene::ISceneNode* meshNode;           // mesh node (static) or animated mesh node; null for a terrain
    irr::scene::ITerrainSceneNode* terrainNode;  // only for a terrain
    ObjectSurfaceSet* surfaces;                  // null until the first surface assignment
};

// Commands.
void qeIrrlichtLoadObject(const char* file, int id);
void qeIrrlichtInstanceObject(int newId, int sourceId);
int qeIrrlichtObjectExist(int id);
int qeIrrlichtObjectVisible(int id);
void qeIrrlichtGhostObjectOn(int id);
void qeIrrlichtShowObject(int id);
void qeIrrlichtHideObject(int id);
void qeIrrlichtDeleteObject(int id);
int qeIrrlichtTotalObjectFrames(int id);
void qeIrrlichtSetObjectFrame(int id, float frame);
void qeIrrlichtLockObjectOn(int id);
void qeIrrlichtLockObjectOff(int id);
void qeIrrlichtSetShadowShadingOn(int id);
void qeIrrlichtPositionObject(int id, float x, float y, float z);
void qeIrrlichtRotateObject(int id, float x, float y, float z);
void qeIrrlichtScaleObject(int id, float x, float y, float z);
// The Z extent of the mesh's bounding box (callers take it as the object's size).
float qeIrrlichtGetObjectRadius(int id);
// Surfaces from the scene slots, one record per material in material order. `setup` tells the set-up call
// from the per-frame update; both do the same.
void qeIrrlichtObjSetSurfaces(int id, int count, const ObjectSurfaceRecord* records, int setup = 0);

// For the rest of the engine.
void qeIrrlichtSetObjectVisible(ObjectEntry* entry, int visible);
// qeIrrlichtGetVisibleObjectId and qeIrrlichtGetObjectNode: lookups.h.
// Iteration over the visible objects: a null cursor starts at the head. Gives the ID reached, -1 at the end.
int qeIrrlichtNextVisibleObject(ObjectEntry** cursor);
ObjectEntry* qeIrrlichtGetObjectEntry(int id);  // null when absent, no message
int qeIrrlichtObjectIsStaticMesh(int id);
irr::scene::IAnimatedMeshSceneNode* qeIrrlichtGetObjectAnimatedNode(int id);
irr::scene::IMeshSceneNode* qeIrrlichtGetObjectMeshNode(int id);
irr::scene::ITerrainSceneNode* qeIrrlichtGetObjectTerrainNode(int id);
int qeIrrlichtObjectHasTangents(int id);
int qeIrrlichtObjectHasUV2InBinormal(int id);
int qeIrrlichtObjectShadowShading(int id);
ObjectSurfaceSet* qeIrrlichtGetObjectSurfaces(int id);
// The mesh of the object's static or animated mesh node; null (with an error) for an object without one.
irr::scene::IMesh* getObjectMesh(int id);
// The last full path LoadObject was given.
const char* qeIrrlichtObjectLastPath();

// Tangent set-up of a static mesh object; gives its node.
irr::scene::ISceneNode* qeIrrlichtObjMakeTangentMesh(int id, int uv2InBinormal);
// Copies the second UV set of sourceMesh into the binormals of its tangent copy: 0, or -1 on a mismatch.
int putUV2inBinormal(irr::scene::IMesh* tangentMesh, irr::scene::IMesh* sourceMesh);

// Engine stop: deletes every object and empties the visible list.
void qeIrrlichtObjectsReset();

#endif
