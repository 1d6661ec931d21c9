#include "event_receiver.h"

#include <gtest/gtest.h>

#include "engine_context.h"
#include "shell_fixtures.h"

namespace {

using qetest::blankEvent;
using qetest::mouseEvent;
using qetest::userEvent;

irr::SEvent key(int code, bool down, bool shift = false) { return qetest::keyEvent(code, down, shift); }

struct ReceiverTest : testing::Test {
    MyEventReceiver receiver;
    ReceiverTest() { qeIrrlichtGetContext()->ready = 1; }
    ~ReceiverTest() override { qeIrrlichtGetContext()->ready = 0; }
};

TEST_F(ReceiverTest, EventsAreIgnoredUntilTheEngineIsReadyAndNeverConsumed) {
    qeIrrlichtGetContext()->ready = 0;
    EXPECT_FALSE(receiver.OnEvent(key(65, true, true)));
    EXPECT_FALSE(receiver.OnEvent(key(27, true)));
    EXPECT_FALSE(receiver.OnEvent(mouseEvent(irr::EMIE_LMOUSE_PRESSED_DOWN, 5, 6, 1, 2.0f)));
    EXPECT_FALSE(receiver.OnEvent(userEvent(0x7000, 42)));
    EXPECT_EQ(0, receiver.keyState(65) + receiver.keyState(16) + receiver.escapeLatch() + receiver.mouseX() +
                     receiver.leftButton() + receiver.syncValue());

    qeIrrlichtGetContext()->ready = 1;
    EXPECT_FALSE(receiver.OnEvent(key(65, true)));
    EXPECT_EQ(1, receiver.keyState(65));
    // Only the sync user event (0x7000) carries a frame.
    EXPECT_FALSE(receiver.OnEvent(userEvent(0x7001, 5)));
    EXPECT_EQ(0, receiver.syncValue());
    EXPECT_FALSE(receiver.OnEvent(userEvent(0x7000, 42)));
    EXPECT_EQ(42, receiver.syncValue());
}

TEST_F(ReceiverTest, KeyTableShiftModifierAndEscapeLatch) {
    receiver.OnEvent(key(65, true, true));
    EXPECT_EQ(1, receiver.keyState(65));
    EXPECT_EQ(1, receiver.keyState(16)) << "Shift comes from the modifier of any key event";
    receiver.OnEvent(key(65, false, false));
    EXPECT_EQ(0, receiver.keyState(65));
    EXPECT_EQ(0, receiver.keyState(16));

    receiver.OnEvent(key(27, true));
    EXPECT_EQ(1, receiver.escapeLatch());
    receiver.OnEvent(key(27, false));
    EXPECT_EQ(0, receiver.keyState(27));
    EXPECT_EQ(1, receiver.escapeLatch()) << "the latch is never cleared";
    receiver.OnEvent(key(254, true));
    EXPECT_EQ(1, receiver.keyState(254));
}

TEST_F(ReceiverTest, KeyCodesOutsideTheTableAreNeitherWrittenNorRead) {
    // Code 255 would land just past the table, on the Escape latch.
    receiver.OnEvent(key(255, true));
    receiver.OnEvent(key(0x1FF, true));
    EXPECT_EQ(0, receiver.escapeLatch());
    EXPECT_EQ(0, receiver.keyState(255));
    EXPECT_EQ(0, receiver.keyState(-1));
    EXPECT_EQ(0, receiver.keyState(100000));
    for (int code = 0; code < 255; ++code) EXPECT_EQ(0, receiver.keyState(code)) << code;
}

TEST_F(ReceiverTest, MouseButtonsPositionWheelSumAndJoystickZero) {
    receiver.OnEvent(mouseEvent(irr::EMIE_LMOUSE_PRESSED_DOWN, 10, 20, 1));
    EXPECT_EQ(1, receiver.leftButton());
    EXPECT_EQ(0, receiver.rightButton());
    EXPECT_EQ(10, receiver.mouseX());
    EXPECT_EQ(20, receiver.mouseY());
    receiver.OnEvent(mouseEvent(irr::EMIE_LMOUSE_LEFT_UP, 12, 22, 2 | 4));
    EXPECT_EQ(0, receiver.leftButton());
    EXPECT_EQ(1, receiver.rightButton());
    // Only wheel events add to the sum; every mouse event moves the position.
    receiver.OnEvent(mouseEvent(irr::EMIE_MOUSE_MOVED, 30, 40, 0, 9.0f));
    for (int i = 1; i <= 3; ++i) receiver.OnEvent(mouseEvent(irr::EMIE_MOUSE_WHEEL, 30 + i, 40 + i, 0, 0.5f));
    EXPECT_FLOAT_EQ(1.5f, receiver.wheelSum());
    EXPECT_EQ(33, receiver.mouseX());
    EXPECT_EQ(43, receiver.mouseY());
    EXPECT_EQ(0, receiver.rightButton());

    // Joystick 0 is copied whole; other joysticks are ignored.
    irr::SEvent e = blankEvent(irr::EET_JOYSTICK_INPUT_EVENT);
    e.JoystickEvent.ButtonStates = 0x81;
    for (int i = 0; i < 6; ++i) e.JoystickEvent.Axis[i] = static_cast<irr::s16>(-1000 * (i + 1));
    e.JoystickEvent.POV = 9000;
    receiver.OnEvent(e);
    e.JoystickEvent.Joystick = 1;
    e.JoystickEvent.ButtonStates = 0xFFFF;
    e.JoystickEvent.POV = 1;
    receiver.OnEvent(e);
    const irr::SEvent::SJoystickEvent* state = receiver.joystickState();
    EXPECT_EQ(0x81u, state->ButtonStates);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(-1000 * (i + 1), state->Axis[i]);
    EXPECT_EQ(9000, state->POV);
    EXPECT_EQ(0, state->Joystick);
}

}  // namespace
