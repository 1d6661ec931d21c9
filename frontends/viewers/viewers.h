#ifndef QIRN_FRONTENDS_VIEWERS_VIEWERS_H
#define QIRN_FRONTENDS_VIEWERS_VIEWERS_H

#include <windows.h>

// The scene viewer's helpers (its run mode and the object viewer's are declared in frontends.h).

// The scene-load progress: draws the loading screen at `percent` when `datum` is set; never stops the load.
int qeViewerLoadProgress(int percent, void* datum);
// Hides the mouse unless the viewer has hidden it already.
void qeViewerHideMouse();
// Makes the LightWave Layout window the owner of the engine window (with a minimise box): 0, or -1 when
// there is no video driver or no such window.
int qeViewerAttachToLayoutWindow();
// The window enumeration's callback: stops at the first title holding "LightWave", "NewTek" and "Layout"
// but not ".exe", and stores that window at the HWND the datum points to.
BOOL CALLBACK qeViewerFindLayoutWindow(HWND window, LPARAM datum);

#endif
