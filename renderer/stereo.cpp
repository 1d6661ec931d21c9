// Stereo output as far as it is built today: no stereo mode is offered yet, so a start with a stereo
// mode fails with the output's own message and the engine does not start.
#include "stereo.h"

#include "sys.h"

int qeIrrlichtRenderStereoInitNvApi() { return -1; }

int qeIrrlichtRenderStereoInit(EngineContext*, int mode) {
    qeSysMessageBox("Stereo: Unsupported Stereoscopic mode = %d", mode);
    return -1;
}

void qeIrrlichtRenderStereoFrame(EngineContext*, bool, LppRenderer*) {}
void qeIrrlichtRenderStereoOnReset(IDirect3DDevice9*) {}
void qeIrrlichtRenderStereoOnAfterReset() {}
void qeIrrlichtRenderStereoFree() {}
