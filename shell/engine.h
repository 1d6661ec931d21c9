#ifndef QIRN_SHELL_ENGINE_H
#define QIRN_SHELL_ENGINE_H

#include <cstdint>

#include "engine_context.h"

namespace irr { namespace video { class IVideoDriver; } }

// The start-up record engine start consumes; -1 in an integer field means not set.
struct DeviceSettings {
    const char* baseDirectory;  // NULL keeps the current one
    float cameraNear;
    float cameraFar;
    int32_t width;
    int32_t height;
    int32_t bits;
    int32_t windowed;  // 0 full screen, other values windowed
    int32_t windowX;
    int32_t windowY;
    int32_t vsync;
    int32_t fps;
    int32_t antialias;
    int32_t lightPrePass;
    int32_t hideMouse;
    int32_t shaders;
    int32_t stereo;
};

// Fills every field with "not set": no base directory, camera range 0.1 to 1000.0, the rest -1.
void qeDeviceSettingsClear(DeviceSettings* settings);

int qeIrrlichtSetup(const DeviceSettings* settings);
int qeIrrlichtCreateDevice(int x, int y, int width, int height, int bits, bool fullscreen, bool vsync,
                           bool antialias, bool lightPrePass, int stereo);
int qeIrrlichtDestroyDevice();
int qeIrrlichtTerm();
int qeIrrlichtIsSetup();
int qeSysShutdown();

void qeSysSetStartupError(const char* format, ...) __attribute__((format(printf, 1, 2)));
const char* qeSysGetStartupError();

void qeIrrlichtColorBackdrop(uint32_t colour);
uint32_t qeIrrlichtGetBackdropColor();

void qeSysSetWindowIcon(irr::video::IVideoDriver* driver);
// Moves a window's top left corner to x, y ("-windowpos", "Setup:windowpos"); a coordinate of -1 (not
// set) keeps the window's own. Its size, stacking order and focus stay.
void qeSysPlaceWindow(void* window, int x, int y);

// Module resets run by engine stop. A module that keeps state past a call registers its reset once (from
// its init or on first use); registering the same function again does nothing. Resets of the phase
// QE_STOP_BEFORE_DROP run while the device still exists and may release engine objects; resets of the
// phase QE_STOP_AFTER_DROP run after the device is gone and may only forget what they borrowed. Within a
// phase, the last registered runs first. Registrations last for the process: a restarted engine keeps them.
enum QeStopPhase { QE_STOP_BEFORE_DROP = 0, QE_STOP_AFTER_DROP = 1 };
typedef void (*QeModuleReset)();
int qeIrrlichtRegisterModuleReset(QeModuleReset reset, QeStopPhase phase);
// Runs one phase's resets now (engine stop calls both; exposed for tests).
void qeIrrlichtRunModuleResets(QeStopPhase phase);

#endif
