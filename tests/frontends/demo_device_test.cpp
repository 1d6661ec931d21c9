// The demo loader and sequencer on a started engine: the timing rules over real scene slots, a load that
// fails half way and frees exactly what it made, shared camera effects, an abort, and sequencer passes
// driven with chosen clock and music times.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "camera_effects.h"
#include "demo/demo.h"
#include "device_check.h"
#include "engine.h"
#include "engine_context.h"
#include "frame.h"
#include "event_receiver.h"
#include "file_fixtures.h"
#include "lights.h"
#include "lpp.h"
#include "lookups.h"
#include "mp3_writer.h"
#include "music.h"
#include "objects.h"
#include "scene_slots.h"
#include "scene_writer.h"
#include "shader_engine.h"
#include "shell_fixtures.h"
#include "stdout_capture.h"

namespace {

const char* const kEffect =
    "//[QIRN_BEGIN]\n//function vertexMain : vsMain\n//function pixelMain : psMain\n//[QIRN_END]\n"
    "float4 vsMain(float4 p : POSITION) : POSITION { return p; }\n"
    "float4 psMain() : COLOR0 { return float4(1, 0, 0, 1); }\n";

// A scene chunk only: timing tests need the music fields, not entities.
std::string musicScene(const char* music, int frameStart, float audioStart) {
    std::string d = "SCEN { NAME \"m\" FNAM \"m.lws\" PRPS { PROP int frameStart " + std::to_string(frameStart) +
                    "  PROP float framesPerSecond 25";
    if (music) d += std::string("  PROP string loadAudio \"") + music + "\"  PROP float audioStartTime " +
                    std::to_string(audioStart);
    return d + " } }\n";
}

// One cube and one light.
const char* const kCubeScene = R"(
SCEN { NAME "c" FNAM "c.lws" PRPS { PROP int frameStart 0  PROP int frameEnd 100  PROP float framesPerSecond 25 } }
OBJE { NAME "cube:Layer1" FNAM "cube.lwo" PRPS { PROP int numPoints 8  PROP int numPolygons 6  PROP int layer 1 } }
LIGH { NAME "Key" PRPS { PROP int type 1  PROP float intensity 1 } }
)";

class Demo : public testing::Test {
protected:
    static void SetUpTestSuite() {
        files = new qetest::TempDir("demo");
        ASSERT_EQ(0, qetest::startShaderEngine(QIRN_OUTPUT_DIR, files->mkdir("cache")));
        std::ifstream cube(std::string(QIRN_EXAMPLES_DIR) + "cube.x", std::ios::binary);
        std::stringstream text;
        text << cube.rdbuf();
        files->mkdir("scenes");
        files->mkdir("music");
        files->mkdir("fx");
        files->write("scenes\\cube.layer1.x", text.str());
        writeScene("scenes\\cube.qirn", kCubeScene);
        writeScene("scenes\\plain.qirn", musicScene(nullptr, 0, 0));
        writeScene("scenes\\song.qirn", musicScene("C:\\tunes\\Song.wav", 0, 0.0f));
        writeScene("scenes\\song-late.qirn", musicScene("Song.wav", 50, 0.5f));  // 1.5 s into the music
        writeScene("scenes\\other.qirn", musicScene("Other.wav", 0, 0.0f));
        files->write("music\\song.mp3", qetest::silentMp3(400));
        files->write("fx\\tint.hlsl", kEffect);
    }
    static void TearDownTestSuite() {
        qeIrrlichtTerm();
        SetCurrentDirectoryA(QIRN_OUTPUT_DIR);
        delete files;
    }
    Demo() : demo(new DemoDescription()), ids(qeDemoIdCountersStart()) {}
    ~Demo() override {
        qeDemoFree(demo.get());
        for (int slot = 0; slot < QE_SCENE_SLOTS; ++slot) qeSceneUnload(slot);
    }
    static void writeScene(const char* name, const std::string& description) {
        std::string error;
        const std::vector<uint8_t> bytes = qeSceneWriteDescription(description, &error);
        ASSERT_FALSE(bytes.empty()) << error;
        ASSERT_TRUE(qeSceneWriteFile(files->path() + name, bytes));
    }
    std::string writeDemo(const std::string& text) { return files->write("t.demo.ini", "[setup]\nmusicdirectory = music\n"
                                                                                        "shadersdirectory = fx\n" + text); }
    // Parses and loads the scenes only, as the timing rules see them.
    int loadScenes(const std::string& text) {
        if (qeDemoParseIni(demo.get(), writeDemo(text).c_str()) != 0) return -2;
        qeDemoPrepare(demo.get());
        return qeDemoLoadScenes(demo.get(), files->path().c_str(), &ids);
    }
    int load(const std::string& text) { return qeDemoLoad(demo.get(), writeDemo(text).c_str(), &ids); }
    static int slotsInUse() {
        int n = 0;
        for (int slot = 0; slot < QE_SCENE_SLOTS; ++slot) n += qeSceneGetSlot(slot)->inUse;
        return n;
    }
    DemoPart& part(int i) { return demo->parts[i]; }
    // A sequencer pass with the clock and the music position chosen by the test.
    int pass(uint32_t now, int position = -1) { return qeDemoPass(demo.get(), &state, now, position); }

    static qetest::TempDir* files;
    std::unique_ptr<DemoDescription> demo;
    DemoIdCounters ids;
    DemoPlayState state;
    qetest::BoxRecorder boxes;
};
qetest::TempDir* Demo::files = nullptr;

// Demo parts drawn through the light pre-pass renderer with its post chain, where camera effects are
// applied. Its tests come before the Demo suite's, which ends with the Escape latch set.
class DemoFrames : public Demo {
protected:
    static void SetUpTestSuite() {
        files = new qetest::TempDir("demo-frames");
        ASSERT_EQ(0, qetest::startEngine(QIRN_OUTPUT_DIR, 160, 120, 1)) << qeSysGetStartupError();
        getQeManager()->getGPUProgrammingServices()->setShaderCache(files->mkdir("cache").c_str(),
                                                                     ESCM_READ | ESCM_CHECK_DATES | ESCM_WRITE);
        files->mkdir("music");
        files->mkdir("fx");
    }
    static void TearDownTestSuite() { Demo::TearDownTestSuite(); }
    // The centre of the frame that the renderer draws for the current part.
    static irr::u32 frameCentre() {
        EngineContext* ctx = qeIrrlichtGetContext();
        LppRenderer* r = qeIrrlichtGetRenderer();
        if (!r || !qeIrrlichtBeginScene(ctx)) return 0xDEADBEEF;
        qeIrrlichtLppBeginPasses(ctx);
        irr::video::ITexture* result = qeIrrlichtLppRenderFrame(ctx, r, 1);
        qeIrrlichtLppEndPasses(ctx);
        qeIrrlichtEndScene(ctx);
        return result ? qetest::centrePixel(result) & 0xFFFFFF : 0xDEADBEEF;
    }
};

// Two parts whose scenes, in folders of their own, name the camera shader "fx.hlsl": each part draws the
// shader of its own folder.
TEST_F(DemoFrames, OneCameraShaderNameInTwoPartsFoldersDrawsEachPartsOwn) {
    const std::string scene =
        "SCEN { NAME \"g\" FNAM \"g.lws\" PRPS { PROP int frameStart 0  PROP int frameEnd 1000"
        "  PROP float framesPerSecond 25 } }\n"
        "PROC { IMFL { NAME \"QirnPostProc\" PRPS { PROP string filename \"fx.hlsl\" } SHAD { FNAM \"fx.hlsl\" } } }\n";
    auto effect = [](const char* rgb) {
        return std::string("//[QIRN_BEGIN]\n//function vertexMain : vsMain\n//function pixelMain : psMain\n"
                           "//[QIRN_END]\nfloat4 vsMain(float4 p : POSITION) : POSITION { return float4(p.xyz, 1); }\n"
                           "float4 psMain() : COLOR0 { return float4(") + rgb + ", 1); }\n";
    };
    for (const char* folder : {"ga", "gb"}) {
        files->mkdir(folder);
        writeScene((std::string(folder) + "\\g.qirn").c_str(), scene);
    }
    files->write("ga\\fx.hlsl", effect("1, 0, 0"));
    files->write("gb\\fx.hlsl", effect("0, 1, 0"));
    ASSERT_EQ(0, load("[parta]\ntime = 0\ndirectory = ga\nfilename = g.qirn\n"
                      "[partb]\ntime = 10000\ndirectory = gb\nfilename = g.qirn\n[partend]\ntime = 20000\n"));
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.text(0);
    qeDemoPlayStart(&state, 0);
    ASSERT_EQ(0, pass(2000));
    ASSERT_EQ(0, state.partIndex);
    EXPECT_EQ(0xFF0000u, frameCentre());
    ASSERT_EQ(0, pass(12000));
    ASSERT_EQ(1, state.partIndex);
    EXPECT_EQ(0x00FF00u, frameCentre());
}

TEST_F(Demo, TimingRules) {
    struct Case {
        const char* ini;
        const char* box;  // "" when the rules pass
    };
    const Case cases[] = {
        {"[part1]\ntime = 0\ndirectory = scenes\nfilename = song.qirn\n[part9]\ntime = 1\n", ""},
        {"[part1]\ntime = 0\ndirectory = scenes\nfilename = song-late.qirn\n[part9]\ntime = 1\n",
         "Part part1: music within the scene, with a time in the part :the music offset within the scene must be zero"},
        {"[part1]\ntime = 0\nmusic = Song.mp3\n[part2]\ntime = 10\ndirectory = scenes\nfilename = song.qirn\n",
         "Part part2: music within the scene, with a time in the part :the music must not be the same music than previous"},
        {"[part1]\ntime = 0\nmusic = Song.mp3\n[part2]\ndirectory = scenes\nfilename = plain.qirn\n",
         "Part part2: no time, and no music specified in scene, impossible to determine time begin of the part"},
        {"[part1]\nmusic = Song.mp3\ndirectory = scenes\nfilename = song.qirn\n",
         "Part part1: no time, but music specified in the part, impossible to determine time begin of the part"},
        {"[part1]\ndirectory = scenes\nfilename = song.qirn\n",
         "Part part1: when no time in part and a music in the scene, there must be a music before"},
        {"[part1]\ntime = 0\nmusic = Other.mp3\n[part2]\ndirectory = scenes\nfilename = song.qirn\n",
         "Part part2: when no time in part, the music in the scene must be the same than the previous music"},
        {"[part1]\ntime = 300\nmusic = Song.mp3\n[part2]\ntime = 0\ntimereset = 1\n[part3]\ndirectory = scenes\n"
         "filename = song-late.qirn\n",
         "Part part3: timereset no supported before a part that has a music within the scene"},
        {"[part1]\ntime = 300\nmusic = Song.mp3\n[part2]\ntime = 400\n[part3]\ndirectory = scenes\nfilename = song-late.qirn\n"
         "[part4]\ntime = 5000\n",
         ""},
    };
    for (const Case& c : cases) {
        qetest::BoxRecorder::boxes().clear();
        ASSERT_EQ(0, loadScenes(c.ini)) << c.ini;
        const int result = qeDemoCheckTiming(demo.get());
        if (c.box[0]) {
            EXPECT_EQ(-1, result) << c.ini;
            ASSERT_EQ(1u, boxes.boxes().size()) << c.ini;
            EXPECT_EQ(c.box, boxes.text(0));
        } else {
            EXPECT_EQ(0, result) << c.ini;
            EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front();
        }
        EXPECT_EQ(0, qeIrrlichtObjectExist(1));  // music scenes make no entities
        qeDemoFree(demo.get());
    }
    // The derived music of the first case, and the untimed part of the last, timed from the music.
    loadScenes(cases[0].ini);
    qeDemoCheckTiming(demo.get());
    EXPECT_STREQ("Song.mp3", part(0).music);
    qeDemoFree(demo.get());
    loadScenes(cases[8].ini);
    qeDemoCheckTiming(demo.get());
    EXPECT_EQ(300 + 1500, part(2).time);
    EXPECT_EQ(300 + 1500, part(2).timeOrigin);
    EXPECT_STREQ("", part(2).music);  // the music of p1 keeps playing
}

// A part timed before the part before it plays: the part before it shows for one pass, and the log says so.
// After a time reset or a music the time line starts again, and a smaller time is in order.
TEST_F(Demo, APartTimedBeforeThePartBeforeItFollowsItAfterOnePassWithAWarning) {
    const char* const warning =
        "WARN : Part part2: its time 1000 comes before the time 2000 of the part part3 before it";
    const std::string log = files->path() + "stdout.txt";
    const char* const inOrder[] = {"[part1]\ntime = 0\n[part2]\ntime = 2000\ntimereset = 1\n[part3]\ntime = 1000\n",
                                   "[part1]\ntime = 5000\nmusic = Song.mp3\n[part2]\ntime = 1000\n[part3]\ntime = 2000\n"};
    for (const char* ini : inOrder) {
        std::string text;
        {
            qetest::StdoutCapture out(log);
            ASSERT_EQ(0, loadScenes(ini)) << ini;
            EXPECT_EQ(0, qeDemoCheckTiming(demo.get())) << ini;
            text = out.text();
        }
        EXPECT_EQ(std::string::npos, text.find("WARN")) << text;
        qeDemoFree(demo.get());
    }

    std::string text;
    {
        qetest::StdoutCapture out(log);
        ASSERT_EQ(0, load("[part1]\ntime = 0\ndirectory = scenes\nfilename = plain.qirn\n"
                          "[part3]\ntime = 2000\ndirectory = scenes\nfilename = cube.qirn\n"
                          "[part2]\ntime = 1000\ndirectory = scenes\nfilename = plain.qirn\n[part4]\ntime = 3000\n"));
        text = out.text();
    }
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front();
    EXPECT_NE(std::string::npos, text.find(warning)) << text;
    qeDemoPlayStart(&state, 0);
    ASSERT_EQ(0, pass(0));
    ASSERT_EQ(0, pass(1500));
    EXPECT_EQ(0, state.partIndex);
    ASSERT_EQ(0, pass(2000));
    EXPECT_EQ(1, state.partIndex);
    EXPECT_EQ(1, qeIrrlichtObjectVisible(part(1).scene.objectBase));
    ASSERT_EQ(0, pass(2010));
    EXPECT_EQ(2, state.partIndex);
    EXPECT_EQ(part(2).scene.slot, state.currentSlot);
    EXPECT_EQ(0, qeIrrlichtObjectVisible(part(1).scene.objectBase));
    ASSERT_EQ(0, pass(2990));
    EXPECT_EQ(2, state.partIndex);
    EXPECT_EQ(1, pass(3000));
}

TEST_F(Demo, FailedLoadRecordsWhatItMadeForTheFreeFunctions) {
    EXPECT_EQ(-1, load("[parta]\ntime = 0\nmusic = song.mp3\ndirectory = scenes\nfilename = cube.qirn\n"
                       "extra.3.directory = scenes\nextra.3.filename = cube.qirn\n"
                       "[partb]\ntime = 10\nmusic = nothere.mp3\ndirectory = scenes\nfilename = cube.qirn\n[partc]\ntime = 20\n"));
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("Fail to load music nothere.mp3", boxes.text(0));
    // Slots, bases and counters in load order: part a, its extra, part b; one object and one light each.
    EXPECT_EQ(0, part(0).scene.slot);
    EXPECT_EQ(1, part(0).extras[0].scene.slot);
    EXPECT_EQ(2, part(1).scene.slot);
    EXPECT_EQ(1, part(0).scene.objectBase);
    EXPECT_EQ(2, part(0).extras[0].scene.objectBase);
    EXPECT_EQ(3, part(1).scene.objectBase);
    EXPECT_EQ(2, part(1).scene.lightBase);
    EXPECT_EQ(3, ids.slot);
    EXPECT_EQ(4, ids.object);
    EXPECT_EQ(2, ids.music);
    EXPECT_EQ(1, part(0).musicId);
    EXPECT_EQ(-1, part(1).musicId);
    EXPECT_EQ(1, qeIrrlichtMusicExist(1));
    EXPECT_EQ(3, slotsInUse());

    qeDemoFree(demo.get());
    EXPECT_EQ(0, slotsInUse());
    EXPECT_EQ(0, qeIrrlichtMusicExist(1));
    EXPECT_EQ(0, qeIrrlichtObjectExist(1));
}

TEST_F(Demo, ShaderCuesShareOneEffectPerNameAndAMissingOneDoesNotStopTheLoad) {
    ASSERT_EQ(0, load("[parta]\ntime = 0\nshader.0.name = tint.hlsl\nshader.4.name = missing.hlsl\n"
                      "[partb]\ntime = 10\nshader.0.name = TINT.HLSL\n[partc]\ntime = 20\n"));
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("Failed to load shader fx/missing.hlsl", boxes.text(0));
    const int id = part(0).shaders[0].cameraEffectId;
    EXPECT_EQ(0, id);
    EXPECT_EQ(1, qeIrrlichtCameraEffectExist(id));
    EXPECT_EQ(id, part(1).shaders[0].cameraEffectId);
    EXPECT_EQ(-1, part(0).shaders[1].cameraEffectId);
    EXPECT_EQ(2, ids.cameraEffect);
    qeDemoFreeShaders(demo.get());
    EXPECT_EQ(0, qeIrrlichtCameraEffectExist(id));
    EXPECT_EQ(-1, part(1).shaders[0].cameraEffectId);
}

// A setup folder left out is the demo's own folder: the music and the camera shader beside the .demo.ini
// load, wherever it lies; at a drive's root that is the root, as before.
TEST_F(Demo, SetupFoldersLeftOutAreTheDemosOwnFolder) {
    const std::string song = qetest::silentMp3(400);
    files->mkdir("beside");
    files->write("beside\\beside song.mp3", song);
    files->write("beside\\tint.hlsl", kEffect);
    const std::string text = "[part1]\ntime = 0\nmusic = beside song.mp3\nshader.0.name = tint.hlsl\n"
                             "[part2]\ntime = 10\n";
    ASSERT_EQ(0, qeDemoLoad(demo.get(), files->write("beside\\beside.demo.ini", text).c_str(), &ids))
        << (boxes.boxes().empty() ? "" : boxes.text(0));
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.text(0);
    const int music = part(0).musicId;
    ASSERT_EQ(1, qeIrrlichtMusicExist(music));
    EXPECT_NEAR(qetest::mp3DurationMs(400), qeIrrlichtGetMusicLength(music), 100);
    EXPECT_EQ(1, qeIrrlichtCameraEffectExist(part(0).shaders[0].cameraEffectId));
    qeDemoFree(demo.get());

    // A demo at the root of drive C: finds its music there.
    const std::string name = "qirn-root-" + std::to_string(GetCurrentProcessId());
    const std::string rootIni = "C:\\" + name + ".demo.ini";
    const std::string rootSong = "C:\\" + name + ".mp3";
    std::ofstream(rootSong, std::ios::binary) << song;
    std::ofstream(rootIni, std::ios::binary) << "[part1]\ntime = 0\nmusic = " + name + ".mp3\n[part2]\ntime = 10\n";
    const int loaded = qeDemoLoad(demo.get(), rootIni.c_str(), &ids);
    const int rootMusic = qeIrrlichtMusicExist(demo->parts[0].musicId);
    qeDemoFree(demo.get());
    DeleteFileA(rootIni.c_str());
    DeleteFileA(rootSong.c_str());
    EXPECT_EQ(0, loaded) << (boxes.boxes().empty() ? "" : boxes.text(0));
    EXPECT_EQ(1, rootMusic);
}

TEST_F(Demo, MusicPartDrivesTheTimeLineUntilAPartWithoutMusicRestartsTheClock) {
    ASSERT_EQ(0, load("[parta]\ntime = 0\ntimereset = 1\nmusic = song.mp3\ndirectory = scenes\nfilename = cube.qirn\n"
                      "flushobjects = 1\n[partb]\ntime = 20000\ntimereset = 1\ndirectory = scenes\nfilename = plain.qirn\n"
                      "[partend]\ntime = 29800\n"));
    qeDemoPlayStart(&state, 1000);
    EXPECT_EQ(-1, qeDemoPlayMusicId(demo.get(), &state));
    ASSERT_EQ(0, pass(1000));
    EXPECT_EQ(0, state.partIndex);
    EXPECT_EQ(part(0).musicId, state.currentMusic);
    EXPECT_EQ(part(0).musicId, qeDemoPlayMusicId(demo.get(), &state));
    EXPECT_EQ(1, qeIrrlichtObjectVisible(part(0).scene.objectBase));

    // While a is current the music gives the time, whatever the clock says.
    ASSERT_EQ(0, pass(90000, 19999));
    EXPECT_EQ(19999, state.time);
    EXPECT_EQ(0, state.partIndex);
    ASSERT_EQ(0, pass(90010, 20000));
    EXPECT_EQ(1, state.partIndex);
    EXPECT_EQ(0, state.time);
    EXPECT_EQ(part(0).musicId, state.currentMusic);  // b has none: a's keeps playing
    EXPECT_EQ(-1, qeDemoPlayMusicId(demo.get(), &state));
    EXPECT_EQ(0, qeSceneGetSlot(part(0).scene.slot)->inUse);  // a asked to be flushed
    EXPECT_EQ(0, qeIrrlichtObjectExist(part(0).scene.objectBase));

    ASSERT_EQ(0, pass(90010 + 29799, 3000));  // the clock again
    EXPECT_EQ(29799, state.time);
    EXPECT_EQ(1, pass(90010 + 29800));
}

// The time line stays on the music: a music that began 800 ms after it was started (the sound output's
// start) leaves the clock-timed part after it 800 ms later than the clock alone would, and a part that
// restarts the time line on a pass that came 30 ms after it was due starts its time line 30 ms in.
TEST_F(Demo, TheClockTakesTheTimeLineOverFromTheMusicAndAResetCountsFromWhenThePartWasDue) {
    ASSERT_EQ(0, load("[parta]\ntime = 0\ntimereset = 1\nmusic = song.mp3\ndirectory = scenes\nfilename = cube.qirn\n"
                      "[partb]\ntime = 1000\n[partc]\ntime = 3000\ntimereset = 1\n[partend]\ntime = 1000\n"));
    qeDemoPlayStart(&state, 0);
    ASSERT_EQ(0, pass(0));
    ASSERT_EQ(0, pass(900, 100));
    EXPECT_EQ(100, state.time);
    ASSERT_EQ(0, pass(1850, 1050));
    EXPECT_EQ(1, state.partIndex);
    EXPECT_EQ(1050, state.switchTime);
    ASSERT_EQ(0, pass(1900));  // b has no music: the clock from here
    EXPECT_EQ(1100, state.time);
    ASSERT_EQ(0, pass(3799));
    EXPECT_EQ(1, state.partIndex);
    ASSERT_EQ(0, pass(3830));
    EXPECT_EQ(2, state.partIndex);
    EXPECT_EQ(3030, state.switchTime);
    EXPECT_EQ(30, state.time);
    ASSERT_EQ(0, pass(4799));
    EXPECT_EQ(999, state.time);
    EXPECT_EQ(1, pass(4800));
    EXPECT_EQ(1000, state.switchTime);
}

TEST_F(Demo, PartsSwitchOneAPassAndCuesRunOnce) {
    ASSERT_EQ(0, load("[parta]\ntime = 0\ndirectory = scenes\nfilename = cube.qirn\n"
                      "extra.0.directory = scenes\nextra.0.filename = cube.qirn\nextra.0.time = 100\n"
                      "extra.0.length = 200\n"
                      "shader.0.name = tint.hlsl\nshader.0.time = 50\nshader.0.length = 100\n"
                      "shader.1.name = tint.hlsl\nshader.1.time = 300\nshader.1.length = 0\n"
                      "fader.0.time = 0\nfader.0.length = 0\nfader.1.time = 10\nfader.1.length = 500\nfader.1.fadein = 1\n"
                      "[partb]\ntime = 1000\ndirectory = scenes\nfilename = plain.qirn\n[partc]\ntime = 1100\n[partend]\ntime = 1200\n"));
    DemoPart& a = part(0);
    const int extraObject = a.extras[0].scene.objectBase;
    qeDemoPlayStart(&state, 0);
    ASSERT_EQ(0, pass(0));
    ASSERT_EQ(0, pass(60));
    EXPECT_EQ(1, a.shaders[0].shown);
    EXPECT_EQ(&a.shaders[0], state.shader);
    EXPECT_EQ(1, a.faders[1].active);
    EXPECT_EQ(0, a.faders[0].active + a.faders[0].done);  // length 0 never starts
    EXPECT_EQ(0, a.extras[0].active);

    ASSERT_EQ(0, pass(150));
    EXPECT_EQ(1, a.extras[0].active);
    EXPECT_EQ(0, a.shaders[0].shown);
    EXPECT_EQ(1, a.shaders[0].done);
    EXPECT_EQ(nullptr, state.shader);
    ASSERT_EQ(0, pass(60));  // back in the cue's time: it ended, it stays ended
    EXPECT_EQ(0, a.shaders[0].shown);

    ASSERT_EQ(0, pass(400));
    EXPECT_EQ(0, a.extras[0].active);  // parked, not hidden
    EXPECT_FLOAT_EQ(-1000000.0f, qeIrrlichtGetObjectNode(extraObject)->getPosition().Z);
    EXPECT_EQ(0, a.shaders[1].shown + a.shaders[1].done);

    // A long frame passes b, c and the end at once: one switch a pass.
    ASSERT_EQ(0, pass(5000));
    EXPECT_EQ(1, state.partIndex);
    EXPECT_EQ(0, qeIrrlichtObjectVisible(a.scene.objectBase));
    EXPECT_EQ(0, a.faders[1].active);  // b's scene took the screen: a's fade stopped
    EXPECT_EQ(nullptr, state.fader);
    EXPECT_EQ(part(1).scene.slot, state.currentSlot);
    ASSERT_EQ(0, pass(5001));
    EXPECT_EQ(2, state.partIndex);
    EXPECT_EQ(part(1).scene.slot, state.currentSlot);  // c has no scene: b's stays
    EXPECT_EQ(1, pass(5002));
}

// A cue or extra meant to last to the end, written with the largest length, still starts and runs.
TEST_F(Demo, CuesOfTheLargestLengthRun) {
    ASSERT_EQ(0, load("[parta]\ntime = 0\ndirectory = scenes\nfilename = cube.qirn\n"
                      "extra.0.directory = scenes\nextra.0.filename = cube.qirn\nextra.0.time = 10\n"
                      "extra.0.length = 2147483647\n"
                      "shader.0.name = tint.hlsl\nshader.0.time = 10\nshader.0.length = 2147483647\n"
                      "fader.0.time = 10\nfader.0.length = 99999999999\n[partend]\ntime = 100000\n"));
    DemoPart& a = part(0);
    qeDemoPlayStart(&state, 0);
    ASSERT_EQ(0, pass(0));
    ASSERT_EQ(0, pass(20));
    EXPECT_EQ(1, a.extras[0].active);
    EXPECT_EQ(1, a.shaders[0].shown);
    EXPECT_EQ(1, a.faders[0].active);
    ASSERT_EQ(0, pass(50000));
    EXPECT_EQ(1, a.extras[0].active);
    EXPECT_EQ(1, a.shaders[0].shown);
    EXPECT_EQ(1, a.faders[0].active);
}

TEST_F(Demo, OnePartDescriptionPlaysNothing) {
    ASSERT_EQ(0, load("[partonly]\ntime = 0\ndirectory = scenes\nfilename = cube.qirn\n"));
    qeDemoPlayStart(&state, 0);
    EXPECT_EQ(1, pass(0));
    EXPECT_EQ(-1, state.partIndex);
    EXPECT_EQ(0, qeIrrlichtObjectVisible(part(0).scene.objectBase));
}

// The bundled example, played by passes at chosen times: every part draws its scene over its backdrop.
TEST_F(Demo, ExampleDemoDrawsEachPartsScene) {
    ASSERT_EQ(0, qeDemoLoad(demo.get(), (std::string(QIRN_EXAMPLES_DIR) + "demo/example.demo.ini").c_str(), &ids));
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front();
    EXPECT_EQ(10000, part(1).time);  // from the music offset of its scene
    qeDemoWarmUp(demo.get());
    irr::video::ITexture* target =
        qeIrrlichtGetContext()->driver->addRenderTargetTexture(irr::core::dimension2du(160, 120), "demo-frame");
    ASSERT_NE(nullptr, target);
    qeDemoPlayStart(&state, 0);
    // {clock, music position, part}: the first part follows the music, the third restarts the clock.
    const int passes[][3] = {{0, -1, 0}, {3000, 3000, 0}, {7000, 7000, 0}, {12000, 12000, 1}, {22000, -1, 2},
                             {25000, -1, 2}};
    for (const auto& p : passes) {
        ASSERT_EQ(0, pass(uint32_t(p[0]), p[1]));
        ASSERT_EQ(p[2], state.partIndex);
        if (p[0] == 0) continue;  // under the fade-in
        qeIrrlichtSyncToTarget(target, true);
        const std::vector<irr::u32> pixels = qetest::readPixels(target);
        int drawn = 0;
        for (irr::u32 v : pixels) drawn += (v & 0xFFFFFF) != (pixels[0] & 0xFFFFFF);
        std::printf("render target example demo at %d ms: %d of %d pixels differ from the backdrop\n", p[0], drawn,
                    int(pixels.size()));
        EXPECT_GT(drawn, int(pixels.size()) / 10) << p[0];
    }
    EXPECT_EQ(1, pass(34000));
    qeIrrlichtGetContext()->driver->removeTexture(target);
}

// Last: the Escape latch is never cleared.
TEST_F(Demo, EscapeDuringLoadingAbortsWithoutABoxAndLeavesNothingLoaded) {
    irr::SEvent escape = qetest::keyEvent(irr::KEY_ESCAPE, true);
    qeIrrlichtGetEventReceiver()->OnEvent(escape);
    EXPECT_EQ(-1, load("[parta]\ntime = 0\ndirectory = scenes\nfilename = cube.qirn\n[partb]\ntime = 10\n"));
    EXPECT_TRUE(boxes.boxes().empty());
    qeDemoFree(demo.get());
    EXPECT_EQ(0, slotsInUse());
}

}  // namespace
