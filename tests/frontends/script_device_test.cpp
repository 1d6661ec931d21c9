// Script commands against a running engine: Setup and its default scene, the argument rules, engine
// errors raised under the command's name, and the text join reaching the overlay queue.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "camera_effects.h"
#include "engine.h"
#include "engine_context.h"
#include "idtable.h"
#include "file_fixtures.h"
#include "fxemitter.h"
#include "images.h"
#include "mp3_writer.h"
#include "music.h"
#include "objects.h"
#include "particles/CQeParticleSystemSceneNode.h"
#include "shader_engine.h"
#include "sysfile.h"
#include "draw2d.h"
#include "facade.h"
#include "lights.h"
#include "log.h"
#include "overlay.h"
#include "lua_state.h"
#include "script/script.h"
#include "sys.h"

namespace {

class ScriptEngine : public qetest::LuaStateTest {
protected:
    void TearDown() override {
        LuaStateTest::TearDown();
        qeIrrlichtTerm();
    }
};

TEST_F(ScriptEngine, SetupStartsTheEngineWithTheDefaultSceneAndArgumentsFollowTheRules) {
    ASSERT_EQ("", run("qe.Setup(320, 240, 32, true)")) << qeSysGetStartupError();
    ASSERT_TRUE(qeIrrlichtIsSetup());
    EXPECT_EQ(320, qeIrrlichtScreenWidth());
    EXPECT_TRUE(qeIrrlichtLightExist(0));
    EXPECT_EQ(0x001122u, qeIrrlichtGetBackdropColor() & 0xFFFFFFu);
    // The camera takes its position when the next frame animates it.
    ASSERT_EQ("", run("qe.Sync()"));
    float x, y, z;
    qeIrrlichtGetCameraPosition(&x, &y, &z);
    EXPECT_FLOAT_EQ(-5.0f, z);

    struct Case {
        const char* code;
        const char* error;
    } cases[] = {
        {"qe.Box(1, 2, 3)", "t:1: bad argument #4 to 'Box' (number expected, got no value)"},
        {"qe.Line('a', 2, {}, 4)", "t:1: bad argument #3 to 'Line' (number expected, got table)"},
        {"qe.PasteImage(1, 2, 3, nil)", "t:1: bad argument #4 to 'PasteImage' (boolean expected, got nil)"},
        {"qe.PasteImage('x', 2, 3)", "t:1: bad argument #1 to 'PasteImage' (number expected, got string)"},
        {"qe.MakeImage('w', 'h', 'id')", "t:1: bad argument #1 to 'MakeImage' (number expected, got string)"},
        {"qe.Text(1, 'y', 'z')", "t:1: bad argument #2 to 'Text' (number expected, got string)"},
        {"qe.KeyState(300) qe.Box(1, 2, 3, 4)", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.error, run(c.code)) << c.code;

    // Numbers keep their exact text with the device running.
    ASSERT_EQ("", run("qe.SetTextColor(0xFFFFFF) a = tostring(qe.TextColor()) b = tostring(3.14159) "
                      "c = tostring(2^31-1)"));
    EXPECT_EQ("16777215", global("a"));
    EXPECT_EQ("3.14159", global("b"));
    EXPECT_EQ("2147483647", global("c"));
}

TEST_F(ScriptEngine, EngineErrorsAreRaisedUnderTheCommandsNameAndTheTextJoinIsQueued) {
    ASSERT_EQ("", run("qe.Setup(320, 240)")) << qeSysGetStartupError();
    std::string error = run("qe.ImageWidth(77)");
    EXPECT_EQ(0u, error.find("t:1: bad argument #1 to 'ImageWidth' (")) << error;
    EXPECT_NE(std::string::npos, error.find("77")) << error;
    int argument = 0;
    EXPECT_EQ(nullptr, qeLogGetLastError(&argument));
    EXPECT_EQ("", run("qe.ImageExist(77)"));  // nothing pending after the raise

    qeIrrlichtOverlayReset();
    EXPECT_EQ("", run("qe.Text(10, 20, 'a', 1, true) qe.Text(0, 0, '100%s', string.rep('x', 1500))"));
    const OverlayQueue* queue = qeIrrlichtOverlayQueue();
    ASSERT_EQ(2, queue->textCount);
    EXPECT_STREQ("a 1 true", queue->texts[0]);
    EXPECT_EQ(0, std::strncmp("100%s xxx", queue->texts[1], 9));
    EXPECT_EQ("t:1: 'tostring' must return a string to 'Text'",
              run("qe.Text(0, 0, setmetatable({}, {__tostring = function() return {} end}))"));

    EXPECT_EQ("", run("qe.Term()"));
    EXPECT_FALSE(qeIrrlichtIsSetup());
    EXPECT_EQ("t:1: calling 'Box' without Setup first", run("qe.Box(1, 2, 3, 4)"));
}

// The commands of cameras, lights, objects, emitters and music on one engine for the suite (starting one
// is slow under emulation), over the folder where qirn.exe keeps its shaders and textures.
class ScriptCommands : public qetest::LuaStateTest {
protected:
    static void SetUpTestSuite() {
        files = new qetest::TempDir("script-commands");
        qeSysSetBaseDir(QIRN_OUTPUT_DIR);
        lua_State* s = luaL_newstate();
        luaL_openlibs(s);
        qeScriptRegisterModule(s);
        started = qetest::runLua(s, "qe.Setup(320, 240)");
        lua_close(s);
        if (qeIrrlichtIsSetup())
            getQeManager()->getGPUProgrammingServices()->setShaderCache(files->mkdir("cache").c_str(),
                                                                         ESCM_READ | ESCM_WRITE);
    }
    static void TearDownTestSuite() {
        qeIrrlichtTerm();
        delete files;
    }
    void SetUp() override {
        LuaStateTest::SetUp();
        ASSERT_TRUE(qeIrrlichtIsSetup()) << started << qeSysGetStartupError();
    }

    struct Case {
        const char* code;
        const char* error;  // the error's start; "" when the snippet must run
    };
    void expectCases(const Case* cases, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            const std::string error = run(cases[i].code);
            if (*cases[i].error)
                EXPECT_EQ(cases[i].error, error.substr(0, std::strlen(cases[i].error))) << cases[i].code;
            else
                EXPECT_EQ("", error) << cases[i].code;
        }
    }
    // "[[path]]": a Lua string of the file's path in the suite's folder.
    static std::string quoted(const std::string& path) { return "[[" + path + "]]"; }

    static qetest::TempDir* files;
    static std::string started;
};
qetest::TempDir* ScriptCommands::files = nullptr;
std::string ScriptCommands::started;

TEST_F(ScriptCommands, ArgumentsAreCheckedInEachCommandsOrderAndTheNoEngineKindsRaiseOrPass) {
    const Case cases[] = {
        // last to first
        {"qe.SetCameraStereo({}, {}, {}, {})", "t:1: bad argument #4 to 'SetCameraStereo' (number expected, got table)"},
        {"qe.PositionObject({}, {}, {}, 'z')", "t:1: bad argument #4 to 'PositionObject' (number expected, got string)"},
        {"qe.ColorLight({}, {})", "t:1: bad argument #2 to 'ColorLight' (number expected, got table)"},
        {"qe.SetMusicVolume({}, 'x')", "t:1: bad argument #2 to 'SetMusicVolume' (number expected, got string)"},
        {"qe.SetAlphaMappingOn({}, {})", "t:1: bad argument #2 to 'SetAlphaMappingOn' (number expected, got table)"},
        {"qe.SetEffectTexture({}, {}, {})", "t:1: bad argument #3 to 'SetEffectTexture' (string expected, got table)"},
        // first to last: the creating commands and the effect loads
        {"qe.LoadObject({}, {})", "t:1: bad argument #1 to 'LoadObject' (string expected, got table)"},
        {"qe.CloneObject({}, {})", "t:1: bad argument #1 to 'CloneObject' (number expected, got table)"},
        {"qe.MakeCameraEffect(1, {})", "t:1: bad argument #2 to 'MakeCameraEffect' (number expected, got table)"},
        {"qe.MakeFxEmitterBox({}, {}, 1, 1, 1)", "t:1: bad argument #1 to 'MakeFxEmitterBox' (number expected, got table)"},
        {"qe.MakeFxEmitterMeshNormal(1, '', {})", "t:1: bad argument #3 to 'MakeFxEmitterMeshNormal' (number expected, got table)"},
        {"qe.LoadMusic({}, {})", "t:1: bad argument #1 to 'LoadMusic' (string expected, got table)"},
        {"qe.LoadEffectForObjectSurface({}, 1, 2, {})", "t:1: bad argument #1 to 'LoadEffectForObjectSurface' (string expected, got table)"},
        {"qe.LoadEffectForFxEmitter('f', 1, 2) qe.LoadEffect('f', 3)", ""},
        // the particular orders: a boolean or an optional argument first
        {"qe.SetLightShadow({}, 1)", "t:1: bad argument #2 to 'SetLightShadow' (boolean expected, got number)"},
        {"qe.SetLightShadow({}, true)", "t:1: bad argument #1 to 'SetLightShadow' (number expected, got table)"},
        {"qe.SetEffectConstantBoolean({}, {}, 0)", "t:1: bad argument #3 to 'SetEffectConstantBoolean' (boolean expected, got number)"},
        {"qe.SetEffectConstantBoolean(1, 'c', false)", ""},
        {"qe.SetFxEmitterLifeTime({}, {}, {})", "t:1: bad argument #3 to 'SetFxEmitterLifeTime' (number expected, got table)"},
        {"qe.SetFxEmitterLifeTime({}, {}, nil)", "t:1: bad argument #3 to 'SetFxEmitterLifeTime' (number expected, got nil)"},
        {"qe.SetFxEmitterLifeTime({}, {})", "t:1: bad argument #2 to 'SetFxEmitterLifeTime' (number expected, got table)"},
        // at most 16 floats, which need not be numbers
        {"qe.SetEffectConstantFloatN(1, 'c', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, {})", ""},
        {"qe.SetEffectConstantFloatN({}, {}, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17)",
         "t:1: bad argument #-1 to 'SetEffectConstantFloatN' (too much floats parameters)"},
        {"qe.SetEffectConstantFloatN({}, {}, 'x')", "t:1: bad argument #2 to 'SetEffectConstantFloatN' (string expected, got table)"},
        // not implemented, before any argument
        {"qe.SetCameraEffectParameters()", "t:1: bad argument #-1 to 'SetCameraEffectParameters' (the function is not implemented)"},
        {"qe.SetObjectSurfaces({})", "t:1: bad argument #-1 to 'SetObjectSurfaces' (the function is not implemented)"},
        {"qe.SetFxEmitterSizeGradient()", "t:1: bad argument #-1 to 'SetFxEmitterSizeGradient' (the function is not implemented)"},
        {"qe.SetFxEmitterColorGradient(1, 2)", "t:1: bad argument #-1 to 'SetFxEmitterColorGradient' (the function is not implemented)"},
        {"qe.SetFxEmitterEffectParameters()", "t:1: bad argument #-1 to 'SetFxEmitterEffectParameters' (the function is not implemented)"},
        // surface parameters: argument 3 only
        {"qe.SetObjectSurfaceParamFloat3({}, {}, {}, {})", "t:1: bad argument #3 to 'SetObjectSurfaceParamFloat3' (string expected, got table)"},
        {"qe.SetObjectSurfaceParamTex({}, {}, 'name', {})", "t:1: bad argument #3 to 'SetObjectSurfaceParamTex' (the parameter does not exist)"},
        {"qe.SetObjectSurfaceParamInt(1, 0, 'name', 4)", "t:1: bad argument #3 to 'SetObjectSurfaceParamInt' (the parameter does not exist)"},
        // validated and ignored
        {"qe.EffectExist('x')", "t:1: bad argument #1 to 'EffectExist' (number expected, got string)"},
        {"assert(qe.EffectExist(5) == false and qe.EffectExist(-3) == false)", ""},
        {"qe.SetCameraRotationXYZ({}, 'x') qe.SetCameraRotationZYX()", ""},
        {"qe.SetObjectSurfaceEffect(1, 2, {})", "t:1: bad argument #3 to 'SetObjectSurfaceEffect' (number expected, got table)"},
        {"qe.SetFxEmitterEffectFromFile(1, {})", "t:1: bad argument #2 to 'SetFxEmitterEffectFromFile' (string expected, got table)"},
        {"qe.SetCameraEffectPriority(400, 1) qe.DeleteEffect(3) qe.UpdateObjectFromSurfaces(9)", ""},
        // engine errors under the command's name
        {"qe.ShowLight(7)", "t:1: bad argument #1 to 'ShowLight' (Light ID 7 does not exist. id 7 does not exist)"},
        {"qe.GhostObjectOn(99)", "t:1: bad argument #1 to 'GhostObjectOn' (Object ID 99 does not exist. id 99 does not exist)"},
        {"qe.SetFxEmitterBirthRate(4, 10)", "t:1: bad argument #1 to 'SetFxEmitterBirthRate' (FxEmitter ID 4 does not exist. id 4 does not exist)"},
        {"qe.GetMusicPosition(7)", "t:1: bad argument #1 to 'GetMusicPosition' (Music ID 7 does not exist. id 7 does not exist)"},
        {"assert(qe.CameraEffectExist(-1) == false and qe.CameraEffectExist(200) == false)", ""},
        {"qe.SetObjectCollisionOff(99)", ""},  // never in the collision world
    };
    expectCases(cases, sizeof cases / sizeof cases[0]);
}

// Called through pcall, a command has no name at the call: Lua names it by where it finds it in the loaded
// modules, which must be under its own name, also where commands share their code. Every command given
// tables for arguments raises for one of them (the few that take none and would end the engine, ask with a
// dialog or move the window aside are left out).
TEST_F(ScriptCommands, ThroughPcallEveryCommandIsNamedAsItself) {
    ASSERT_EQ("", run("local skip = {Term = 1, ScreenModeDialog = 1, HideWindow = 1, MinimizeWindow = 1, "
                      "MaximizeWindow = 1} "
                      "local t = {} raised, wrong = 0, {} "
                      "for name, command in pairs(qe) do if not skip[name] then "
                      "  local ok, e = pcall(command, t, t, t, t, t, t, t, t) "
                      "  if not ok then raised = raised + 1 "
                      "    if not e:find(\"to 'qe.\" .. name .. \"'\", 1, true) then "
                      "      wrong[#wrong + 1] = name .. ': ' .. e end "
                      "end end end "
                      "wrong = table.concat(wrong, '\\n')"));
    EXPECT_EQ("", global("wrong"));
    EXPECT_LT(150, std::stoi(global("raised")));
}

TEST_F(ScriptCommands, CreatingCommandsReplaceWhatTheirNewIdHolds) {
    const std::string cube = quoted(std::string(QIRN_EXAMPLES_DIR) + "cube.x");
    const std::string effect = quoted(files->write("effect.hlsl",
        "//[QIRN_BEGIN]\n//function vertexMain : vsMain\n//function pixelMain : psMain\n//[QIRN_END]\n"
        "float4 vsMain(float4 p : POSITION) : POSITION { return p; }\n"
        "float4 psMain() : COLOR0 { return float4(1, 0, 0, 1); }\n"));
    const std::string mp3 = quoted(files->write("silence.mp3", qetest::silentMp3(40)));
    const std::string load = "qe.LoadObject(" + cube + ", 1)";
    const std::string instances = "qe.InstanceObject(2, 1) qe.CloneObject(2, 1)";
    const std::string emitters = "qe.MakeFxEmitterBox(1, '', 1, 1, 1) qe.SetFxEmitterLifeTime(1, 3, 0.5) "
                                 "qe.MakeFxEmitterSphere(1, '', 2, 2, 2) qe.SetFxEmitterLifeTime(1, 2) "
                                 "qe.MakeFxEmitterMeshStatic(3, '', 1) qe.MakeFxEmitterMeshVertices(3, '', 1)";
    const std::string effects = "qe.MakeCameraEffectFromFile(3, " + effect + ") qe.ShowCameraEffect(3) "
                                "qe.MakeCameraEffectFromFile(3, " + effect + ") e3 = qe.CameraEffectExist(3)";
    const std::string musics = "qe.LoadMusic(" + mp3 + ", 1) p = qe.GetMusicPosition(1) qe.SetMusicVolume(1, 50) "
                               "v = qe.MusicVolume(1) qe.PlayMusic(1) qe.LoadMusic(" + mp3 + ", 1) "
                               "playing = qe.GetMusicPosition(1)";
    const std::string musicOutOfRange = "qe.LoadMusic(" + mp3 + ", 50)";
    const Case cases[] = {
        {load.c_str(), ""},
        {"frames = qe.TotalObjectFrames(1) radius = qe.GetObjectRadius(1) qe.SetAlphaMappingOn(1, 0.5)", ""},
        {instances.c_str(), ""},
        // the new ID is the source's own: the object stays
        {"qe.InstanceObject(1, 1)", "t:1: bad argument #1 to 'InstanceObject' (invalid Object ID 1 : "},
        {"qe.CloneObject(5, 5)", "t:1: bad argument #2 to 'CloneObject' (Object ID 5 does not exist)"},
        {"qe.InstanceObject(2, 9)", "t:1: bad argument #2 to 'InstanceObject' (Object ID 9 does not exist)"},
        {"qe.MakeLight(0)", "t:1: bad argument #1 to 'MakeLight' (invalid Light ID 0 : "},
        {emitters.c_str(), ""},
        {effects.c_str(), ""},
        {"qe.MakeCameraEffect(3, 7)", ""},
        {musics.c_str(), ""},
        {musicOutOfRange.c_str(), "t:1: bad argument #2 to 'LoadMusic' (invalid Music ID 50 : "},
        // a size the device cannot make is refused, not made smaller
        {"qe.MakeImage(16, 2^31 - 1, 41)", "t:1: bad argument #1 to 'MakeImage' (Failed to make image)"},
    };
    expectCases(cases, sizeof cases / sizeof cases[0]);
    EXPECT_EQ("1", global("frames"));
    EXPECT_LT(0.0, std::stod(global("radius")));
    EXPECT_TRUE(qeIrrlichtObjectExist(1));
    EXPECT_FALSE(qeIrrlichtObjectExist(2)) << "the failed instance leaves its new ID empty";
    EXPECT_FALSE(qeIrrlichtObjectExist(5));
    EXPECT_TRUE(qeIrrlichtLightExist(0));

    FxEmitterEntry* sphere = qeIrrlichtGetFxEmitterEntry(1);
    ASSERT_NE(nullptr, sphere);
    SQeFxEmitterSettings* settings = static_cast<CQeParticleSystemSceneNode*>(sphere->node)->getFxEmitter()->getSettings();
    EXPECT_EQ(1u, settings->nozzleKind);
    EXPECT_EQ(2.0f, settings->lifeTime);
    EXPECT_EQ(0.0f, settings->lifeTimeVariation);  // the variation not given is 0
    EXPECT_TRUE(qeIrrlichtFxEmitterExist(3));

    EXPECT_EQ("true", global("e3"));
    EXPECT_EQ(0, qeIrrlichtGetEnabledCameraEffectCount());  // made again: a new effect, hidden
    EXPECT_FALSE(qeIrrlichtCameraEffectExist(3));  // MakeCameraEffect only empties its ID

    EXPECT_EQ("0", global("p"));
    EXPECT_EQ("50", global("v"));
    EXPECT_EQ("0", global("playing"));  // the playing music was replaced by a fresh one
    EXPECT_FALSE(qeIrrlichtMusicExist(50));
    EXPECT_FALSE(qeIrrlichtImageExist(41));

    ASSERT_EQ("", run("qe.SetObjectCollisionOn(1)"));
    EXPECT_EQ(1, qeIrrlichtGetObjectEntry(1)->inCollisionWorld);
    ASSERT_EQ("", run("qe.SetObjectCollisionOff(1)"));
    EXPECT_EQ(0, qeIrrlichtGetObjectEntry(1)->inCollisionWorld);

    // A file that cannot be loaded leaves the ID empty.
    const Case missing[] = {{"qe.LoadObject('missing.x', 1)", "t:1: bad argument #1 to 'LoadObject' (Failed to load mesh"}};
    expectCases(missing, 1);
    EXPECT_FALSE(qeIrrlichtObjectExist(1));
    EXPECT_EQ("", run("qe.DeleteFxEmitter(1) qe.DeleteFxEmitter(3) qe.DeleteMusic(1) qe.DeleteObject(2)"));
}

// A number that is not an ID is refused before it reaches the engine: it never stands for object 0 or 5.
TEST_F(ScriptCommands, ABadNumberNeverLandsOnARealId) {
    const std::string cube = quoted(std::string(QIRN_EXAMPLES_DIR) + "cube.x");
    ASSERT_EQ("", run("qe.LoadObject(" + cube + ", 0) qe.LoadObject(" + cube + ", 5) "
                      "ok, e = pcall(qe.DeleteObject, 1/0)"));
    EXPECT_EQ("false", global("ok"));
    EXPECT_EQ("bad argument #1 to 'qe.DeleteObject' (number has no integer representation)", global("e"));
    const Case cases[] = {
        // a file that cannot be loaded would leave the ID it replaced empty
        {"qe.LoadObject('missing.x', 0/0)", "t:1: bad argument #2 to 'LoadObject' (number has no integer representation)"},
        {"qe.LoadObject('missing.x', 2^53)", "t:1: bad argument #2 to 'LoadObject' (number has no integer representation)"},
        {"qe.LoadObject('missing.x', 2^32 + 5)", "t:1: bad argument #2 to 'LoadObject' (number has no integer representation)"},
        {"qe.HideObject(2^32)", "t:1: bad argument #1 to 'HideObject' (number has no integer representation)"},
        {"qe.HideObject(1e308)", "t:1: bad argument #1 to 'HideObject' (number has no integer representation)"},
        {"qe.InstanceObject(-1/0, 5)", "t:1: bad argument #1 to 'InstanceObject' (number has no integer representation)"},
        // the edges of the range reach the engine, which refuses them as IDs
        {"qe.HideObject(-2^31)", "t:1: bad argument #1 to 'HideObject' (Object ID -2147483648 does not exist"},
        {"qe.HideObject(2^31 - 1)", "t:1: bad argument #1 to 'HideObject' (Object ID 2147483647 does not exist"},
        {"qe.ColorBackdrop(2^53)", "t:1: bad argument #1 to 'ColorBackdrop' (number has no integer representation)"},
        {"qe.ColorBackdrop(0xFFFFFFFF) qe.Ink(0xFFFFFFFF) qe.Ink(-1) qe.SetImageAlpha(255)", ""},
    };
    expectCases(cases, sizeof cases / sizeof cases[0]);
    EXPECT_TRUE(qeIrrlichtObjectExist(0));
    EXPECT_TRUE(qeIrrlichtObjectExist(5));
    EXPECT_TRUE(qeIrrlichtObjectVisible(0));
    EXPECT_EQ(0xFFFFFFu, qeIrrlichtGetBackdropColor() & 0xFFFFFFu);
    EXPECT_EQ("", run("qe.ColorBackdrop(0x001122) qe.DeleteObject(0) qe.DeleteObject(5)"));
}

// A colour is taken modulo 2^32 by every command that takes one, so -1 is white; a number without such a
// value (NaN, an infinity, 2^53 and beyond) still raises, and the IDs and times beside a colour stay
// integers.
TEST_F(ScriptCommands, ColoursAreTakenModulo2To32) {
    const Case cases[] = {
        {"qe.SetTextColor(-1) white = qe.TextColor() qe.SetTextColor(2^32 + 16) sixteen = qe.TextColor()", ""},
        {"qe.SetTextColor(1/0)", "t:1: bad argument #1 to 'SetTextColor' (number has no integer representation)"},
        {"qe.SetTextColor(-2^53)", "t:1: bad argument #1 to 'SetTextColor' (number has no integer representation)"},
        {"qe.ColorBackdrop(-1) qe.ColorLight(0, -1) qe.FadeIn(10, -1) qe.MakeFxEmitterBox(6, '', 1, 1, 1) "
         "qe.SetFxEmitterColor(6, -1)", ""},
        {"qe.ColorLight(2^32, 0)", "t:1: bad argument #1 to 'ColorLight' (number has no integer representation)"},
        {"qe.FadeIn(2^32 + 10, 0)", "t:1: bad argument #1 to 'FadeIn' (number has no integer representation)"},
        {"qe.SetFxEmitterColor(6, 0/0)", "t:1: bad argument #2 to 'SetFxEmitterColor' (number has no integer representation)"},
    };
    expectCases(cases, sizeof cases / sizeof cases[0]);
    EXPECT_EQ("16777215", global("white"));
    EXPECT_EQ("16", global("sixteen"));
    EXPECT_EQ(16u, qeIrrlichtTextColor()) << "the refused colours changed nothing";
    EXPECT_EQ(0xFFFFFFu, qeIrrlichtGetBackdropColor() & 0xFFFFFFu);
    const LightEntry* light = static_cast<LightEntry*>(qeIdTableGet(qeIrrlichtGetContext()->lights, 0));
    ASSERT_NE(nullptr, light);
    EXPECT_EQ(1.0f, light->raw[0]);
    EXPECT_EQ(1.0f, light->raw[2]);
    ASSERT_NE(nullptr, qeIrrlichtGetContext()->fader);
    EXPECT_EQ(0xFFFFFFu, qeIrrlichtGetContext()->fader->getColor().color & 0xFFFFFFu);
    const FxEmitterEntry* emitter = qeIrrlichtGetFxEmitterEntry(6);
    ASSERT_NE(nullptr, emitter);
    EXPECT_EQ(0u, emitter->block.useImageColor);
    EXPECT_EQ(1.0f, emitter->block.color[0]);
    EXPECT_EQ(1.0f, emitter->block.color[2]);
    EXPECT_EQ("", run("qe.SetTextColor(0xFFFFFF) qe.ColorBackdrop(0x001122) qe.StopFade() qe.DeleteFxEmitter(6)"));
}

// A script plays the example demo's tune for 20 s of the engine clock and draws frames meanwhile, as a demo
// does: the music's position keeps pace with the clock. (A sound output that takes the samples as fast as
// they come runs it ahead, one that falls behind holds it back; either way a demo's parts would leave the
// music.)
TEST_F(ScriptCommands, MusicPositionKeepsPaceWithTheClock) {
    const std::string tune = quoted(std::string(QIRN_EXAMPLES_DIR) + "demo/music/theme.mp3");
    ASSERT_EQ("", run("qe.LoadMusic(" + tune + ", 2) qe.PlayMusic(2) local waited = qe.Timer() "
                      "repeat qe.Sync() until qe.GetMusicPosition(2) > 0 or qe.Timer() - waited > 60000 "
                      "clock0, music0 = qe.Timer(), qe.GetMusicPosition(2) "
                      "repeat qe.Sync() clock1, music1 = qe.Timer(), qe.GetMusicPosition(2) "
                      "until clock1 - clock0 >= 20000 "
                      "qe.DeleteMusic(2)"));
    ASSERT_LT(0, std::stoi(global("music0"))) << "the music did not start";
    const int clock = std::stoi(global("clock1")) - std::stoi(global("clock0"));
    const int music = std::stoi(global("music1")) - std::stoi(global("music0"));
    std::printf("the music went %d ms in %d ms of the clock\n", music, clock);
    EXPECT_NEAR(1.0, double(music) / clock, 0.05);
}

}  // namespace
