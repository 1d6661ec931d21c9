#include "joystick.h"

#include <irrlicht.h>

#include "engine.h"
#include "engine_context.h"
#include "event_receiver.h"
#include "log.h"

using namespace irr;

namespace {

enum { POV_CENTRED = 65535, DEAD_ZONE = 1499 };

struct JoystickModule {
    bool enabled = false;
    core::array<SJoystickInfo> info;
};
JoystickModule g_joystick;

void resetJoystick() {
    g_joystick.enabled = false;
    g_joystick.info.clear();
    qeIrrlichtGetEventReceiver()->clearJoystick();
}

JoystickModule& module() {
    qeIrrlichtRegisterModuleReset(resetJoystick, QE_STOP_AFTER_DROP);
    return g_joystick;
}

// The kept event, or null while joystick input is off.
const SEvent::SJoystickEvent* state() {
    return module().enabled ? qeIrrlichtGetEventReceiver()->joystickState() : nullptr;
}

}  // namespace

int qeJoystickDeadZone(int16_t value) { return value >= -DEAD_ZONE && value <= DEAD_ZONE ? 0 : value; }

int qeJoystickPovTest(uint16_t pov, int angle) {
    if (pov == POV_CENTRED) return 0;
    int d = pov / 100 - angle;
    if (d >= 181) d -= 360;
    return d > -90 && d < 90 ? 1 : 0;
}

int qeJoystickButtonBit(uint32_t buttons, int n) { return n >= 0 && n < 32 ? (buttons >> n) & 1 : 0; }

int qeIrrlichtEnableJoystick() {
    JoystickModule& m = module();
    IrrlichtDevice* device = qeIrrlichtGetContext()->device;
    if (!device) {
        qeLogError(-1, "%s: no engine is running", __func__);
        return 0;
    }
    const bool answer = device->activateJoysticks(m.info);
    m.enabled = true;
    return answer ? 1 : 0;
}

void qeIrrlichtDisableJoystick() { module().enabled = false; }

int qeIrrlichtJoystickIsPresent() { return module().enabled && module().info.size() > 0 ? 1 : 0; }

int qeIrrlichtJoystickAxis(int axis) {
    const SEvent::SJoystickEvent* s = state();
    if (!s || axis < 0 || axis >= SEvent::SJoystickEvent::NUMBER_OF_AXES) return 0;
    return qeJoystickDeadZone(s->Axis[axis]);
}

int qeIrrlichtJoystickPov(int angle) {
    const SEvent::SJoystickEvent* s = state();
    return s ? qeJoystickPovTest(s->POV, angle) : 0;
}

int qeIrrlichtJoystickButton(int n) {
    const SEvent::SJoystickEvent* s = state();
    return s ? qeJoystickButtonBit(s->ButtonStates, n) : 0;
}

int qeIrrlichtJoystickUp() { return qeIrrlichtJoystickPov(0); }
int qeIrrlichtJoystickDown() { return qeIrrlichtJoystickPov(180); }
int qeIrrlichtJoystickLeft() { return qeIrrlichtJoystickPov(90); }
int qeIrrlichtJoystickRight() { return qeIrrlichtJoystickPov(270); }

int qeIrrlichtJoystickX() { return qeIrrlichtJoystickAxis(0); }
int qeIrrlichtJoystickY() { return qeIrrlichtJoystickAxis(1); }
int qeIrrlichtJoystickZ() { return qeIrrlichtJoystickAxis(2); }
int qeIrrlichtJoystickR() { return qeIrrlichtJoystickAxis(3); }
int qeIrrlichtJoystickU() { return qeIrrlichtJoystickAxis(4); }
int qeIrrlichtJoystickV() { return qeIrrlichtJoystickAxis(5); }

int qeIrrlichtJoystickFireA() { return qeIrrlichtJoystickButton(0); }
int qeIrrlichtJoystickFireB() { return qeIrrlichtJoystickButton(1); }
int qeIrrlichtJoystickFireC() { return qeIrrlichtJoystickButton(2); }
int qeIrrlichtJoystickFireD() { return qeIrrlichtJoystickButton(3); }
int qeIrrlichtJoystickFireX(int n) { return qeIrrlichtJoystickButton(n); }
