// The demo description: a *.demo.ini read into a DemoDescription. Section names and keys come back lower
// case from the ini library; a part's keys are "<section>:<key>". A description that does not fit the
// record (more than 64 parts, a value longer than its field) is refused rather than cut: a cut file name
// or part list would play another demo.
#include <iniparser/iniparser.h>

#include <cstdio>
#include <cstring>

#include "demo.h"
#include "scene_slots.h"
#include "sys.h"

namespace {

// The ini loader keeps lines under 1024 characters, so any section name and key suffix fit.
enum { KEY_SIZE = 1152 };

struct Reader {
    dictionary* ini;
    const char* section;
    char key[KEY_SIZE];

    const char* keyOf(const char* format, int n = -1) {
        char suffix[64];
        std::snprintf(suffix, sizeof(suffix), format, n);
        std::snprintf(key, sizeof(key), "%s:%s", section, suffix);
        return key;
    }
    bool has(const char* k) const { return iniparser_find_entry(ini, k) != 0; }
    int integer(const char* k, int fallback) const { return iniparser_getint(ini, k, fallback); }
    // Copies the value (or the fallback when the key is absent); -1 after a message when it does not fit.
    int text(const char* k, char* out, size_t size, const char* fallback) const {
        const char* value = iniparser_getstring(ini, k, fallback);
        if (!value) value = "";
        if (std::strlen(value) >= size) {
            qeSysMessageBox("Value too long in %s (max %d characters)", k, int(size) - 1);
            return -1;
        }
        std::strcpy(out, value);
        return 0;
    }
};

int readExtras(Reader* r, DemoPart* part) {
    for (int n = 0; n < QE_DEMO_CUE_NUMBERS && part->extraCount < QE_DEMO_EXTRAS_MAX; ++n) {
        DemoExtra* extra = &part->extras[part->extraCount];
        if (!r->has(r->keyOf("extra.%d.directory", n))) continue;
        if (r->text(r->key, extra->directory, sizeof(extra->directory), "") != 0) return -1;
        if (!r->has(r->keyOf("extra.%d.filename", n))) continue;
        if (r->text(r->key, extra->fileName, sizeof(extra->fileName), "") != 0) return -1;
        extra->time = r->integer(r->keyOf("extra.%d.time", n), 0);
        extra->length = r->integer(r->keyOf("extra.%d.length", n), 0);
        extra->scene.reuseObjects = r->integer(r->keyOf("extra.%d.reuseobjects", n), 0);
        extra->scene.flushObjects = r->integer(r->keyOf("extra.%d.flushobjects", n), 0);
        ++part->extraCount;
    }
    // A directory read for a number without a file name is not an extra.
    if (part->extraCount < QE_DEMO_EXTRAS_MAX) std::memset(&part->extras[part->extraCount], 0, sizeof(DemoExtra));
    return 0;
}

int readShaderCues(Reader* r, DemoPart* part) {
    for (int n = 0; n < QE_DEMO_CUE_NUMBERS && part->shaderCount < QE_DEMO_SHADER_CUES_MAX; ++n) {
        DemoShaderCue* cue = &part->shaders[part->shaderCount];
        if (!r->has(r->keyOf("shader.%d.name", n))) continue;
        if (r->text(r->key, cue->name, sizeof(cue->name), "") != 0) return -1;
        cue->time = r->integer(r->keyOf("shader.%d.time", n), 0);
        cue->length = r->integer(r->keyOf("shader.%d.length", n), 0);
        ++part->shaderCount;
    }
    return 0;
}

void readFaderCues(Reader* r, DemoPart* part) {
    for (int n = 0; n < QE_DEMO_CUE_NUMBERS && part->faderCount < QE_DEMO_FADER_CUES_MAX; ++n) {
        DemoFaderCue* cue = &part->faders[part->faderCount];
        cue->time = r->integer(r->keyOf("fader.%d.time", n), -1);
        if (cue->time == -1) continue;
        cue->length = r->integer(r->keyOf("fader.%d.length", n), 1000);
        cue->fadeLength = r->integer(r->keyOf("fader.%d.fadelength", n), 1000);
        cue->colour = r->integer(r->keyOf("fader.%d.color", n), 0);
        cue->fadeOut = r->integer(r->keyOf("fader.%d.fadein", n), -1) == -1 ? 1 : 0;
        ++part->faderCount;
    }
    if (part->faderCount < QE_DEMO_FADER_CUES_MAX) std::memset(&part->faders[part->faderCount], 0, sizeof(DemoFaderCue));
}

int readPart(Reader* r, DemoPart* part) {
    std::memset(part, 0, sizeof(*part));
    std::strncpy(part->name, r->section, sizeof(part->name) - 1);
    part->time = r->integer(r->keyOf("time"), -1);
    part->timeReset = r->integer(r->keyOf("timereset"), 0);
    part->timeOrigin = part->timeReset ? 0 : part->time;
    if (r->text(r->keyOf("music"), part->music, sizeof(part->music), "") != 0 ||
        r->text(r->keyOf("palette"), part->palette, sizeof(part->palette), "") != 0 ||
        r->text(r->keyOf("directory"), part->directory, sizeof(part->directory), "") != 0 ||
        r->text(r->keyOf("filename"), part->fileName, sizeof(part->fileName), "") != 0)
        return -1;

    part->paletteChannel = -1;
    static const char* const kChannels[3] = {"palette.r", "palette.g", "palette.b"};
    for (int channel = 0; channel < 3; ++channel) {
        part->paletteValue = r->integer(r->keyOf(kChannels[channel]), -1);
        if (part->paletteValue != -1) {
            part->paletteChannel = channel;
            break;
        }
    }

    if (r->has(r->keyOf("camerarange"))) {
        const char* range = iniparser_getstring(r->ini, r->key, "");
        // What does not read as numbers stays 0; the camera range turns 0 into its defaults.
        std::sscanf(range ? range : "", "%f %f", &part->cameraNear, &part->cameraFar);
    } else {
        part->cameraNear = 0.1f;
        part->cameraFar = 1000.0f;
    }
    part->scene.reuseObjects = r->integer(r->keyOf("reuseobjects"), 0);
    part->scene.flushObjects = r->integer(r->keyOf("flushobjects"), 0);

    if (readExtras(r, part) != 0 || readShaderCues(r, part) != 0) return -1;
    readFaderCues(r, part);
    return 0;
}

int readDescription(dictionary* ini, DemoDescription* demo) {
    Reader r{ini, "setup", {}};
    if (r.text("setup:musicdirectory", demo->musicDirectory, sizeof(demo->musicDirectory), "") != 0 ||
        r.text("setup:palettedirectory", demo->paletteDirectory, sizeof(demo->paletteDirectory), "") != 0 ||
        r.text("setup:shadersdirectory", demo->shadersDirectory, sizeof(demo->shadersDirectory), "") != 0)
        return -1;
    const int sections = iniparser_getnsec(ini);
    for (int i = 0; i < sections; ++i) {
        const char* name = iniparser_getsecname(ini, i);
        if (!name || !std::strstr(name, "part")) continue;
        if (demo->partCount == QE_DEMO_PARTS_MAX) {
            qeSysMessageBox("Too many parts (max %d)", int(QE_DEMO_PARTS_MAX));
            return -1;
        }
        r.section = name;
        if (readPart(&r, &demo->parts[demo->partCount]) != 0) return -1;
        ++demo->partCount;
    }
    if (demo->partCount == 0) {
        qeSysMessageBox("No parts!");
        return -1;
    }
    // Every scene a part or an extra names takes a scene slot of its own: a demo that names more would fail
    // on the first scene past the last slot, after loading all those before it.
    int scenes = 0;
    for (int p = 0; p < demo->partCount; ++p) {
        const DemoPart* part = &demo->parts[p];
        if (part->fileName[0]) ++scenes;
        for (int e = 0; e < part->extraCount; ++e)
            if (part->extras[e].fileName[0]) ++scenes;
    }
    if (scenes > QE_SCENE_SLOTS) {
        qeSysMessageBox("Too many scenes: a demo can hold %d, this one names %d (parts and extras)",
                        int(QE_SCENE_SLOTS), scenes);
        return -1;
    }
    return 0;
}

void clearScene(DemoSceneRef* scene) { scene->slot = scene->objectBase = scene->lightBase = scene->fxEmitterBase = -1; }

}  // namespace

int qeDemoParseIni(DemoDescription* demo, const char* fileName) {
    std::memset(demo, 0, sizeof(*demo));
    if (!fileName) {
        qeSysMessageBox("Fail to load %s", "(none)");
        return -1;
    }
    dictionary* ini = iniparser_load(fileName);
    if (!ini) {
        qeSysMessageBox("Fail to parse ini");
        return -1;
    }
    const int result = readDescription(ini, demo);
    iniparser_freedict(ini);
    return result;
}

int qeDemoPrepare(DemoDescription* demo) {
    for (int p = 0; p < demo->partCount; ++p) {
        DemoPart* part = &demo->parts[p];
        part->musicId = part->paletteId = -1;
        clearScene(&part->scene);
        for (int e = 0; e < part->extraCount; ++e) {
            DemoExtra* extra = &part->extras[e];
            extra->active = 0;
            clearScene(&extra->scene);
        }
        for (int c = 0; c < part->shaderCount; ++c) {
            part->shaders[c].shown = part->shaders[c].done = 0;
            part->shaders[c].cameraEffectId = -1;
        }
        for (int c = 0; c < part->faderCount; ++c) part->faders[c].active = part->faders[c].done = 0;
    }
    return 0;
}

DemoIdCounters qeDemoIdCountersStart() { return DemoIdCounters{0, 1, 0, 0, 0, 1, 1}; }
