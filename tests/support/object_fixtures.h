// The object module on the null driver: an engine record with a scene manager, a camera and the object
// table, and meshes made in memory and put in the mesh cache under a name LoadObject then finds; and an
// object for the device tests that draw its material themselves.
#ifndef QIRN_TESTS_OBJECT_FIXTURES_H
#define QIRN_TESTS_OBJECT_FIXTURES_H

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstring>
#include <string>

#include "engine.h"
#include "engine_context.h"
#include "idtable.h"
#include "log.h"
#include "objects.h"
#include "sysfile.h"

namespace qetest {

// Object `id` of the running engine, loaded from `name` as a mesh of one empty buffer whose material holds
// `layer0`: the caller draws its material.
inline void loadEmptyObject(const char* name, int id, irr::video::ITexture* layer0 = nullptr) {
    irr::scene::SMesh* mesh = new irr::scene::SMesh();
    irr::scene::SMeshBuffer* mb = new irr::scene::SMeshBuffer();
    mb->Material.setTexture(0, layer0);
    mesh->addMeshBuffer(mb);
    mb->drop();
    irr::scene::SAnimatedMesh* animated = new irr::scene::SAnimatedMesh(mesh);
    mesh->drop();
    qeIrrlichtGetContext()->smgr->getMeshCache()->addMesh(qeSysPathFull(name), animated);
    animated->drop();
    qeIrrlichtLoadObject(name, id);
}

struct NullEngine : testing::Test {
    irr::IrrlichtDevice* device = irr::createDevice(irr::video::EDT_NULL, irr::core::dimension2du(64, 64));
    irr::scene::ISceneManager* smgr = device->getSceneManager();
    irr::video::IVideoDriver* driver = device->getVideoDriver();
    EngineContext* ctx = qeIrrlichtGetContext();

    NullEngine() {
        std::memset(ctx, 0, sizeof(*ctx));
        ctx->device = device;
        ctx->driver = driver;
        ctx->smgr = smgr;
        ctx->camera = smgr->addCameraSceneNode();
        ctx->objects = qeIdTableCreate(QE_MAX_OBJECTS);
        qeLogClearLastError();
    }
    ~NullEngine() override {
        qeIrrlichtObjectsReset();
        qeIdTableDestroy(ctx->objects);
        std::memset(ctx, 0, sizeof(*ctx));
        device->drop();
    }

    // The pending error's text ("" when none) and its argument number; clears it.
    std::string lastError(int* arg = nullptr) {
        int index = -1;
        const char* text = qeLogGetLastError(&index);
        if (arg) *arg = index;
        std::string result = text ? text : "";
        qeLogClearLastError();
        return result;
    }

    // A mesh of `frames` frames (one buffer each) in the cache under `name`; buffer 0 of frame 0 gets
    // `vertices` vertices in a row along x, z from zMin to zMax.
    irr::scene::SAnimatedMesh* cacheMesh(const char* name, int frames = 1, int vertices = 3, float zMin = 0.0f,
                                         float zMax = 1.0f) {
        irr::scene::SAnimatedMesh* animated = new irr::scene::SAnimatedMesh();
        for (int f = 0; f < frames; ++f) {
            irr::scene::SMesh* mesh = new irr::scene::SMesh();
            irr::scene::SMeshBuffer* mb = new irr::scene::SMeshBuffer();
            mb->Vertices.set_used(vertices);
            for (int i = 0; i < vertices; ++i)
                mb->Vertices[i] = irr::video::S3DVertex(float(i % 2), float(i % 3), i % 2 ? zMax : zMin, 0, 0, 1,
                                                        irr::video::SColor(255, 255, 255, 255), 0, 0);
            for (int i = 0; i < 3; ++i) mb->Indices.push_back(irr::u16(i));
            mb->recalculateBoundingBox();
            mesh->addMeshBuffer(mb);
            mb->drop();
            mesh->recalculateBoundingBox();
            animated->addMesh(mesh);
            mesh->drop();
        }
        animated->recalculateBoundingBox();
        smgr->getMeshCache()->addMesh(name, animated);
        animated->drop();
        return animated;
    }

    // A quad with two UV sets and `materials` buffers, cached under `name`.
    irr::scene::SAnimatedMesh* cacheTwoUvMesh(const char* name, int materials = 1) {
        irr::scene::SMesh* mesh = new irr::scene::SMesh();
        for (int m = 0; m < materials; ++m) {
            irr::scene::SMeshBufferLightMap* mb = new irr::scene::SMeshBufferLightMap();
            const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
            for (int i = 0; i < 4; ++i) {
                irr::video::S3DVertex2TCoords v;
                v.Pos.set(corners[i][0], corners[i][1], 0);
                v.Normal.set(0, 0, -1);
                v.Color = irr::video::SColor(255, 255, 255, 255);
                v.TCoords.set(corners[i][0], corners[i][1]);
                v.TCoords2.set(0.5f + corners[i][0] / 4, 0.25f + corners[i][1] / 4);
                mb->Vertices.push_back(v);
            }
            const irr::u16 idx[6] = {0, 1, 2, 0, 2, 3};
            for (irr::u16 i : idx) mb->Indices.push_back(i);
            mb->recalculateBoundingBox();
            mesh->addMeshBuffer(mb);
            mb->drop();
        }
        mesh->recalculateBoundingBox();
        irr::scene::SAnimatedMesh* animated = new irr::scene::SAnimatedMesh(mesh);
        mesh->drop();
        smgr->getMeshCache()->addMesh(name, animated);
        animated->drop();
        return animated;
    }
};

}  // namespace qetest

#endif
