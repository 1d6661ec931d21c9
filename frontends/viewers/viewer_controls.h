#ifndef QIRN_FRONTENDS_VIEWERS_VIEWER_CONTROLS_H
#define QIRN_FRONTENDS_VIEWERS_VIEWER_CONTROLS_H

// The viewers' rules, apart from their loops: the scene viewer's clock (pause, resume, steps, the end
// and the start, looping, start frame and received frame numbers, the music that follows the scene),
// and the object viewer's turning and zooming. The loops read the keys, mouse and clock and call these.

#include <cstdint>

// The music the scene viewer keeps in step with the scene (music 1 in the viewer).
class ViewerMusic {
public:
    virtual ~ViewerMusic() {}
    virtual int position() = 0;  // -1 when unknown
    virtual int length() { return -1; }  // -1 when unknown
    virtual void setPosition(int ms) = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual void play() = 0;
};

struct ViewerClock {
    uint32_t clockBase = 0;  // the engine clock at scene time 0
    int32_t t = 0;           // scene time of the pass, ms
    bool paused = false;
    int32_t pausedTime = 0;
    bool music = false;  // a music is loaded and follows the scene
    int32_t musicOffset = 0;
    bool musicPausedByViewer = false;
    bool loop = false;
    bool enterLatch = false;
    bool spaceLatch = false;
    int32_t duration = 0;
    int32_t firstFrame = 0;
    int32_t fps = 0;
};

// Held keys of one pass. forward is Right (when not riding) or plus, backward Left (when not riding)
// or minus.
struct ViewerKeys {
    bool enter = false;
    bool space = false;
    bool shift = false;
    bool forward = false;
    bool backward = false;
};

// Milliseconds from the scene's first frame to `frame`; 0 for a scene without a frame rate.
double qeViewerFrameTime(int frame, int firstFrame, int fps);
// Start-up: the start frame (clamped to the scene) when asked, then paused or playing with the music.
void qeViewerClockStart(ViewerClock* c, ViewerMusic* music, uint32_t now, bool atFrame, int startFrame,
                        bool paused);
// A frame number received from the animation package: paused, the scene shows it; playing, the scene
// and its music go on from it.
void qeViewerClockSyncFrame(ViewerClock* c, ViewerMusic* music, uint32_t now, int frame);
// One pass: the scene time, Enter (loop), Space (pause), the steps, and the start and end of the scene.
// Afterwards c->t is the time the scene is shown at.
void qeViewerClockPass(ViewerClock* c, ViewerMusic* music, uint32_t now, const ViewerKeys& keys);

// The ride speed after one pass with "1" (slower) and "2" (faster) held; never below 1 cm/s.
int qeViewerRideSpeed(int speed, bool slower, bool faster);
// The idle throttle: true when this pass only sleeps (paused, nothing to redraw, window inactive, nine
// passes in ten); `count` carries the passes between calls.
bool qeViewerIdlePass(int* count, bool dirty, bool paused, bool active, bool throttleOff);
// Mouse-look ride: 1 to show the mouse, -1 to hide it, 0 to leave it.
int qeViewerMouseLook(bool active, bool shown);
// The FPS text of 30 passes over `elapsed` ms; false (text kept) when no time passed.
bool qeViewerFpsText(char* text, int size, uint32_t elapsed);

// The object viewer's view: the object turned about X and Y, the camera on the Z axis.
struct ObjectView {
    float radius = 20.0f;
    float rotationX = 0.0f;
    float rotationY = 0.0f;
    float cameraZ = -30.0f;
    bool dragging = false;
    int mouseX = 0;
    int mouseY = 0;
    int wheel = 0;
};

struct ObjectViewInput {
    int buttons = 0;  // bit 0 left, bit 1 right
    int mouseX = 0;
    int mouseY = 0;
    int wheel = 0;
    bool left = false;
    bool right = false;
    bool up = false;
    bool down = false;
};

enum { QE_VIEW_TURNED = 1, QE_VIEW_MOVED = 2 };

// A view for an object of that radius (20 when 0), with the mouse where it stands.
ObjectView qeViewerObjectView(float radius, int mouseX, int mouseY, int wheel);
// One pass of dragging, arrows, wheel and Up/Down: QE_VIEW_TURNED and QE_VIEW_MOVED for what changed.
int qeViewerObjectPass(ObjectView* v, const ObjectViewInput& in);
// The frame of an animated mesh of `frames` frames after `elapsed` ms, looping at 30 frames per second.
float qeViewerObjectFrame(uint32_t elapsed, int frames);

#endif
