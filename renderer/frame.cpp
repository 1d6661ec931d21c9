#include "frame.h"

#include <irrlicht.h>
#include <windows.h>

#include <cstdio>

#include "IQeGPUProgrammingServices.h"
#include "IQeManager.h"
#include "engine.h"
#include "engine_context.h"
#include "log.h"
#include "lpp.h"
#include "overlay.h"
#include "shader_header.h"
#include "stereo.h"
#include "sys.h"
#include "sysfile.h"
#include "uber_shader.h"

using namespace irr;

namespace {
LppRenderer* g_renderer = nullptr;
int g_stereoMode = 0;
IQeManager* g_manager = nullptr;
bool g_inFrame = false;
int g_sceneTime = 0;
HMODULE g_d3dx = nullptr;

// The D3DX run-time the video driver reports (the one its shader compiler loads).
int d3dxVersion() {
    EngineContext* ctx = qeIrrlichtGetContext();
    return ctx->driver ? static_cast<int>(ctx->driver->getExposedVideoData().D3D9.D3DXSDKVersion) : 0;
}

void plainFrame(EngineContext* ctx) {
    ctx->smgr->drawAll();
    ctx->gui->drawAll();
    qeIrrlichtOverlayDraw(ctx);
}

bool windowMinimized(EngineContext* ctx) {
    HWND hwnd = static_cast<HWND>(ctx->driver->getExposedVideoData().D3D9.HWnd);
    return hwnd && IsIconic(hwnd);
}

// Refuses frame work when no engine runs.
EngineContext* runningContext(const char* function) {
    EngineContext* ctx = qeIrrlichtGetContext();
    if (!ctx->device || !ctx->driver || !ctx->smgr || !ctx->gui) {
        qeLogError(-1, "%s: no engine is running", function);
        return nullptr;
    }
    return ctx;
}
}  // namespace

IQeManager* getQeManager() { return g_manager; }
LppRenderer* qeIrrlichtGetRenderer() { return g_renderer; }
int qeIrrlichtGetStereoMode() { return g_stereoMode; }

int qeIrrlichtBeforeCreateDevice(EngineContext* ctx, int* driverType, bool* stencilBuffer, int* multisample) {
    // a failure is only the stereo output's own debug print: the engine starts without the driver's stereo
    if (ctx->stereoMode == QE_STEREO_3DVISION) qeIrrlichtRenderStereoInitNvApi();
    *driverType = video::EDT_DIRECT3D9;
    *stencilBuffer = true;
    if (ctx->lightPrePass) *multisample = 0;
    return 0;
}

int qeIrrlichtLoadD3DX() {
    char name[64];
    std::snprintf(name, sizeof(name), "d3dx9_%d.dll", d3dxVersion());
    HMODULE library = g_d3dx ? g_d3dx : LoadLibraryA(name);
    if (!library) {
        qeSysMessageBox("Failed to load %s. Please install this library.", name);
        return 1;
    }
    g_d3dx = library;  // kept for the life of the process
    if (!GetProcAddress(library, "D3DXAssembleShader")) {
        qeSysMessageBox("Fails to get D3DXAssembleShader in %s", name);
        return 1;
    }
    return 0;
}

int qeIrrlichtShaderLoaderLevelFor(int logThreshold, int current) {
    switch (logThreshold) {
        case QE_LOG_DEBUG: return 2;
        case QE_LOG_INFO: return 1;
        case QE_LOG_WARN:
        case QE_LOG_ERROR:
        case QE_LOG_NONE: return 0;
        default: return current;
    }
}

int qeIrrlichtShaderLoaderLevel() { return qeIrrShaderGetDebugLevel(); }

namespace {

// A device for the engine's file system alone, without a window or a driver of its own.
IrrlichtDevice* fileSystemDevice() {
    SIrrlichtCreationParameters params;
    params.DriverType = video::EDT_NULL;
    params.LoggingLevel = ELL_NONE;
    return createDeviceEx(params);
}

}  // namespace

void qeIrrlichtPackableShaderCache(const char* baseFolder, const std::vector<SQePackedShaderFolder>& sourceFolders,
                                   std::vector<SQePackedCacheFile>* files) {
    if (!files) return;
    IrrlichtDevice* device = fileSystemDevice();
    if (!device) return;
    core::stringc cache = baseFolder ? baseFolder : "";
    cache += "/shadersCache";
    listPackableCacheFiles(device->getFileSystem(), cache, sourceFolders, files);
    device->drop();
}

void qeIrrlichtShaderIncludes(const std::vector<std::string>& sources, std::vector<SQeShaderInclude>* includes) {
    if (!includes || sources.empty()) return;
    IrrlichtDevice* device = fileSystemDevice();
    if (!device) return;
    for (const std::string& source : sources) listShaderIncludeFiles(device->getFileSystem(), source.c_str(), includes);
    device->drop();
}

namespace {
int g_shaderCacheReadOnly = 0;
}  // namespace

void qeIrrlichtSetShaderCacheReadOnly(int readOnly) { g_shaderCacheReadOnly = readOnly ? 1 : 0; }

int qeIrrlichtStartRenderSystem(EngineContext* ctx) {
    if (qeIrrlichtLoadD3DX() != 0) {
        qeSysFormatError("fails to load D3DX");
        return 1;
    }
    if (!IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE)) qeSysMessageBox("CPU does not support SSE\n");

    g_manager = createQeManager(ctx->device);
    if (!g_manager) {
        qeSysFormatError("fails to createQeManager");
        return 1;
    }
    core::stringc cache = qeSysGetBaseDirectory();
    cache += "/shadersCache";
    if (IQeGPUProgrammingServices* gpu = g_manager->getGPUProgrammingServices())
        gpu->setShaderCache(cache, qeSysFileSystemKindIs2or3() ? ESCM_READ
                                   : g_shaderCacheReadOnly ? ESCM_READ | ESCM_CHECK_DATES
                                                           : ESCM_READ | ESCM_CHECK_DATES | ESCM_WRITE);
    ctx->driver->setBeforeResetCallback(qeIrrlichtOnDeviceBeforeReset);
    ctx->driver->setAfterResetCallback(qeIrrlichtOnDeviceAfterReset);

    qeIrrShaderSetDebugLevel(qeIrrlichtShaderLoaderLevelFor(qeLogGetLevel(), qeIrrShaderGetDebugLevel()));
    if (qeIrrlichtRendererCreate(ctx, ctx->lightPrePass != 0, ctx->stereoMode) != 0) {
        qeSysFormatError("fails to create renderer");
        return 1;
    }
    if (qeIrrlichtUberShaderInit() != 0) {
        qeSysFormatError("fails to create uber shaders");
        return 1;
    }
    return 0;
}

int qeIrrlichtRendererCreate(EngineContext* ctx, bool lightPrePass, int stereoMode) {
    // The renderer draws for the stereo mode this start asks for: for 3D Vision two rows fewer, whose
    // room the wide target's signature row takes, from the first start on.
    if (lightPrePass) {
        g_renderer = qeIrrlichtLppCreate(ctx, stereoMode == QE_STEREO_3DVISION);
        if (!g_renderer) return -1;
    }
    g_stereoMode = stereoMode;
    if (stereoMode != 0 && qeIrrlichtRenderStereoInit(ctx, stereoMode) != 0) return -1;
    return 0;
}

void qeIrrlichtRendererDestroy(EngineContext* ctx) {
    if (g_renderer) {
        qeIrrlichtLppDestroy(ctx, g_renderer);
        g_renderer = nullptr;
    }
    if (g_stereoMode != 0) qeIrrlichtRenderStereoFree();
}

void qeIrrlichtStopRenderSystem(EngineContext* ctx) {
    // A frame may have ended on a render target (stereo eyes, a frame into a texture): the driver keeps the
    // back buffer, and with it the device, until the back buffer is the target again.
    if (ctx->driver) ctx->driver->setRenderTarget(nullptr, false, false);
    qeIrrlichtRendererDestroy(ctx);
    if (g_manager) {
        delete g_manager;
        g_manager = nullptr;
    }
    g_inFrame = false;
}

void qeIrrlichtRendererPrepareObject(EngineContext* ctx, scene::ISceneNode* node) {
    if (g_renderer) qeIrrlichtLppPrepareShaders(ctx, g_renderer, node);
}

void qeIrrlichtOnDeviceBeforeReset(IDirect3DDevice9* device) {
    qeLogPrint(QE_LOG_INFO, "qeIrrlicht: D3D Device is about to RESET\n");
    if (g_manager) g_manager->onBeforeDeviceReset(device);
    if (g_stereoMode != 0) qeIrrlichtRenderStereoOnReset(device);
}

void qeIrrlichtOnDeviceAfterReset(IDirect3DDevice9*) {
    // A reset follows the window's size (a maximise, a restore): the frame takes the new size, the
    // screen size the shaders are given and the renderer's screen-sized targets with it.
    EngineContext* ctx = qeIrrlichtGetContext();
    if (ctx->driver) {
        const core::dimension2du size = ctx->driver->getScreenSize();
        if (static_cast<int>(size.Width) != ctx->width || static_cast<int>(size.Height) != ctx->height) {
            ctx->width = static_cast<int>(size.Width);
            ctx->height = static_cast<int>(size.Height);
            if (ctx->camera) ctx->camera->setAspectRatio(static_cast<f32>(size.Width) / static_cast<f32>(size.Height));
            if (g_renderer) qeIrrlichtLppResize(ctx, g_renderer);
        }
    }
    if (g_stereoMode != 0) qeIrrlichtRenderStereoOnAfterReset();
}

bool qeIrrlichtBeginScene(EngineContext* ctx) {
    if (g_inFrame) return true;
    const u32 backdrop = qeIrrlichtGetBackdropColor();
    bool ok;
    if (ctx->lightPrePass && g_renderer)
        ok = ctx->driver->beginScene(false, false, video::SColor(backdrop & 0x00FFFFFF), video::SExposedVideoData(), nullptr);
    else
        ok = ctx->driver->beginScene(true, true, video::SColor(backdrop), video::SExposedVideoData(), nullptr);
    if (!ok) {
        qeLogPrint(QE_LOG_WARN, "beginScene failed");
        return false;
    }
    g_inFrame = true;
    return true;
}

bool qeIrrlichtEndScene(EngineContext* ctx) {
    if (!g_inFrame) {
        qeLogPrint(QE_LOG_WARN, "endRendering called while not in Rendering");
        return true;
    }
    g_inFrame = false;
    if (!ctx->driver->endScene()) {
        qeLogPrint(QE_LOG_WARN, "endScene failed");
        return false;
    }
    return true;
}

namespace {
// The common start of a frame: nothing is drawn (and the queued 2D drawing is dropped) while the window
// is minimised or when the scene cannot begin.
EngineContext* beginFrame(const char* function) {
    EngineContext* ctx = runningContext(function);
    if (!ctx) return nullptr;
    if (windowMinimized(ctx)) {
        qeIrrlichtOverlayReset();
        ctx->device->yield();  // a 1 ms sleep
        return nullptr;
    }
    if (!qeIrrlichtBeginScene(ctx)) {
        qeIrrlichtOverlayReset();
        return nullptr;
    }
    return ctx;
}
}  // namespace

bool qeIrrlichtSync() {
    EngineContext* ctx = beginFrame(__func__);
    if (!ctx) return false;
    if (g_stereoMode != 0)
        qeIrrlichtRenderStereoFrame(ctx, ctx->lightPrePass != 0, g_renderer);
    else if (ctx->lightPrePass && g_renderer)
        qeIrrlichtLppRender(ctx, g_renderer);
    else
        plainFrame(ctx);
    return qeIrrlichtEndScene(ctx);
}

bool qeIrrlichtSyncToTarget(video::ITexture* texture, bool clear) {
    EngineContext* ctx = beginFrame(__func__);
    if (!ctx) return false;
    ctx->driver->setRenderTarget(texture, clear, clear, video::SColor(qeIrrlichtGetBackdropColor()));
    plainFrame(ctx);
    ctx->driver->setRenderTarget(nullptr, false, false, video::SColor(0));
    return true;
}

void qeIrrlichtRenderDummy() {
    if (EngineContext* ctx = runningContext(__func__)) ctx->smgr->drawAll();
}

void qeIrrlichtSetSceneTime(int, int timeMs) { g_sceneTime = timeMs; }
int qeIrrlichtGetSceneTime() { return g_sceneTime; }
