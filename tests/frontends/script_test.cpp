// The script host and the binding conventions, without an engine: registration, the Setup check, the
// strict boolean, the text join, engine errors as Lua errors, and scripts run from files.
#include <gtest/gtest.h>
#include <io.h>

#include <windows.h>

#include <algorithm>
#include <set>
#include <cstdio>
#include <cstring>
#include <string>

#include "dialog.h"
#include "engine.h"
#include "file_fixtures.h"
#include "frontends.h"
#include "log.h"
#include "lua_state.h"
#include "resource_ids.h"
#include "script/commands.h"
#include "script/script.h"
#include "sys.h"
#include "sysfile.h"

namespace {

// A state with the "qe" module and two test commands: join(...) gives the text join of its arguments,
// fail(n, text) records an engine error and runs the binding's error check.
class ScriptState : public qetest::LuaStateTest {
protected:
    void SetUp() override {
        LuaStateTest::SetUp();
        lua_register(L, "join", [](lua_State* s) {
            lua_pushstring(s, qeScriptArgsToText(s, 1));
            return 1;
        });
        lua_register(L, "fail", [](lua_State* s) {
            qeLogError(static_cast<int>(luaL_checkinteger(s, 1)), "%s", luaL_checkstring(s, 2));
            return qeScriptCheckLastError(s, 0);
        });
    }
};

TEST_F(ScriptState, TheModuleHoldsEveryCommandOnceAndRequireGivesTheSameTable) {
    EXPECT_EQ("", run("n = 0 for k, v in pairs(qe) do assert(type(v) == 'function') n = n + 1 end "
                      "same = tostring(require('qe') == qe)"));
    EXPECT_EQ(std::to_string(qeScriptCommandCount()), global("n"));  // distinct names: no row lost
    EXPECT_EQ("true", global("same"));
    EXPECT_EQ(231, qeScriptCommandCount());
}

TEST_F(ScriptState, EveryCommandButTheSevenExemptNeedsSetup) {
    ASSERT_FALSE(qeIrrlichtIsSetup());
    const std::set<std::string> exempt = {"Setup",         "Term",           "IsSetup",         "FileRequester",
                                          "MessageBox",    "ScreenModeDialog", "ScreenModeOption"};
    int guarded = 0;
    for (int group = 0; ScriptCommandTable[group]; ++group)
        for (const luaL_Reg* command = ScriptCommandTable[group]; command->name; ++command) {
            const std::string name = command->name;
            if (exempt.count(name)) continue;
            ++guarded;
            // Not even the commands that never read their arguments get past the check.
            EXPECT_EQ("t:1: calling '" + name + "' without Setup first", run("qe." + name + "({}, {}, {})"));
        }
    EXPECT_EQ(224, guarded);
}

TEST_F(ScriptState, GuardedCommandsNeedSetupAndNameTheCallersName) {
    ASSERT_FALSE(qeIrrlichtIsSetup());
    EXPECT_EQ("t:1: calling 'Box' without Setup first", run("qe.Box(1, 2, 3, 4)"));
    EXPECT_EQ("t:2: calling 'Text' without Setup first", run("local q = qe\nq.Text()"));
    EXPECT_EQ("t:1: calling 'JoystickFireX' without Setup first", run("qe.JoystickFireX()"));
    // Through pcall Lua has no name for the command.
    EXPECT_EQ("", run("ok, e = pcall(qe.Run)"));
    EXPECT_EQ("calling '?' without Setup first", global("e"));
    // The exempt commands run without an engine.
    EXPECT_EQ("", run("r = tostring(qe.IsSetup()) qe.Term() o = qe.ScreenModeOption('nokey')"));
    EXPECT_EQ("false", global("r"));
    EXPECT_EQ("-1", global("o"));
}

TEST_F(ScriptState, SetupChecksItsArgumentsFirstToLastAndBooleansStrictly) {
    EXPECT_EQ("t:1: bad argument #4 to 'Setup' (boolean expected, got number)", run("qe.Setup(800, 600, 32, 1)"));
    EXPECT_EQ("t:1: bad argument #1 to 'Setup' (number expected, got string)", run("qe.Setup('a', 'b')"));
    EXPECT_EQ("t:1: bad argument #4 to 'Setup' (boolean expected, got nil)", run("qe.Setup(1, 2, 3, nil)"));
    EXPECT_FALSE(qeIrrlichtIsSetup());
}

// Integer and colour arguments: what rounds into an integer argument's range is taken as Lua rounds it,
// anything else raises instead of wrapping around onto another value; a colour is rounded alike and taken
// modulo 2^32 wherever its magnitude is below 2^53.
TEST_F(ScriptState, IntegerAndColourArgumentsRoundIntoTheirRangeOrRaise) {
    lua_register(L, "int", [](lua_State* s) {
        lua_pushnumber(s, qeScriptCheckArg<int>(s, 1));
        return 1;
    });
    lua_register(L, "colour", [](lua_State* s) {
        lua_pushnumber(s, qeScriptCheckArg<uint32_t>(s, 1));
        return 1;
    });
    lua_register(L, "bits", [](lua_State* s) {
        lua_pushnumber(s, qeScriptCheckIntBits(s, 1));
        return 1;
    });
    struct Case {
        const char* call;
        const char* value;  // the value taken, or "raises"
    } cases[] = {
        {"int(1/0)", "raises"}, {"int(-1/0)", "raises"}, {"int(0/0)", "raises"}, {"int(2^53)", "raises"},
        {"int(2^32 + 5)", "raises"}, {"int(1e308)", "raises"}, {"int(2^31)", "raises"},
        {"int(-2^31 - 1)", "raises"}, {"int(2147483647.5)", "raises"}, {"int('1e400')", "raises"},
        {"int(-2^31)", "-2147483648"}, {"int(2^31 - 1)", "2147483647"}, {"int(-2147483648.5)", "-2147483648"},
        {"int(2147483646.5)", "2147483646"}, {"int(2.5)", "2"}, {"int(3.5)", "4"}, {"int(-2.5)", "-2"},
        {"int(-0.5)", "0"}, {"int('7')", "7"}, {"int(' 0x10 ')", "16"}, {"int('4.5')", "4"},
        // a colour is taken modulo 2^32 while that means something: below 2^53 in magnitude
        {"colour(0xFFFFFFFF)", "4294967295"}, {"colour(4294967295.5)", "0"}, {"colour(2^32)", "0"},
        {"colour(-1)", "4294967295"}, {"colour(2^32 + 16)", "16"}, {"colour(-2^32 - 1)", "4294967295"},
        {"colour(-1.5)", "4294967294"}, {"colour(2^52 + 1)", "1"}, {"colour(2^53 - 1)", "4294967295"},
        {"colour(-2^53 + 1)", "1"}, {"colour(2^53)", "raises"}, {"colour(-2^53)", "raises"},
        {"colour(1e308)", "raises"}, {"colour(1/0)", "raises"}, {"colour(-1/0)", "raises"},
        {"colour(0/0)", "raises"}, {"colour(-0.5)", "0"}, {"colour(2.5)", "2"}, {"colour('0x001122')", "4386"},
        {"colour('-1')", "4294967295"},
        {"bits(-1)", "4294967295"}, {"bits(0xFFFFFFFF)", "4294967295"}, {"bits(-2^31)", "2147483648"},
        {"bits(300)", "300"}, {"bits(2^32)", "raises"}, {"bits(-2^31 - 1)", "raises"}, {"bits(1/0)", "raises"},
    };
    for (const Case& c : cases) {
        const std::string name = std::string(c.call).substr(0, std::string(c.call).find('('));
        const std::string error = run(std::string("v = string.format('%.0f', ") + c.call + ")");
        if (std::string(c.value) == "raises")
            EXPECT_EQ("t:1: bad argument #1 to '" + name + "' (number has no integer representation)", error)
                << c.call;
        else
            EXPECT_EQ(std::string("") + c.value, error.empty() ? global("v") : error) << c.call;
    }
    EXPECT_EQ("t:1: bad argument #1 to 'int' (number expected, got string)", run("int('seven')"));
    EXPECT_EQ("t:1: bad argument #1 to 'colour' (number expected, got nil)", run("colour(nil)"));
    // A command names the bad number's place, before it would look at anything else.
    EXPECT_EQ("t:1: bad argument #2 to 'Setup' (number has no integer representation)",
              run("qe.Setup(800, 0/0, 32, 1)"));
    EXPECT_FALSE(qeIrrlichtIsSetup());
}

TEST_F(ScriptState, TheJoinUsesTostringAndSingleSpacesAndCutsAt1023) {
    EXPECT_EQ("", run("a = join('a', 1, true, nil, 2.5) b = join() "
                      "c = join(setmetatable({}, {__tostring = function() return '50%' end}))"));
    EXPECT_EQ("a 1 true nil 2.5", global("a"));
    EXPECT_EQ("", global("b"));
    EXPECT_EQ("50%", global("c"));
    EXPECT_EQ("", run("d = join(string.rep('x', 1500)) e = join(string.rep('y', 1023), 'z')"));
    EXPECT_EQ(std::string(1023, 'x'), global("d"));
    EXPECT_EQ(std::string(1023, 'y'), global("e"));
    EXPECT_EQ("t:1: 'tostring' must return a string to 'Text'",
              run("join(1, setmetatable({}, {__tostring = function() return {} end}))"));
}

TEST_F(ScriptState, AnEngineErrorBecomesABadArgumentErrorOnce) {
    EXPECT_EQ("t:1: bad argument #2 to 'fail' (Light ID 7 does not exist)", run("fail(2, 'Light ID 7 does not exist')"));
    int argument = 0;
    EXPECT_EQ(nullptr, qeLogGetLastError(&argument));
    EXPECT_EQ("t:1: bad argument #-1 to 'fail' (Setup failed: x)", run("fail(-1, 'Setup failed: x')"));
}

int g_boxes = 0;
std::string g_boxText;
int recordBox(const char*, const char* text, unsigned int) {
    ++g_boxes;
    g_boxText = text;
    return 1;
}

TEST_F(ScriptState, MessageBoxJoinsAllItsArgumentsWithoutAnEngine) {
    QeSysBoxHook previous = qeSysGetBoxHook();
    qeSysSetBoxHook(recordBox);
    g_boxes = 0;
    EXPECT_EQ("", run("qe.MessageBox('done', 3, false) qe.MessageBox()"));
    qeSysSetBoxHook(previous);
    EXPECT_EQ(2, g_boxes);
    EXPECT_EQ("", g_boxText);
}

const char* g_chosenFile = nullptr;
std::string g_requesterTitle;

TEST_F(ScriptState, FileRequesterGivesTheChosenFileOrNilAndChecksItsTitleOnlyWhenGiven) {
    qeSysSetOpenFileHook([](tagOFNA* dialog) {
        g_requesterTitle = dialog->lpstrTitle ? dialog->lpstrTitle : "(none)";
        if (!g_chosenFile) return 0;
        lstrcpynA(dialog->lpstrFile, g_chosenFile, dialog->nMaxFile);
        return 1;
    });
    g_chosenFile = "C:\\demos\\intro.lua";
    EXPECT_EQ("", run("a = qe.FileRequester('Pick a script')"));
    EXPECT_EQ("C:\\demos\\intro.lua", global("a"));
    EXPECT_EQ("Pick a script", g_requesterTitle);
    g_chosenFile = nullptr;
    EXPECT_EQ("", run("b = qe.FileRequester()"));
    EXPECT_EQ("nil", global("b"));
    EXPECT_EQ("", run("qe.FileRequester(12)"));  // a number is taken as its text
    EXPECT_EQ("12", g_requesterTitle);
    EXPECT_EQ("t:1: bad argument #1 to 'FileRequester' (string expected, got nil)", run("qe.FileRequester(nil)"));
    qeSysSetOpenFileHook([](tagOFNA*) { return 0; });
}

// Answers the "Screen Mode" dialog as a user would: its first mode, windowed. IDCANCEL when it offers none.
INT_PTR answerScreenMode(HINSTANCE instance, LPCSTR resource, DLGPROC proc) {
    HWND dlg = CreateDialogParamA(instance, resource, nullptr, proc, 0);
    if (!dlg) return IDCANCEL;
    SendMessageA(dlg, WM_ACTIVATE, WA_ACTIVE, 0);
    HWND list = GetDlgItem(dlg, QE_IDC_MODE_LIST);
    const bool offered = SendMessageA(list, LB_GETCOUNT, 0, 0) > 0;
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    SendMessageA(GetDlgItem(dlg, QE_IDC_WINDOWED), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(dlg, WM_COMMAND, offered ? IDOK : IDCANCEL, 0);
    DestroyWindow(dlg);
    return offered ? IDOK : IDCANCEL;
}

TEST_F(ScriptState, ScreenModeDialogAnswersWhetherStartWasPressedAndTheOptionsReadTheAnswer) {
    EXPECT_EQ("", run("cancelled = qe.ScreenModeDialog()"));
    EXPECT_EQ("false", global("cancelled"));
    qeSysSetDialogRunner(answerScreenMode);
    EXPECT_EQ("", run("started = qe.ScreenModeDialog() bpp = qe.ScreenModeOption('BPP') "
                      "windowed = qe.ScreenModeOption('windowed') width = qe.ScreenModeOption('width')"));
    qeSysSetDialogRunner([](HINSTANCE, LPCSTR, DLGPROC) -> INT_PTR { return IDCANCEL; });
    if (global("started") == "false") GTEST_SKIP() << "the display offers no mode of 720 pixels or more";
    EXPECT_EQ("true", global("started"));
    EXPECT_EQ("32", global("bpp"));
    EXPECT_EQ("1", global("windowed"));
    EXPECT_LE(720, std::stoi(global("width")));
}

// Runs `fn` with the process's stderr going to a file; gives what was written.
template <class Fn>
std::string captureStderr(const qetest::TempDir& dir, Fn fn) {
    std::string file = dir.path() + "stderr.txt";
    fflush(stderr);
    int saved = _dup(2);
    FILE* sink = fopen(file.c_str(), "wb");
    _dup2(_fileno(sink), 2);
    fn();
    fflush(stderr);
    _dup2(saved, 2);
    _close(saved);
    fclose(sink);
    std::string text;
    if (FILE* f = fopen(file.c_str(), "rb")) {
        char buffer[512];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
        fclose(f);
    }
    return text;
}

TEST(ScriptHost, EachFailureEndsTheScriptWithOneLineOnStderr) {
    qetest::TempDir dir("script");
    struct Case {
        const char* source;
        const char* line;  // the start of the stderr line, the rest is Lua's own text
    } cases[] = {
        {"x = = 1", "syntax.lua:1:"},
        {"local a = 1\nerror('broken here')", "runtime.lua:2: broken here\n"},
        {"error({})", "(error object is a table value)\n"},
        {"qe.Box(1, 2, 3, 4)", "guard.lua:1: calling 'Box' without Setup first\n"},
    };
    const char* names[] = {"syntax.lua", "runtime.lua", "table.lua", "guard.lua"};
    for (int i = 0; i < 4; ++i) {
        std::string path = dir.write(names[i], cases[i].source);
        int status = 0;
        std::string text = captureStderr(dir, [&] { status = qeScriptExecute(path.c_str()); });
        EXPECT_NE(0, status) << names[i];
        EXPECT_NE(std::string::npos, text.find(cases[i].line)) << names[i] << ": " << text;
        EXPECT_EQ(1, std::count(text.begin(), text.end(), '\n')) << text;
    }
    std::string missing = (dir.path() + "missing.lua");
    std::string text = captureStderr(dir, [&] { EXPECT_NE(0, qeScriptExecute(missing.c_str())); });
    EXPECT_NE(std::string::npos, text.find("cannot open")) << text;

    std::string fine = dir.write("fine.lua", "local t = {} for i = 1, 3 do t[i] = i end return t");
    text = captureStderr(dir, [&] { EXPECT_EQ(0, qeScriptExecute(fine.c_str())); });
    EXPECT_EQ("", text);
}

TEST(ScriptHost, RunsTheScriptFromItsOwnFolderWithTheLogSilenced) {
    qetest::TempDir dir("scriptrun");
    std::string folder = dir.mkdir("demo\\part");
    dir.write("demo\\part\\neighbour.txt", "found");
    dir.write("demo\\part\\main.lua",
              "local f = assert(io.open('neighbour.txt')) local text = f:read('*a') f:close()\n"
              "local o = assert(io.open('seen.txt', 'w')) o:write(text, ' ', tostring(qe.IsSetup())) o:close()\n");
    std::string before = qeSysWinGetDir();
    int level = qeLogGetLevel();
    int status = qeScriptRun((dir.path() + "demo\\part\\main.lua").c_str(), 0);
    int levelDuringRun = qeLogGetLevel();
    qeSysWinSetDir(before.c_str());
    qeLogSetLevel(level);
    EXPECT_EQ(0, status);
    EXPECT_EQ(QE_LOG_NONE, levelDuringRun);
    FILE* f = fopen((folder + "seen.txt").c_str(), "rb");
    ASSERT_NE(nullptr, f);
    char text[64] = {};
    fread(text, 1, sizeof text - 1, f);
    fclose(f);
    EXPECT_STREQ("found false", text);
    EXPECT_FALSE(qeIrrlichtIsSetup());
}

}  // namespace
