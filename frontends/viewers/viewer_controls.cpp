#include "viewer_controls.h"

#include <cstdio>

#include "music.h"

namespace {

// Milliseconds from the clock base to now; negative when the base lies ahead.
int32_t sinceBase(const ViewerClock* c, uint32_t now) { return int32_t(now - c->clockBase); }

void pauseAt(ViewerClock* c, ViewerMusic* music, int32_t time) {
    c->paused = true;
    c->pausedTime = time;
    if (c->music) {
        music->pause();
        // Resuming must then continue the music where it is put, not start it over.
        c->musicPausedByViewer = true;
    }
}

void resume(ViewerClock* c, ViewerMusic* music, uint32_t now) {
    int32_t position;
    if (c->pausedTime == c->duration) {  // paused at the end: start over
        c->clockBase = now;
        c->t = 0;
        position = c->musicOffset;
    } else {
        c->clockBase = now - uint32_t(c->pausedTime);
        position = c->pausedTime + c->musicOffset;
    }
    c->paused = false;
    if (!c->music) return;
    music->setPosition(position);
    if (c->musicPausedByViewer) {
        music->resume();
        c->musicPausedByViewer = false;
    } else {
        music->play();
    }
}

// A press: true on the first pass the key is down.
bool pressed(bool down, bool* latch) {
    const bool edge = down && !*latch;
    *latch = down;
    return edge;
}

void step(ViewerClock* c, ViewerMusic* music, uint32_t now, int32_t pausedStep, int32_t playingStep) {
    if (c->paused) {
        c->pausedTime += pausedStep;
        return;
    }
    c->clockBase -= uint32_t(playingStep);
    if (c->music) music->setPosition(sinceBase(c, now) + c->musicOffset);
}

}  // namespace

double qeViewerFrameTime(int frame, int firstFrame, int fps) {
    if (fps == 0) return 0.0;
    return double(frame - firstFrame) * 1000.0 / double(fps);
}

void qeViewerClockStart(ViewerClock* c, ViewerMusic* music, uint32_t now, bool atFrame, int startFrame,
                        bool paused) {
    c->clockBase = now;
    if (atFrame) {
        double start = qeViewerFrameTime(startFrame, c->firstFrame, c->fps);
        if (start < 0.0) start = 0.0;
        if (start > double(c->duration)) start = double(c->duration);
        c->clockBase = now - uint32_t(int32_t(start));
    }
    if (paused) {
        c->paused = true;
        c->pausedTime = sinceBase(c, now);
    } else if (c->music) {
        music->setPosition(sinceBase(c, now) + c->musicOffset);
        music->play();
    }
    c->t = c->paused ? c->pausedTime : sinceBase(c, now);
}

void qeViewerClockSyncFrame(ViewerClock* c, ViewerMusic* music, uint32_t now, int frame) {
    const double time = qeViewerFrameTime(frame, c->firstFrame, c->fps);
    // Far outside any scene: keep it representable.
    const int32_t ms = time > 2e9 ? 2000000000 : time < -2e9 ? -2000000000 : int32_t(time);
    if (c->paused) {
        c->pausedTime = ms;
        return;
    }
    c->clockBase = now - uint32_t(ms);
    if (c->music) music->setPosition(sinceBase(c, now) + c->musicOffset);
}

void qeViewerClockPass(ViewerClock* c, ViewerMusic* music, uint32_t now, const ViewerKeys& keys) {
    c->t = sinceBase(c, now);
    if (c->paused) {
        c->t = c->pausedTime;
    } else if (c->music) {
        // A music shorter than the scene rests at its end: from there the clock times the scene.
        const int position = music->position();
        if (position != -1 && !qeMusicPositionAtEnd(position, music->length())) c->t = position - c->musicOffset;
    }
    if (c->t >= c->duration) c->t = c->duration;

    if (pressed(keys.enter, &c->enterLatch)) c->loop = !c->loop;
    if (pressed(keys.space, &c->spaceLatch)) {
        if (c->paused)
            resume(c, music, now);
        else
            pauseAt(c, music, c->t);
    }

    const int32_t s = keys.shift ? 10 : 1;
    if (keys.forward)
        step(c, music, now, 5 * s, 10 * s);
    else if (keys.backward)
        step(c, music, now, -5 * s, -10 * s);
    if (c->pausedTime < 0) c->pausedTime = 0;
    if (c->pausedTime > c->duration) c->pausedTime = c->duration;

    if (!c->paused) {
        if (sinceBase(c, now) < 0) {  // stepped back before the start
            c->clockBase = now;
            pauseAt(c, music, 0);
        } else if (sinceBase(c, now) >= c->duration) {
            if (c->loop) {
                c->clockBase += uint32_t(c->duration);  // the music is not moved
            } else {
                c->clockBase = now - uint32_t(c->duration);
                pauseAt(c, music, c->duration);
            }
        }
    }
    // Paused, the scene shows the paused time as this pass left it (steps included).
    if (c->paused) c->t = c->pausedTime;
}

int qeViewerRideSpeed(int speed, bool slower, bool faster) {
    if (slower)
        speed -= 10;
    else if (faster)
        speed += 10;
    return speed < 1 ? 1 : speed;
}

bool qeViewerIdlePass(int* count, bool dirty, bool paused, bool active, bool throttleOff) {
    if (throttleOff || dirty || !paused || active) {
        *count = 0;
        return false;
    }
    if (++*count < 10) return true;
    *count = 0;
    return false;
}

int qeViewerMouseLook(bool active, bool shown) {
    if (active && shown) return -1;
    if (!active && !shown) return 1;
    return 0;
}

bool qeViewerFpsText(char* text, int size, uint32_t elapsed) {
    if (elapsed == 0) return false;
    std::snprintf(text, size_t(size), "FPS=%.2f (%.2f ms/frm)", 30000.0 / elapsed, elapsed / 30.0);
    return true;
}

ObjectView qeViewerObjectView(float radius, int mouseX, int mouseY, int wheel) {
    ObjectView v;
    v.radius = radius == 0.0f ? 20.0f : radius;
    v.cameraZ = -1.5f * v.radius;
    v.mouseX = mouseX;
    v.mouseY = mouseY;
    v.wheel = wheel;
    return v;
}

int qeViewerObjectPass(ObjectView* v, const ObjectViewInput& in) {
    int changed = 0;
    if (in.buttons == 1) {  // the left button alone
        if (!v->dragging) {
            v->dragging = true;
            v->mouseX = in.mouseX;
            v->mouseY = in.mouseY;
        } else {
            if (in.mouseX != v->mouseX) {
                v->rotationY -= 0.5f * float(in.mouseX - v->mouseX);
                v->mouseX = in.mouseX;
                changed |= QE_VIEW_TURNED;
            }
            if (in.mouseY != v->mouseY) {
                v->rotationX -= 0.5f * float(in.mouseY - v->mouseY);
                v->mouseY = in.mouseY;
                changed |= QE_VIEW_TURNED;
            }
        }
    } else {
        v->dragging = false;
    }
    if (in.left) {
        v->rotationY += 1.0f;
        changed |= QE_VIEW_TURNED;
    } else if (in.right) {
        v->rotationY -= 1.0f;
        changed |= QE_VIEW_TURNED;
    }
    if (in.wheel != v->wheel) {
        v->cameraZ += float(in.wheel - v->wheel) * v->radius / 20.0f;
        v->wheel = in.wheel;
        changed |= QE_VIEW_MOVED;
    }
    if (in.up) {
        v->cameraZ -= v->radius / 40.0f;
        changed |= QE_VIEW_MOVED;
    } else if (in.down) {
        v->cameraZ += v->radius / 40.0f;
        changed |= QE_VIEW_MOVED;
    }
    return changed;
}

float qeViewerObjectFrame(uint32_t elapsed, int frames) {
    if (frames <= 1) return 0.0f;
    const uint32_t period = uint32_t(frames) * 1000u / 30u;
    if (period == 0) return 0.0f;
    return float(elapsed % period) * 30.0f / 1000.0f;
}
