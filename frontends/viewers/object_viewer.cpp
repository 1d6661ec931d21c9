// The object viewer: one mesh as object 1, lit by a directional light, turned with the mouse or the
// arrow keys, the camera moved nearer or farther with the wheel or Up and Down; an animated mesh loops
// at 30 frames per second.
#include "engine.h"
#include "facade.h"
#include "frame.h"
#include "frontends.h"
#include "lights.h"
#include "objects.h"
#include "sys.h"
#include "viewer_controls.h"
#include "viewers.h"

int qeViewerObjectStart(const char* file, ObjectView* view) {
    qeIrrlichtLoadObject(file, 1);
    if (!qeIrrlichtObjectExist(1)) {
        qeSysMessageBox("Failed to load object %s\n", file ? file : "");
        return -1;
    }
    qeIrrlichtMakeLight(1);
    qeIrrlichtSetDirectionalLight(1, 0.0f, 0.0f, 1.0f);
    qeIrrlichtColorBackdrop(0x113366);
    *view = qeViewerObjectView(qeIrrlichtGetObjectRadius(1), qeIrrlichtMouseX(), qeIrrlichtMouseY(),
                               qeIrrlichtMouseZ());
    qeIrrlichtRotateObject(1, 0.0f, 0.0f, 0.0f);
    qeIrrlichtPositionCamera(0.0f, 0.0f, view->cameraZ);
    return 0;
}

int qeViewerRunObject(const char* file) {
    ObjectView view;
    if (qeViewerObjectStart(file, &view) != 0) return -1;
    const int frames = qeIrrlichtTotalObjectFrames(1);
    const uint32_t start = qeIrrlichtTimer();
    while (qeIrrlichtRun() && !qeIrrlichtEscapeKeyEverPressed()) {
        ObjectViewInput in;
        in.buttons = qeIrrlichtMouseClick();
        in.mouseX = qeIrrlichtMouseX();
        in.mouseY = qeIrrlichtMouseY();
        in.wheel = qeIrrlichtMouseZ();
        in.left = qeIrrlichtLeftKey() != 0;
        in.right = qeIrrlichtRightKey() != 0;
        in.up = qeIrrlichtUpKey() != 0;
        in.down = qeIrrlichtDownKey() != 0;
        const int changed = qeViewerObjectPass(&view, in);
        if (changed & QE_VIEW_TURNED) qeIrrlichtRotateObject(1, view.rotationX, view.rotationY, 0.0f);
        if (changed & QE_VIEW_MOVED) qeIrrlichtPositionCamera(0.0f, 0.0f, view.cameraZ);
        if (frames > 1) qeIrrlichtSetObjectFrame(1, qeViewerObjectFrame(qeIrrlichtTimer() - start, frames));
        qeIrrlichtSync();
        if (!qeIrrlichtIsWindowActive()) qeIrrlichtSleep(20);
    }
    qeIrrlichtDeleteObject(1);
    return 0;
}
