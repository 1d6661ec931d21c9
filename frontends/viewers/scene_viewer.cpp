// The scene viewer: one scene in slot 1, played with its music, paused, stepped and looped from the
// keyboard, flown through with the ride camera, and reloaded when the exporter rewrites its file. The
// same entry converts a scene and exits (the "-binary" tool form, which starts no engine).
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "collision.h"
#include "draw2d.h"
#include "engine.h"
#include "engine_context.h"
#include "facade.h"
#include "frame.h"
#include "frontends.h"
#include "launch.h"
#include "loading_screen.h"
#include "music.h"
#include "scene_access.h"
#include "scene_slots.h"
#include "sys.h"
#include "sysfile.h"
#include "viewer_controls.h"
#include "viewers.h"

namespace {

enum { kSlot = 1, kMusic = 1, kWatch = 0, kLayoutIcon = 115, kPathSize = 256 };
enum { RIDE_COLLISION = 1, RIDE_COLLISION_VALUES = 2, RIDE_MOUSE_LOOK = 4 };

const char kFailedReloadRead[] = "UPDATE SCENE FAILED: cannot read qirn scene file. Try export again.";
const char kFailedReloadOther[] = "UPDATE SCENE FAILED: the scene has changed too much. Restart the engine.";

// What outlives one run.
struct ViewerModule {
    bool mouseShown = true;
    bool rightLatch = false;
    int idleCount = 0;
    int fpsCount = 0;
    uint32_t lastFps = 0;
    char fpsText[64] = "";
};
ViewerModule g_viewer;

class EngineMusic : public ViewerMusic {
public:
    int position() override { return qeIrrlichtGetMusicPosition(kMusic); }
    int length() override { return qeIrrlichtGetMusicLength(kMusic); }
    void setPosition(int ms) override { qeIrrlichtSetMusicPosition(kMusic, ms); }
    void pause() override { qeIrrlichtPauseMusic(kMusic); }
    void resume() override { qeIrrlichtResumeMusic(kMusic); }
    void play() override { qeIrrlichtPlayMusic(kMusic); }
};

// A bounded copy; false when the text does not fit.
bool copyText(char* out, const char* text) {
    const size_t n = std::strlen(text);
    if (n >= kPathSize) return false;
    std::memcpy(out, text, n + 1);
    return true;
}

const char* kBinaryFilter = "Qirn Scene (lws.ini)\0*.lws.ini\0All\0*.*\0";

void saveBinary(int flags, const char* name, int (*save)(const char* path, void* datum), void* datum) {
    if (!(flags & QE_LAUNCH_WRITE_BINARY) || std::strstr(name, "ini.bin")) return;
    char path[kPathSize + 8];
    std::snprintf(path, sizeof(path), "%s.bin", name);
    if (save(path, datum) != 0) qeSysMessageBox("Failed to save scene to binary %s", path);
}

// The tool form without an engine: read the scene and write its binary form, nothing else.
int convertWithoutEngine(int flags, const char* name) {
    SceneHandle* handle = qeSceneFileOpen(name);
    if (!handle) {
        qeSysMessageBox("Failed to load scene");
        return -1;
    }
    saveBinary(
        flags, name,
        [](const char* path, void* h) { return qeSceneFileSaveBinary(static_cast<SceneHandle*>(h), path); }, handle);
    qeSceneFileClose(handle);
    return 0;
}

// Music 1 from "../music" or "../data" beside the scene's folder; true when it loaded.
bool loadMusic() {
    const char* music = qeSceneGetMusic(kSlot);
    if (!music) return false;
    char name[kPathSize];
    if (!copyText(name, qeSysPathFilename(music, 0))) return false;
    static const char* const kFolders[] = {"../music", "../data"};
    for (const char* folder : kFolders) {
        char path[2 * kPathSize];
        std::snprintf(path, sizeof(path), "%s/%s.mp3", folder, name);
        if (!qeSysFileExist(path)) continue;
        qeIrrlichtLoadMusic(path, kMusic);
        if (qeIrrlichtMusicExist(kMusic)) {
            qeSysDebugPrint("Loaded Music %s\n", path);
            return true;
        }
        qeSysMessageBox("Fail to load music %s", path);
        return false;
    }
    qeSysMessageBox("Fail to find %s.mp3 in ../music or ../data", name);
    return false;
}

void rideCollisionOn(int rideOptions) {
    if (!(rideOptions & RIDE_COLLISION)) return;
    const bool values = (rideOptions & RIDE_COLLISION_VALUES) != 0;
    qeIrrlichtAutomaticCameraCollisionOn(0.2f, values ? 0.05f : 0.0f, values ? 0.6f : 0.0f);
}

void rideOn(int rideOptions) {
    if (rideOptions & RIDE_MOUSE_LOOK) {
        qeViewerHideMouse();
        qeIrrlichtSetCameraMode(1);
    } else {
        qeIrrlichtSetCameraMode(2);
    }
}

void rideOff(int rideOptions) {
    if ((rideOptions & RIDE_MOUSE_LOOK) && !g_viewer.mouseShown) {
        qeIrrlichtShowMouse();
        g_viewer.mouseShown = true;
    }
    if (rideOptions & RIDE_COLLISION) qeIrrlichtAutomaticCameraCollisionOff();
    qeIrrlichtSetCameraMode(0);
}

float halfTurn(float degrees) { return degrees > 180.0f ? degrees - 360.0f : degrees; }

void drawOverlay(const ViewerClock& c, uint32_t now, bool riding, int rideOptions, int rideSpeed) {
    const int t = c.t;
    qeIrrlichtInk(0);
    qeIrrlichtInkAlpha(20);
    qeIrrlichtBox(0, 0, 180, 30);
    qeIrrlichtInk(0xFFFFFF);
    qeIrrlichtInkAlpha(255);
    qeIrrlichtText(0, 0, "Frame=%4.2f time=%dmn%dsec%d millisec=%d", c.firstFrame + c.fps * t / 1000.0,
                   t / 1000 / 60, t / 1000 % 60, t / 100 % 600 % 10, t);
    if (++g_viewer.fpsCount >= 30) {
        if (qeViewerFpsText(g_viewer.fpsText, sizeof(g_viewer.fpsText), now - g_viewer.lastFps)) {
            g_viewer.fpsCount = 0;
            g_viewer.lastFps = now;
        }
    }
    qeIrrlichtText(0, 15, "%s", g_viewer.fpsText);
    if (!riding) return;
    qeIrrlichtText(105, 15, "%s %dcm/s", (rideOptions & RIDE_MOUSE_LOOK) ? "Ride FPS" : "Ride", rideSpeed);
    qeIrrlichtInk(0);
    qeIrrlichtInkAlpha(20);
    qeIrrlichtBox(0, 30, 80, 60);
    qeIrrlichtInk(0xFFFFFF);
    qeIrrlichtInkAlpha(255);
    float x, y, z, pitch, heading, bank;
    qeIrrlichtGetCameraPosition(&x, &y, &z);
    qeIrrlichtGetCameraRotation(&pitch, &heading, &bank);
    qeIrrlichtText(0, 30, "X %.3f", x);
    qeIrrlichtText(0, 40, "Y %.3f", y);
    qeIrrlichtText(0, 50, "Z %.3f", z);
    qeIrrlichtText(40, 30, "H %.1f", halfTurn(heading));
    qeIrrlichtText(40, 40, "P %.1f", halfTurn(pitch));
    qeIrrlichtText(40, 50, "B %.1f", 0.0);
}

}  // namespace

int qeViewerLoadProgress(int percent, void* datum) {
    if (datum) qeIrrlichtLoadingScreenUpdate(percent);
    return 0;
}

void qeViewerHideMouse() {
    if (!g_viewer.mouseShown) return;
    qeIrrlichtHideMouse();
    g_viewer.mouseShown = false;
}

BOOL CALLBACK qeViewerFindLayoutWindow(HWND window, LPARAM datum) {
    char title[81] = "";
    GetWindowTextA(window, title, sizeof(title));
    if (std::strstr(title, "LightWave") && std::strstr(title, "NewTek") && std::strstr(title, "Layout") &&
        !std::strstr(title, ".exe")) {
        *reinterpret_cast<HWND*>(datum) = window;
        return FALSE;
    }
    return TRUE;
}

int qeViewerAttachToLayoutWindow() {
    irr::video::IVideoDriver* driver = qeIrrlichtGetContext()->driver;
    if (!driver) return -1;
    HWND engine = static_cast<HWND>(driver->getExposedVideoData().D3D9.HWnd);
    HWND layout = nullptr;
    EnumWindows(qeViewerFindLayoutWindow, reinterpret_cast<LPARAM>(&layout));
    if (!engine || !layout) return -1;
    SetWindowLongA(engine, GWL_HWNDPARENT, LONG(reinterpret_cast<LONG_PTR>(layout)));
    SetWindowLongA(engine, GWL_STYLE, GetWindowLongA(engine, GWL_STYLE) | WS_MINIMIZEBOX);
    HANDLE icon = LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kLayoutIcon), IMAGE_ICON,
                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0);
    if (icon) SendMessageA(engine, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    return 0;
}

int qeViewerRunScene(const char* file, LaunchOptions* options) {
    const int flags = options->flags;
    const bool convertOnly = (flags & QE_LAUNCH_WRITE_BINARY) && (flags & QE_LAUNCH_EXIT_AFTER_CONVERT);
    if (convertOnly && !file) {
        file = qeSysFileRequester("Open Qirn scene for binary convert", kBinaryFilter);
        if (!file) return -1;
    }
    char name[kPathSize], folder[kPathSize];
    if (!file || !copyText(name, qeSysPathFilename(file, 1)) || !copyText(folder, qeSysPathPath(file))) {
        qeSysMessageBox("Failed to load scene");
        return -1;
    }
    if (convertOnly && !qeIrrlichtIsSetup()) {
        qeSysSetDir(folder);
        return convertWithoutEngine(flags, name);
    }
    const bool hotReload = (flags & QE_LAUNCH_HOT_RELOAD) != 0;
    if (hotReload && !qeIrrlichtWindowMode() && qeViewerAttachToLayoutWindow() != 0) qeSysSetWindowTopmost();

    static int loadingDatum;
    qeSceneSetProgressCallback(qeViewerLoadProgress, &loadingDatum);
    qeSysSetDir(folder);
    qeSceneSetLoadVerbose(1);
    const int loaded = qeSceneLoad(name, kSlot, 1, 0, 0, 0, 0, folder, 0);
    qeSceneSetProgressCallback(nullptr, nullptr);
    if (loaded == 1) {  // the user stopped it: no message
        qeSceneUnload(kSlot);
        return -1;
    }
    if (loaded != 0) {
        qeSysMessageBox("Failed to load scene");
        return -1;
    }
    saveBinary(flags, name, [](const char* path, void*) { return qeSceneSaveBinary(kSlot, path); }, nullptr);
    if (flags & QE_LAUNCH_EXIT_AFTER_CONVERT) {
        qeSceneUnload(kSlot);
        return 0;
    }

    EngineMusic music;
    ViewerClock clock;
    clock.duration = qeSceneGetDuration(kSlot);
    clock.firstFrame = qeSceneGetFirstFrame(kSlot);
    clock.fps = qeSceneGetFps(kSlot);
    if (flags & QE_LAUNCH_MUSIC) {
        clock.musicOffset = qeSceneGetMusicOffset(kSlot);
        clock.music = loadMusic();
    }
    int lastSyncFrame = 0;
    if (hotReload) {
        qeSysFileWatchCreate(name, kWatch);
        lastSyncFrame = qeSysGetSyncFrame();
    }
    qeSceneShow(kSlot);
    qeViewerClockStart(&clock, &music, qeIrrlichtTimer(), (flags & QE_LAUNCH_START_FRAME) != 0, options->startFrame,
                       (flags & QE_LAUNCH_PAUSED) != 0);

    const int rideOptions = options->rideOptions;
    bool riding = (flags & QE_LAUNCH_RIDE) != 0;
    if (riding) {
        qeSceneUpdate(kSlot, clock.t);
        qeIrrlichtRenderDummy();
        rideOn(rideOptions);
    }
    if (rideOptions & RIDE_COLLISION) {
        const int objects = qeSceneGetObjectCount(kSlot);
        for (int id = 1; id <= objects; ++id) qeIrrlichtSetObjectCollisionOn(id);
        qeIrrlichtSetCameraJumpSpeed(0.05f);
        if (riding) rideCollisionOn(rideOptions);
    }
    int rideSpeed = options->rideSpeed ? options->rideSpeed : 1000;
    qeIrrlichtSetCameraMoveSpeed(rideSpeed * 0.00001f);

    bool dirty = true;
    int reloadResult = 0;
    int32_t lastPausedTime = -1;
    while (qeIrrlichtRun() && !qeIrrlichtEscapeKeyEverPressed()) {
        const uint32_t now = qeIrrlichtTimer();
        if (hotReload) {
            if (qeSysFileWatchChanged(kWatch)) {
                if (qeSysFileWatchWait(kWatch, 3000) != 0) {
                    qeSysDebugPrint("ERROR : UPDATE SCENE FAILED; Cannot read file\n");
                    reloadResult = -1;
                } else {
                    qeSysDebugPrint("Update Scene...\n");
                    reloadResult = qeSceneReload(name, kSlot);
                    if (reloadResult != 0) {
                        qeSysDebugPrint("ERROR : UPDATE SCENE FAILED\n");
                    } else {
                        if (flags & QE_LAUNCH_MUSIC) clock.musicOffset = qeSceneGetMusicOffset(kSlot);
                        clock.duration = qeSceneGetDuration(kSlot);
                        clock.firstFrame = qeSceneGetFirstFrame(kSlot);
                        clock.fps = qeSceneGetFps(kSlot);
                        dirty = true;
                    }
                }
                qeSysFileWatchReset(kWatch);
            }
            const int frame = qeSysGetSyncFrame();
            if (frame != lastSyncFrame) {
                qeViewerClockSyncFrame(&clock, &music, now, frame);
                lastSyncFrame = frame;
                dirty = true;
            }
        }
        if (qeViewerIdlePass(&g_viewer.idleCount, dirty, clock.paused, qeIrrlichtIsWindowActive() != 0,
                             (flags & QE_LAUNCH_NO_IDLE_INACTIVE) != 0)) {
            qeIrrlichtSleep(10);
            continue;
        }

        ViewerKeys keys;
        keys.enter = qeIrrlichtReturnKey() != 0;
        keys.space = qeIrrlichtSpaceKey() != 0;
        keys.shift = qeIrrlichtShiftKey() != 0;
        keys.forward = (!riding && qeIrrlichtRightKey()) || qeIrrlichtPlusKey();
        keys.backward = (!riding && qeIrrlichtLeftKey()) || qeIrrlichtMinusKey();
        qeViewerClockPass(&clock, &music, now, keys);

        if (riding) {
            const int speed = qeViewerRideSpeed(rideSpeed, qeIrrlichtKeyState(49) != 0, qeIrrlichtKeyState(50) != 0);
            if (speed != rideSpeed) {
                rideSpeed = speed;
                qeIrrlichtSetCameraMoveSpeed(rideSpeed * 0.00001f);
            }
        }
        const bool right = (qeIrrlichtMouseClick() & 2) != 0;
        if (right && !g_viewer.rightLatch) {
            riding = !riding;
            if (riding) {
                rideOn(rideOptions);
                rideCollisionOn(rideOptions);
            } else {
                rideOff(rideOptions);
            }
        }
        g_viewer.rightLatch = right;
        if (riding && (rideOptions & RIDE_MOUSE_LOOK)) {
            const int look = qeViewerMouseLook(qeIrrlichtIsWindowActive() != 0, g_viewer.mouseShown);
            if (look < 0) qeViewerHideMouse();
            if (look > 0) {
                qeIrrlichtShowMouse();
                g_viewer.mouseShown = true;
            }
        }

        if (!clock.paused || clock.pausedTime != lastPausedTime || dirty) {
            qeSceneUpdate(kSlot, clock.t);
            dirty = false;
        }
        lastPausedTime = clock.pausedTime;
        if (reloadResult != 0)
            qeIrrlichtText(0, 30, "%s", reloadResult == -1 ? kFailedReloadRead : kFailedReloadOther);
        drawOverlay(clock, now, riding, rideOptions, rideSpeed);
        qeIrrlichtSync();
    }

    if (clock.music) {
        qeIrrlichtStopMusic(kMusic);
        qeIrrlichtDeleteMusic(kMusic);
    }
    if (hotReload) qeSysFileWatchTerm();  // the viewer's watch goes with it
    qeSceneUnload(kSlot);
    qeIrrlichtSync();
    qeIrrlichtSync();
    return 0;
}
