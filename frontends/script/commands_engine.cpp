// Script commands of the engine's life, the window, files, dialogs, keys, mouse and joystick.
#include "joystick.h"
#include "lights.h"
#include "commands.h"
#include "engine.h"
#include "facade.h"
#include "frame.h"
#include "setup.h"
#include "sys.h"
#include "sysfile.h"

namespace {

int cmdSetup(lua_State* L) {
    DeviceSettings settings;
    qeDeviceSettingsClear(&settings);
    settings.cameraNear = 0.1f;
    settings.cameraFar = 1000.0f;
    settings.stereo = 0;
    int top = lua_gettop(L);
    if (top >= 1) settings.width = qeScriptCheckInt(L, 1);
    if (top >= 2) settings.height = qeScriptCheckInt(L, 2);
    if (top >= 3) settings.bits = qeScriptCheckInt(L, 3);
    if (top >= 4) settings.windowed = qeScriptCheckBoolean(L, 4);
    int started = qeIrrlichtSetup(&settings);
    qeScriptCheckLastError(L, 0);
    if (started == 0 && qeIrrlichtIsSetup()) {
        qeIrrlichtPositionCamera(0.0f, 0.0f, -5.0f);
        qeIrrlichtMakeLight(0);
        qeIrrlichtSetDirectionalLight(0, 0.0f, 0.0f, 0.0f);
        qeIrrlichtColorAmbientLight(0x050505);
        qeIrrlichtColorBackdrop(0x001122);
    }
    return 0;
}

int cmdTerm(lua_State*) {
    qeIrrlichtTerm();
    return 0;
}

int cmdIsSetup(lua_State* L) {
    lua_pushboolean(L, qeIrrlichtIsSetup() != 0);
    return 1;
}

int cmdRun(lua_State* L) {
    qeScriptCheckSetup(L);
    lua_pushboolean(L, qeIrrlichtRun() != 0);
    return 1;
}

int cmdSync(lua_State* L) {
    qeScriptCheckSetup(L);
    qeIrrlichtSync();
    return 0;
}

int cmdPathFilename(lua_State* L) {
    qeScriptCheckSetup(L);
    int withExtension = qeScriptOptBoolean(L, 2, 1);
    lua_pushstring(L, qeSysPathFilename(luaL_checklstring(L, 1, NULL), withExtension));
    return qeScriptCheckLastError(L, 1);
}

int cmdFileRequester(lua_State* L) {
    const char* title = lua_gettop(L) >= 1 ? luaL_checklstring(L, 1, NULL) : NULL;
    lua_pushstring(L, qeSysFileRequester(title, NULL));
    return 1;
}

int cmdMessageBox(lua_State* L) {
    qeSysMessageBox("%s", qeScriptArgsToText(L, 1));
    return 0;
}

int cmdScreenModeDialog(lua_State* L) {
    DisplaySettings chosen;
    lua_pushboolean(L, qeSysScreenModeDialog(&chosen) == 0);
    return 1;
}

int cmdScreenModeOption(lua_State* L) {
    lua_pushinteger(L, qeSysScreenModeOption(luaL_checklstring(L, 1, NULL)));
    return 1;
}

}  // namespace

const luaL_Reg ScriptEngineCommands[] = {
    {"Setup", cmdSetup},
    {"Term", cmdTerm},
    {"IsSetup", cmdIsSetup},
    {"Run", cmdRun},
    {"Sync", cmdSync},
    {"RenderDummy", qeScriptCmd<qeIrrlichtRenderDummy>},
    {"Timer", qeScriptCmdInteger<qeIrrlichtTimer>},
    {"Sleep", qeScriptCmd<qeIrrlichtSleep>},
    {"SetDir", qeScriptCmd<qeSysSetDir>},
    {"GetDir", qeScriptCmdString<qeSysGetDir>},
    {"FileExist", qeScriptCmdBoolean<qeSysFileExist>},
    {"PathFilename", cmdPathFilename},
    {"PathPath", qeScriptCmdString<qeSysPathPath>},
    {"PathFull", qeScriptCmdString<qeSysPathFull>},
    {"FileRequester", cmdFileRequester},
    {"MessageBox", cmdMessageBox},
    {"ScreenModeDialog", cmdScreenModeDialog},
    {"ScreenModeOption", cmdScreenModeOption},
    {"HideWindow", qeScriptCmd<qeIrrlichtHideWindow>},
    {"ShowWindow", qeScriptCmd<qeIrrlichtShowWindow>},
    {"MaximizeWindow", qeScriptCmd<qeIrrlichtMaximizeWindow>},
    {"MinimizeWindow", qeScriptCmd<qeIrrlichtMinimizeWindow>},
    {"RestoreWindow", qeScriptCmd<qeIrrlichtRestoreWindow>},
    {"IsWindowActive", qeScriptCmdBoolean<qeIrrlichtIsWindowActive>},
    {"WindowMode", qeScriptCmdBoolean<qeIrrlichtWindowMode>},
    {"ScreenWidth", qeScriptCmdInteger<qeIrrlichtScreenWidth>},
    {"ScreenHeight", qeScriptCmdInteger<qeIrrlichtScreenHeight>},
    {"ScreenDepth", qeScriptCmdInteger<qeIrrlichtScreenDepth>},
    {"EscapeKey", qeScriptCmdBoolean<qeIrrlichtEscapeKey>},
    {"EscapeKeyEverPressed", qeScriptCmdBoolean<qeIrrlichtEscapeKeyEverPressed>},
    {"ReturnKey", qeScriptCmdBoolean<qeIrrlichtReturnKey>},
    {"SpaceKey", qeScriptCmdBoolean<qeIrrlichtSpaceKey>},
    {"ShiftKey", qeScriptCmdBoolean<qeIrrlichtShiftKey>},
    {"RightKey", qeScriptCmdBoolean<qeIrrlichtRightKey>},
    {"LeftKey", qeScriptCmdBoolean<qeIrrlichtLeftKey>},
    {"UpKey", qeScriptCmdBoolean<qeIrrlichtUpKey>},
    {"DownKey", qeScriptCmdBoolean<qeIrrlichtDownKey>},
    {"MinusKey", qeScriptCmdBoolean<qeIrrlichtMinusKey>},
    {"PlusKey", qeScriptCmdBoolean<qeIrrlichtPlusKey>},
    {"KeyState", qeScriptCmdBoolean<qeIrrlichtKeyState>},
    {"MouseClick", qeScriptCmdInteger<qeIrrlichtMouseClick>},
    {"MouseX", qeScriptCmdInteger<qeIrrlichtMouseX>},
    {"MouseY", qeScriptCmdInteger<qeIrrlichtMouseY>},
    {"MouseZ", qeScriptCmdInteger<qeIrrlichtMouseZ>},
    {"ShowMouse", qeScriptCmd<qeIrrlichtShowMouse>},
    {"HideMouse", qeScriptCmd<qeIrrlichtHideMouse>},
    {"EnableJoystick", qeScriptCmd<qeIrrlichtEnableJoystick>},
    {"DisableJoystick", qeScriptCmd<qeIrrlichtDisableJoystick>},
    {"JoystickIsPresent", qeScriptCmdBoolean<qeIrrlichtJoystickIsPresent>},
    {"JoystickUp", qeScriptCmdBoolean<qeIrrlichtJoystickUp>},
    {"JoystickDown", qeScriptCmdBoolean<qeIrrlichtJoystickDown>},
    {"JoystickLeft", qeScriptCmdBoolean<qeIrrlichtJoystickLeft>},
    {"JoystickRight", qeScriptCmdBoolean<qeIrrlichtJoystickRight>},
    {"JoystickX", qeScriptCmdInteger<qeIrrlichtJoystickX>},
    {"JoystickY", qeScriptCmdInteger<qeIrrlichtJoystickY>},
    {"JoystickZ", qeScriptCmdInteger<qeIrrlichtJoystickZ>},
    {"JoystickR", qeScriptCmdInteger<qeIrrlichtJoystickR>},
    {"JoystickU", qeScriptCmdInteger<qeIrrlichtJoystickU>},
    {"JoystickV", qeScriptCmdInteger<qeIrrlichtJoystickV>},
    {"JoystickFireA", qeScriptCmdBoolean<qeIrrlichtJoystickFireA>},
    {"JoystickFireB", qeScriptCmdBoolean<qeIrrlichtJoystickFireB>},
    {"JoystickFireC", qeScriptCmdBoolean<qeIrrlichtJoystickFireC>},
    {"JoystickFireD", qeScriptCmdBoolean<qeIrrlichtJoystickFireD>},
    {"JoystickFireX", qeScriptCmdBoolean<qeIrrlichtJoystickFireX>},
    {NULL, NULL},
};
