// Script commands against a running engine: Setup and its default scene, the argument rules, engine
// errors raised under the command's name, and the text join reaching the overlay queue.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine.h"
#include "facade.h"
#include "lights.h"
#include "log.h"
#include "overlay.h"
#include "lua_run.h"
#include "script/script.h"
#include "sys.h"

namespace {

class ScriptEngine : public ::testing::Test {
protected:
    void SetUp() override {
        qeLogClearLastError();
        L = luaL_newstate();
        luaL_openlibs(L);
        qeScriptRegisterModule(L);
    }
    void TearDown() override {
        lua_close(L);
        qeIrrlichtTerm();
    }
    std::string run(const char* code) { return qetest::runLua(L, code); }
    lua_State* L = nullptr;
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

}  // namespace
