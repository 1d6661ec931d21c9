#include "facade.h"

#include <windows.h>

#include <cmath>

#include "camera_animator.h"
#include "engine_context.h"
#include "event_receiver.h"
#include "log.h"

namespace {

irr::IrrlichtDevice* needDevice(const char* function) {
    irr::IrrlichtDevice* device = qeIrrlichtGetContext()->device;
    if (!device) qeLogError(-1, "%s: no engine is running", function);
    return device;
}

irr::video::IVideoDriver* needDriver(const char* function) {
    irr::video::IVideoDriver* driver = qeIrrlichtGetContext()->driver;
    if (!driver) qeLogError(-1, "%s: no engine is running", function);
    return driver;
}

irr::scene::ICameraSceneNode* needCamera(const char* function) {
    irr::scene::ICameraSceneNode* camera = qeIrrlichtGetContext()->camera;
    if (!camera) qeLogError(-1, "%s: no engine is running", function);
    return camera;
}

CSceneNodeAnimatorCameraQIRN* needAnimator(const char* function) {
    CSceneNodeAnimatorCameraQIRN* animator = qeIrrlichtGetContext()->cameraAnimator;
    if (!animator) qeLogError(-1, "%s: no engine is running", function);
    return animator;
}

HWND engineWindow() {
    EngineContext* ctx = qeIrrlichtGetContext();
    if (!ctx->device || !ctx->driver) return nullptr;
    return static_cast<HWND>(ctx->driver->getExposedVideoData().D3D9.HWnd);
}

int key(int code) { return qeIrrlichtGetEventReceiver()->keyState(code) ? 1 : 0; }

// The cursor in the client area of the engine window, clamped to one pixel beyond each edge.
// Only the Direct3D 9 and OpenGL drivers have a window to measure against; otherwise the last mouse
// event's position answers.
int cursorCoordinate(bool vertical) {
    const MyEventReceiver* receiver = qeIrrlichtGetEventReceiver();
    const int fallback = vertical ? receiver->mouseY() : receiver->mouseX();
    irr::video::IVideoDriver* driver = qeIrrlichtGetContext()->driver;
    if (!driver) return fallback;
    const irr::video::E_DRIVER_TYPE type = driver->getDriverType();
    HWND hwnd = nullptr;
    if (type == irr::video::EDT_DIRECT3D9)
        hwnd = static_cast<HWND>(driver->getExposedVideoData().D3D9.HWnd);
    else if (type == irr::video::EDT_OPENGL)
        hwnd = static_cast<HWND>(driver->getExposedVideoData().OpenGLWin32.HWnd);
    else
        return fallback;

    POINT p;
    RECT client;
    if (!hwnd || !GetCursorPos(&p) || !ScreenToClient(hwnd, &p) || !GetClientRect(hwnd, &client)) return fallback;
    const LONG value = vertical ? p.y : p.x;
    const LONG edge = vertical ? client.bottom : client.right;
    if (value < 0) return -1;
    if (value > edge) return edge + 1;
    return value;
}

// Under Wine a hidden window's Direct3D surface stays on the screen and covers what opens there (a
// message box): while hidden, a windowed engine window is moved off the screen, and back when shown.
HWND asideWindow = nullptr;
POINT asideFrom;

bool clockBaseTaken = false;
uint32_t clockBase = 0xFFFFFFFFu;

}  // namespace

// ---- Window and device ----

int qeIrrlichtRun() {
    irr::IrrlichtDevice* device = needDevice("qeIrrlichtRun");
    return device && device->run() ? 1 : 0;
}

void qeIrrlichtHideWindow() {
    HWND hwnd = engineWindow();
    if (!hwnd) return;
    ShowWindow(hwnd, SW_HIDE);
    RECT rect;
    if (asideWindow != hwnd && !qeIrrlichtGetContext()->device->isFullscreen() && GetWindowRect(hwnd, &rect)) {
        asideWindow = hwnd;
        asideFrom = {rect.left, rect.top};
        SetWindowPos(hwnd, nullptr, -32000, -32000, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void qeIrrlichtShowWindow() {
    HWND hwnd = engineWindow();
    if (!hwnd) return;
    if (asideWindow == hwnd)
        SetWindowPos(hwnd, nullptr, asideFrom.x, asideFrom.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    asideWindow = nullptr;
    ShowWindow(hwnd, SW_SHOWNORMAL);
}

void qeIrrlichtMaximizeWindow() {
    if (irr::IrrlichtDevice* device = needDevice("qeIrrlichtMaximizeWindow")) device->maximizeWindow();
}

void qeIrrlichtMinimizeWindow() {
    if (irr::IrrlichtDevice* device = needDevice("qeIrrlichtMinimizeWindow")) device->minimizeWindow();
}

void qeIrrlichtRestoreWindow() {
    if (irr::IrrlichtDevice* device = needDevice("qeIrrlichtRestoreWindow")) device->restoreWindow();
}

void qeSysSetWindowTopmost() {
    if (HWND hwnd = engineWindow())
        SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

int qeIrrlichtIsWindowActive() {
    irr::IrrlichtDevice* device = needDevice("qeIrrlichtIsWindowActive");
    return device && device->isWindowActive() ? 1 : 0;
}

int qeIrrlichtWindowMode() {
    irr::IrrlichtDevice* device = needDevice("qeIrrlichtWindowMode");
    return device && device->isFullscreen() ? 1 : 0;
}

int qeIrrlichtScreenWidth() {
    irr::video::IVideoDriver* driver = needDriver("qeIrrlichtScreenWidth");
    return driver ? static_cast<int>(driver->getScreenSize().Width) : 0;
}

int qeIrrlichtScreenHeight() {
    irr::video::IVideoDriver* driver = needDriver("qeIrrlichtScreenHeight");
    return driver ? static_cast<int>(driver->getScreenSize().Height) : 0;
}

int qeIrrlichtScreenDepth() {
    irr::video::IVideoDriver* driver = needDriver("qeIrrlichtScreenDepth");
    if (!driver) return 0;
    switch (static_cast<int>(driver->getColorFormat())) {
    case 0:
    case 1:
    case 11:
        return 16;
    case 2:
        return 24;
    case 13:
    case 15:
        return 64;
    default:
        return 32;
    }
}

// ---- Time ----

uint32_t qeIrrlichtTimer() {
    irr::IrrlichtDevice* device = needDevice("qeIrrlichtTimer");
    if (!device) return 0;
    const uint32_t now = device->getTimer()->getRealTime();
    if (!clockBaseTaken) {
        clockBase = now;
        clockBaseTaken = true;
    }
    return now - clockBase;
}

void qeIrrlichtSleep(int ms) {
    if (irr::IrrlichtDevice* device = needDevice("qeIrrlichtSleep")) device->sleep(ms < 0 ? 0 : ms, false);
}

// ---- Keyboard ----

int qeIrrlichtEscapeKey() { return key(27); }
int qeIrrlichtReturnKey() { return key(13); }
int qeIrrlichtSpaceKey() { return key(32); }
int qeIrrlichtShiftKey() { return key(16); }
int qeIrrlichtRightKey() { return key(39); }
int qeIrrlichtLeftKey() { return key(37); }
int qeIrrlichtDownKey() { return key(40); }
int qeIrrlichtUpKey() { return key(38); }
int qeIrrlichtMinusKey() { return key(189) || key(109) ? 1 : 0; }
int qeIrrlichtPlusKey() { return key(187) || key(107) ? 1 : 0; }
int qeIrrlichtKeyState(int code) { return key(code); }
int qeIrrlichtEscapeKeyEverPressed() { return qeIrrlichtGetEventReceiver()->escapeLatch() ? 1 : 0; }

// ---- Mouse ----

int qeIrrlichtMouseClick() {
    const MyEventReceiver* receiver = qeIrrlichtGetEventReceiver();
    return (receiver->leftButton() ? 1 : 0) | (receiver->rightButton() ? 2 : 0);
}

int qeIrrlichtMouseX() { return cursorCoordinate(false); }
int qeIrrlichtMouseY() { return cursorCoordinate(true); }
int qeIrrlichtMouseZ() { return static_cast<int>(qeIrrlichtGetEventReceiver()->wheelSum()); }

void qeIrrlichtShowMouse() {
    if (irr::IrrlichtDevice* device = needDevice("qeIrrlichtShowMouse"))
        if (device->getCursorControl()) device->getCursorControl()->setVisible(true);
}

void qeIrrlichtHideMouse() {
    if (irr::IrrlichtDevice* device = needDevice("qeIrrlichtHideMouse"))
        if (device->getCursorControl()) device->getCursorControl()->setVisible(false);
}

// ---- Joystick and external sync ----

irr::SEvent::SJoystickEvent* qeSysGetJoystickEvent(irr::SEvent::SJoystickEvent* out) {
    if (out) *out = *qeIrrlichtGetEventReceiver()->joystickState();
    return out;
}

int qeSysGetSyncFrame() { return qeIrrlichtGetEventReceiver()->syncValue(); }

// ---- Camera ----

void qeIrrlichtSetCameraRange(float nearValue, float farValue) {
    irr::scene::ICameraSceneNode* camera = needCamera("qeIrrlichtSetCameraRange");
    if (!camera) return;
    if (nearValue == farValue || std::isnan(nearValue) || std::isnan(farValue)) {
        nearValue = 0.1f;
        farValue = 1000.0f;
    }
    camera->setNearValue(nearValue);
    camera->setFarValue(farValue);
}

void qeIrrlichtSetCameraFOV(float value) {
    irr::scene::ICameraSceneNode* camera = needCamera("qeIrrlichtSetCameraFOV");
    if (!camera) return;
    // Degrees as the scripts have always given them: the factor is 3.14 / 230, kept as it is.
    camera->setFOV(static_cast<float>(static_cast<double>(value) * static_cast<double>(3.14f) / 230.0));
}

void qeIrrlichtSetCameraDOF(int on, float focalDistance, float fStop) {
    RenderSettings& r = qeIrrlichtGetContext()->render;
    r.dofOn = on;
    r.dofFocalDistance = focalDistance;
    r.dofFStop = fStop;
}

void qeIrrlichtSetCameraAdvancedDOF(int on, float minFocus, float maxFocus, float radiusScale) {
    RenderSettings& r = qeIrrlichtGetContext()->render;
    r.advancedDofOn = on;
    r.advancedDofMinFocus = minFocus;
    r.advancedDofMaxFocus = maxFocus;
    r.advancedDofRadiusScale = radiusScale;
}

void qeIrrlichtSetCameraStereo(int on, float eyeSeparation, int focusOn, float focusDistance) {
    RenderSettings& r = qeIrrlichtGetContext()->render;
    r.stereoCameraOn = on;
    r.stereoEyeSeparation = eyeSeparation;
    r.stereoFocusOn = focusOn;
    r.stereoFocusDistance = focusDistance;
}

void qeIrrlichtSetCameraMode(int mode) {
    CSceneNodeAnimatorCameraQIRN* animator = needAnimator("qeIrrlichtSetCameraMode");
    if (!animator) return;
    animator->setMode(mode == 1 ? 3 : mode == 2 ? 4 : 2);
}

void qeIrrlichtSetCameraMoveSpeed(float speed) {
    if (CSceneNodeAnimatorCameraQIRN* animator = needAnimator("qeIrrlichtSetCameraMoveSpeed"))
        animator->setMoveSpeed(speed);
}

void qeIrrlichtSetCameraJumpSpeed(float speed) {
    if (CSceneNodeAnimatorCameraQIRN* animator = needAnimator("qeIrrlichtSetCameraJumpSpeed"))
        animator->setJumpSpeed(speed);
}

void qeIrrlichtPositionCamera(float x, float y, float z) {
    if (CSceneNodeAnimatorCameraQIRN* animator = needAnimator("qeIrrlichtPositionCamera"))
        animator->setPosition(x, y, z);
}

void qeIrrlichtRotateCamera(float x, float y, float z) {
    if (CSceneNodeAnimatorCameraQIRN* animator = needAnimator("qeIrrlichtRotateCamera"))
        animator->setRotation(x, y, z);
}

void qeIrrlichtGetCameraPosition(float* x, float* y, float* z) {
    irr::core::vector3df p(0.0f, 0.0f, 0.0f);
    if (irr::scene::ICameraSceneNode* camera = needCamera("qeIrrlichtGetCameraPosition")) p = camera->getPosition();
    if (x) *x = p.X;
    if (y) *y = p.Y;
    if (z) *z = p.Z;
}

void qeIrrlichtGetCameraRotation(float* x, float* y, float* z) {
    irr::core::vector3df r(0.0f, 0.0f, 0.0f);
    if (irr::scene::ICameraSceneNode* camera = needCamera("qeIrrlichtGetCameraRotation"))
        r = (camera->getTarget() - camera->getAbsolutePosition()).getHorizontalAngle();
    if (x) *x = r.X;
    if (y) *y = r.Y;
    if (z) *z = 0.0f;
}
