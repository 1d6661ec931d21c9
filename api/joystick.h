#ifndef QIRN_API_JOYSTICK_H
#define QIRN_API_JOYSTICK_H

#include <cstdint>

// Joystick queries over the last joystick event the engine's receiver kept. Every query answers 0 while
// joystick input is off (before EnableJoystick or after DisableJoystick).

int qeIrrlichtEnableJoystick();  // the device's answer to activating its joysticks (1 or 0)
void qeIrrlichtDisableJoystick();
int qeIrrlichtJoystickIsPresent();

// Hat tests: Up 0 degrees, Down 180, Left 90, Right 270 (the hat's own 90 degrees is to the right).
int qeIrrlichtJoystickUp();
int qeIrrlichtJoystickDown();
int qeIrrlichtJoystickLeft();
int qeIrrlichtJoystickRight();

int qeIrrlichtJoystickX();
int qeIrrlichtJoystickY();
int qeIrrlichtJoystickZ();
int qeIrrlichtJoystickR();
int qeIrrlichtJoystickU();
int qeIrrlichtJoystickV();

int qeIrrlichtJoystickFireA();
int qeIrrlichtJoystickFireB();
int qeIrrlichtJoystickFireC();
int qeIrrlichtJoystickFireD();
int qeIrrlichtJoystickFireX(int n);  // 0 for n outside 0..31

int qeIrrlichtJoystickAxis(int axis);
int qeIrrlichtJoystickPov(int angle);
int qeIrrlichtJoystickButton(int n);

// The decisions the queries make, on raw values.
int qeJoystickDeadZone(int16_t value);           // 0 for -1499..1499, else the value
int qeJoystickPovTest(uint16_t pov, int angle);  // 1 when the hat is within 90 degrees of the angle
int qeJoystickButtonBit(uint32_t buttons, int n);

#endif
