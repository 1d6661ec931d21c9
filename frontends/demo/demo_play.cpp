// The demo sequencer: one pass per frame keeps the time line, switches parts (at most one a pass, so a
// long frame still runs every part's switch), and starts and ends the current part's extras, camera-effect
// cues and fades before it brings the current scene slot to its scene time.
#include <cstdint>
#include <cstdlib>

#include "camera_effects.h"
#include "demo.h"
#include "draw2d.h"
#include "facade.h"
#include "frame.h"
#include "frontends.h"
#include "log.h"
#include "music.h"
#include "scene_slots.h"

namespace {

// A cue's end, counted wide: a time and length near the integer limits (a cue "to the end") must not wrap
// into the past.
int64_t endOf(int32_t time, int32_t length) { return int64_t(time) + length; }
bool within(int t, int32_t time, int32_t length) { return t >= time && t < endOf(time, length); }
bool ended(int t, int32_t time, int32_t length) { return t >= endOf(time, length); }

// What the previous part leaves behind when a part with a scene takes over the screen.
void leavePart(DemoPart* previous, DemoPlayState* state) {
    qeSceneHide(state->currentSlot);
    if (!previous) return;
    for (int e = 0; e < previous->extraCount; ++e) {
        DemoExtra* extra = &previous->extras[e];
        if (extra->scene.slot == -1) continue;
        qeSceneHide(extra->scene.slot);
        if (extra->scene.flushObjects) qeSceneUnload(extra->scene.slot);
    }
    if (state->shader) {
        qeIrrlichtHideCameraEffect(state->shader->cameraEffectId);
        state->shader->shown = 0;
        state->shader = nullptr;
    }
    if (state->fader) {
        qeIrrlichtStopFade();
        state->fader->active = 0;
        state->fader = nullptr;
    }
    if (previous->scene.flushObjects) qeSceneUnload(state->currentSlot);
}

void enterPart(DemoPart* part, DemoPart* previous, DemoPlayState* state, uint32_t now, int* t) {
    if (part->musicId != -1 && state->currentMusic != -1) qeIrrlichtStopMusic(state->currentMusic);
    if (part->scene.slot != -1 && state->currentSlot != -1) leavePart(previous, state);
    if (part->musicId != -1) {
        state->currentMusic = part->musicId;
        qeIrrlichtPlayMusic(part->musicId);
        state->musicBaseTime = part->time;
    }
    // A part starts when it is due, but never before the part before it: one timed before that one can only
    // start now, on the pass after it.
    int start = part->time;
    if (previous && start < state->partStart) start = *t;
    // A fresh time line counts from that start, not from the pass that came a frame later: parts and cues
    // timed from it stay on the music.
    if (part->timeReset) {
        *t -= start;
        state->clockBase = now - uint32_t(*t);
        start = 0;
    }
    state->partStart = start;
    qeIrrlichtSetCameraRange(part->cameraNear, part->cameraFar);
    if (part->scene.slot == -1) return;
    state->currentSlot = part->scene.slot;
    qeSceneShow(part->scene.slot);
    for (int e = 0; e < part->extraCount; ++e) {
        if (part->extras[e].scene.slot == -1) continue;
        qeScenePark(part->extras[e].scene.slot);
        qeSceneShow(part->extras[e].scene.slot);
    }
}

void runExtras(DemoPart* part, int t) {
    for (int e = 0; e < part->extraCount; ++e) {
        DemoExtra* extra = &part->extras[e];
        if (extra->scene.slot == -1) continue;
        if (within(t, extra->time, extra->length) && !extra->active) {
            qeSceneShowFxEmitters(extra->scene.slot);
            extra->active = 1;
        }
        if (ended(t, extra->time, extra->length) && extra->active) {
            qeScenePark(extra->scene.slot);
            extra->active = 0;
        } else if (extra->active) {
            qeSceneUpdate(extra->scene.slot, t - extra->time);
        }
    }
}

void runShaderCues(DemoPart* part, DemoPlayState* state, int t) {
    for (int c = 0; c < part->shaderCount; ++c) {
        DemoShaderCue* cue = &part->shaders[c];
        if (cue->cameraEffectId == -1) continue;
        if (within(t, cue->time, cue->length) && !cue->shown && !cue->done) {
            if (state->shader && state->shader->shown) {
                qeIrrlichtHideCameraEffect(state->shader->cameraEffectId);
                state->shader->shown = 0;
                state->shader->done = 1;
            }
            qeIrrlichtShowCameraEffect(cue->cameraEffectId);
            cue->shown = 1;
            state->shader = cue;
        }
        if (ended(t, cue->time, cue->length) && cue->shown) {
            qeIrrlichtHideCameraEffect(cue->cameraEffectId);
            cue->shown = 0;
            cue->done = 1;
            state->shader = nullptr;
        }
    }
}

void runFaderCues(DemoPart* part, DemoPlayState* state, int t) {
    for (int c = 0; c < part->faderCount; ++c) {
        DemoFaderCue* cue = &part->faders[c];
        if (within(t, cue->time, cue->length) && !cue->active && !cue->done) {
            if (state->fader && state->fader->active) {
                qeIrrlichtStopFade();
                state->fader->active = 0;
                state->fader->done = 1;
            }
            if (cue->fadeOut)
                qeIrrlichtFadeOut(cue->fadeLength, uint32_t(cue->colour));
            else
                qeIrrlichtFadeIn(cue->fadeLength, uint32_t(cue->colour));
            cue->active = 1;
            state->fader = cue;
        }
        if (ended(t, cue->time, cue->length) && cue->active) {
            qeIrrlichtStopFade();
            cue->active = 0;
            cue->done = 1;
            state->fader = nullptr;
        }
    }
}

// The log tells when each part starts, and when the end comes: the time line then and where the music
// that plays stood, which a demo maker compares with the part's time in the music. `heard` is the position
// of `playing` as the pass began; a music the switch started is asked anew (it has just begun).
void logPartStart(const DemoDescription* demo, int index, const DemoPlayState* state, int playing, int heard) {
    int music = -1;
    if (state->currentMusic != -1)
        music = state->currentMusic == playing ? heard : qeIrrlichtGetMusicPosition(state->currentMusic);
    qeLogPrint(QE_LOG_INFO, "Demo part %s due at %d ms starts at %d ms, music at %d ms", demo->parts[index].name,
               demo->parts[index].time, state->switchTime, music);
}

}  // namespace

void qeDemoPlayStart(DemoPlayState* state, uint32_t now) {
    *state = DemoPlayState{now, -1, -1, -1, 0, -1, 0, 0, 0, nullptr, nullptr, 0, 0, 0};
}

int qeDemoPlayMusicId(const DemoDescription* demo, const DemoPlayState* state) {
    return state->partIndex >= 0 ? demo->parts[state->partIndex].musicId : -1;
}

int qeDemoMusicPosition(DemoPlayState* state, int position, int length, uint32_t now) {
    if (!qeMusicPositionAtEnd(position, length)) {
        state->musicEnded = 0;
        return position;
    }
    if (!state->musicEnded) {
        state->musicEnded = 1;
        state->musicEndClock = now;
        state->musicEndPosition = position;
    }
    int64_t going = int64_t(state->musicEndPosition) + int64_t(now - state->musicEndClock);
    if (going < position) going = position;
    return going > INT32_MAX ? INT32_MAX : int(going);
}

int qeDemoPass(DemoDescription* demo, DemoPlayState* state, uint32_t now, int musicPosition) {
    DemoPart* current = state->partIndex >= 0 ? &demo->parts[state->partIndex] : nullptr;
    int t = int(now - state->clockBase);
    if (current && current->musicId != -1 && musicPosition != -1) {
        t = musicPosition - current->time + state->musicBaseTime;
        // The clock follows the music meanwhile: when it takes the time line over (a part without music),
        // it goes on from the music's time instead of from when the music was started, which lies before
        // the music's first sound by the time the sound output takes to begin.
        state->clockBase = now - uint32_t(t);
        // On the music's time line the part that started the music starts where the music does.
        state->partStart = state->musicBaseTime - current->time;
    }

    const int next = state->partIndex + 1;
    if (next < demo->partCount && t >= demo->parts[next].time) {
        state->switchTime = t;
        if (next == demo->partCount - 1) return 1;  // the last part only marks the end
        enterPart(&demo->parts[next], current, state, now, &t);
        state->partIndex = next;
        current = &demo->parts[next];
    }
    state->time = t;
    if (!current) return 0;

    runExtras(current, t);
    if (current->paletteId != -1 && current->paletteId != state->lastPalette)
        state->lastPalette = current->paletteId;  // applying a palette does nothing in this engine
    runShaderCues(current, state, t);
    runFaderCues(current, state, t);
    if (state->currentSlot != -1) qeSceneUpdate(state->currentSlot, t - current->timeOrigin);
    return 0;
}

int qeDemoWarmUp(DemoDescription* demo) {
    for (int p = 0; p < demo->partCount; ++p) {
        const int slot = demo->parts[p].scene.slot;
        if (slot == -1) continue;
        qeSceneShow(slot);
        qeSceneUpdate(slot, 0);
        qeIrrlichtRenderDummy();
        qeSceneHide(slot);
    }
    return 0;
}

int qeDemoPlay(DemoDescription* demo) {
    DemoPlayState state;
    qeDemoPlayStart(&state, qeIrrlichtTimer());
    if (!qeIrrlichtRun()) return 0;
    while (!qeIrrlichtEscapeKeyEverPressed()) {
        // The part's music, when it has one, is the music that plays.
        const int music = qeDemoPlayMusicId(demo, &state);
        const int playing = state.currentMusic;
        const int heard = playing != -1 ? qeIrrlichtGetMusicPosition(playing) : -1;
        const uint32_t now = qeIrrlichtTimer();
        const int position =
            music != -1 ? qeDemoMusicPosition(&state, heard, qeIrrlichtGetMusicLength(music), now) : -1;
        const int previous = state.partIndex;
        if (qeDemoPass(demo, &state, now, position) != 0) {
            logPartStart(demo, demo->partCount - 1, &state, playing, heard);
            break;
        }
        if (state.partIndex != previous) logPartStart(demo, state.partIndex, &state, playing, heard);
        qeIrrlichtSync();
        if (!qeIrrlichtRun()) break;
    }
    return 0;
}

int qeDemoFreeMusics(DemoDescription* demo) {
    for (int p = 0; p < demo->partCount; ++p) {
        DemoPart* part = &demo->parts[p];
        if (part->music[0] && part->musicId != -1) qeIrrlichtDeleteMusic(part->musicId);
    }
    return 0;
}

int qeDemoFreePalettes(DemoDescription* demo) {
    (void)demo;  // palettes hold nothing in this engine
    return 0;
}

int qeDemoFreeScenes(DemoDescription* demo) {
    for (int p = 0; p < demo->partCount; ++p) {
        DemoPart* part = &demo->parts[p];
        if (part->scene.slot != -1) qeSceneUnload(part->scene.slot);
        for (int e = 0; e < part->extraCount; ++e)
            if (part->extras[e].scene.slot != -1) qeSceneUnload(part->extras[e].scene.slot);
    }
    return 0;
}

int qeDemoFreeShaders(DemoDescription* demo) {
    for (int p = 0; p < demo->partCount; ++p)
        for (int c = 0; c < demo->parts[p].shaderCount; ++c) {
            DemoShaderCue* cue = &demo->parts[p].shaders[c];
            if (cue->cameraEffectId == -1) continue;
            qeIrrlichtDeleteCameraEffect(cue->cameraEffectId);
            cue->cameraEffectId = -1;
        }
    return 0;
}

int qeDemoFree(DemoDescription* demo) {
    qeDemoFreeMusics(demo);
    qeDemoFreePalettes(demo);
    qeDemoFreeScenes(demo);
    qeDemoFreeShaders(demo);
    return 0;
}

int qeDemoRun(const char* demoIni) {
    DemoDescription* demo = static_cast<DemoDescription*>(std::calloc(1, sizeof(DemoDescription)));
    if (!demo) return -1;
    DemoIdCounters ids = qeDemoIdCountersStart();
    if (qeDemoLoad(demo, demoIni, &ids) != 0) {
        qeDemoFree(demo);
        std::free(demo);
        return -1;
    }
    qeDemoWarmUp(demo);
    qeIrrlichtSleep(200);
    qeDemoPlay(demo);
    qeDemoFree(demo);
    std::free(demo);
    return 0;
}
