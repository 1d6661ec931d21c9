#include "event_receiver.h"

#include <gtest/gtest.h>

#include "engine_context.h"
#include "shell_fixtures.h"

namespace {

using qetest::keyEvent;
using qetest::mouseEvent;
using qetest::userEvent;

struct ReceiverTest : testing::Test {
    MyEventReceiver receiver;
    ReceiverTest() { qeIrrlichtGetContext()->ready = 1; }
    ~ReceiverTest() override { qeIrrlichtGetContext()->ready = 0; }
};

TEST_F(ReceiverTest, KeysShiftEscapeLatchAndSyncOnlyOnceReady) {
    qeIrrlichtGetContext()->ready = 0;
    EXPECT_FALSE(receiver.OnEvent(keyEvent(65, true, true)));
    EXPECT_FALSE(receiver.OnEvent(userEvent(0x7000, 42)));
    EXPECT_EQ(0, receiver.keyState(65) + receiver.keyState(16) + receiver.syncValue());

    qeIrrlichtGetContext()->ready = 1;
    EXPECT_FALSE(receiver.OnEvent(keyEvent(65, true, true)));  // never consumed
    EXPECT_EQ(1, receiver.keyState(65));
    EXPECT_EQ(1, receiver.keyState(16)) << "Shift comes from the modifier of any key event";
    receiver.OnEvent(keyEvent(65, false));
    EXPECT_EQ(0, receiver.keyState(16));
    receiver.OnEvent(keyEvent(27, true));
    receiver.OnEvent(keyEvent(27, false));
    EXPECT_EQ(1, receiver.escapeLatch()) << "the latch is never cleared";
    receiver.OnEvent(userEvent(0x7001, 5));
    EXPECT_EQ(0, receiver.syncValue());
    receiver.OnEvent(userEvent(0x7000, 42));
    EXPECT_EQ(42, receiver.syncValue());
}

TEST_F(ReceiverTest, KeyCodesOutsideTheTableAreNeitherWrittenNorRead) {
    // Code 255 would land just past the table, on the Escape latch.
    receiver.OnEvent(keyEvent(255, true));
    receiver.OnEvent(keyEvent(0x1FF, true));
    EXPECT_EQ(0, receiver.escapeLatch());
    EXPECT_EQ(0, receiver.keyState(255) + receiver.keyState(-1) + receiver.keyState(100000));
    receiver.OnEvent(keyEvent(254, true));
    EXPECT_EQ(1, receiver.keyState(254));
}

TEST_F(ReceiverTest, MouseWheelSumAndJoystickZero) {
    receiver.OnEvent(mouseEvent(irr::EMIE_LMOUSE_LEFT_UP, 12, 22, 2 | 4));
    EXPECT_EQ(0, receiver.leftButton());
    EXPECT_EQ(1, receiver.rightButton());
    // Only wheel events add to the sum; every mouse event moves the position.
    receiver.OnEvent(mouseEvent(irr::EMIE_MOUSE_MOVED, 30, 40, 0, 9.0f));
    for (int i = 1; i <= 3; ++i) receiver.OnEvent(mouseEvent(irr::EMIE_MOUSE_WHEEL, 30 + i, 40 + i, 0, 0.5f));
    EXPECT_FLOAT_EQ(1.5f, receiver.wheelSum());
    EXPECT_EQ(33, receiver.mouseX());
    EXPECT_EQ(43, receiver.mouseY());

    irr::SEvent e = qetest::blankEvent(irr::EET_JOYSTICK_INPUT_EVENT);
    e.JoystickEvent.Axis[5] = -6000;
    e.JoystickEvent.POV = 9000;
    receiver.OnEvent(e);
    e.JoystickEvent.Joystick = 1;  // other joysticks are ignored
    e.JoystickEvent.POV = 1;
    receiver.OnEvent(e);
    EXPECT_EQ(-6000, receiver.joystickState()->Axis[5]);
    EXPECT_EQ(9000, receiver.joystickState()->POV);
}

}  // namespace
