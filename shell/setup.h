#ifndef QIRN_SHELL_SETUP_H
#define QIRN_SHELL_SETUP_H

#include <windows.h>

#include "engine.h"
#include "launch.h"

typedef struct _dictionary_ dictionary;

// Reads "qirn-setup.ini" (or asks with the setup dialog), lets the command line's display values override,
// and starts the engine. 0 when the engine started, -1 otherwise.
int qeSysLoadSetup(const char* iniName, const char* exeDir, const DisplaySettings* commandLine, int dialogAllowed);

// The keys of section "Setup" read into the display values and the device settings' extra fields.
void qeSetupReadIni(dictionary* ini, DisplaySettings* display, DeviceSettings* device);
// Every command-line value other than -1 replaces the one found (all but "centered").
void qeSetupApplyOverrides(DisplaySettings* display, const DisplaySettings* commandLine);

// The "Screen Mode" dialog; 0 with out filled when the user pressed "Start", -1 when cancelled.
int qeSysScreenModeDialog(DisplaySettings* out);
int qeSysScreenModeOption(const char* key);

// Display modes the dialog offers: at least 720 pixels wide, at least 32 bits, one per size and depth,
// sorted by width, height, bits and refresh rate; at most QE_SETUP_MAX_MODES.
enum { QE_SETUP_MAX_MODES = 200 };
int qeSetupFilterModes(const DEVMODEA* modes, int count, DEVMODEA* kept);
// The list text of a mode: "%4d x %4d %2d Bits", with " (recommended)" for 1280 x 720 x 32.
void qeSetupModeLabel(const DEVMODEA& mode, char* text, int size);

#endif
