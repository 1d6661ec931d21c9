// The viewers' rules without an engine: the scene viewer's clock with a recorded music, the ride speed,
// the idle throttle, and the object viewer's turning, zooming and looping.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "viewers/viewer_controls.h"

namespace {

// Records the calls; the position answers what was last set, moved on by the clock the test advances.
class RecordedMusic : public ViewerMusic {
public:
    int position() override { return at; }
    int length() override { return size; }
    void setPosition(int ms) override {
        calls.push_back("set " + std::to_string(ms));
        at = ms;
    }
    void pause() override { calls.push_back("pause"); }
    void resume() override { calls.push_back("resume"); }
    void play() override { calls.push_back("play"); }
    std::vector<std::string> calls;
    int at = -1;
    int size = -1;
};

ViewerClock scene(bool music) {
    ViewerClock c;
    c.duration = 2000;
    c.firstFrame = 5;
    c.fps = 25;
    c.music = music;
    c.musicOffset = music ? 300 : 0;
    return c;
}

ViewerKeys none() { return ViewerKeys(); }
ViewerKeys space() {
    ViewerKeys k;
    k.space = true;
    return k;
}

TEST(SceneViewerClock, PauseResumeAndTheEndsOfTheScene) {
    RecordedMusic m;
    ViewerClock c = scene(false);
    qeViewerClockStart(&c, &m, 1000, false, 0, false);
    qeViewerClockPass(&c, &m, 1500, none());
    EXPECT_EQ(500, c.t);
    // Space pauses on the press only; the time stands while paused.
    qeViewerClockPass(&c, &m, 1600, space());
    qeViewerClockPass(&c, &m, 1700, space());
    EXPECT_TRUE(c.paused);
    qeViewerClockPass(&c, &m, 5000, none());
    EXPECT_EQ(600, c.t);
    qeViewerClockPass(&c, &m, 5100, space());
    EXPECT_FALSE(c.paused);
    qeViewerClockPass(&c, &m, 5200, none());
    EXPECT_EQ(700, c.t);

    // Playing past the end pauses at the duration; Space there starts over.
    qeViewerClockPass(&c, &m, 9000, none());
    EXPECT_TRUE(c.paused);
    EXPECT_EQ(2000, c.t);
    qeViewerClockPass(&c, &m, 9100, space());
    qeViewerClockPass(&c, &m, 9200, none());
    EXPECT_EQ(100, c.t);

    // Stepping back past the start while playing pauses at 0; paused steps are 5 ms (50 with Shift) and
    // stay within the scene; the scene shows the stepped time in the same pass.
    ViewerKeys back;
    back.backward = true;
    back.shift = true;
    for (uint32_t now = 9300; now < 9400 && !c.paused; now += 10) qeViewerClockPass(&c, &m, now, back);
    EXPECT_TRUE(c.paused);
    EXPECT_EQ(0, c.pausedTime);
    ViewerKeys forward;
    forward.forward = true;
    qeViewerClockPass(&c, &m, 9500, forward);
    EXPECT_EQ(5, c.t);
    forward.shift = true;
    qeViewerClockPass(&c, &m, 9510, forward);
    EXPECT_EQ(55, c.t);
    EXPECT_TRUE(m.calls.empty());  // no music, no music calls
}

TEST(SceneViewerClock, LoopStartFrameAndReceivedFrames) {
    RecordedMusic m;
    ViewerClock c = scene(false);
    // Start frame: (30 - 5) / 25 s, clamped to the scene.
    qeViewerClockStart(&c, &m, 10000, true, 30, true);
    EXPECT_EQ(1000, c.pausedTime);
    ViewerClock early = scene(false);
    qeViewerClockStart(&early, &m, 10000, true, 0, true);
    EXPECT_EQ(0, early.pausedTime);
    ViewerClock late = scene(false);
    qeViewerClockStart(&late, &m, 10000, true, 500, true);
    EXPECT_EQ(2000, late.pausedTime);
    ViewerClock still = scene(false);
    still.fps = 0;
    still.duration = 0;
    qeViewerClockStart(&still, &m, 10000, true, 30, false);
    qeViewerClockSyncFrame(&still, &m, 10000, 40);
    qeViewerClockPass(&still, &m, 10000, none());
    EXPECT_EQ(0, still.t);

    // A received frame moves the paused time, or the clock while playing.
    qeViewerClockSyncFrame(&c, &m, 10000, 15);
    EXPECT_EQ(400, c.pausedTime);
    qeViewerClockPass(&c, &m, 10000, space());
    qeViewerClockPass(&c, &m, 10010, none());
    qeViewerClockSyncFrame(&c, &m, 20000, 55);
    qeViewerClockPass(&c, &m, 20100, none());
    EXPECT_EQ(2000, c.t);  // frame 55 is the end: paused there

    // Enter toggles the loop: the clock wraps instead of pausing.
    ViewerClock looped = scene(false);
    qeViewerClockStart(&looped, &m, 0, false, 0, false);
    ViewerKeys enter;
    enter.enter = true;
    qeViewerClockPass(&looped, &m, 100, enter);
    EXPECT_TRUE(looped.loop);
    qeViewerClockPass(&looped, &m, 2100, none());
    EXPECT_FALSE(looped.paused);
    qeViewerClockPass(&looped, &m, 2200, none());
    EXPECT_EQ(200, looped.t);
}

// The music follows the scene; a pause by the viewer (Space, the end, or a step before the start) is
// resumed where the position was put, never started over.
TEST(SceneViewerClock, MusicFollowsTheScene) {
    RecordedMusic m;
    ViewerClock c = scene(true);
    qeViewerClockStart(&c, &m, 1000, false, 0, false);
    EXPECT_EQ(std::vector<std::string>({"set 300", "play"}), m.calls);
    m.at = 800;
    qeViewerClockPass(&c, &m, 1400, none());
    EXPECT_EQ(500, c.t);  // from the music position
    m.calls.clear();
    m.at = 2500;
    qeViewerClockPass(&c, &m, 3300, none());
    EXPECT_TRUE(c.paused);
    EXPECT_EQ(2000, c.t);
    qeViewerClockPass(&c, &m, 3400, space());
    EXPECT_EQ(std::vector<std::string>({"pause", "set 300", "resume"}), m.calls);

    // Started paused, the music never played: the first resume plays it from the paused time.
    RecordedMusic n;
    ViewerClock p = scene(true);
    qeViewerClockStart(&p, &n, 0, true, 30, true);
    EXPECT_TRUE(n.calls.empty());
    qeViewerClockPass(&p, &n, 100, space());
    EXPECT_EQ(std::vector<std::string>({"set 1300", "play"}), n.calls);

    // Steps while playing move the music with the clock; before the start the viewer pauses it.
    n.calls.clear();
    ViewerKeys back;
    back.backward = true;
    n.at = -1;
    qeViewerClockPass(&p, &n, 110, back);
    EXPECT_EQ("set 1300", n.calls.at(0));
    for (uint32_t now = 120; now < 400 && !p.paused; now += 1) qeViewerClockPass(&p, &n, now, back);
    EXPECT_TRUE(p.paused);
    EXPECT_EQ("pause", n.calls.back());
    n.calls.clear();
    qeViewerClockPass(&p, &n, 500, space());
    qeViewerClockPass(&p, &n, 510, space());  // still held: no second toggle
    qeViewerClockPass(&p, &n, 520, none());
    EXPECT_EQ(std::vector<std::string>({"set 300", "resume"}), n.calls);

    // A music shorter than the scene rests at its end: the clock goes on timing the scene.
    RecordedMusic s;
    s.size = 1000;
    ViewerClock q = scene(true);
    qeViewerClockStart(&q, &s, 0, false, 0, false);
    s.at = 900;
    qeViewerClockPass(&q, &s, 600, none());
    EXPECT_EQ(600, q.t);  // 900 - 300 from the music
    s.at = 1000;
    qeViewerClockPass(&q, &s, 1500, none());
    EXPECT_EQ(1500, q.t);
    qeViewerClockPass(&q, &s, 1800, none());
    EXPECT_EQ(1800, q.t);
    EXPECT_FALSE(q.paused);
}

TEST(ViewerRules, RideSpeedIdleThrottleMouseLookAndFps) {
    EXPECT_EQ(990, qeViewerRideSpeed(1000, true, true));
    EXPECT_EQ(1010, qeViewerRideSpeed(1000, false, true));
    EXPECT_EQ(1, qeViewerRideSpeed(5, true, false));
    EXPECT_EQ(1, qeViewerRideSpeed(-3, false, false));

    int count = 0;
    int drawn = 0;
    for (int pass = 0; pass < 30; ++pass) drawn += !qeViewerIdlePass(&count, false, true, false, false);
    EXPECT_EQ(3, drawn);
    EXPECT_FALSE(qeViewerIdlePass(&count, false, true, true, false));  // active: every pass, count reset
    EXPECT_EQ(0, count);
    EXPECT_FALSE(qeViewerIdlePass(&count, false, true, false, true));
    EXPECT_FALSE(qeViewerIdlePass(&count, true, true, false, false));
    EXPECT_FALSE(qeViewerIdlePass(&count, false, false, false, false));

    EXPECT_EQ(-1, qeViewerMouseLook(true, true));
    EXPECT_EQ(1, qeViewerMouseLook(false, false));
    EXPECT_EQ(0, qeViewerMouseLook(true, false));

    char text[64] = "kept";
    EXPECT_FALSE(qeViewerFpsText(text, sizeof(text), 0));
    EXPECT_STREQ("kept", text);
    EXPECT_TRUE(qeViewerFpsText(text, sizeof(text), 500));
    EXPECT_STREQ("FPS=60.00 (16.67 ms/frm)", text);
}

TEST(ObjectViewer, DragArrowsWheelAndFrames) {
    ObjectView v = qeViewerObjectView(0.0f, 10, 10, 0);
    EXPECT_FLOAT_EQ(20.0f, v.radius);
    EXPECT_FLOAT_EQ(-30.0f, v.cameraZ);

    ObjectViewInput in;
    in.buttons = 1;
    in.mouseX = 50;
    in.mouseY = 50;
    EXPECT_EQ(0, qeViewerObjectPass(&v, in));  // the first pass only takes hold
    in.mouseX = 60;
    in.mouseY = 46;
    EXPECT_EQ(QE_VIEW_TURNED, qeViewerObjectPass(&v, in));
    EXPECT_FLOAT_EQ(-5.0f, v.rotationY);
    EXPECT_FLOAT_EQ(2.0f, v.rotationX);
    in.buttons = 3;  // both buttons: no drag
    in.mouseX = 100;
    EXPECT_EQ(0, qeViewerObjectPass(&v, in));
    in.buttons = 1;  // pressed again elsewhere: no jump
    EXPECT_EQ(0, qeViewerObjectPass(&v, in));
    EXPECT_FLOAT_EQ(-5.0f, v.rotationY);

    in.buttons = 0;
    in.left = true;
    in.right = true;
    EXPECT_EQ(QE_VIEW_TURNED, qeViewerObjectPass(&v, in));
    EXPECT_FLOAT_EQ(-4.0f, v.rotationY);
    in.left = in.right = false;
    in.wheel = 2;
    EXPECT_EQ(QE_VIEW_MOVED, qeViewerObjectPass(&v, in));
    EXPECT_FLOAT_EQ(-28.0f, v.cameraZ);
    in.up = true;
    qeViewerObjectPass(&v, in);
    qeViewerObjectPass(&v, in);
    EXPECT_FLOAT_EQ(-29.0f, v.cameraZ);

    EXPECT_FLOAT_EQ(0.0f, qeViewerObjectFrame(5000, 1));
    EXPECT_FLOAT_EQ(3.0f, qeViewerObjectFrame(100, 10));       // period 333 ms
    EXPECT_FLOAT_EQ(0.0f, qeViewerObjectFrame(333, 10));
    EXPECT_FLOAT_EQ(0.03f, qeViewerObjectFrame(334, 10));
}

}  // namespace
