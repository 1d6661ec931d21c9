#ifndef QIRN_SHELL_FACADE_H
#define QIRN_SHELL_FACADE_H

#include <irrlicht.h>

#include <cstdint>

// The window, time, input and camera facade over the engine record's device. The script commands of
// the same names call these one to one; the run modes use them for their loops.
// Functions that need the device, driver, camera or camera animator report "<function>: no engine is
// running" through qeLogError when it is missing and return 0 (or do nothing).

// Window and device.
int qeIrrlichtRun();
void qeIrrlichtHideWindow();
void qeIrrlichtShowWindow();
void qeIrrlichtMaximizeWindow();
void qeIrrlichtMinimizeWindow();
void qeIrrlichtRestoreWindow();
void qeSysSetWindowTopmost();
int qeIrrlichtIsWindowActive();
int qeIrrlichtWindowMode();
int qeIrrlichtScreenWidth();
int qeIrrlichtScreenHeight();
int qeIrrlichtScreenDepth();

// Time.
uint32_t qeIrrlichtTimer();
void qeIrrlichtSleep(int ms);

// Keyboard: 1 while the key is down, else 0.
int qeIrrlichtEscapeKey();
int qeIrrlichtReturnKey();
int qeIrrlichtSpaceKey();
int qeIrrlichtShiftKey();
int qeIrrlichtRightKey();
int qeIrrlichtLeftKey();
int qeIrrlichtDownKey();
int qeIrrlichtUpKey();
int qeIrrlichtMinusKey();
int qeIrrlichtPlusKey();
int qeIrrlichtKeyState(int code);  // 0..254; any other code answers 0
int qeIrrlichtEscapeKeyEverPressed();

// Mouse.
int qeIrrlichtMouseClick();  // bit 0 left, bit 1 right
int qeIrrlichtMouseX();
int qeIrrlichtMouseY();
int qeIrrlichtMouseZ();  // wheel sum, truncated toward zero
void qeIrrlichtShowMouse();
void qeIrrlichtHideMouse();

// Joystick and external sync.
irr::SEvent::SJoystickEvent* qeSysGetJoystickEvent(irr::SEvent::SJoystickEvent* out);
int qeSysGetSyncFrame();

// Camera.
void qeIrrlichtSetCameraRange(float nearValue, float farValue);
void qeIrrlichtSetCameraFOV(float value);
void qeIrrlichtSetCameraDOF(int on, float focalDistance, float fStop);
void qeIrrlichtSetCameraAdvancedDOF(int on, float minFocus, float maxFocus, float radiusScale);
void qeIrrlichtSetCameraStereo(int on, float eyeSeparation, int focusOn, float focusDistance);
void qeIrrlichtSetCameraMode(int mode);
void qeIrrlichtSetCameraMoveSpeed(float speed);
void qeIrrlichtSetCameraJumpSpeed(float speed);
void qeIrrlichtPositionCamera(float x, float y, float z);
void qeIrrlichtRotateCamera(float x, float y, float z);
void qeIrrlichtGetCameraPosition(float* x, float* y, float* z);
void qeIrrlichtGetCameraRotation(float* x, float* y, float* z);

#endif
