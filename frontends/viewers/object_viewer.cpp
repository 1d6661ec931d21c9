// The object viewer as far as it is built today: the mesh is loaded as object 1 and shown turning in front
// of the camera, unlit, until the window closes or Escape is pressed; an animated mesh plays at 30 frames
// per second. Turning it by hand and the light come with the light module.
#include <irrlicht.h>

#include "engine.h"
#include "engine_context.h"
#include "facade.h"
#include "frame.h"
#include "frontends.h"
#include "objects.h"
#include "sys.h"

using namespace irr;

int qeViewerRunObject(const char* file) {
    EngineContext* ctx = qeIrrlichtGetContext();
    if (!ctx->smgr) return -1;
    qeIrrlichtLoadObject(file, 1);
    if (!qeIrrlichtObjectExist(1)) {
        qeSysMessageBox("Failed to load object %s\n", file);
        return -1;
    }
    qeIrrlichtGetObjectNode(1)->setMaterialFlag(video::EMF_LIGHTING, false);
    float r = qeIrrlichtGetObjectRadius(1);
    if (r == 0.0f) r = 20.0f;
    const int frames = qeIrrlichtTotalObjectFrames(1);
    qeIrrlichtColorBackdrop(0x113366);
    qeIrrlichtPositionCamera(0.0f, 0.0f, -1.5f * r);
    const u32 start = qeIrrlichtTimer();
    while (qeIrrlichtRun() && !qeIrrlichtEscapeKeyEverPressed()) {
        // Turning about its own vertical axis, tilted towards the viewer.
        const f32 seconds = (qeIrrlichtTimer() - start) / 1000.0f;
        core::matrix4 turn, tilt;
        turn.setRotationDegrees(core::vector3df(0.0f, seconds * 30.0f, 0.0f));
        tilt.setRotationDegrees(core::vector3df(25.0f, 0.0f, 0.0f));
        const core::vector3df rotation = (tilt * turn).getRotationDegrees();
        qeIrrlichtRotateObject(1, rotation.X, rotation.Y, rotation.Z);
        if (frames > 1) {
            const u32 period = static_cast<u32>(frames) * 1000 / 30;
            qeIrrlichtSetObjectFrame(1, ((qeIrrlichtTimer() - start) % period) * 30.0f / 1000.0f);
        }
        qeIrrlichtSync();
        if (!qeIrrlichtIsWindowActive()) qeIrrlichtSleep(20);
    }
    qeIrrlichtDeleteObject(1);
    return 0;
}
