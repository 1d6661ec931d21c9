// Loading a demo: its scenes into scene slots (under IDs handed out by the counters), the timing rules
// that derive part times from the scenes' musics, the musics and the camera-effect shaders. Every ID is
// recorded in the description as its item loads, so that the free functions release exactly what exists
// whatever step failed.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "camera_effects.h"
#include "demo.h"
#include "facade.h"
#include "loading_screen.h"
#include "log.h"
#include "music.h"
#include "scene_slots.h"
#include "sys.h"
#include "sysfile.h"

namespace {

enum { PATH_SIZE = 256, DEMO_DIR_SIZE = 2048, CUE_REFERENCES = 640 };

// Loads one scene file into the next slot, records where it went and advances the counters. 0, 1 when
// aborted (the slot is recorded all the same: what the load made before the abort stays in it until the
// free functions unload it), other = failure.
int loadScene(const char* fileName, const char* directory, int extra, DemoIdCounters* ids, DemoSceneRef* scene) {
    const int result = qeSceneLoad(fileName, ids->slot, ids->object, ids->light, ids->fxEmitter, ids->cameraEffect,
                                   scene->reuseObjects, directory, extra);
    if (result != 0 && result != 1) return result;
    const int slot = scene->slot = ids->slot++;
    if (result == 1) return 1;
    scene->objectBase = ids->object;
    scene->lightBase = ids->light;
    scene->fxEmitterBase = ids->fxEmitter;
    ids->object += qeSceneGetObjectCount(slot);
    ids->light += qeSceneGetLightCount(slot);
    ids->fxEmitter += qeSceneGetFxEmitterCount(slot);
    ids->cameraEffect += qeSceneGetCameraShaderCount(slot);
    return 0;
}

int loadPartScenes(DemoDescription* demo, int index, const char* demoDir, DemoIdCounters* ids) {
    DemoPart* part = &demo->parts[index];
    DemoProgress progress{index, demo->partCount};
    qeSceneSetProgressCallback(qeDemoLoadProgress, &progress);
    if (part->fileName[0]) {
        qeSysSetDir(demoDir);
        qeSysChangeDir(part->directory);
        const int result = loadScene(part->fileName, part->directory, 0, ids, &part->scene);
        if (result == 1) return 1;
        if (result != 0) {
            qeSysMessageBox("Fail to load scene %s", part->fileName);
            return result;
        }
    }
    for (int e = 0; e < part->extraCount; ++e) {
        DemoExtra* extra = &part->extras[e];
        if (!extra->fileName[0]) continue;
        qeSysSetDir(demoDir);
        qeSysChangeDir(extra->directory);
        qeSceneSetProgressCallback(nullptr, nullptr);
        const int result = loadScene(extra->fileName, extra->directory, 1, ids, &extra->scene);
        if (result == 1) return 1;
        if (result != 0) {
            qeSysMessageBox("Fail to load in scene %s the extra id=%d %s", part->fileName, e, extra->fileName);
            return result;
        }
    }
    return 0;
}

// The name a scene's music is looked for under in the music folder: its file name without folder and
// extension, with ".mp3".
const char* derivedMusic(const char* sceneMusic) {
    static char name[QE_DEMO_STRING_SIZE + 8];
    const char* base = sceneMusic;
    for (const char* c = sceneMusic; *c; ++c)
        if (*c == '/' || *c == '\\' || *c == ':') base = c + 1;
    size_t length = std::strlen(base);
    if (const char* dot = std::strrchr(base, '.')) length = size_t(dot - base);
    if (length > QE_DEMO_STRING_SIZE - 5) length = QE_DEMO_STRING_SIZE - 5;  // cannot match any part's music
    std::snprintf(name, sizeof(name), "%.*s.mp3", int(length), base);
    return name;
}

// The nearest earlier part with a music: its index, -1 when there is none, -2 after the message about a
// time reset in between.
int previousMusicPart(const DemoDescription* demo, int index) {
    for (int p = index - 1; p >= 0; --p) {
        const DemoPart* part = &demo->parts[p];
        if (part->music[0]) return p;
        if (part->timeReset) {
            qeSysMessageBox("Part %s: timereset no supported before a part that has a music within the scene",
                            demo->parts[index].name);
            return -2;
        }
    }
    return -1;
}

int checkPartTiming(DemoDescription* demo, int index) {
    DemoPart* part = &demo->parts[index];
    const char* sceneMusic = part->scene.slot >= 0 ? qeSceneGetMusic(part->scene.slot) : nullptr;
    if (part->time != -1) {
        if (part->music[0] || !sceneMusic) return 0;
        const char* derived = derivedMusic(sceneMusic);
        const int previous = previousMusicPart(demo, index);
        if (previous == -2) return -1;
        if (previous >= 0 && std::strcmp(demo->parts[previous].music, derived) == 0) {
            qeSysMessageBox("Part %s: music within the scene, with a time in the part :the music must not be the "
                            "same music than previous", part->name);
            return -1;
        }
        if (qeSceneGetMusicOffset(part->scene.slot) != 0) {
            qeSysMessageBox("Part %s: music within the scene, with a time in the part :the music offset within the "
                            "scene must be zero", part->name);
            return -1;
        }
        std::snprintf(part->music, sizeof(part->music), "%s", derived);
        return 0;
    }
    if (part->music[0]) {
        qeSysMessageBox("Part %s: no time, but music specified in the part, impossible to determine time begin of "
                        "the part", part->name);
        return -1;
    }
    if (!sceneMusic) {
        qeSysMessageBox("Part %s: no time, and no music specified in scene, impossible to determine time begin of "
                        "the part", part->name);
        return -1;
    }
    const char* derived = derivedMusic(sceneMusic);
    const int previous = previousMusicPart(demo, index);
    if (previous == -2) return -1;
    if (previous == -1) {
        qeSysMessageBox("Part %s: when no time in part and a music in the scene, there must be a music before",
                        part->name);
        return -1;
    }
    if (std::strcmp(demo->parts[previous].music, derived) != 0) {
        qeSysMessageBox("Part %s: when no time in part, the music in the scene must be the same than the previous "
                        "music", part->name);
        return -1;
    }
    part->time = part->timeOrigin = demo->parts[previous].timeOrigin + qeSceneGetMusicOffset(part->scene.slot);
    return 0;
}

// The loaders' path buffer; null after the message naming the loader.
char* pathBuffer(const char* loader) {
    char* path = static_cast<char*>(std::malloc(PATH_SIZE));
    if (!path) qeSysMessageBox("%s: Failed to malloc mem for path\n", loader);
    return path;
}

// "<folder>/<name>" in `path`; false when it does not fit (a cut path would name another file). The setup
// folders are relative to the demo's folder, the current folder while the demo loads: an empty one is that
// folder itself, so the name stands alone (at a drive's root it names the same file as "/<name>").
bool joinPath(char* path, const char* folder, const char* name) {
    const int n = folder[0] ? std::snprintf(path, PATH_SIZE, "%s/%s", folder, name)
                            : std::snprintf(path, PATH_SIZE, "%s", name);
    return n >= 0 && n < PATH_SIZE;
}

}  // namespace

int qeDemoOverallPercent(int percent, int part, int count) {
    if (count <= 0) return 0;
    return ((percent * 1000 / 100) + part * 1000) * 100 / (count * 1000);
}

int32_t qeDemoLoadProgress(int32_t percent, void* datum) {
    const DemoProgress* progress = static_cast<const DemoProgress*>(datum);
    if (progress) qeIrrlichtLoadingScreenProgress(qeDemoOverallPercent(percent, progress->part, progress->count));
    return !qeIrrlichtRun() || qeIrrlichtEscapeKeyEverPressed() ? 1 : 0;
}

int qeDemoLoadPalettes(DemoDescription* demo, int* nextPalette) {
    char* path = pathBuffer("qeDemoLoadPalettes");
    if (!path) return -1;
    // Palettes have no effect in this engine: the IDs are handed out, loading and applying do nothing.
    for (int p = 0; p < demo->partCount; ++p) {
        DemoPart* part = &demo->parts[p];
        if (!part->palette[0]) continue;
        joinPath(path, demo->paletteDirectory, part->palette);
        part->paletteId = (*nextPalette)++;
    }
    std::free(path);
    return 0;
}

int qeDemoLoadScenes(DemoDescription* demo, const char* demoDir, DemoIdCounters* ids) {
    int result = 0;
    for (int p = 0; p < demo->partCount && result == 0; ++p) result = loadPartScenes(demo, p, demoDir, ids);
    // The progress context lived on the stack of the part's load.
    qeSceneSetProgressCallback(nullptr, nullptr);
    qeSysSetDir(demoDir);
    return result;
}

int qeDemoCheckTiming(DemoDescription* demo) {
    for (int p = 0; p < demo->partCount; ++p)
        if (checkPartTiming(demo, p) != 0) return -1;
    // Parts play in file order, one switch a pass. After a part that neither restarts the time line nor
    // starts a music, the time line goes on from that part's time: a later part timed before it starts on
    // the next pass, so the part before it shows for one pass only. That plays; the log says so.
    for (int p = 1; p < demo->partCount; ++p) {
        const DemoPart* previous = &demo->parts[p - 1];
        const DemoPart* part = &demo->parts[p];
        if (previous->timeReset || previous->music[0] || part->time >= previous->time) continue;
        qeLogPrint(QE_LOG_WARN,
                   "Part %s: its time %d comes before the time %d of the part %s before it: the part %s shows for "
                   "one frame only (parts play in the order of the file)",
                   part->name, part->time, previous->time, previous->name, previous->name);
    }
    return 0;
}

int qeDemoLoadMusics(DemoDescription* demo, int* nextMusic) {
    char* path = pathBuffer("qeDemoLoadMusics");
    if (!path) return -1;
    for (int p = 0; p < demo->partCount; ++p) {
        DemoPart* part = &demo->parts[p];
        if (!part->music[0]) continue;
        const int id = *nextMusic;
        if (!joinPath(path, demo->musicDirectory, part->music) || qeIrrlichtLoadMusic(path, id) != 0 ||
            !qeIrrlichtMusicExist(id)) {
            qeSysMessageBox("Fail to load music %s", part->music);
            std::free(path);
            return -1;
        }
        part->musicId = id;
        ++*nextMusic;
    }
    std::free(path);
    return 0;
}

int qeDemoLoadShaders(DemoDescription* demo, int* nextCameraEffect) {
    char* path = pathBuffer("qeDemoLoadShaders");
    DemoShaderCue** names = static_cast<DemoShaderCue**>(std::malloc(CUE_REFERENCES * sizeof(DemoShaderCue*)));
    if (!path || !names) {
        if (path && !names) qeSysMessageBox("qeDemoLoadShaders: Failed to malloc mem for path\n");
        std::free(path);
        std::free(names);
        return -1;
    }
    // One camera effect per name, whatever its letter case; the first cue that carries it represents it.
    int count = 0;
    for (int p = 0; p < demo->partCount; ++p)
        for (int c = 0; c < demo->parts[p].shaderCount; ++c) {
            DemoShaderCue* cue = &demo->parts[p].shaders[c];
            int n = 0;
            while (n < count && qeSysStrCaseCmp(names[n]->name, cue->name) != 0) ++n;
            if (n == count && count < CUE_REFERENCES) names[count++] = cue;
        }
    int result = 0;
    for (int n = 0; n < count && result == 0; ++n) {
        DemoShaderCue* cue = names[n];
        cue->cameraEffectId = (*nextCameraEffect)++;
        if (joinPath(path, demo->shadersDirectory, cue->name))
            qeIrrlichtMakeCameraEffectFromFile(cue->cameraEffectId, path);
        if (!qeIrrlichtCameraEffectExist(cue->cameraEffectId)) {
            qeSysMessageBox("Failed to load shader %s", path);
            cue->cameraEffectId = -1;
            result = -1;
        }
    }
    // Cues share their representative's effect; those of the names not loaded keep none.
    for (int p = 0; p < demo->partCount; ++p)
        for (int c = 0; c < demo->parts[p].shaderCount; ++c) {
            DemoShaderCue* cue = &demo->parts[p].shaders[c];
            for (int n = 0; n < count; ++n)
                if (qeSysStrCaseCmp(names[n]->name, cue->name) == 0) {
                    cue->cameraEffectId = names[n]->cameraEffectId;
                    break;
                }
        }
    std::free(names);
    std::free(path);
    return result;
}

int qeDemoLoad(DemoDescription* demo, const char* fileName, DemoIdCounters* ids) {
    char* demoDir = static_cast<char*>(std::malloc(DEMO_DIR_SIZE));
    if (!demoDir) {
        qeSysMessageBox("qeDemoLoad: Failed to malloc mem for defdir\n");
        return -1;
    }
    if (qeDemoParseIni(demo, fileName) != 0) {
        qeDemoPrepare(demo);  // the parts read so far hold no IDs for the free functions
        std::free(demoDir);
        return -1;
    }
    qeDemoPrepare(demo);
    qeSceneSetLoadVerbose(1);
    std::snprintf(demoDir, DEMO_DIR_SIZE, "%s", qeSysPathPath(qeSysPathFull(fileName)));

    qeSysSetDir(demoDir);
    qeIrrlichtLoadingScreenBegin();
    qeSysSetDir(demoDir);
    int result = qeDemoLoadPalettes(demo, &ids->palette);
    if (result == 0) {
        qeSysSetDir(demoDir);
        result = qeDemoLoadScenes(demo, demoDir, ids) == 0 ? 0 : -1;
    }
    if (result == 0) result = qeDemoCheckTiming(demo);
    if (result == 0) {
        qeSysSetDir(demoDir);
        result = qeDemoLoadMusics(demo, &ids->music);
    }
    if (result == 0) {
        qeSysSetDir(demoDir);
        qeDemoLoadShaders(demo, &ids->cameraEffect);  // a missing shader is told but does not stop the demo
    }
    if (result == 0)
        qeIrrlichtLoadingScreenEnd();
    else
        qeIrrlichtLoadingScreenAbandon();
    std::free(demoDir);
    return result;
}
