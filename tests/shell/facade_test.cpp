#include "facade.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "camera_animator.h"
#include "engine_context.h"
#include "event_receiver.h"
#include "log.h"

namespace {

irr::SEvent blank(irr::EEVENT_TYPE type) {
    irr::SEvent e;
    std::memset(&e, 0, sizeof(e));
    e.EventType = type;
    return e;
}

void feedKey(int code, bool down) {
    irr::SEvent e = blank(irr::EET_KEY_INPUT_EVENT);
    e.KeyInput.Key = static_cast<irr::EKEY_CODE>(code);
    e.KeyInput.PressedDown = down;
    qeIrrlichtGetEventReceiver()->OnEvent(e);
}

void feedMouse(irr::EMOUSE_INPUT_EVENT what, int x, int y, unsigned buttons, float wheel = 0.0f) {
    irr::SEvent e = blank(irr::EET_MOUSE_INPUT_EVENT);
    e.MouseInput.Event = what;
    e.MouseInput.X = x;
    e.MouseInput.Y = y;
    e.MouseInput.ButtonStates = buttons;
    e.MouseInput.Wheel = wheel;
    qeIrrlichtGetEventReceiver()->OnEvent(e);
}

std::string lastError() {
    const char* text = qeLogGetLastError(nullptr);
    std::string result = text ? text : "";
    qeLogClearLastError();
    return result;
}

// An engine record filled by hand: the null device with a camera carrying the free-camera animator.
struct NullEngine : testing::Test {
    EngineContext* ctx = qeIrrlichtGetContext();
    irr::IrrlichtDevice* device = nullptr;
    irr::scene::ICameraSceneNode* camera = nullptr;
    CSceneNodeAnimatorCameraQIRN* animator = nullptr;

    NullEngine() {
        *ctx = EngineContext{};
        device = irr::createDevice(irr::video::EDT_NULL);
        ctx->device = device;
        ctx->driver = device->getVideoDriver();
        ctx->smgr = device->getSceneManager();
        camera = ctx->smgr->addCameraSceneNode();
        animator = new CSceneNodeAnimatorCameraQIRN(device, nullptr, 100.0f, 0.01f, 0.0f, nullptr, 0, false, false);
        camera->addAnimator(animator);
        animator->drop();
        animator->setMode(2);
        ctx->camera = camera;
        ctx->cameraAnimator = animator;
        ctx->ready = 1;
        qeLogSetLevel(QE_LOG_NONE);
        qeLogClearLastError();
    }
    ~NullEngine() override {
        *ctx = EngineContext{};
        device->drop();
        qeLogSetLevel(QE_LOG_INFO);
        qeLogClearLastError();
    }
};

using Facade = NullEngine;

TEST_F(Facade, TimerStartsAtZeroOnFirstUseAndCountsFromThere) {
    // Without an engine the clock answers 0 and its base is not taken.
    ctx->device = nullptr;
    EXPECT_EQ(0u, qeIrrlichtTimer());
    EXPECT_EQ("qeIrrlichtTimer: no engine is running", lastError());
    ctx->device = device;

    qeIrrlichtSleep(60);  // time passes before the first use
    EXPECT_EQ(0u, qeIrrlichtTimer());
    qeIrrlichtSleep(50);
    const uint32_t later = qeIrrlichtTimer();
    EXPECT_GE(later, 40u);
    EXPECT_LT(later, 2000u);
    EXPECT_EQ("", lastError());
}

TEST_F(Facade, CameraRangeFallsBackWhenEmptyOrNotANumber) {
    qeIrrlichtSetCameraRange(2.0f, 500.0f);
    EXPECT_FLOAT_EQ(2.0f, camera->getNearValue());
    EXPECT_FLOAT_EQ(500.0f, camera->getFarValue());
    qeIrrlichtSetCameraRange(5.0f, 5.0f);
    EXPECT_FLOAT_EQ(0.1f, camera->getNearValue());
    EXPECT_FLOAT_EQ(1000.0f, camera->getFarValue());
    qeIrrlichtSetCameraRange(2.0f, 500.0f);
    qeIrrlichtSetCameraRange(std::numeric_limits<float>::quiet_NaN(), 10.0f);
    EXPECT_FLOAT_EQ(0.1f, camera->getNearValue());
    EXPECT_FLOAT_EQ(1000.0f, camera->getFarValue());
}

TEST_F(Facade, FieldOfViewUsesTheFactor314Over230) {
    qeIrrlichtSetCameraFOV(90.0f);
    EXPECT_NEAR(1.2287, camera->getFOV(), 1e-4);
    EXPECT_FLOAT_EQ(static_cast<float>(90.0 * static_cast<double>(3.14f) / 230.0), camera->getFOV());
    qeIrrlichtSetCameraFOV(46.0f);
    EXPECT_NEAR(0.628, camera->getFOV(), 1e-5);
}

TEST_F(Facade, CameraSettersStoreIntoRenderSettings) {
    qeIrrlichtSetCameraDOF(1, 12.5f, 2.8f);
    qeIrrlichtSetCameraAdvancedDOF(3, 1.0f, 40.0f, 0.75f);
    qeIrrlichtSetCameraStereo(1, 0.065f, 2, 7.5f);
    const RenderSettings& r = ctx->render;
    EXPECT_EQ(1, r.dofOn);
    EXPECT_FLOAT_EQ(12.5f, r.dofFocalDistance);
    EXPECT_FLOAT_EQ(2.8f, r.dofFStop);
    EXPECT_EQ(3, r.advancedDofOn);
    EXPECT_FLOAT_EQ(1.0f, r.advancedDofMinFocus);
    EXPECT_FLOAT_EQ(40.0f, r.advancedDofMaxFocus);
    EXPECT_FLOAT_EQ(0.75f, r.advancedDofRadiusScale);
    EXPECT_EQ(1, r.stereoCameraOn);
    EXPECT_FLOAT_EQ(0.065f, r.stereoEyeSeparation);
    EXPECT_EQ(2, r.stereoFocusOn);
    EXPECT_FLOAT_EQ(7.5f, r.stereoFocusDistance);
    // Neighbouring fields are left alone.
    EXPECT_EQ(0, r.glowOn);
    EXPECT_EQ(0.0f, r.glowRadius);
    EXPECT_EQ(0, r.streakOn);
    EXPECT_EQ(0.0f, r.shadowEpsilon);
}

TEST_F(Facade, CameraModeSpeedsAndPlacementGoToTheAnimator) {
    qeIrrlichtSetCameraMode(1);
    EXPECT_EQ(3, animator->getMode());
    qeIrrlichtSetCameraMode(2);
    EXPECT_EQ(4, animator->getMode());
    qeIrrlichtSetCameraMode(7);
    EXPECT_EQ(2, animator->getMode());
    qeIrrlichtSetCameraMode(0);
    EXPECT_EQ(2, animator->getMode());

    qeIrrlichtSetCameraMoveSpeed(0.5f);
    qeIrrlichtSetCameraJumpSpeed(3.0f);
    EXPECT_FLOAT_EQ(0.5f, animator->getMoveSpeed());
    EXPECT_FLOAT_EQ(3.0f, animator->getJumpSpeed());

    // Placement acts at the camera's next animation step and reads back through the getters.
    qeIrrlichtPositionCamera(1.0f, 2.0f, 3.0f);
    qeIrrlichtRotateCamera(10.0f, 30.0f, 0.0f);
    camera->OnAnimate(1000);
    float x, y, z;
    qeIrrlichtGetCameraPosition(&x, &y, &z);
    EXPECT_FLOAT_EQ(1.0f, x);
    EXPECT_FLOAT_EQ(2.0f, y);
    EXPECT_FLOAT_EQ(3.0f, z);
    qeIrrlichtGetCameraRotation(&x, &y, &z);
    EXPECT_NEAR(10.0f, x, 1e-3);
    EXPECT_NEAR(30.0f, y, 1e-3);
    EXPECT_EQ(0.0f, z);
}

TEST_F(Facade, ScreenValuesComeFromTheDriver) {
    EXPECT_EQ(640, qeIrrlichtScreenWidth());
    EXPECT_EQ(480, qeIrrlichtScreenHeight());
    EXPECT_EQ(16, qeIrrlichtScreenDepth());  // the null driver reports R5G6B5
    EXPECT_EQ(0, qeIrrlichtWindowMode());
    EXPECT_EQ(1, qeIrrlichtRun());
    EXPECT_EQ("", lastError());
}

TEST_F(Facade, InputFunctionsReadTheEngineReceiver) {
    feedKey(189, true);
    EXPECT_EQ(1, qeIrrlichtMinusKey());
    feedKey(189, false);
    feedKey(109, true);
    EXPECT_EQ(1, qeIrrlichtMinusKey());
    feedKey(109, false);
    EXPECT_EQ(0, qeIrrlichtMinusKey());
    feedKey(107, true);
    EXPECT_EQ(1, qeIrrlichtPlusKey());
    feedKey(107, false);
    feedKey(187, true);
    EXPECT_EQ(1, qeIrrlichtPlusKey());
    feedKey(187, false);
    EXPECT_EQ(0, qeIrrlichtPlusKey());

    feedKey(13, true);
    feedKey(38, true);
    EXPECT_EQ(1, qeIrrlichtReturnKey());
    EXPECT_EQ(1, qeIrrlichtUpKey());
    EXPECT_EQ(0, qeIrrlichtDownKey());
    EXPECT_EQ(1, qeIrrlichtKeyState(38));
    EXPECT_EQ(0, qeIrrlichtKeyState(-5));
    EXPECT_EQ(0, qeIrrlichtKeyState(255));
    feedKey(13, false);
    feedKey(38, false);

    feedKey(27, true);
    EXPECT_EQ(1, qeIrrlichtEscapeKey());
    feedKey(27, false);
    EXPECT_EQ(0, qeIrrlichtEscapeKey());
    EXPECT_EQ(1, qeIrrlichtEscapeKeyEverPressed());

    // The null driver has no window: the position is the last mouse event's.
    feedMouse(irr::EMIE_RMOUSE_PRESSED_DOWN, 123, 45, 2);
    EXPECT_EQ(2, qeIrrlichtMouseClick());
    EXPECT_EQ(123, qeIrrlichtMouseX());
    EXPECT_EQ(45, qeIrrlichtMouseY());
    feedMouse(irr::EMIE_RMOUSE_LEFT_UP, 0, 0, 0);
    const float before = qeIrrlichtGetEventReceiver()->wheelSum();
    ASSERT_EQ(0.0f, before);
    feedMouse(irr::EMIE_MOUSE_WHEEL, 0, 0, 0, 0.5f);
    feedMouse(irr::EMIE_MOUSE_WHEEL, 0, 0, 0, 0.5f);
    feedMouse(irr::EMIE_MOUSE_WHEEL, 0, 0, 0, 0.5f);
    EXPECT_EQ(1, qeIrrlichtMouseZ());
    feedMouse(irr::EMIE_MOUSE_WHEEL, 0, 0, 0, -2.0f);
    EXPECT_EQ(0, qeIrrlichtMouseZ()) << "-0.5 truncates toward zero";

    irr::SEvent joy = blank(irr::EET_JOYSTICK_INPUT_EVENT);
    joy.JoystickEvent.ButtonStates = 5;
    joy.JoystickEvent.Axis[2] = 300;
    joy.JoystickEvent.POV = 18000;
    qeIrrlichtGetEventReceiver()->OnEvent(joy);
    irr::SEvent::SJoystickEvent out;
    std::memset(&out, 0xAB, sizeof(out));
    EXPECT_EQ(&out, qeSysGetJoystickEvent(&out));
    EXPECT_EQ(5u, out.ButtonStates);
    EXPECT_EQ(300, out.Axis[2]);
    EXPECT_EQ(0, out.Axis[0]);
    EXPECT_EQ(18000, out.POV);
    EXPECT_EQ(nullptr, qeSysGetJoystickEvent(nullptr));

    irr::SEvent user = blank(irr::EET_USER_EVENT);
    user.UserEvent.UserData1 = 0x7000;
    user.UserEvent.UserData2 = 77;
    qeIrrlichtGetEventReceiver()->OnEvent(user);
    EXPECT_EQ(77, qeSysGetSyncFrame());
}

TEST_F(Facade, WithoutAnEngineEveryForwarderReportsAndAnswersNeutrally) {
    const RenderSettings kept = ctx->render;
    *ctx = EngineContext{};

    EXPECT_EQ(0, qeIrrlichtRun());
    EXPECT_EQ("qeIrrlichtRun: no engine is running", lastError());
    EXPECT_EQ(0, qeIrrlichtScreenWidth());
    EXPECT_EQ("qeIrrlichtScreenWidth: no engine is running", lastError());
    EXPECT_EQ(0, qeIrrlichtScreenHeight());
    EXPECT_NE("", lastError());
    EXPECT_EQ(0, qeIrrlichtScreenDepth());
    EXPECT_NE("", lastError());
    EXPECT_EQ(0, qeIrrlichtIsWindowActive());
    EXPECT_NE("", lastError());
    EXPECT_EQ(0, qeIrrlichtWindowMode());
    EXPECT_NE("", lastError());

    void (*devicesOps[])() = {qeIrrlichtMaximizeWindow, qeIrrlichtMinimizeWindow, qeIrrlichtRestoreWindow,
                              qeIrrlichtShowMouse, qeIrrlichtHideMouse};
    for (auto op : devicesOps) {
        op();
        EXPECT_NE("", lastError());
    }
    qeIrrlichtSleep(1);
    EXPECT_EQ("qeIrrlichtSleep: no engine is running", lastError());

    qeIrrlichtSetCameraRange(1.0f, 2.0f);
    EXPECT_EQ("qeIrrlichtSetCameraRange: no engine is running", lastError());
    qeIrrlichtSetCameraFOV(60.0f);
    EXPECT_NE("", lastError());
    qeIrrlichtSetCameraMode(1);
    EXPECT_EQ("qeIrrlichtSetCameraMode: no engine is running", lastError());
    qeIrrlichtSetCameraMoveSpeed(1.0f);
    EXPECT_NE("", lastError());
    qeIrrlichtSetCameraJumpSpeed(1.0f);
    EXPECT_NE("", lastError());
    qeIrrlichtPositionCamera(1.0f, 2.0f, 3.0f);
    EXPECT_NE("", lastError());
    qeIrrlichtRotateCamera(1.0f, 2.0f, 3.0f);
    EXPECT_NE("", lastError());
    float x = 9.0f, y = 9.0f, z = 9.0f;
    qeIrrlichtGetCameraPosition(&x, &y, &z);
    EXPECT_NE("", lastError());
    EXPECT_EQ(0.0f, x);
    EXPECT_EQ(0.0f, y);
    EXPECT_EQ(0.0f, z);
    x = y = z = 9.0f;
    qeIrrlichtGetCameraRotation(&x, &y, &z);
    EXPECT_NE("", lastError());
    EXPECT_EQ(0.0f, x);
    EXPECT_EQ(0.0f, y);
    EXPECT_EQ(0.0f, z);

    // Window show and hide stay silent without a window; the render-setting stores need no engine.
    qeIrrlichtShowWindow();
    qeIrrlichtHideWindow();
    qeSysSetWindowTopmost();
    qeIrrlichtSetCameraDOF(1, 2.0f, 3.0f);
    EXPECT_EQ("", lastError());
    EXPECT_EQ(1, ctx->render.dofOn);
    ctx->render = kept;
}

}  // namespace
