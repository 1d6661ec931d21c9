#ifndef QIRN_RENDERER_LOADING_SCREEN_H
#define QIRN_RENDERER_LOADING_SCREEN_H

struct EngineContext;

// The loading screen the front ends show while a demo or scene loads. Each call draws a complete frame of
// its own (begin and end of the driver's scene, cleared in opaque black): with the loading material
// ("loading.hlsl" next to the data, else the built-in program) a full-screen shader look, else the plain
// look, "loading.png" centred with a progress bar under it.
int qeIrrlichtLoadingScreenBegin();
int qeIrrlichtLoadingScreenProgress(int percent);
void qeIrrlichtLoadingScreenEnd();  // with the shader look, 30 frames fading out; forgets the picture
void qeIrrlichtLoadingScreenAbandon();  // a load that failed: forgets the picture without drawing
int qeIrrlichtLoadingScreenUpdate(int percent);
// 0 once the loading material exists, -1 when it cannot be made (not the Direct3D 9 driver, no program).
int qeIrrlichtLoadingScreenCreateMaterial();

// What one loading frame draws, without beginning or ending the scene.
void qeIrrlichtLoadingScreenDraw(EngineContext* ctx, int percent);

// The plain look's rectangles for a screen, a picture (0 × 0 when there is none) and a percent:
// corners x1, y1, x2, y2 (x2, y2 exclusive).
struct LoadingScreenLayout {
    int picture[2];  // upper-left corner of the centred picture (negative when it is larger than the screen)
    int bar[4];      // white
    int inner[4];    // black
    int fill[4];     // 0xFF4488FF, from the left edge of the fill area
};
LoadingScreenLayout qeLoadingScreenLayout(int screenWidth, int screenHeight, int pictureWidth, int pictureHeight,
                                          int percent);

#endif
