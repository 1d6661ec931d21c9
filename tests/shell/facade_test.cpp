#include "facade.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "camera_animator.h"
#include "engine_context.h"
#include "event_receiver.h"
#include "log.h"
#include "shell_fixtures.h"

namespace {

void feed(const irr::SEvent& e) { qeIrrlichtGetEventReceiver()->OnEvent(e); }

std::string lastError() {
    const char* text = qeLogGetLastError(nullptr);
    std::string result = text ? text : "";
    qeLogClearLastError();
    return result;
}

// An engine record filled by hand: the null device with a camera carrying the free-camera animator.
struct Facade : testing::Test {
    EngineContext* ctx = qeIrrlichtGetContext();
    irr::IrrlichtDevice* device = nullptr;
    irr::scene::ICameraSceneNode* camera = nullptr;
    CSceneNodeAnimatorCameraQIRN* animator = nullptr;

    Facade() {
        *ctx = EngineContext{};
        device = irr::createDevice(irr::video::EDT_NULL);
        ctx->device = device;
        ctx->driver = device->getVideoDriver();
        ctx->smgr = device->getSceneManager();
        camera = ctx->smgr->addCameraSceneNode();
        animator = new CSceneNodeAnimatorCameraQIRN(device, nullptr, 100.0f, 0.01f, 0.0f, nullptr, 0, false, false);
        camera->addAnimator(animator);
        animator->drop();
        ctx->camera = camera;
        ctx->cameraAnimator = animator;
        ctx->ready = 1;
        qeLogSetLevel(QE_LOG_NONE);
        qeLogClearLastError();
    }
    ~Facade() override {
        *ctx = EngineContext{};
        device->drop();
        qeLogSetLevel(QE_LOG_INFO);
        qeLogClearLastError();
    }
};

TEST_F(Facade, TimerCameraRangeFallbacksFieldOfViewAndModes) {
    ctx->device = nullptr;  // without an engine the clock answers 0 and its base is not taken
    EXPECT_EQ(0u, qeIrrlichtTimer());
    ctx->device = device;
    qeIrrlichtSleep(60);
    EXPECT_EQ(0u, qeIrrlichtTimer());  // it starts at the first use
    qeIrrlichtSleep(50);
    EXPECT_GE(qeIrrlichtTimer(), 40u);

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float ranges[][4] = {{2, 500, 2, 500}, {5, 5, 0.1f, 1000}, {nan, 10, 0.1f, 1000}};
    for (const auto& r : ranges) {
        qeIrrlichtSetCameraRange(r[0], r[1]);
        EXPECT_FLOAT_EQ(r[2], camera->getNearValue()) << r[0] << " " << r[1];
        EXPECT_FLOAT_EQ(r[3], camera->getFarValue()) << r[0] << " " << r[1];
    }
    qeIrrlichtSetCameraFOV(46.0f);  // degrees times 3.14 / 230
    EXPECT_NEAR(0.628, camera->getFOV(), 1e-5);
    // Script modes 1 and 2 are the animator's free flights 3 and 4; anything else places the camera.
    for (const auto& m : {std::make_pair(1, 3), std::make_pair(2, 4), std::make_pair(7, 2)}) {
        qeIrrlichtSetCameraMode(m.first);
        EXPECT_EQ(m.second, animator->getMode()) << m.first;
    }
}

TEST_F(Facade, InputFunctionsReadTheEngineReceiver) {
    const struct {
        int (*query)();
        int code, other;
    } keys[] = {{qeIrrlichtMinusKey, 189, 187}, {qeIrrlichtMinusKey, 109, 107}, {qeIrrlichtPlusKey, 107, 109},
                {qeIrrlichtPlusKey, 187, 189},  {qeIrrlichtEscapeKey, 27, 13}};
    for (const auto& k : keys) {
        feed(qetest::keyEvent(k.other, true));
        feed(qetest::keyEvent(k.code, true));
        EXPECT_EQ(1, k.query()) << k.code;
        feed(qetest::keyEvent(k.code, false));
        EXPECT_EQ(0, k.query()) << k.other;
        feed(qetest::keyEvent(k.other, false));
    }
    EXPECT_EQ(0, qeIrrlichtKeyState(255));
    EXPECT_EQ(1, qeIrrlichtEscapeKeyEverPressed());

    // The null driver has no window: the position is the last mouse event's.
    feed(qetest::mouseEvent(irr::EMIE_RMOUSE_PRESSED_DOWN, 123, 45, 2));
    EXPECT_EQ(123, qeIrrlichtMouseX());
    EXPECT_EQ(2, qeIrrlichtMouseClick());
    for (int i = 0; i < 3; ++i) feed(qetest::mouseEvent(irr::EMIE_MOUSE_WHEEL, 0, 0, 0, 0.5f));
    EXPECT_EQ(1, qeIrrlichtMouseZ());
    feed(qetest::mouseEvent(irr::EMIE_MOUSE_WHEEL, 0, 0, 0, -2.0f));
    EXPECT_EQ(0, qeIrrlichtMouseZ()) << "-0.5 truncates toward zero";

    irr::SEvent joy = qetest::blankEvent(irr::EET_JOYSTICK_INPUT_EVENT);
    joy.JoystickEvent.POV = 18000;
    feed(joy);
    joy.JoystickEvent.Joystick = 1;  // only joystick 0 is kept
    joy.JoystickEvent.POV = 1;
    feed(joy);
    irr::SEvent::SJoystickEvent out;
    std::memset(&out, 0xAB, sizeof(out));
    EXPECT_EQ(&out, qeSysGetJoystickEvent(&out));
    EXPECT_EQ(18000, out.POV);
    EXPECT_EQ(nullptr, qeSysGetJoystickEvent(nullptr));
}

TEST_F(Facade, WithoutAnEngineForwardersReportAndAnswerNeutrally) {
    const RenderSettings kept = ctx->render;
    *ctx = EngineContext{};
    EXPECT_EQ(0, qeIrrlichtScreenWidth());
    EXPECT_EQ("qeIrrlichtScreenWidth: no engine is running", lastError());
    qeIrrlichtSleep(1);
    EXPECT_EQ("qeIrrlichtSleep: no engine is running", lastError());
    float v[3] = {9.0f, 9.0f, 9.0f};
    qeIrrlichtGetCameraRotation(&v[0], &v[1], &v[2]);
    EXPECT_EQ("qeIrrlichtGetCameraRotation: no engine is running", lastError());
    EXPECT_EQ(0.0f, v[0] + v[1] + v[2]);

    // Window show and hide stay silent without a window; the render-setting stores need no engine.
    qeIrrlichtShowWindow();
    qeIrrlichtSetCameraDOF(1, 2.0f, 3.0f);
    EXPECT_EQ("", lastError());
    EXPECT_EQ(1, ctx->render.dofOn);
    ctx->render = kept;
}

struct ReceiverTest : testing::Test {
    MyEventReceiver receiver;
    ReceiverTest() { qeIrrlichtGetContext()->ready = 1; }
    ~ReceiverTest() override { qeIrrlichtGetContext()->ready = 0; }
};

TEST_F(ReceiverTest, KeysShiftEscapeLatchAndSyncOnlyOnceReady) {
    qeIrrlichtGetContext()->ready = 0;
    EXPECT_FALSE(receiver.OnEvent(qetest::keyEvent(65, true, true)));
    EXPECT_FALSE(receiver.OnEvent(qetest::userEvent(0x7000, 42)));
    EXPECT_EQ(0, receiver.keyState(65) + receiver.keyState(16) + receiver.syncValue());

    qeIrrlichtGetContext()->ready = 1;
    EXPECT_FALSE(receiver.OnEvent(qetest::keyEvent(65, true, true)));  // never consumed
    EXPECT_EQ(1, receiver.keyState(65));
    EXPECT_EQ(1, receiver.keyState(16)) << "Shift comes from the modifier of any key event";
    receiver.OnEvent(qetest::keyEvent(65, false));
    EXPECT_EQ(0, receiver.keyState(16));
    receiver.OnEvent(qetest::keyEvent(27, true));
    receiver.OnEvent(qetest::keyEvent(27, false));
    EXPECT_EQ(1, receiver.escapeLatch()) << "the latch is never cleared";
    receiver.OnEvent(qetest::userEvent(0x7001, 5));
    EXPECT_EQ(0, receiver.syncValue());
    receiver.OnEvent(qetest::userEvent(0x7000, 42));
    EXPECT_EQ(42, receiver.syncValue());
}

TEST_F(ReceiverTest, KeyCodesOutsideTheTableAreNeitherWrittenNorRead) {
    // Code 255 would land just past the table, on the Escape latch.
    receiver.OnEvent(qetest::keyEvent(255, true));
    receiver.OnEvent(qetest::keyEvent(0x1FF, true));
    EXPECT_EQ(0, receiver.escapeLatch());
    EXPECT_EQ(0, receiver.keyState(255) + receiver.keyState(-1) + receiver.keyState(100000));
    receiver.OnEvent(qetest::keyEvent(254, true));
    EXPECT_EQ(1, receiver.keyState(254));
}

}  // namespace
