// The object viewer as far as it is built today: the mesh is loaded straight through the 3D engine and
// shown turning in front of the camera until the window closes or Escape is pressed. Turning it by hand,
// lights and the object commands come with the command modules.
#include <irrlicht.h>

#include "engine.h"
#include "engine_context.h"
#include "facade.h"
#include "frame.h"
#include "frontends.h"
#include "sys.h"

using namespace irr;

int qeViewerRunObject(const char* file) {
    EngineContext* ctx = qeIrrlichtGetContext();
    if (!ctx->smgr) return -1;
    scene::IAnimatedMesh* mesh = ctx->smgr->getMesh(file);
    if (!mesh) {
        qeSysMessageBox("Failed to load object %s\n", file);
        return -1;
    }
    scene::IAnimatedMeshSceneNode* node = ctx->smgr->addAnimatedMeshSceneNode(mesh);
    node->setMaterialFlag(video::EMF_LIGHTING, false);
    float r = mesh->getBoundingBox().getExtent().getLength() * 0.5f;
    if (r == 0.0f) r = 20.0f;
    qeIrrlichtColorBackdrop(0x113366);
    qeIrrlichtPositionCamera(0.0f, 0.0f, -2.5f * r);
    const u32 start = qeIrrlichtTimer();
    while (qeIrrlichtRun() && !qeIrrlichtEscapeKeyEverPressed()) {
        // Turning about its own vertical axis, tilted towards the viewer.
        const f32 seconds = (qeIrrlichtTimer() - start) / 1000.0f;
        core::matrix4 turn, tilt;
        turn.setRotationDegrees(core::vector3df(0.0f, seconds * 30.0f, 0.0f));
        tilt.setRotationDegrees(core::vector3df(25.0f, 0.0f, 0.0f));
        node->setRotation((tilt * turn).getRotationDegrees());
        qeIrrlichtSync();
        if (!qeIrrlichtIsWindowActive()) qeIrrlichtSleep(20);
    }
    node->remove();
    return 0;
}
