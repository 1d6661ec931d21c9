#ifndef QIRN_SHELL_FACADE_H
#define QIRN_SHELL_FACADE_H

// The window, time, input and camera facade over the engine record's device.

void qeIrrlichtHideWindow();
void qeIrrlichtShowWindow();

#endif
