#include "event_receiver.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine_context.h"

namespace {

irr::SEvent blank(irr::EEVENT_TYPE type) {
    irr::SEvent e;
    std::memset(&e, 0, sizeof(e));
    e.EventType = type;
    return e;
}

irr::SEvent key(int code, bool down, bool shift = false) {
    irr::SEvent e = blank(irr::EET_KEY_INPUT_EVENT);
    e.KeyInput.Key = static_cast<irr::EKEY_CODE>(code);
    e.KeyInput.PressedDown = down;
    e.KeyInput.Shift = shift;
    return e;
}

irr::SEvent mouse(irr::EMOUSE_INPUT_EVENT what, int x, int y, unsigned buttons, float wheel = 0.0f) {
    irr::SEvent e = blank(irr::EET_MOUSE_INPUT_EVENT);
    e.MouseInput.Event = what;
    e.MouseInput.X = x;
    e.MouseInput.Y = y;
    e.MouseInput.ButtonStates = buttons;
    e.MouseInput.Wheel = wheel;
    return e;
}

struct ReceiverTest : testing::Test {
    MyEventReceiver receiver;
    ReceiverTest() { qeIrrlichtGetContext()->ready = 1; }
    ~ReceiverTest() override { qeIrrlichtGetContext()->ready = 0; }
};

TEST_F(ReceiverTest, EventsAreIgnoredUntilTheEngineIsReadyAndNeverConsumed) {
    qeIrrlichtGetContext()->ready = 0;
    EXPECT_FALSE(receiver.OnEvent(key(65, true, true)));
    EXPECT_FALSE(receiver.OnEvent(key(27, true)));
    EXPECT_FALSE(receiver.OnEvent(mouse(irr::EMIE_MOUSE_WHEEL, 5, 6, 3, 2.0f)));
    irr::SEvent user = blank(irr::EET_USER_EVENT);
    user.UserEvent.UserData1 = 0x7000;
    user.UserEvent.UserData2 = 42;
    EXPECT_FALSE(receiver.OnEvent(user));
    EXPECT_EQ(0, receiver.keyState(65));
    EXPECT_EQ(0, receiver.keyState(16));
    EXPECT_EQ(0, receiver.escapeLatch());
    EXPECT_EQ(0, receiver.mouseX());
    EXPECT_EQ(0.0f, receiver.wheelSum());
    EXPECT_EQ(0, receiver.leftButton());
    EXPECT_EQ(0, receiver.syncValue());

    qeIrrlichtGetContext()->ready = 1;
    EXPECT_FALSE(receiver.OnEvent(key(65, true)));
    EXPECT_FALSE(receiver.OnEvent(user));
    EXPECT_EQ(1, receiver.keyState(65));
    EXPECT_EQ(42, receiver.syncValue());
}

TEST_F(ReceiverTest, KeyTableShiftModifierAndEscapeLatch) {
    receiver.OnEvent(key(65, true, true));
    EXPECT_EQ(1, receiver.keyState(65));
    EXPECT_EQ(1, receiver.keyState(16)) << "Shift comes from the modifier of any key event";
    receiver.OnEvent(key(65, false, false));
    EXPECT_EQ(0, receiver.keyState(65));
    EXPECT_EQ(0, receiver.keyState(16));

    EXPECT_EQ(0, receiver.escapeLatch());
    receiver.OnEvent(key(27, true));
    EXPECT_EQ(1, receiver.keyState(27));
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

TEST_F(ReceiverTest, MouseButtonsPositionAndWheelSum) {
    receiver.OnEvent(mouse(irr::EMIE_LMOUSE_PRESSED_DOWN, 10, 20, 1));
    EXPECT_EQ(1, receiver.leftButton());
    EXPECT_EQ(0, receiver.rightButton());
    EXPECT_EQ(10, receiver.mouseX());
    EXPECT_EQ(20, receiver.mouseY());
    receiver.OnEvent(mouse(irr::EMIE_RMOUSE_PRESSED_DOWN, 11, 21, 3));
    EXPECT_EQ(1, receiver.leftButton());
    EXPECT_EQ(1, receiver.rightButton());
    receiver.OnEvent(mouse(irr::EMIE_LMOUSE_LEFT_UP, 12, 22, 2 | 4));
    EXPECT_EQ(0, receiver.leftButton());
    EXPECT_EQ(1, receiver.rightButton());

    // Only wheel events add to the sum; every mouse event moves the position.
    receiver.OnEvent(mouse(irr::EMIE_MOUSE_MOVED, 30, 40, 0, 9.0f));
    receiver.OnEvent(mouse(irr::EMIE_MOUSE_WHEEL, 31, 41, 0, 0.5f));
    receiver.OnEvent(mouse(irr::EMIE_MOUSE_WHEEL, 32, 42, 0, 0.5f));
    receiver.OnEvent(mouse(irr::EMIE_MOUSE_WHEEL, 33, 43, 0, 0.5f));
    EXPECT_FLOAT_EQ(1.5f, receiver.wheelSum());
    EXPECT_EQ(33, receiver.mouseX());
    EXPECT_EQ(43, receiver.mouseY());
    EXPECT_EQ(0, receiver.leftButton());
    EXPECT_EQ(0, receiver.rightButton());
}

TEST_F(ReceiverTest, JoystickZeroIsCopiedOthersIgnored) {
    const irr::SEvent::SJoystickEvent* state = receiver.joystickState();
    EXPECT_EQ(0u, state->ButtonStates);
    EXPECT_EQ(0, state->POV);

    irr::SEvent e = blank(irr::EET_JOYSTICK_INPUT_EVENT);
    e.JoystickEvent.ButtonStates = 0x81;
    for (int i = 0; i < 6; ++i) e.JoystickEvent.Axis[i] = static_cast<irr::s16>(-1000 * (i + 1));
    e.JoystickEvent.POV = 9000;
    e.JoystickEvent.Joystick = 0;
    receiver.OnEvent(e);

    irr::SEvent other = e;
    other.JoystickEvent.Joystick = 1;
    other.JoystickEvent.ButtonStates = 0xFFFF;
    other.JoystickEvent.POV = 1;
    receiver.OnEvent(other);

    EXPECT_EQ(0x81u, state->ButtonStates);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(-1000 * (i + 1), state->Axis[i]);
    EXPECT_EQ(9000, state->POV);
    EXPECT_EQ(0, state->Joystick);
}

TEST_F(ReceiverTest, OnlyTheSyncUserEventCarriesAFrame) {
    irr::SEvent e = blank(irr::EET_USER_EVENT);
    e.UserEvent.UserData1 = 0x7001;
    e.UserEvent.UserData2 = 5;
    receiver.OnEvent(e);
    EXPECT_EQ(0, receiver.syncValue());
    e.UserEvent.UserData1 = 0x7000;
    e.UserEvent.UserData2 = 1234;
    receiver.OnEvent(e);
    EXPECT_EQ(1234, receiver.syncValue());
}

}  // namespace
