// Scene slots on a started engine: a scene written at test time loads into a slot under the given ID
// bases, with its objects, lights, fx emitters and camera shaders hidden; show, park and unload act on
// the group; bad slots, unreadable files and the progress callback; the camera-shader and surface caps;
// reloads, which remake only what changed and take back the materials of the shaders they remake.
#include <gtest/gtest.h>
#include <irrlicht.h>
#include <windows.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "camera_effects.h"
#include "device_check.h"
#include "engine.h"
#include "file_fixtures.h"
#include "fxemitter.h"
#include "lights.h"
#include "engine_context.h"
#include "lookups.h"
#include "object_surfaces.h"
#include "objects.h"
#include "particles/CQeParticleSystemSceneNode.h"
#include "scene_slots.h"
#include "scene_writer.h"
#include "shader_engine.h"
#include "shader_object.h"
#include "shell_fixtures.h"
#include "stdout_capture.h"
#include "sysfile.h"

namespace {

const char* const kEffect =
    "//[QIRN_BEGIN]\n//function vertexMain : vsMain\n//function pixelMain : psMain\n"
    "//float Strength : 0.5 : pixel\n//[QIRN_END]\n"
    "float Strength;\n"
    "float4 vsMain(float4 p : POSITION) : POSITION { return p; }\n"
    "float4 psMain() : COLOR0 { return float4(Strength, 0, 0, 1); }\n";

std::string cameraShaders(int n, const char* file) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += std::string("IMFL { NAME \"QirnPostProc\" PRPS { PROP string filename \"") + file +
             "\" } SHAD { FNAM \"" + file + "\" } }\n";
    return s;
}

// Objects: a cube, an empty null, the cube's layer again; two lights; a box emitter; camera shaders.
std::string sceneDescription(int shaders, const char* shaderFile, int surfaces = 0) {
    std::string d = R"(
SCEN { NAME "S" FNAM "s.lws"
  PRPS { PROP int frameStart 5  PROP int frameEnd 55  PROP float framesPerSecond 25
         PROP string loadAudio "music.mp3"  PROP float audioStartTime 1.5 } }
PROC { )" + cameraShaders(shaders, shaderFile) + R"( }
OBJE { NAME "cube:Layer1" FNAM "cube.lwo" PRPS { PROP int numPoints 8  PROP int numPolygons 6  PROP int layer 1 } }
OBJE { NAME "null" FNAM "null.lwo" PRPS { PROP int numPoints 0  PROP int layer 1 } }
OBJE { NAME "again" FNAM "cube.lwo" PRPS { PROP int numPoints 8  PROP int numPolygons 6  PROP int layer 1 } }
LIGH { NAME "Key" PRPS { PROP int type 2  PROP float2 coneAngles 0.5 0.1  PROP float intensity 1 } }
LIGH { NAME "Fill" PRPS { PROP int type 1  PROP float intensity 0.5 } }
FXEM { NAME "Sparks" PRPS { PROP int FxEmitterType 0  PROP int Nozzle 0  PROP float3 GeneratorSize 1 2 3
                            PROP int ParticleLimit 50  PROP string HV.ClipFilename "spark.png" } }
)";
    if (surfaces) {
        d += "SOBJ { NAME \"cube\" FNAM \"cube.lwo\" ";
        for (int i = 0; i < surfaces; ++i) d += "SURF { NAME \"s" + std::to_string(i) + "\" } ";
        d += "}\n";
    }
    return d;
}

std::vector<int> g_progress;
int g_abortAt = -1;
int32_t recordProgress(int32_t percent, void*) {
    g_progress.push_back(percent);
    return percent == g_abortAt ? 1 : 0;
}

class SceneSlots : public testing::Test {
protected:
    static void SetUpTestSuite() {
        files = new qetest::TempDir("scene-slots");
        ASSERT_EQ(0, qetest::startShaderEngine(QIRN_OUTPUT_DIR, files->mkdir("cache")));
        std::ifstream cube(std::string(QIRN_EXAMPLES_DIR) + "cube.x", std::ios::binary);
        std::stringstream text;
        text << cube.rdbuf();
        files->write("cube.layer1.x", text.str());
        CopyFileA((std::string(QIRN_OUTPUT_DIR) + "textures/QeDefaultParticle.png").c_str(),
                  (files->path() + "spark.png").c_str(), FALSE);
        files->write("effect.hlsl", kEffect);
        SetCurrentDirectoryA(files->path().c_str());
    }
    static void TearDownTestSuite() {
        for (int slot = 0; slot < QE_SCENE_SLOTS; ++slot) qeSceneUnload(slot);
        qeIrrlichtTerm();
        SetCurrentDirectoryA(QIRN_OUTPUT_DIR);
        delete files;
    }
    SceneSlots() {
        g_progress.clear();
        g_abortAt = -1;
        qeSceneSetProgressCallback(recordProgress, nullptr);
    }
    ~SceneSlots() override {
        qeSceneSetProgressCallback(nullptr, nullptr);
        for (int slot = 0; slot < QE_SCENE_SLOTS; ++slot) qeSceneUnload(slot);
    }
    static std::string writeScene(const char* name, const std::string& description) {
        std::string error;
        const std::vector<uint8_t> bytes = qeSceneWriteDescription(description, &error);
        EXPECT_FALSE(bytes.empty()) << error;
        const std::string path = files->path() + name;
        EXPECT_TRUE(qeSceneWriteFile(path, bytes));
        return path;
    }
    static size_t boxesContaining(const char* text) {
        size_t n = 0;
        for (const std::string& b : qetest::BoxRecorder::boxes()) n += b.find(text) != std::string::npos;
        return n;
    }
    static qetest::TempDir* files;
};
qetest::TempDir* SceneSlots::files = nullptr;

TEST_F(SceneSlots, LoadCreatesEverythingHiddenAndUnloadRemovesIt) {
    const std::string file = writeScene("a.qirn", sceneDescription(1, "effect.hlsl"));
    qetest::BoxRecorder boxes;
    ASSERT_EQ(0, qeSceneLoad(file.c_str(), 5, 10, 3, 7, 2, 0, "dirA", 0));
    EXPECT_EQ(0, g_progress.at(0));
    EXPECT_EQ(std::vector<int>({0, 0, 33, 66}), g_progress);

    // Object i under base + i; the empty object's ID stays free; the layer used twice is an instance.
    EXPECT_EQ(1, qeIrrlichtObjectExist(10));
    EXPECT_EQ(0, qeIrrlichtObjectExist(11));
    EXPECT_EQ(1, qeIrrlichtObjectExist(12));
    EXPECT_EQ(1, qeIrrlichtLightExist(3));
    EXPECT_EQ(1, qeIrrlichtLightExist(4));
    EXPECT_EQ(1, qeIrrlichtFxEmitterExist(7));
    EXPECT_EQ(1, qeIrrlichtCameraEffectExist(2));
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front();
    // Loaded means hidden.
    EXPECT_EQ(0, qeIrrlichtObjectVisible(10));
    EXPECT_EQ(0, qeIrrlichtObjectVisible(12));
    EXPECT_EQ(0, qeIrrlichtLightVisible(3));
    // ...yet the first update sends every switch.
    EXPECT_EQ(std::vector<int>(7, -1), std::vector<int>(qeSceneGetSlot(5)->lastApplied, qeSceneGetSlot(5)->lastApplied + 7));

    EXPECT_EQ(3, qeSceneGetObjectCount(5));
    EXPECT_EQ(2, qeSceneGetLightCount(5));
    EXPECT_EQ(1, qeSceneGetFxEmitterCount(5));
    EXPECT_EQ(1, qeSceneGetCameraShaderCount(5));
    EXPECT_EQ(25, qeSceneGetFps(5));
    EXPECT_EQ(5, qeSceneGetFirstFrame(5));
    EXPECT_EQ(2000, qeSceneGetDuration(5));
    ASSERT_NE(nullptr, qeSceneGetMusic(5));
    EXPECT_STREQ("music.mp3", qeSceneGetMusic(5));
    EXPECT_EQ(-1300, qeSceneGetMusicOffset(5));  // (5 / 25 - 1.5) s

    // A second scene from the same directory finds the cube already loaded and instances it.
    const std::string second = writeScene("b.qirn", sceneDescription(0, "effect.hlsl"));
    ASSERT_EQ(0, qeSceneLoad(second.c_str(), 6, 20, 30, 40, 50, 1, "DIRA", 0));
    EXPECT_EQ(10, qeSceneFindObjectByFile("dira", "CUBE.layer1.x"));
    EXPECT_EQ(12, qeSceneFindObjectByName(5, "AGAIN"));
    EXPECT_EQ(-1, qeSceneFindObjectByName(5, "null"));
    EXPECT_EQ(1, qeIrrlichtObjectExist(20));

    qeSceneShow(5);
    EXPECT_EQ(1, qeIrrlichtObjectVisible(10));
    EXPECT_EQ(1, qeIrrlichtLightVisible(4));
    EXPECT_EQ(0, qeIrrlichtObjectVisible(20));  // the other slot stays hidden

    // Park sends the objects far below and leaves the lights lit; show does not bring them back.
    qeScenePark(5);
    EXPECT_FLOAT_EQ(-1000000.0f, qeIrrlichtGetObjectNode(12)->getPosition().Z);
    EXPECT_EQ(1, qeIrrlichtLightVisible(3));
    qeSceneShow(5);
    EXPECT_FLOAT_EQ(-1000000.0f, qeIrrlichtGetObjectNode(12)->getPosition().Z);

    qeSceneUnload(5);
    EXPECT_EQ(0, qeIrrlichtObjectExist(10));
    EXPECT_EQ(0, qeIrrlichtObjectExist(12));
    EXPECT_EQ(0, qeIrrlichtLightExist(3));
    EXPECT_EQ(0, qeIrrlichtLightExist(4));
    EXPECT_EQ(0, qeIrrlichtFxEmitterExist(7));
    EXPECT_EQ(0, qeIrrlichtCameraEffectExist(2));
    EXPECT_EQ(-1, qeSceneGetObjectCount(5));
    EXPECT_EQ(nullptr, qeSceneGetMusic(5));
    EXPECT_EQ(1, qeIrrlichtObjectExist(20));  // the instance outlives its source's slot
}

TEST_F(SceneSlots, BadSlotsFilesAndAbortsLeaveSlotsUnused) {
    const std::string file = writeScene("c.qirn", sceneDescription(0, "effect.hlsl"));
    EXPECT_EQ(-1, qeSceneLoad(file.c_str(), 60, 10, 3, 7, 2, 0, "d", 0));
    EXPECT_EQ(std::vector<int>({0}), g_progress);
    EXPECT_EQ(-1, qeSceneLoad(file.c_str(), -1, 10, 3, 7, 2, 0, "d", 0));

    g_progress.clear();
    g_abortAt = 0;
    EXPECT_EQ(1, qeSceneLoad(file.c_str(), 3, 10, 3, 7, 2, 0, "d", 0));
    EXPECT_EQ(0, qeSceneGetSlot(3)->inUse);
    EXPECT_EQ(0, qeIrrlichtObjectExist(10));

    g_abortAt = -1;
    EXPECT_EQ(-1, qeSceneLoad((files->path() + "missing.qirn").c_str(), 3, 10, 3, 7, 2, 0, "d", 0));
    EXPECT_EQ(0, qeSceneGetSlot(3)->inUse);
    files->write("broken.qirn", "FORM");
    EXPECT_EQ(-1, qeSceneLoad((files->path() + "broken.qirn").c_str(), 3, 10, 3, 7, 2, 0, "d", 0));
    EXPECT_EQ(0, qeSceneGetSlot(3)->inUse);
    EXPECT_EQ(-1, qeSceneGetFxEmitterCount(3));
    EXPECT_EQ(0, qeSceneGetMusicOffset(3));
    qeSceneHide(60);
    qeSceneShow(-1);
    qeScenePark(3);

    // Loading into a used slot unloads what was there first.
    ASSERT_EQ(0, qeSceneLoad(file.c_str(), 3, 10, 3, 7, 2, 0, "d", 0));
    ASSERT_EQ(0, qeSceneLoad(file.c_str(), 3, 100, 13, 17, 12, 0, "d", 0));
    EXPECT_EQ(0, qeIrrlichtObjectExist(10));
    EXPECT_EQ(0, qeIrrlichtLightExist(3));
    EXPECT_EQ(1, qeIrrlichtObjectExist(100));
}

// The duration in ms from the frame range and rate; frame numbers far apart or backwards never wrap it.
TEST_F(SceneSlots, DurationStaysWithinZeroAndTheIntegerRange) {
    const auto scene = [](const char* first, const char* last, const char* fps) {
        return std::string("SCEN { NAME \"d\" FNAM \"d.lws\" PRPS { PROP int frameStart ") + first +
               "  PROP int frameEnd " + last + "  PROP float framesPerSecond " + fps + " } }\n";
    };
    const struct {
        const char *first, *last, *fps;
        int duration;
    } cases[] = {{"0", "50", "25", 2000}, {"0", "100000000", "25", INT32_MAX},
                 {"100", "0", "25", 0}, {"0", "50", "-25", 0}};
    for (const auto& c : cases) {
        const std::string file = writeScene("d.qirn", scene(c.first, c.last, c.fps));
        ASSERT_EQ(0, qeSceneLoad(file.c_str(), 2, 10, 3, 7, 2, 0, "d", 0));
        EXPECT_EQ(c.duration, qeSceneGetDuration(2)) << c.first << " " << c.last << " " << c.fps;
        qeSceneUnload(2);
    }
}

TEST_F(SceneSlots, ExtraSlotHasNoLightsNorCameraShaders) {
    const std::string file = writeScene("e.qirn", sceneDescription(1, "effect.hlsl"));
    ASSERT_EQ(0, qeSceneLoad(file.c_str(), 0, 10, 3, 7, 2, 0, "e", 1));
    EXPECT_EQ(1, qeIrrlichtObjectExist(10));
    EXPECT_EQ(1, qeIrrlichtFxEmitterExist(7));
    EXPECT_EQ(0, qeIrrlichtLightExist(3));
    EXPECT_EQ(0, qeIrrlichtCameraEffectExist(2));
    EXPECT_EQ(2, qeSceneGetLightCount(0));  // the scene's own count
    qeSceneShow(0);
    EXPECT_EQ(1, qeIrrlichtObjectVisible(10));
}

// More camera shaders than a slot keeps flags for, and more surfaces than the fixed work buffer held:
// the load reports both and writes nothing past the slot's arrays.
TEST_F(SceneSlots, CameraShaderAndSurfaceCapsAreReportedAndHeld) {
    const std::string file = writeScene("caps.qirn", sceneDescription(28, "no-such-effect.hlsl", 300));
    qetest::BoxRecorder boxes;
    ASSERT_EQ(0, qeSceneLoad(file.c_str(), 7, 10, 3, 7, 100, 0, "caps", 0));
    EXPECT_EQ(8u, boxesContaining("> max 20 camera shaders"));
    EXPECT_EQ(1u, boxesContaining("Camera shader i=27 > max 20 camera shaders"));
    EXPECT_EQ(2u, boxesContaining("numSurfaces=300 > NOF_SURFACE_MAX=256"));
    EXPECT_EQ(1u, boxesContaining("The camera shader id=0 file='no-such-effect.hlsl' cannot be loaded"));
    EXPECT_EQ(28, qeSceneGetCameraShaderCount(7));
    qeSceneHide(7);
    // The hide touched the 20 shown flags only: the last time past them still holds its start value.
    EXPECT_EQ(INT32_MIN, qeSceneGetSlot(7)->lastTime);
    EXPECT_EQ(0, qeSceneGetSlot(7)->lastApplied[6]);
    EXPECT_EQ(1, qeIrrlichtObjectExist(10));
    qeSceneUnload(7);
    EXPECT_EQ(0, qeIrrlichtObjectExist(12));
}

// An emitter that names no image is not made, and the message shows the missing name as an empty one.
TEST_F(SceneSlots, AnEmitterWithoutAnImageIsReportedWithAnEmptyName) {
    const std::string file = writeScene("noimage.qirn", R"(
SCEN { NAME "N" FNAM "n.lws" PRPS { PROP int frameStart 0  PROP int frameEnd 49  PROP float framesPerSecond 25 } }
FXEM { NAME "Sparks" PRPS { PROP int FxEmitterType 0  PROP int Nozzle 0  PROP float HV.ParticleSize 1 } }
)");
    qetest::BoxRecorder boxes;
    const int verbose = qeSceneGetLoadVerbose();
    qeSceneSetLoadVerbose(1);
    const int loaded = qeSceneLoad(file.c_str(), 6, 10, 3, 7, 2, 0, "n", 0);
    qeSceneSetLoadVerbose(verbose);
    ASSERT_EQ(0, loaded);
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("fxemitter id=7 : image file='' not set", boxes.text(0));
    EXPECT_EQ(0, qeIrrlichtFxEmitterExist(7));
}

// What the load could not create (an object whose layer file is missing, an emitter without an image, a
// light under an ID beyond the table) is left out of show, hide, park and every update: the load already
// said why, and the log does not repeat it at every frame. What was created is still placed.
TEST_F(SceneSlots, EntitiesTheLoadCouldNotCreateAreLeftOutOfShowParkAndUpdate) {
    const std::string file = writeScene("gone.qirn", R"(
SCEN { NAME "G" FNAM "g.lws" PRPS { PROP int frameStart 0  PROP int frameEnd 49  PROP float framesPerSecond 25 } }
OBJE { NAME "gone:Layer1" FNAM "gone.lwo" PRPS { PROP int numPoints 8  PROP int numPolygons 6  PROP int layer 1 } }
OBJE { NAME "cube:Layer1" FNAM "cube.lwo" PRPS { PROP int numPoints 8  PROP int numPolygons 6  PROP int layer 1 } }
LIGH { NAME "Key" PRPS { PROP int type 1  PROP float intensity 1 } }
LIGH { NAME "Fill" PRPS { PROP int type 1  PROP float intensity 0.5 } }
FXEM { NAME "Sparks" PRPS { PROP int FxEmitterType 0  PROP int Nozzle 0  PROP float HV.ParticleSize 1 } }
CAME { NAME "Cam" PRPS { PROP float2 fovAngles 1 0.75 } }
CGRP { NAME "Qirn.World:cube:Layer1" CHAN { NAME "Position.X" VALS { VDAT 4 0 10 20 30 } } }
)");
    std::string printed;
    {
        qetest::StdoutCapture out(files->path() + "stdout.txt");
        ASSERT_EQ(0, qeSceneLoad(file.c_str(), 8, 10, 999, 7, 2, 0, "gone", 0));
        std::fflush(stdout);
        printed = out.text();
        ASSERT_EQ(0, qeIrrlichtObjectExist(10));
        ASSERT_EQ(1, qeIrrlichtObjectExist(11));
        ASSERT_EQ(1, qeIrrlichtLightExist(999));
        ASSERT_EQ(0, qeIrrlichtLightExist(1000));
        ASSERT_EQ(0, qeIrrlichtFxEmitterExist(7));
        qeSceneShow(8);
        for (int time = 0; time < 2000; time += 40) qeSceneUpdate(8, time);
        qeScenePark(8);
        qeSceneHide(8);
        qeSceneShow(8);
        qeSceneUpdate(8, 40);
        std::fflush(stdout);
        printed = out.text().substr(printed.size());
    }
    EXPECT_EQ(std::string::npos, printed.find("does not exist")) << printed.substr(0, 2000);
    EXPECT_FLOAT_EQ(10.0f, qeIrrlichtGetObjectNode(11)->getPosition().X);
    EXPECT_EQ(1, qeIrrlichtObjectVisible(11));
    EXPECT_EQ(1, qeIrrlichtLightVisible(999));
}

// The update: render switches sent only when they change (seen by overwriting the field with a sentinel
// and checking whether the next update overwrote it), objects placed from their channels (relative to
// the scene camera in an extra slot), camera shaders shown and hidden by their frame range.
TEST_F(SceneSlots, UpdateSendsSwitchesWhenTheyChangeAndPlacesFromChannels) {
    const std::string file = writeScene("update.qirn", R"(
SCEN { NAME "U" FNAM "u.lws" PRPS { PROP int frameStart 0  PROP int frameEnd 49  PROP float framesPerSecond 25 } }
PROC { PRPS { PROP int GlowEffect 0 }
  IMFL { NAME "QirnRenderSettings" PRPS { PROP int CH_STREAK_ENABLE 1  PROP float CH_STREAK_GLOWMIN 0.25 } }
  IMFL { NAME "QirnPostProc" PRPS { PROP string filename "effect.hlsl"  PROP int useframe 1  PROP int startframe 10
                                    PROP int endframe 20 } SHAD { FNAM "effect.hlsl" } } }
OBJE { NAME "cube:Layer1" FNAM "cube.lwo" PRPS { PROP int numPoints 8  PROP int numPolygons 6  PROP int layer 1 } }
CAME { NAME "Cam" PRPS { PROP float2 fovAngles 1 0.75 } }
CGRP { NAME "Qirn.World:cube:Layer1" CHAN { NAME "Position.X" VALS { VDAT 4 0 10 20 30 } } }
CGRP { NAME "Qirn.World:Cam" CHAN { NAME "Position.Z" VALS { VRUN 50 -10 } } }
)");
    RenderSettings& r = qeIrrlichtGetContext()->render;
    ASSERT_EQ(0, qeSceneLoad(file.c_str(), 2, 10, 3, 7, 2, 0, "u", 0));
    ASSERT_EQ(1, qeIrrlichtCameraEffectExist(2));
    r.glowOn = 77;
    r.streakOn = 77;
    r.streakGlowMin = -5;
    qeSceneUpdate(2, 0);
    EXPECT_EQ(0, r.glowOn);  // off, sent once after the load
    EXPECT_EQ(1, r.streakOn);
    EXPECT_FLOAT_EQ(0.25f, r.streakGlowMin);
    EXPECT_EQ(0, qeSceneGetSlot(2)->cameraShaderShown[0]);

    r.glowOn = 77;
    r.streakOn = 77;
    r.streakGlowMin = -5;
    qeSceneUpdate(2, 40);
    EXPECT_EQ(77, r.glowOn);                   // unchanged switches: not re-sent
    EXPECT_EQ(77, r.streakOn);
    EXPECT_FLOAT_EQ(0.25f, r.streakGlowMin);   // its values go every frame
    EXPECT_FLOAT_EQ(10.0f, qeIrrlichtGetObjectNode(10)->getPosition().X);

    qeSceneUpdate(2, 600);  // frame 15: the camera shader's range
    EXPECT_EQ(1, qeSceneGetSlot(2)->cameraShaderShown[0]);
    qeSceneUpdate(2, 1000);
    EXPECT_EQ(0, qeSceneGetSlot(2)->cameraShaderShown[0]);
    EXPECT_EQ(1000, qeSceneGetSlot(2)->lastTime);

    qeSceneHide(2);
    r.streakOn = 77;
    r.glowOn = 77;
    qeSceneUpdate(2, 40);
    EXPECT_EQ(1, r.streakOn);  // a switch that is on goes again after a hide
    EXPECT_EQ(77, r.glowOn);   // one that is off does not
    qeSceneUnload(2);

    // An extra slot leaves the render settings alone and places its objects relative to the scene camera.
    ASSERT_EQ(0, qeSceneLoad(file.c_str(), 3, 20, 30, 40, 50, 0, "u", 1));
    r.streakOn = 77;
    qeSceneUpdate(3, 40);
    EXPECT_EQ(77, r.streakOn);
    const irr::core::vector3df p = qeIrrlichtGetObjectNode(20)->getPosition();
    EXPECT_FLOAT_EQ(10.0f, p.X);
    EXPECT_FLOAT_EQ(10.0f, p.Z);
    qeSceneUpdate(-1, 0);
    qeSceneUpdate(60, 0);
}

// An emitter made the way a scene makes it (a box nozzle, the image's colour replaced by the scene's, birth
// rate, velocity and life time from the scene) shows its particles once the slot is shown and played.
TEST_F(SceneSlots, AnEmitterFromASceneDrawsItsParticles) {
    const std::string file = writeScene("sparks.qirn", R"(
SCEN { NAME "F" FNAM "f.lws" PRPS { PROP int frameStart 0  PROP int frameEnd 249  PROP float framesPerSecond 25 } }
FXEM { NAME "Sparks" PRPS { PROP int FxEmitterType 0  PROP int Nozzle 0  PROP float3 GeneratorSize 10 2 10
       PROP int ParticleLimit 300  PROP float BirthRate 60  PROP float3 Velocity 0 0.6 0  PROP float VelocityP 1
       PROP float2 LifeTime 60 10  PROP float3 Gravity 0 -0.2 0  PROP float3 HV.VColor 1 0.6 0.2
       PROP float HV.ParticleSize 1.2  PROP string HV.ClipFilename "spark.png" } }
)");
    ASSERT_EQ(0, qeSceneLoad(file.c_str(), 4, 10, 3, 7, 2, 0, "f", 0));
    ASSERT_EQ(1, qeIrrlichtFxEmitterExist(7));
    qeSceneShow(4);
    EngineContext* ctx = qeIrrlichtGetContext();
    irr::video::ITexture* target = ctx->driver->addRenderTargetTexture(irr::core::dimension2du(64, 64), "sparks");
    ASSERT_NE(nullptr, target);
    irr::scene::ICameraSceneNode* camera =
        ctx->smgr->addCameraSceneNode(nullptr, irr::core::vector3df(0, 0, -30), irr::core::vector3df(0, 0, 0));
    camera->setAspectRatio(1.0f);
    ctx->device->getTimer()->stop();
    size_t lit = 0;
    for (irr::u32 t = 40; t <= 2000; t += 40) {
        ctx->device->getTimer()->setTime(1000 + t);
        qeSceneUpdate(4, static_cast<int>(t));
        if (!ctx->driver->beginScene(true, true, irr::video::SColor(255, 0, 0, 0))) continue;
        ctx->driver->setRenderTarget(target, true, true, irr::video::SColor(255, 0, 0, 0));
        ctx->smgr->drawAll();
        ctx->driver->setRenderTarget(0, false, false);
        ctx->driver->endScene();
    }
    for (irr::u32 pixel : qetest::readPixels(target)) lit += (pixel & 0x00FFFFFFu) != 0;
    EXPECT_GT(lit, 20u);
    ctx->smgr->setActiveCamera(ctx->camera);
    camera->remove();
    ctx->driver->removeTexture(target);
    ctx->device->getTimer()->start();

    // Without a particle size the particles cannot show: the log says so.
    const std::string sizeless = writeScene("sizeless.qirn", R"(
SCEN { NAME "F" FNAM "f.lws" PRPS { PROP int frameStart 0  PROP int frameEnd 249  PROP float framesPerSecond 25 } }
FXEM { NAME "Sparks" PRPS { PROP int FxEmitterType 0  PROP int Nozzle 0  PROP string HV.ClipFilename "spark.png" } }
)");
    std::string printed;
    {
        qetest::StdoutCapture out(files->path() + "stdout.txt");
        qeSceneLoad(file.c_str(), 4, 10, 3, 7, 2, 0, "f", 0);
        std::fflush(stdout);
        EXPECT_EQ(std::string::npos, out.text().find("particle size"));
        qeSceneLoad(sizeless.c_str(), 4, 10, 3, 7, 2, 0, "f", 0);
        std::fflush(stdout);
        printed = out.text();
    }
    EXPECT_NE(std::string::npos, printed.find("WARN : fxemitter id=7 'Sparks' has particle size 0: its particles do not "
                                              "show\n")) << printed;
}

// A scene's mesh emitter (kind 1) puts one lasting particle on each vertex of the object it names, where
// the scene places that object; its birth rate makes no more. An object made again by a reload takes a
// new emitter with it.
TEST_F(SceneSlots, AMeshEmitterOfASceneSitsOnTheVerticesOfItsObject) {
    CopyFileA((files->path() + "spark.png").c_str(), (files->path() + "spark2.png").c_str(), FALSE);
    const auto scene = [](const char* x, const char* texture) {
        return std::string(R"(
SCEN { NAME "M" FNAM "m.lws" PRPS { PROP int frameStart 0  PROP int frameEnd 49  PROP float framesPerSecond 25 } }
OBJE { NAME "cube:Layer1" FNAM "cube.lwo" PRPS { PROP int numPoints 8  PROP int numPolygons 6  PROP int layer 1 } }
FXEM { NAME "cube:Layer1" PRPS { PROP int FxEmitterType 1  PROP float BirthRate 60  PROP float HV.ParticleSize 1
                                PROP string HV.ClipFilename "spark.png" } }
CGRP { NAME "Qirn.World:cube:Layer1" CHAN { NAME "Position.X" VALS { VRUN 50 )") + x + R"( } } }
SOBJ { NAME "cube" FNAM "cube.lwo" SURF { NAME "skin" PRPS { PROP string BaseColor_tex_image ")" + texture + R"(" } } }
)";
    };
    // the particles of emitter 7 after a few frames, each on a corner of the cube (corners at ±10) at x
    const auto onCorners = [](float x) {
        irr::scene::ISceneNode* root = qeIrrlichtGetContext()->smgr->getRootSceneNode();
        for (int t = 40; t <= 200; t += 40) {
            qeSceneUpdate(4, t);
            root->OnAnimate(1000 + t);
        }
        FxEmitterEntry* entry = qeIrrlichtGetFxEmitterEntry(7);
        irr::scene::IMesh* mesh = getObjectMesh(10);
        if (!entry || !mesh) return false;
        CQeFxEmitter* emitter = static_cast<CQeParticleSystemSceneNode*>(entry->node)->getFxEmitter();
        irr::u32 vertices = 0;
        for (irr::u32 b = 0; b < mesh->getMeshBufferCount(); ++b) vertices += mesh->getMeshBuffer(b)->getVertexCount();
        std::vector<SQeParticleInstance> records(vertices + 1);
        records.resize(emitter->fillInstances(records.data(), static_cast<irr::s32>(records.size())));
        EXPECT_EQ(vertices, records.size());
        for (const SQeParticleInstance& r : records)
            if (std::fabs(std::fabs(r.x - x) - 10.0f) >= 1e-3f || std::fabs(std::fabs(r.y) - 10.0f) >= 1e-3f ||
                std::fabs(std::fabs(r.z) - 10.0f) >= 1e-3f) {
                ADD_FAILURE() << r.x << " " << r.y << " " << r.z;
                return false;
            }
        return records.size() == vertices;
    };
    const std::string file = writeScene("onmesh.qirn", scene("30", "spark.png"));
    ASSERT_EQ(0, qeSceneLoad(file.c_str(), 4, 10, 3, 7, 2, 0, "m", 0));
    ASSERT_EQ(1, qeIrrlichtFxEmitterExist(7));
    qeSceneShow(4);
    EXPECT_TRUE(onCorners(30.0f));
    // the cube's surface changes (the cube is made again) and it moves
    writeScene("onmesh.qirn", scene("-30", "spark2.png"));
    ASSERT_EQ(0, qeSceneReload(file.c_str(), 4));
    qeSceneShow(4);
    EXPECT_TRUE(onCorners(-30.0f));
}

// Reload scene: two objects over their own layer files (the cube's surface textured), a light, a box
// emitter and camera shaders; each argument is one thing the exporter may change.
struct ReloadScene {
    const char* ballFile = "ball.lwo";
    const char* texture = "spark.png";
    int lightType = 1;
    const char* lightColour = "1 1 1";
    int nozzle = 0;
    const char* emitterColour = "1 0 0";
    int shaders = 1;
    std::string text() const {
        return std::string(R"(
SCEN { NAME "R" FNAM "r.lws" PRPS { PROP int frameStart 0  PROP int frameEnd 49  PROP float framesPerSecond 25 } }
PROC { )") + cameraShaders(shaders, "effect.hlsl") + R"( }
OBJE { NAME "cube:Layer1" FNAM "cube.lwo" PRPS { PROP int numPoints 8  PROP int numPolygons 6  PROP int layer 1 } }
OBJE { NAME "ball:Layer1" FNAM ")" + ballFile + R"(" PRPS { PROP int numPoints 8  PROP int numPolygons 6  PROP int layer 1 } }
LIGH { NAME "Key" PRPS { PROP int type )" + std::to_string(lightType) + R"(  PROP float2 coneAngles 0.5 0.1
                        PROP float intensity 0.5  PROP float3 rawColor )" + lightColour + R"( } }
FXEM { NAME "Sparks" PRPS { PROP int FxEmitterType 0  PROP int Nozzle )" + std::to_string(nozzle) + R"(
                            PROP float3 GeneratorSize 1 2 3  PROP float3 HV.VColor )" + emitterColour + R"(
                            PROP float HV.HVClipRotation 45  PROP string HV.ClipFilename "spark.png" } }
SOBJ { NAME "cube" FNAM "cube.lwo" SURF { NAME "skin" PRPS { PROP string BaseColor_tex_image ")" + texture + R"(" } } }
)";
    }
};

// Each reload is checked against marks left on the entities: a recreated object has lost its position,
// a light or emitter set up again has lost its values, a recreated emitter its entry, a recreated camera
// shader its place in the enabled list.
TEST_F(SceneSlots, ReloadRemakesOnlyWhatChanged) {
    std::ifstream cube(std::string(QIRN_EXAMPLES_DIR) + "cube.x", std::ios::binary);
    std::stringstream mesh;
    mesh << cube.rdbuf();
    files->write("ball.layer1.x", mesh.str());
    files->write("ball2.layer1.x", mesh.str());
    CopyFileA((files->path() + "spark.png").c_str(), (files->path() + "spark2.png").c_str(), FALSE);
    ReloadScene scene;
    const std::string file = writeScene("r.qirn", scene.text());
    qetest::BoxRecorder boxes;
    ASSERT_EQ(0, qeSceneLoad(file.c_str(), 1, 10, 3, 7, 2, 0, "r", 0));
    qeSceneShow(1);
    ASSERT_EQ(1, qeIrrlichtObjectExist(11));
    ASSERT_EQ(1, qeIrrlichtFxEmitterExist(7));
    ASSERT_EQ(1, qeIrrlichtCameraEffectExist(2));

    auto mark = [] {
        qeIrrlichtPositionObject(10, 123.0f, 0.0f, 0.0f);
        qeIrrlichtPositionObject(11, 123.0f, 0.0f, 0.0f);
        qeIrrlichtSetLightIntensity(3, 9.0f);
        FxEmitterEntry* emitter = qeIrrlichtGetFxEmitterEntry(7);
        emitter->reserved = 0xABCD;
        emitter->block.rotation = 999.0f;
        if (!qeSceneGetSlot(1)->cameraShaderShown[0]) {
            qeIrrlichtShowCameraEffect(2);
            qeSceneGetSlot(1)->cameraShaderShown[0] = 1;
        }
    };
    auto kept = [](int id) { return qeIrrlichtGetObjectNode(id)->getPosition().X == 123.0f; };
    auto reload = [&] {
        mark();
        writeScene("r.qirn", scene.text());
        return qeSceneReload(file.c_str(), 1);
    };

    // A light's colour: nothing is made or set up again (the next update applies the values).
    scene.lightColour = "0.5 0.5 1";
    ASSERT_EQ(0, reload());
    EXPECT_TRUE(kept(10));
    EXPECT_TRUE(kept(11));
    EXPECT_FLOAT_EQ(9.0f, qeIrrlichtGetLightIntensity(3));
    EXPECT_EQ(0xABCDu, qeIrrlichtGetFxEmitterEntry(7)->reserved);
    EXPECT_FLOAT_EQ(999.0f, qeIrrlichtGetFxEmitterEntry(7)->block.rotation);
    EXPECT_EQ(1, qeIrrlichtGetEnabledCameraEffectCount());

    // Point to spot: the light is set up again.
    scene.lightType = 2;
    ASSERT_EQ(0, reload());
    EXPECT_FLOAT_EQ(0.5f, qeIrrlichtGetLightIntensity(3));
    ASSERT_NE(nullptr, qeIrrlichtGetVisibleLight(0));
    EXPECT_EQ(irr::video::ELT_SPOT, qeIrrlichtGetVisibleLight(0)->getLightType());
    EXPECT_TRUE(kept(10));

    // Another texture image on the cube: only the cube is made again.
    scene.texture = "spark2.png";
    ASSERT_EQ(0, reload());
    EXPECT_FALSE(kept(10));
    EXPECT_EQ(1, qeIrrlichtObjectExist(10));
    EXPECT_TRUE(kept(11));

    // The emitter's colour sets it up again; its nozzle makes it again.
    scene.emitterColour = "0 1 0";
    ASSERT_EQ(0, reload());
    EXPECT_EQ(0xABCDu, qeIrrlichtGetFxEmitterEntry(7)->reserved);
    EXPECT_NE(999.0f, qeIrrlichtGetFxEmitterEntry(7)->block.rotation);
    scene.nozzle = 1;
    ASSERT_EQ(0, reload());
    ASSERT_EQ(1, qeIrrlichtFxEmitterExist(7));
    EXPECT_EQ(0u, qeIrrlichtGetFxEmitterEntry(7)->reserved);

    // A camera shader more: all of them are made again, hidden until the update shows them.
    scene.shaders = 2;
    ASSERT_EQ(0, reload());
    EXPECT_EQ(1, qeIrrlichtCameraEffectExist(2));
    EXPECT_EQ(1, qeIrrlichtCameraEffectExist(3));
    EXPECT_EQ(0, qeIrrlichtGetEnabledCameraEffectCount());
    EXPECT_EQ(0, qeSceneGetSlot(1)->cameraShaderShown[0]);
    EXPECT_TRUE(kept(11));

    // A renamed layer file: the object lists differ and every object is made again.
    scene.ballFile = "ball2.lwo";
    int reloaded = -1;
    std::string printed;
    {
        qetest::StdoutCapture out(files->path() + "stdout.txt");
        reloaded = reload();
        std::fflush(stdout);
        printed = out.text();
    }
    ASSERT_EQ(0, reloaded);
    EXPECT_NE(std::string::npos, printed.find("all diff filename\n")) << printed;
    EXPECT_FALSE(kept(10));
    EXPECT_FALSE(kept(11));
    EXPECT_EQ(1, qeIrrlichtObjectExist(11));
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front();

    // Unreadable files, bad slots and slots not in use leave everything as it was.
    SceneHandle* before = qeSceneGetSlot(1)->handle;
    EXPECT_EQ(-1, qeSceneReload((files->path() + "missing.qirn").c_str(), 1));
    EXPECT_EQ(before, qeSceneGetSlot(1)->handle);
    EXPECT_EQ(-1, qeSceneReload(file.c_str(), 2));
    EXPECT_EQ(-1, qeSceneReload(file.c_str(), 60));
    qeSceneUpdate(1, 40);  // the reloaded slot plays on
    EXPECT_EQ(1, qeIrrlichtObjectVisible(11));
}

// The driver never frees a material type nor a texture: a reload that makes an object with a node-shaded,
// cube-mapped surface and the camera shaders again must take their materials and textures back, not pile
// up new ones.
TEST_F(SceneSlots, ReloadsThatRemakeShadersTakeBackTheirMaterialsAndTextures) {
    std::ifstream cube(std::string(QIRN_EXAMPLES_DIR) + "cube.x", std::ios::binary);
    std::stringstream mesh;
    mesh << cube.rdbuf();
    files->write("ball.layer1.x", mesh.str());
    CopyFileA((files->path() + "spark.png").c_str(), (files->path() + "spark2.png").c_str(), FALSE);
    for (int face = 0; face < 6; ++face)
        CopyFileA((files->path() + "spark.png").c_str(), (files->path() + "sky0" + std::to_string(face) + ".png").c_str(),
                  FALSE);
    // the ball's surface is drawn by effect.hlsl and reflects a cube map; its texture changes make the
    // ball again
    auto text = [](const ReloadScene& scene, const char* ballTexture) {
        return scene.text() + R"(
SOBJ { NAME "ball" FNAM "ball.lwo" SURF { NAME "shell" PRPS { PROP string BaseColor_tex_image ")" + ballTexture +
               R"("  PROP string ReflectionImage_tex_image "sky00.png" } } }
CGRP { NAME "Surfaces" CGRP { NAME "ball" CGRP { NAME "shell"
  CGRP { NAME "Nodes" CGRP { NAME "Shader:effect.hlsl" } CGRP { NAME "ShaderVertexFunction:vsMain" }
         CGRP { NAME "ShaderPixelFunction:psMain" } } } } }
)";
    };
    ReloadScene scene;
    const std::string file = writeScene("shaded.qirn", text(scene, "spark.png"));
    qetest::BoxRecorder boxes;
    ASSERT_EQ(0, qeSceneLoad(file.c_str(), 1, 10, 3, 7, 2, 0, "shaded", 0));
    qeSceneShow(1);
    irr::video::IVideoDriver* driver = qeIrrlichtGetContext()->driver;
    auto ballShader = [] {
        const ObjectSurface* surface = qeIrrlichtObjGetSurface(11, 0);
        return surface && surface->hasShaderMaterial ? surface->shader : nullptr;
    };
    ASSERT_NE(nullptr, ballShader());

    irr::u32 renderers = 0, textures = 0;
    for (int k = 1; k <= 6; ++k) {
        scene.shaders = 1 + k % 2;
        writeScene("shaded.qirn", text(scene, k % 2 ? "spark2.png" : "spark.png"));
        ASSERT_EQ(0, qeSceneReload(file.c_str(), 1));
        qeSceneUpdate(1, 40);
        qeIrrlichtSync();
        // the remade ball and camera shaders are drawn by set-up materials of their own
        const ShaderObject* ball = ballShader();
        ASSERT_NE(nullptr, ball);
        ASSERT_NE(nullptr, ball->content);
        EXPECT_GE(qeIrrShaderGetMaterialType(ball), 0);
        EXPECT_EQ(qeIrrShaderGetMaterialType(ball), int(qeIrrlichtGetObjectNode(11)->getMaterial(0).MaterialType));
        const irr::video::ITexture* sky = qeIrrlichtObjGetSurface(11, 0)->textures[QE_SURF_REFLECTIONIMAGE];
        ASSERT_NE(nullptr, sky);
        EXPECT_EQ(2u, sky->getTextureKind());
        for (int i = 0; i < scene.shaders; ++i) {
            const ShaderObject* effect = qeIrrlichtGetCameraEffectShader(2 + i);
            ASSERT_NE(nullptr, effect);
            EXPECT_GE(qeIrrShaderGetMaterialType(effect), 0);
            EXPECT_NE(qeIrrShaderGetMaterialType(ball), qeIrrShaderGetMaterialType(effect));
        }
        if (scene.shaders == 2) {
            EXPECT_NE(qeIrrShaderGetMaterialType(qeIrrlichtGetCameraEffectShader(2)),
                      qeIrrShaderGetMaterialType(qeIrrlichtGetCameraEffectShader(3)));
        }
        // once two camera shaders have been made, every material a reload needs exists already
        if (k == 2) {
            renderers = driver->getMaterialRendererCount();
            textures = driver->getTextureCount();
        }
        if (k > 2) {
            EXPECT_EQ(renderers, driver->getMaterialRendererCount()) << "reload " << k;
            EXPECT_EQ(textures, driver->getTextureCount()) << "reload " << k;
        }
    }
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front();
}

}  // namespace
