// Stereo output as far as it is built today: the 3D Vision driver set-up is done, but no stereo mode is
// offered yet, so a start with a stereo mode fails with the output's own message and the engine does not
// start.
#include "stereo.h"

#include "nvapi_client.h"
#include "sys.h"

// Switches the driver to direct stereo before the device exists. A failure is only printed: the engine
// starts without the driver's stereo.
int qeIrrlichtRenderStereoInitNvApi() {
    int status = NvAPI_Initialize();
    if (status != QE_NVAPI_OK) {
        qeSysDebugPrint("NvAPI_Initialize() %s\n", status == QE_NVAPI_LIBRARY_NOT_FOUND ? "Library not found" : "Error");
        return -1;
    }
    if (NvAPI_Stereo_SetDriverMode(QE_NVAPI_STEREO_DRIVER_MODE_DIRECT) != QE_NVAPI_OK) {
        qeSysDebugPrint("NvAPI_Stereo_SetDriverMode(DIRECT) failed\n");
        return -1;
    }
    qeSysDebugPrint("NvAPI Stereo Setup OK\n");
    return 0;
}

int qeIrrlichtRenderStereoInit(EngineContext*, int mode) {
    qeSysMessageBox("Stereo: Unsupported Stereoscopic mode = %d", mode);
    return -1;
}

void qeIrrlichtRenderStereoFrame(EngineContext*, bool, LppRenderer*) {}
void qeIrrlichtRenderStereoOnReset(IDirect3DDevice9*) {}
void qeIrrlichtRenderStereoOnAfterReset() {}
void qeIrrlichtRenderStereoFree() {}
