#include "engine.h"

#include <irrlicht.h>
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "camera_animator.h"
#include "event_receiver.h"
#include "facade.h"
#include "fxemitter.h"
#include "frame.h"
#include "log.h"
#include "music.h"
#include "overlay.h"
#include "sys.h"
#include "sysfile.h"

using namespace irr;

namespace {
uint8_t g_running = 0;
uint32_t g_backdrop = 0xFF224488;
char g_startupError[1024];

constexpr int kMaxModuleResets = 64;
struct ModuleResets {
    QeModuleReset hooks[2][kMaxModuleResets];
    int count[2];
};
ModuleResets g_resets;

void freeTables(EngineContext* ctx) {
    IdTable** tables[] = {&ctx->images, &ctx->objects, &ctx->lights, &ctx->fxEmitters, &ctx->cameraEffects,
                          &ctx->effects};
    for (IdTable** table : tables) {
        qeIdTableDestroy(*table);
        *table = nullptr;
    }
}
}  // namespace

void qeDeviceSettingsClear(DeviceSettings* s) {
    s->baseDirectory = nullptr;
    s->cameraNear = 0.1f;
    s->cameraFar = 1000.0f;
    int32_t* values = &s->width;
    for (int i = 0; i < 13; ++i) values[i] = -1;
}

void qeSysSetStartupError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(g_startupError, sizeof(g_startupError), format, args);
    va_end(args);
}

const char* qeSysGetStartupError() { return g_startupError; }

void qeIrrlichtColorBackdrop(uint32_t colour) { g_backdrop = colour; }
uint32_t qeIrrlichtGetBackdropColor() { return g_backdrop; }

int qeIrrlichtIsSetup() { return g_running; }

void qeSysSetWindowIcon(video::IVideoDriver* driver) {
    if (!driver) return;
    HWND hwnd = static_cast<HWND>(driver->getExposedVideoData().D3D9.HWnd);
    if (!hwnd) return;
    HICON icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(104), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    if (icon) SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void qeSysPlaceWindow(void* window, int x, int y) {
    HWND hwnd = static_cast<HWND>(window);
    RECT rect;
    if (!hwnd || (x == -1 && y == -1) || !GetWindowRect(hwnd, &rect)) return;
    SetWindowPos(hwnd, nullptr, x == -1 ? rect.left : x, y == -1 ? rect.top : y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int qeIrrlichtCreateDevice(int x, int y, int width, int height, int bits, bool fullscreen, bool vsync,
                           bool antialias, bool lightPrePass, int stereo) {
    EngineContext* ctx = qeIrrlichtGetContext();
    std::memset(ctx, 0, sizeof(*ctx));
    ctx->antialias = antialias ? 1 : 0;
    ctx->stereoMode = stereo;
    ctx->lightPrePass = lightPrePass ? 1 : 0;
    ctx->width = width;
    ctx->height = height;
    ctx->bits = bits;
    ctx->ready = 0;

    int driverType = video::EDT_DIRECT3D9;
    bool stencil = true;
    int multisample = antialias ? 4 : 0;
    if (qeIrrlichtBeforeCreateDevice(ctx, &driverType, &stencil, &multisample) != 0) {
        qeSysSetStartupError("%s", qeSysGetFormatError());
        return 1;
    }

    SIrrlichtCreationParameters params;
    params.DriverType = static_cast<video::E_DRIVER_TYPE>(driverType);
    params.WindowSize = core::dimension2d<u32>(width, height);
    params.Bits = static_cast<u8>(bits);
    params.Fullscreen = fullscreen;
    params.Stencilbuffer = stencil;
    params.Vsync = vsync;
    params.AntiAlias = static_cast<u8>(multisample);
    params.EventReceiver = qeIrrlichtGetEventReceiver();
    params.LoggingLevel = static_cast<ELOG_LEVEL>(qeLogGetLevel());
    // Direct3D 9 would otherwise put the x87 unit in single precision for good: our maths is SSE2, but the
    // C runtime's number text (printf, strtod: scripts, ini values, shader header numbers) runs on x87.
    params.HighPrecisionFPU = true;
    ctx->device = createDeviceEx(params);
    if (!ctx->device) {
        qeSysSetStartupError("fails to createDevice");
        return 1;
    }
    qeSysSetWindowIcon(ctx->device->getVideoDriver());
    if (!fullscreen && ctx->device->getVideoDriver())
        qeSysPlaceWindow(ctx->device->getVideoDriver()->getExposedVideoData().D3D9.HWnd, x, y);
    ctx->device->setWindowCaption(L"Qirn");

    ctx->driver = ctx->device->getVideoDriver();
    if (!ctx->driver) {
        qeSysSetStartupError("fails to getVideoDriver");
        return 1;
    }
    qeSysSetupFileSystem();
    ctx->driver->setTextureCreationFlag(video::ETCF_ALWAYS_32_BIT, true);

    ctx->smgr = ctx->device->getSceneManager();
    if (!ctx->smgr) {
        qeSysSetStartupError("fails to getSceneManager");
        return 1;
    }
    ctx->gui = ctx->device->getGUIEnvironment();
    if (!ctx->gui) {
        qeSysSetStartupError("fails to getGUIEnvironment");
        return 1;
    }
    ctx->font = ctx->gui->getBuiltInFont();

    ctx->camera = ctx->smgr->addCameraSceneNode(nullptr, core::vector3df(0, 0, 0), core::vector3df(0, 0, 100), -1, true);
    if (!ctx->camera) {
        qeSysSetStartupError("fails to create camera");
        return 1;
    }
    CSceneNodeAnimatorCameraQIRN* animator = new CSceneNodeAnimatorCameraQIRN(
        ctx->device, ctx->device->getCursorControl(), 100.0f, 0.01f, 0.0f, nullptr, 0, false, false);
    if (animator) {
        ctx->cameraAnimator = animator;
        ctx->camera->addAnimator(animator);
        animator->drop();
        animator->setMode(2);
    }

    ctx->smgr->getParameters()->setAttribute(scene::ALLOW_ZWRITE_ON_TRANSPARENT, true);
    ctx->driver->setFog(video::SColor(0x008A517D), video::EFT_FOG_LINEAR, 2000.0f, 12000.0f, 0.003f, true, false);

    qeIrrlichtOverlayReset();

    if (qeIrrlichtStartRenderSystem(ctx) != 0) {
        qeSysSetStartupError("%s", qeSysGetFormatError());
        return 1;
    }
    if (qeIrrlichtFxEmitterInit() != 0) {
        qeSysSetStartupError("fails to init fx emitter");
        return 1;
    }

    struct TableSpec {
        IdTable** table;
        int capacity;
        const char* error;
    } tables[] = {
        {&ctx->images, QE_MAX_IMAGES, "fails to create image list"},
        {&ctx->objects, QE_MAX_OBJECTS, "fails to create object list"},
        {&ctx->lights, QE_MAX_LIGHTS, "fails to create light list"},
        {&ctx->fxEmitters, QE_MAX_FX_EMITTERS, "fails to create fxemitter list"},
        {&ctx->cameraEffects, QE_MAX_CAMERA_EFFECTS, "fails to create camera shader list"},
        {&ctx->effects, QE_MAX_EFFECTS, "fails to create effect list"},
    };
    for (const TableSpec& spec : tables) {
        *spec.table = qeIdTableCreate(spec.capacity);
        if (!*spec.table) {
            qeSysSetStartupError("%s", spec.error);
            return 1;
        }
    }
    ctx->ready = 1;
    return 0;
}

int qeIrrlichtRegisterModuleReset(QeModuleReset reset, QeStopPhase phase) {
    if (!reset || (phase != QE_STOP_BEFORE_DROP && phase != QE_STOP_AFTER_DROP)) return -1;
    for (int i = 0; i < g_resets.count[phase]; ++i)
        if (g_resets.hooks[phase][i] == reset) return 0;
    if (g_resets.count[phase] == kMaxModuleResets) {
        qeLogPrint(QE_LOG_ERROR, "qeIrrlichtRegisterModuleReset: too many module resets");
        return -1;
    }
    g_resets.hooks[phase][g_resets.count[phase]++] = reset;
    return 0;
}

void qeIrrlichtRunModuleResets(QeStopPhase phase) {
    for (int i = g_resets.count[phase] - 1; i >= 0; --i) g_resets.hooks[phase][i]();
}

int qeIrrlichtDestroyDevice() {
    EngineContext* ctx = qeIrrlichtGetContext();
    qeIrrlichtRunModuleResets(QE_STOP_BEFORE_DROP);
    qeIrrlichtStopRenderSystem(ctx);
    if (ctx->device) {
        ctx->device->closeDevice();
        ctx->device->run();
        ctx->device->drop();
    }
    qeIrrlichtRunModuleResets(QE_STOP_AFTER_DROP);
    freeTables(ctx);
    // Nothing may reach the dropped device through the record: a call after stop is refused, not a crash.
    std::memset(ctx, 0, sizeof(*ctx));
    return 0;
}

int qeIrrlichtSetup(const DeviceSettings* s) {
    if (g_running) {
        qeIrrlichtMusicTerm();
        qeIrrlichtDestroyDevice();
        g_running = 0;
    }
    if (s->baseDirectory) qeSysSetBaseDir(s->baseDirectory);

    const int width = s->width == -1 ? 640 : s->width;
    const int height = s->height == -1 ? 480 : s->height;
    const int bits = s->bits == -1 ? 32 : s->bits;
    const bool fullscreen = s->windowed == 0;
    const bool vsync = s->vsync != 0;
    const bool lightPrePass = s->lightPrePass != 0;
    const bool antialias = s->antialias != -1 && s->antialias != 0;
    const int stereo = s->stereo == -1 ? 0 : s->stereo;

    if (qeIrrlichtCreateDevice(s->windowX, s->windowY, width, height, bits, fullscreen, vsync, antialias,
                               lightPrePass, stereo) != 0) {
        // A failed start leaves nothing behind: the next start begins from a clean record.
        qeIrrlichtDestroyDevice();
        qeLogErrorBox(-1, "Setup failed: %s", g_startupError);
        return -1;
    }
    qeIrrlichtColorBackdrop(0);
    EngineContext* ctx = qeIrrlichtGetContext();
    if (s->hideMouse != -1 && s->hideMouse != 0) ctx->device->getCursorControl()->setVisible(false);
    qeIrrlichtSetCameraRange(s->cameraNear, s->cameraFar);
    if (qeIrrlichtMusicInit() != 0) {
        qeLogErrorBox(-1, "Failed to setup music replay");
        qeIrrlichtDestroyDevice();
        return -1;
    }
    g_running = 1;
    return 0;
}

int qeIrrlichtTerm() {
    if (g_running) {
        qeIrrlichtMusicTerm();
        qeIrrlichtDestroyDevice();
        g_running = 0;
    }
    return 0;
}

int qeSysShutdown() { return qeIrrlichtTerm() == 0 ? 0 : -1; }
