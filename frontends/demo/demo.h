#ifndef QIRN_FRONTENDS_DEMO_DEMO_H
#define QIRN_FRONTENDS_DEMO_DEMO_H

// The demo player: a *.demo.ini read into one DemoDescription, everything its parts name loaded (scenes
// into scene slots, musics, camera-effect shaders), the timing rules applied, then the parts played in
// sequence on a time line that follows the clock or, while a part that started a music is current, the
// music's position.

#include <cstdint>

enum {
    QE_DEMO_PARTS_MAX = 64,
    QE_DEMO_EXTRAS_MAX = 15,
    QE_DEMO_SHADER_CUES_MAX = 10,
    QE_DEMO_FADER_CUES_MAX = 20,
    QE_DEMO_CUE_NUMBERS = 20,  // cue keys are numbered 0 to 19, with gaps allowed
    QE_DEMO_STRING_SIZE = 128,
    QE_DEMO_NAME_SIZE = 40,
};

// Where a part's or an extra's scene went: its slot and first entity IDs (-1 = none), and its load flags.
struct DemoSceneRef {
    int32_t slot;
    int32_t objectBase;
    int32_t lightBase;
    int32_t fxEmitterBase;
    int32_t reuseObjects;  // objects whose geometry is already loaded become instances
    int32_t flushObjects;  // the slot is unloaded when the next part with a scene starts
};

struct DemoExtra {
    int32_t active;
    char directory[QE_DEMO_STRING_SIZE];
    char fileName[QE_DEMO_STRING_SIZE];
    int32_t time;
    int32_t length;
    DemoSceneRef scene;
};

struct DemoShaderCue {
    int32_t shown;
    int32_t done;
    char name[QE_DEMO_STRING_SIZE];
    int32_t time;
    int32_t length;
    int32_t cameraEffectId;
};

struct DemoFaderCue {
    int32_t fadeOut;
    int32_t active;
    int32_t done;
    int32_t time;
    int32_t length;
    int32_t fadeLength;
    int32_t colour;
};

struct DemoPart {
    char name[QE_DEMO_NAME_SIZE];
    int32_t time;
    int32_t timeReset;
    int32_t timeOrigin;
    char music[QE_DEMO_STRING_SIZE];
    char palette[QE_DEMO_STRING_SIZE];
    char directory[QE_DEMO_STRING_SIZE];
    char fileName[QE_DEMO_STRING_SIZE];
    float cameraNear;
    float cameraFar;
    int32_t musicId;
    int32_t paletteId;
    DemoSceneRef scene;
    int32_t paletteChannel;
    int32_t paletteValue;
    int32_t extraCount;
    DemoExtra extras[QE_DEMO_EXTRAS_MAX];
    int32_t shaderCount;
    DemoShaderCue shaders[QE_DEMO_SHADER_CUES_MAX];
    int32_t faderCount;
    DemoFaderCue faders[QE_DEMO_FADER_CUES_MAX];
};

struct DemoDescription {
    char musicDirectory[QE_DEMO_STRING_SIZE];
    char paletteDirectory[QE_DEMO_STRING_SIZE];
    char shadersDirectory[QE_DEMO_STRING_SIZE];
    int32_t partCount;
    DemoPart parts[QE_DEMO_PARTS_MAX];
};

// The next IDs the loaders hand out; run modes start them at 0, 1, 0, 0, 0, 1, 1.
struct DemoIdCounters {
    int32_t slot;
    int32_t object;
    int32_t light;
    int32_t fxEmitter;
    int32_t cameraEffect;
    int32_t palette;
    int32_t music;
};
DemoIdCounters qeDemoIdCountersStart();

struct DemoProgress {
    int32_t part;
    int32_t count;
};

// Description and loader: 0, or -1 after a message box.
int qeDemoParseIni(DemoDescription* demo, const char* fileName);
int qeDemoPrepare(DemoDescription* demo);
int32_t qeDemoLoadProgress(int32_t percent, void* progress);  // a DemoProgress; 1 = abort
int qeDemoLoadPalettes(DemoDescription* demo, int* nextPalette);
int qeDemoLoadScenes(DemoDescription* demo, const char* demoDir, DemoIdCounters* ids);  // 1 = aborted
int qeDemoCheckTiming(DemoDescription* demo);
int qeDemoLoadMusics(DemoDescription* demo, int* nextMusic);
int qeDemoLoadShaders(DemoDescription* demo, int* nextCameraEffect);
int qeDemoLoad(DemoDescription* demo, const char* fileName, DemoIdCounters* ids);

// Overall loading percent for a scene's percent while part `part` of `count` loads.
int qeDemoOverallPercent(int percent, int part, int count);

// Sequencer.
struct DemoPlayState {
    uint32_t clockBase;
    int32_t partIndex;
    int32_t currentSlot;
    int32_t currentMusic;
    int32_t musicBaseTime;
    int32_t lastPalette;
    int32_t time;        // the time line of the last pass
    int32_t switchTime;  // the time line when the last part switch came (before a time reset)
    int32_t partStart;   // when the current part started, on the time line that runs now
    DemoShaderCue* shader;
    DemoFaderCue* fader;
    int32_t musicEnded;        // the current music has played to its end...
    uint32_t musicEndClock;     // ...at this clock time
    int32_t musicEndPosition;  // ...and this position
};
void qeDemoPlayStart(DemoPlayState* state, uint32_t now);
// The music ID whose position the next pass reads (-1: the time line comes from the clock).
int qeDemoPlayMusicId(const DemoDescription* demo, const DemoPlayState* state);
// The position a pass takes from that music (`position` and `length` as the music player tells them, -1
// when it cannot). A music that has played to its end holds its last position; from then on the position
// goes on with the clock, so that parts timed after the music's end still come.
int qeDemoMusicPosition(DemoPlayState* state, int position, int length, uint32_t now);
// One pass without the frame: time line, at most one part switch, extras, palette, cues, faders and the
// current slot's update. `musicPosition` is the position of qeDemoPlayMusicId's music, or -1. The time line
// stays on the music: the clock takes it over where the music left it, and a time reset counts from the
// moment the part was due, or, for a part timed before the part before it, from its own start.
// 1 when the time line has reached the last part (the play ends), else 0.
int qeDemoPass(DemoDescription* demo, DemoPlayState* state, uint32_t now, int musicPosition);

int qeDemoWarmUp(DemoDescription* demo);
int qeDemoPlay(DemoDescription* demo);
int qeDemoFreeMusics(DemoDescription* demo);
int qeDemoFreePalettes(DemoDescription* demo);
int qeDemoFreeScenes(DemoDescription* demo);
int qeDemoFreeShaders(DemoDescription* demo);
int qeDemoFree(DemoDescription* demo);

#endif
