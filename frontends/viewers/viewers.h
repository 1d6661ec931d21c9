#ifndef QIRN_FRONTENDS_VIEWERS_VIEWERS_H
#define QIRN_FRONTENDS_VIEWERS_VIEWERS_H

#include <windows.h>

// The viewers' helpers (their run modes are declared in frontends.h).

struct ObjectView;
// The object viewer's start: the mesh as object 1, light 1 (directional), the backdrop, and the camera in
// front of the object at 1.5 times its size; 0, or -1 after the "Failed to load object" box.
int qeViewerObjectStart(const char* file, ObjectView* view);

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
