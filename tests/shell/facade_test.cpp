#include "facade.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "camera_animator.h"
#include "engine_context.h"
#include "event_receiver.h"
#include "log.h"
#include "shell_fixtures.h"

namespace {

using qetest::blankEvent;

void feedKey(int code, bool down) { qeIrrlichtGetEventReceiver()->OnEvent(qetest::keyEvent(code, down)); }

void feedMouse(irr::EMOUSE_INPUT_EVENT what, int x, int y, unsigned buttons, float wheel = 0.0f) {
    qeIrrlichtGetEventReceiver()->OnEvent(qetest::mouseEvent(what, x, y, buttons, wheel));
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

TEST_F(Facade, CameraRangeFallsBackWhenEmptyOrNotANumberAndTheFieldOfViewUses314Over230) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float ranges[][4] = {{2, 500, 2, 500}, {5, 5, 0.1f, 1000}, {2, 500, 2, 500}, {nan, 10, 0.1f, 1000}};
    for (const auto& r : ranges) {
        qeIrrlichtSetCameraRange(r[0], r[1]);
        EXPECT_FLOAT_EQ(r[2], camera->getNearValue()) << r[0] << " " << r[1];
        EXPECT_FLOAT_EQ(r[3], camera->getFarValue()) << r[0] << " " << r[1];
    }
    qeIrrlichtSetCameraFOV(90.0f);
    EXPECT_FLOAT_EQ(static_cast<float>(90.0 * static_cast<double>(3.14f) / 230.0), camera->getFOV());
    qeIrrlichtSetCameraFOV(46.0f);
    EXPECT_NEAR(0.628, camera->getFOV(), 1e-5);
}

TEST_F(Facade, CameraModeAndPlacementGoToTheAnimator) {
    // Script modes 1 and 2 are the animator's free flights 3 and 4; anything else places the camera.
    for (const auto& m : {std::make_pair(1, 3), std::make_pair(2, 4), std::make_pair(7, 2), std::make_pair(0, 2)}) {
        qeIrrlichtSetCameraMode(m.first);
        EXPECT_EQ(m.second, animator->getMode()) << m.first;
    }

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
    // Each key function answers for its virtual-key codes and for no other.
    const struct {
        int (*query)();
        std::vector<int> codes;
    } keys[] = {{qeIrrlichtMinusKey, {189, 109}}, {qeIrrlichtPlusKey, {107, 187}}, {qeIrrlichtReturnKey, {13}},
                {qeIrrlichtUpKey, {38}},          {qeIrrlichtDownKey, {40}},       {qeIrrlichtEscapeKey, {27}},
                {qeIrrlichtSpaceKey, {32}},       {qeIrrlichtLeftKey, {37}},       {qeIrrlichtRightKey, {39}}};
    for (const auto& k : keys) {
        for (int code : {13, 27, 32, 37, 38, 39, 40, 107, 109, 187, 189}) {
            feedKey(code, true);
            const bool mine = std::find(k.codes.begin(), k.codes.end(), code) != k.codes.end();
            EXPECT_EQ(mine ? 1 : 0, k.query()) << "key " << code;
            EXPECT_EQ(1, qeIrrlichtKeyState(code));
            feedKey(code, false);
            EXPECT_EQ(0, k.query()) << "key " << code;
        }
    }
    EXPECT_EQ(0, qeIrrlichtKeyState(-5));
    EXPECT_EQ(0, qeIrrlichtKeyState(255));
    EXPECT_EQ(1, qeIrrlichtEscapeKeyEverPressed());

    // The null driver has no window: the position is the last mouse event's.
    feedMouse(irr::EMIE_RMOUSE_PRESSED_DOWN, 123, 45, 2);
    EXPECT_EQ(2, qeIrrlichtMouseClick());
    EXPECT_EQ(123, qeIrrlichtMouseX());
    EXPECT_EQ(45, qeIrrlichtMouseY());
    feedMouse(irr::EMIE_RMOUSE_LEFT_UP, 0, 0, 0);
    ASSERT_EQ(0.0f, qeIrrlichtGetEventReceiver()->wheelSum());
    for (int i = 0; i < 3; ++i) feedMouse(irr::EMIE_MOUSE_WHEEL, 0, 0, 0, 0.5f);
    EXPECT_EQ(1, qeIrrlichtMouseZ());
    feedMouse(irr::EMIE_MOUSE_WHEEL, 0, 0, 0, -2.0f);
    EXPECT_EQ(0, qeIrrlichtMouseZ()) << "-0.5 truncates toward zero";

    irr::SEvent joy = blankEvent(irr::EET_JOYSTICK_INPUT_EVENT);
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

    qeIrrlichtGetEventReceiver()->OnEvent(qetest::userEvent(0x7000, 77));
    EXPECT_EQ(77, qeSysGetSyncFrame());
}

TEST_F(Facade, WithoutAnEngineEveryForwarderReportsAndAnswersNeutrally) {
    const RenderSettings kept = ctx->render;
    *ctx = EngineContext{};

    const struct {
        const char* name;
        int (*query)();
    } queries[] = {{"qeIrrlichtRun", qeIrrlichtRun},
                   {"qeIrrlichtScreenWidth", qeIrrlichtScreenWidth},
                   {"qeIrrlichtScreenHeight", qeIrrlichtScreenHeight},
                   {"qeIrrlichtScreenDepth", qeIrrlichtScreenDepth},
                   {"qeIrrlichtIsWindowActive", qeIrrlichtIsWindowActive},
                   {"qeIrrlichtWindowMode", qeIrrlichtWindowMode}};
    for (const auto& q : queries) {
        EXPECT_EQ(0, q.query()) << q.name;
        EXPECT_EQ(std::string(q.name) + ": no engine is running", lastError());
    }
    const struct {
        const char* name;
        std::function<void()> op;
    } ops[] = {{"qeIrrlichtMaximizeWindow", qeIrrlichtMaximizeWindow},
               {"qeIrrlichtMinimizeWindow", qeIrrlichtMinimizeWindow},
               {"qeIrrlichtRestoreWindow", qeIrrlichtRestoreWindow},
               {"qeIrrlichtShowMouse", qeIrrlichtShowMouse},
               {"qeIrrlichtHideMouse", qeIrrlichtHideMouse},
               {"qeIrrlichtSleep", [] { qeIrrlichtSleep(1); }},
               {"qeIrrlichtSetCameraRange", [] { qeIrrlichtSetCameraRange(1.0f, 2.0f); }},
               {"qeIrrlichtSetCameraFOV", [] { qeIrrlichtSetCameraFOV(60.0f); }},
               {"qeIrrlichtSetCameraMode", [] { qeIrrlichtSetCameraMode(1); }},
               {"qeIrrlichtSetCameraMoveSpeed", [] { qeIrrlichtSetCameraMoveSpeed(1.0f); }},
               {"qeIrrlichtSetCameraJumpSpeed", [] { qeIrrlichtSetCameraJumpSpeed(1.0f); }},
               {"qeIrrlichtPositionCamera", [] { qeIrrlichtPositionCamera(1.0f, 2.0f, 3.0f); }},
               {"qeIrrlichtRotateCamera", [] { qeIrrlichtRotateCamera(1.0f, 2.0f, 3.0f); }}};
    for (const auto& o : ops) {
        o.op();
        EXPECT_EQ(std::string(o.name) + ": no engine is running", lastError());
    }
    for (auto get : {qeIrrlichtGetCameraPosition, qeIrrlichtGetCameraRotation}) {
        float v[3] = {9.0f, 9.0f, 9.0f};
        get(&v[0], &v[1], &v[2]);
        EXPECT_NE("", lastError());
        EXPECT_EQ(0.0f, v[0] + v[1] + v[2]);
    }

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
