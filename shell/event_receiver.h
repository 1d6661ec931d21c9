#ifndef QIRN_SHELL_EVENT_RECEIVER_H
#define QIRN_SHELL_EVENT_RECEIVER_H

#include <irrlicht.h>

#include <cstdint>

// The engine's event receiver: keeps the keyboard, mouse and joystick state that the facade's input
// functions read, and the frame number another program sends with WM_USER / wParam 0x7000.
// It ignores every event while the engine record is not ready, and never consumes an event.
class MyEventReceiver : public irr::IEventReceiver {
public:
    enum {
        KEY_COUNT = 255,        // virtual key codes 0..254
        SYNC_EVENT = 0x7000,    // first datum of the user event that carries a frame number
    };

    MyEventReceiver();
    virtual ~MyEventReceiver();

    bool OnEvent(const irr::SEvent& event) override;

    // 1 while the key is down; 0 for a code outside 0..254.
    virtual uint8_t keyState(int code) const;
    // 1 once Escape has been seen down; never cleared.
    virtual uint8_t escapeLatch() const;
    // The last event of joystick 0; before one arrives, no button, axes at 0 and the hat centred (65535).
    virtual const irr::SEvent::SJoystickEvent* joystickState() const;
    // Back to the state before any joystick event (engine stop).
    void clearJoystick();

    uint8_t leftButton() const { return leftButton_; }
    uint8_t rightButton() const { return rightButton_; }
    int32_t mouseX() const { return mouseX_; }
    int32_t mouseY() const { return mouseY_; }
    float wheelSum() const { return wheelSum_; }
    int32_t syncValue() const { return syncValue_; }

private:
    uint8_t leftButton_;
    uint8_t rightButton_;
    int32_t mouseX_;
    int32_t mouseY_;
    float wheelSum_;
    int32_t syncValue_;
    uint8_t keys_[KEY_COUNT];
    uint8_t escapeLatch_;
    irr::SEvent::SJoystickEvent joystick_;
};

// The one receiver of the process; engine start hands it to the device.
MyEventReceiver* qeIrrlichtGetEventReceiver();

#endif
