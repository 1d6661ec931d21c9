#include "objects.h"

#include <irrSystemPaths.h>
#include <irrlicht.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "collision.h"
#include "engine.h"
#include "engine_context.h"
#include "frame.h"
#include "idtable.h"
#include "log.h"
#include "object_surfaces.h"
#include "sysfile.h"
#include "terrain.h"

using namespace irr;

namespace {

struct ObjectModule {
    ObjectEntry* visibleHead = nullptr;
    char lastPath[260] = {};
};
ObjectModule g_objects;

IdTable* table() { return qeIrrlichtGetContext()->objects; }

ObjectEntry* lookup(int id) { return static_cast<ObjectEntry*>(qeIdTableGet(table(), id)); }

// The command's ID check: the absent-object error blaming argument 1.
ObjectEntry* require(int id) {
    ObjectEntry* e = lookup(id);
    if (!e) qeLogError(1, "Object ID %d does not exist. %s", id, qeIdTableGetMessage());
    return e;
}

// A fresh zero-filled entry under the ID, or null after the table's error blaming argIndex.
ObjectEntry* createEntry(int id, int argIndex) {
    qeIrrlichtRegisterModuleReset(qeIrrlichtObjectsReset, QE_STOP_BEFORE_DROP);
    ObjectEntry* e = static_cast<ObjectEntry*>(std::calloc(1, sizeof(ObjectEntry)));
    if (!e) return nullptr;
    e->id = id;
    if (qeIdTableAdd(table(), id, e) != 0) {
        qeLogError(argIndex, "invalid Object ID %d : %s", id, qeIdTableGetMessage());
        std::free(e);
        return nullptr;
    }
    return e;
}

void discardEntry(ObjectEntry* e) {
    qeIdTableRemove(table(), e->id);
    std::free(e);
}

scene::ISceneNode* nodeOf(const ObjectEntry* e) {
    return e->isTerrain ? static_cast<scene::ISceneNode*>(e->terrainNode) : e->meshNode;
}

// A mesh node (static) or an animated mesh node under the scene root, at the origin, unscaled.
scene::ISceneNode* addNode(ObjectEntry* e) {
    scene::ISceneManager* smgr = qeIrrlichtGetContext()->smgr;
    if (!smgr || !e->mesh) return nullptr;
    if (e->isStatic) return smgr->addMeshSceneNode(e->mesh, nullptr, -1);
    return smgr->addAnimatedMeshSceneNode(static_cast<scene::IAnimatedMesh*>(e->mesh), nullptr, -1);
}

void afterLoad(ObjectEntry* e) {
    if (e->isTerrain) return;
    if (!e->isStatic) {
        static_cast<scene::IAnimatedMeshSceneNode*>(e->meshNode)->setAnimationSpeed(0.0f);
    } else {
        e->mesh->setHardwareMappingHint(scene::EHM_STATIC, scene::EBT_VERTEX_AND_INDEX);
    }
}

void warnVertexCounts(const ObjectEntry* e, const char* file) {
    for (u32 i = 0; i < e->mesh->getMeshBufferCount(); ++i) {
        scene::IMeshBuffer* mb = e->mesh->getMeshBuffer(i);
        if (mb->getIndexType() == video::EIT_16BIT && mb->getVertexCount() > 65535)
            qeLogPrint(QE_LOG_WARN | QE_LOG_SHOW_BOX,
                       "Object %d '%s' has too much points on surface %d ;\n%d points > maximum 65535.\n"
                       "Render artifacts will occur.",
                       e->id, file, static_cast<int>(i), static_cast<int>(mb->getVertexCount()));
    }
}

void removeNode(ObjectEntry* e) {
    if (scene::ISceneNode* node = nodeOf(e)) node->remove();
    e->meshNode = nullptr;
    e->terrainNode = nullptr;
}

void deleteEntry(ObjectEntry* e) {
    if (e->visible) qeIrrlichtSetObjectVisible(e, 0);
    qeIrrlichtObjRemoveCollision(e->id);
    removeNode(e);
    // The surfaces' shader materials are no longer drawn once the node is gone.
    if (e->surfaces) qeIrrlichtObjFreeSurfaces(e->id, e->surfaces);
    discardEntry(e);
}

}  // namespace

void qeIrrlichtLoadObject(const char* file, int id) {
    if (!file) file = "";
    ObjectEntry* e = createEntry(id, 2);
    if (!e) return;
    // A name whose full path the path layer cannot give is loaded as given: the engine's file system
    // takes paths of any length that the system allows.
    const char* full = qeSysPathFull(file);
    const std::string path = full && *full ? full : file;
    std::snprintf(g_objects.lastPath, sizeof(g_objects.lastPath), "%s", path.c_str());

    e->isTerrain = qeIrrlichtObjIsTerrainName(file);
    if (e->isTerrain) {
        e->isStatic = 1;
        e->terrainNode = qeIrrlichtLoadTerrain(file);
        if (!e->terrainNode) {
            qeLogError(1, "Failed to load terrain '%s'", file);
            discardEntry(e);
            return;
        }
    } else {
        scene::IAnimatedMesh* mesh = qeIrrlichtGetContext()->smgr->getMesh(path.c_str());
        if (!mesh) {
            if (io::isPathTooLong(path.c_str()))
                qeLogError(1, "Failed to load mesh '%s': its path is too long", file);
            else
                qeLogError(1, "Failed to load mesh '%s'", path.c_str());
            discardEntry(e);
            return;
        }
        e->mesh = mesh;
        warnVertexCounts(e, file);
        e->isStatic = mesh->getFrameCount() <= 1;
        e->meshNode = addNode(e);
        if (!e->meshNode) {
            qeLogError(1, "Failed to create mesh");
            discardEntry(e);
            return;
        }
    }
    nodeOf(e)->setID(id);
    afterLoad(e);
    qeIrrlichtSetObjectVisible(e, 1);
}

void qeIrrlichtInstanceObject(int newId, int sourceId) {
    ObjectEntry* e = createEntry(newId, 1);
    if (!e) return;
    // The new ID's own fresh entry is no source: an instance of an empty ID under that ID is refused.
    const ObjectEntry* source = lookup(sourceId);
    if (!source || source == e) {
        qeLogError(2, "Object ID %d does not exist", sourceId);
        discardEntry(e);
        return;
    }
    if (source->isTerrain) {
        qeLogError(2, "Terrain not supported");
        discardEntry(e);
        return;
    }
    e->isStatic = source->isStatic;
    e->mesh = source->mesh;
    e->meshNode = addNode(e);
    if (!e->meshNode) {
        qeLogError(-1, "Failed to add object");
        discardEntry(e);
        return;
    }
    e->meshNode->setID(newId);
    afterLoad(e);
    qeIrrlichtSetObjectVisible(e, 1);
}

int qeIrrlichtObjectExist(int id) { return lookup(id) ? 1 : 0; }

int qeIrrlichtObjectVisible(int id) {
    const ObjectEntry* e = require(id);
    return e ? e->visible : 0;
}

void qeIrrlichtGhostObjectOn(int id) { require(id); }

void qeIrrlichtShowObject(int id) {
    if (ObjectEntry* e = require(id)) {
        qeIrrlichtSetObjectVisible(e, 1);
        nodeOf(e)->setVisible(true);
    }
}

void qeIrrlichtHideObject(int id) {
    if (ObjectEntry* e = require(id)) {
        qeIrrlichtSetObjectVisible(e, 0);
        nodeOf(e)->setVisible(false);
    }
}

void qeIrrlichtDeleteObject(int id) {
    if (ObjectEntry* e = lookup(id)) deleteEntry(e);
}

int qeIrrlichtTotalObjectFrames(int id) {
    const ObjectEntry* e = require(id);
    if (!e) return 0;
    if (e->isStatic) return 1;
    const auto* node = static_cast<const scene::IAnimatedMeshSceneNode*>(e->meshNode);
    return node->getEndFrame() - node->getStartFrame() + 1;
}

void qeIrrlichtSetObjectFrame(int id, float frame) {
    const ObjectEntry* e = require(id);
    if (!e || e->isStatic) return;
    auto* node = static_cast<scene::IAnimatedMeshSceneNode*>(e->meshNode);
    node->setCurrentFrame(static_cast<f32>(node->getStartFrame()) + frame);
}

void qeIrrlichtLockObjectOn(int id) {
    const ObjectEntry* e = require(id);
    scene::ICameraSceneNode* camera = qeIrrlichtGetContext()->camera;
    if (e && camera) nodeOf(e)->setParent(camera);
}

void qeIrrlichtLockObjectOff(int id) {
    const ObjectEntry* e = require(id);
    if (!e) return;
    // Taken off the camera the node goes back under the scene root with its relative values: giving it no
    // parent would release it while the entry still points to it.
    scene::ISceneNode* node = nodeOf(e);
    node->setParent(qeIrrlichtGetContext()->smgr->getRootSceneNode());
}

void qeIrrlichtSetShadowShadingOn(int id) {
    ObjectEntry* e = require(id);
    if (e && !e->isTerrain) e->shadowShading = 1;
}

void qeIrrlichtPositionObject(int id, float x, float y, float z) {
    const ObjectEntry* e = require(id);
    if (e && !e->isTerrain) e->meshNode->setPosition(core::vector3df(x, y, z));
}

void qeIrrlichtRotateObject(int id, float x, float y, float z) {
    const ObjectEntry* e = require(id);
    if (e && !e->isTerrain) e->meshNode->setRotation(core::vector3df(x, y, z));
}

void qeIrrlichtScaleObject(int id, float x, float y, float z) {
    const ObjectEntry* e = require(id);
    if (e && !e->isTerrain) e->meshNode->setScale(core::vector3df(x / 100.0f, y / 100.0f, z / 100.0f));
}

float qeIrrlichtGetObjectRadius(int id) {
    const ObjectEntry* e = require(id);
    if (!e || e->isTerrain) return 0.0f;
    const core::aabbox3df& box = e->mesh->getBoundingBox();
    return box.MaxEdge.Z - box.MinEdge.Z;
}

void qeIrrlichtObjSetSurfaces(int id, int count, const ObjectSurfaceRecord* records, int) {
    ObjectEntry* e = require(id);
    if (!e) return;
    if (!e->surfacesInitialised) {
        e->surfaces = qeIrrlichtObjInitSurfaces(id, nodeOf(e), count, records);
        e->surfacesInitialised = 1;
        qeIrrlichtRendererPrepareObject(qeIrrlichtGetContext(), nodeOf(e));
    }
    if (e->surfaces) qeIrrlichtObjUpdateSurfaces(id, nodeOf(e), e->surfaces, count, records);
}

// ---- the visible-object list ----

void qeIrrlichtSetObjectVisible(ObjectEntry* e, int visible) {
    if (!e || (visible != 0) == (e->visible != 0)) return;
    if (visible) {
        e->nextVisible = nullptr;
        e->prevVisible = nullptr;
        if (!g_objects.visibleHead) {
            g_objects.visibleHead = e;
        } else {
            ObjectEntry* tail = g_objects.visibleHead;
            while (tail->nextVisible) tail = tail->nextVisible;
            tail->nextVisible = e;
            e->prevVisible = tail;
        }
        e->visible = 1;
        return;
    }
    if (!g_objects.visibleHead) {
        qeLogPrint(QE_LOG_ERROR, "make the object not visible but no visible object present!");
        return;
    }
    if (e->prevVisible)
        e->prevVisible->nextVisible = e->nextVisible;
    else
        g_objects.visibleHead = e->nextVisible;
    if (e->nextVisible) e->nextVisible->prevVisible = e->prevVisible;
    e->prevVisible = e->nextVisible = nullptr;
    e->visible = 0;
}

int qeIrrlichtGetVisibleObjectId(int n) {
    const ObjectEntry* e = g_objects.visibleHead;
    for (int i = 0; e && i < n; ++i) e = e->nextVisible;
    return e && n >= 0 ? e->id : -1;
}

int qeIrrlichtNextVisibleObject(ObjectEntry** cursor) {
    if (!cursor) return -1;
    *cursor = *cursor ? (*cursor)->nextVisible : g_objects.visibleHead;
    return *cursor ? (*cursor)->id : -1;
}

// ---- queries ----

ObjectEntry* qeIrrlichtGetObjectEntry(int id) { return lookup(id); }

int qeIrrlichtObjectIsStaticMesh(int id) {
    const ObjectEntry* e = lookup(id);
    return e && e->isStatic && !e->isTerrain;
}

scene::ISceneNode* qeIrrlichtGetObjectNode(int id) {
    const ObjectEntry* e = lookup(id);
    return e ? nodeOf(e) : nullptr;
}

scene::IAnimatedMeshSceneNode* qeIrrlichtGetObjectAnimatedNode(int id) {
    const ObjectEntry* e = lookup(id);
    return e && !e->isStatic ? static_cast<scene::IAnimatedMeshSceneNode*>(e->meshNode) : nullptr;
}

scene::IMeshSceneNode* qeIrrlichtGetObjectMeshNode(int id) {
    const ObjectEntry* e = lookup(id);
    return e && e->isStatic && !e->isTerrain ? static_cast<scene::IMeshSceneNode*>(e->meshNode) : nullptr;
}

scene::ITerrainSceneNode* qeIrrlichtGetObjectTerrainNode(int id) {
    const ObjectEntry* e = lookup(id);
    return e ? e->terrainNode : nullptr;
}

int qeIrrlichtObjectHasTangents(int id) {
    const ObjectEntry* e = lookup(id);
    return e ? static_cast<int>(e->hasTangents) : 0;
}

int qeIrrlichtObjectHasUV2InBinormal(int id) {
    const ObjectEntry* e = lookup(id);
    return e ? static_cast<int>(e->uv2InBinormal) : 0;
}

int qeIrrlichtObjectShadowShading(int id) {
    const ObjectEntry* e = lookup(id);
    return e ? static_cast<int>(e->shadowShading) : 0;
}

ObjectSurfaceSet* qeIrrlichtGetObjectSurfaces(int id) {
    const ObjectEntry* e = lookup(id);
    return e ? e->surfaces : nullptr;
}

scene::IMesh* getObjectMesh(int id) {
    if (scene::IMeshSceneNode* node = qeIrrlichtGetObjectMeshNode(id)) return node->getMesh();
    if (scene::IAnimatedMeshSceneNode* node = qeIrrlichtGetObjectAnimatedNode(id)) return node->getMesh();
    qeLogPrint(QE_LOG_ERROR | QE_LOG_SHOW_BOX, "getObjectMesh: Failed to get mesh for iObj=%d", id);
    return nullptr;
}

const char* qeIrrlichtObjectLastPath() { return g_objects.lastPath; }

// ---- tangents ----

scene::ISceneNode* qeIrrlichtObjMakeTangentMesh(int id, int uv2InBinormal) {
    ObjectEntry* e = lookup(id);
    if (!e || !e->isStatic || e->isTerrain) return e ? nodeOf(e) : nullptr;
    auto* node = static_cast<scene::IMeshSceneNode*>(e->meshNode);
    scene::IMesh* mesh = node->getMesh();
    scene::IMeshBuffer* first = mesh ? mesh->getMeshBuffer(0) : nullptr;
    // An instance shares a mesh that its source's set-up already turned into tangent vertices (with the
    // second UV set in the binormals when it asked): then there is nothing to copy.
    if (first && first->getVertexType() != video::EVT_TANGENTS) {
        scene::IMeshManipulator* manipulator = qeIrrlichtGetContext()->smgr->getMeshManipulator();
        scene::IMesh* copy = manipulator->createMeshWithTangents(mesh, false, false, false, true);
        if (copy) {
            if (uv2InBinormal) {
                qeLogPrint(QE_LOG_INFO, "Object need UV2 in Binormal");
                putUV2inBinormal(copy, mesh);
            }
            node->setMesh(copy);
            copy->drop();
            e->mesh = node->getMesh();
            node->setID(id);
            e->mesh->setHardwareMappingHint(scene::EHM_STATIC, scene::EBT_VERTEX_AND_INDEX);
        }
    }
    e->hasTangents = 1;
    e->uv2InBinormal = uv2InBinormal ? 1 : 0;
    return node;
}

int putUV2inBinormal(scene::IMesh* tangentMesh, scene::IMesh* sourceMesh) {
    const u32 count = tangentMesh->getMeshBufferCount();
    if (count != sourceMesh->getMeshBufferCount()) {
        qeLogPrint(QE_LOG_ERROR, "putUV2inBinormal: meshBuf count mismatch tangent=%d ori=%d",
                   static_cast<int>(count), static_cast<int>(sourceMesh->getMeshBufferCount()));
        return -1;
    }
    for (u32 b = 0; b < count; ++b) {
        scene::IMeshBuffer* tb = tangentMesh->getMeshBuffer(b);
        scene::IMeshBuffer* sb = sourceMesh->getMeshBuffer(b);
        const u32 indices = tb->getIndexCount();
        if (indices != sb->getIndexCount()) {
            qeLogPrint(QE_LOG_ERROR, "putUV2inBinormal: idxCnt mismatch tagent=%d ori=%d", static_cast<int>(indices),
                       static_cast<int>(sb->getIndexCount()));
            return -1;
        }
        if (tb->getVertexType() != video::EVT_TANGENTS) {
            qeLogPrint(QE_LOG_ERROR, "putUV2inBinormal: meshBufferType != EVT_TANGENTS");
            return -1;
        }
        if (sb->getVertexType() != video::EVT_2TCOORDS) {
            qeLogPrint(QE_LOG_ERROR, "putUV2inBinormal: originalMeshBuffer Type != EVT_2TCOORDS");
            return -1;
        }
        auto* tv = static_cast<video::S3DVertexTangents*>(tb->getVertices());
        const auto* sv = static_cast<const video::S3DVertex2TCoords*>(sb->getVertices());
        for (u32 i = 0; i < indices; ++i) {
            const u32 ti = tb->getIndexType() == video::EIT_16BIT ? tb->getIndices()[i]
                                                                   : reinterpret_cast<const u32*>(tb->getIndices())[i];
            const u32 si = sb->getIndexType() == video::EIT_16BIT ? sb->getIndices()[i]
                                                                   : reinterpret_cast<const u32*>(sb->getIndices())[i];
            if (ti >= tb->getVertexCount() || si >= sb->getVertexCount()) {
                qeLogPrint(QE_LOG_ERROR, "putUV2inBinormal: mismatch Pos, meshBuf b=%d i=%d", static_cast<int>(b),
                           static_cast<int>(i));
                return -1;
            }
            video::S3DVertexTangents& t = tv[ti];
            const video::S3DVertex2TCoords& s = sv[si];
            const core::vector3df d = t.Pos - s.Pos;
            if (std::fabs(d.X) > 0.000001f || std::fabs(d.Y) > 0.000001f || std::fabs(d.Z) > 0.000001f) {
                qeLogPrint(QE_LOG_ERROR, "putUV2inBinormal: mismatch Pos, meshBuf b=%d i=%d", static_cast<int>(b),
                           static_cast<int>(i));
                return -1;
            }
            if (t.TCoords != s.TCoords) {
                qeLogPrint(QE_LOG_ERROR, "putUV2inBinormal: mismatch TCoords, meshBuf b=%d i=%d", static_cast<int>(b),
                           static_cast<int>(i));
                return -1;
            }
            t.Binormal.X = s.TCoords2.X;
            t.Binormal.Y = s.TCoords2.Y;
        }
        tb->setDirty(scene::EBT_VERTEX);
    }
    return 0;
}

void qeIrrlichtObjectsReset() {
    if (IdTable* objects = table()) {
        for (int id = 0; id < objects->capacity; ++id)
            if (ObjectEntry* e = lookup(id)) deleteEntry(e);
    }
    g_objects = ObjectModule{};
}
