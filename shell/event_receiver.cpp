#include "event_receiver.h"

#include <cstring>

#include "engine_context.h"

namespace {
enum { VK_CODE_SHIFT = 16, VK_CODE_ESCAPE = 27 };

MyEventReceiver g_receiver;
}  // namespace

MyEventReceiver::MyEventReceiver()
    : leftButton_(0), rightButton_(0), mouseX_(0), mouseY_(0), wheelSum_(0.0f), syncValue_(0), escapeLatch_(0) {
    std::memset(keys_, 0, sizeof(keys_));
    clearJoystick();
}

void MyEventReceiver::clearJoystick() {
    std::memset(&joystick_, 0, sizeof(joystick_));
    joystick_.POV = 65535;  // a hat value of 0 would read as pushed up
}

MyEventReceiver::~MyEventReceiver() {}

bool MyEventReceiver::OnEvent(const irr::SEvent& event) {
    if (!qeIrrlichtGetContext()->ready) return false;

    switch (event.EventType) {
    case irr::EET_KEY_INPUT_EVENT: {
        const int key = static_cast<int>(event.KeyInput.Key);
        if (key >= 0 && key < KEY_COUNT) keys_[key] = event.KeyInput.PressedDown ? 1 : 0;
        // The window reports left and right Shift under their own codes; the modifier says it all.
        keys_[VK_CODE_SHIFT] = event.KeyInput.Shift ? 1 : 0;
        if (keys_[VK_CODE_ESCAPE]) escapeLatch_ = 1;
        break;
    }
    case irr::EET_MOUSE_INPUT_EVENT:
        if (event.MouseInput.Event == irr::EMIE_MOUSE_WHEEL) wheelSum_ += event.MouseInput.Wheel;
        mouseX_ = event.MouseInput.X;
        mouseY_ = event.MouseInput.Y;
        leftButton_ = (event.MouseInput.ButtonStates & 1) ? 1 : 0;
        rightButton_ = (event.MouseInput.ButtonStates & 2) ? 1 : 0;
        break;
    case irr::EET_USER_EVENT:
        if (event.UserEvent.UserData1 == SYNC_EVENT) syncValue_ = event.UserEvent.UserData2;
        break;
    case irr::EET_JOYSTICK_INPUT_EVENT:
        if (event.JoystickEvent.Joystick == 0) {
            joystick_.ButtonStates = event.JoystickEvent.ButtonStates;
            for (int i = 0; i < irr::SEvent::SJoystickEvent::NUMBER_OF_AXES; ++i)
                joystick_.Axis[i] = event.JoystickEvent.Axis[i];
            joystick_.POV = event.JoystickEvent.POV;
            joystick_.Joystick = event.JoystickEvent.Joystick;
        }
        break;
    default:
        break;
    }
    return false;
}

uint8_t MyEventReceiver::keyState(int code) const {
    if (code < 0 || code >= KEY_COUNT) return 0;
    return keys_[code];
}

uint8_t MyEventReceiver::escapeLatch() const { return escapeLatch_; }

const irr::SEvent::SJoystickEvent* MyEventReceiver::joystickState() const { return &joystick_; }

MyEventReceiver* qeIrrlichtGetEventReceiver() { return &g_receiver; }
