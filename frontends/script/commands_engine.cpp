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

//! Engine, window, files, dialogs, input and joystick
//! These commands raise no engine errors of their own, apart from `Setup`'s start failure.
const luaL_Reg ScriptEngineCommands[] = {
    //! Engine life, frame and time
    /// ([width: integer = 640], [height: integer = 480], [bits: integer = 32], [windowed: boolean = true]) -> nothing
    /// Starts the engine (stopping a running one first) with a window of that size, then sets the default
    /// scene: the camera at (0, 0, -5), light 0 directional, ambient 0x050505, backdrop 0x001122. Keep bits
    /// at 32: the light pre-pass renderer takes nothing else, and any other value stops on the message box
    /// "LightPrePass only for 32bpp" before the start fails. A failed start raises "Setup failed: ..." or
    /// "Failed to setup music replay" (#-1). Needs no Setup.
    {"Setup", cmdSetup},
    /// () -> nothing
    /// Stops the engine (nothing when it is not running); every entity goes with it. Needs no Setup.
    {"Term", cmdTerm},
    /// () -> boolean
    /// True while the engine runs. Needs no Setup.
    {"IsSetup", cmdIsSetup},
    /// () -> boolean
    /// Handles the window's pending messages; false once the window has been closed. Call it once a frame.
    {"Run", cmdRun},
    /// () -> nothing
    /// Draws one frame (scene, post effects, then this frame's 2D drawing, which it empties).
    {"Sync", cmdSync},
    /// Draws the scene's nodes once, without the rest of a frame (no post effects, no 2D drawing).
    {"RenderDummy", qeScriptCmd<qeIrrlichtRenderDummy>},
    /// Milliseconds since the engine clock's first reading (the first call gives 0).
    {"Timer", qeScriptCmdInteger<qeIrrlichtTimer>},
    /// Waits that many milliseconds.
    {"Sleep", qeScriptCmd<qeIrrlichtSleep>},

    //! Files and paths
    //! Relative names are taken from the current directory, which is the script's own folder at start.
    /// Makes the folder the current directory; a folder that cannot be entered is ignored.
    {"SetDir", qeScriptCmd<qeSysSetDir>},
    /// The current directory.
    {"GetDir", qeScriptCmdString<qeSysGetDir>},
    /// True when the file can be opened for reading.
    {"FileExist", qeScriptCmdBoolean<qeSysFileExist>},
    /// (path: string, [withExtension: boolean = true]) -> string
    /// The file name part of the path, with or without its extension.
    {"PathFilename", cmdPathFilename},
    /// The drive and folder part of the path.
    {"PathPath", qeScriptCmdString<qeSysPathPath>},
    /// The full path of a relative one.
    {"PathFull", qeScriptCmdString<qeSysPathFull>},

    //! Dialogs
    //! They need no Setup: a script may ask before it starts the engine.
    /// ([title: string = none]) -> string
    /// The open-file dialog: the chosen file's path, or nil when the user cancels.
    {"FileRequester", cmdFileRequester},
    /// (text...: text) -> nothing
    /// A message box captioned "Qirn" with the arguments joined; returns when the user closes it.
    {"MessageBox", cmdMessageBox},
    /// () -> boolean
    /// The "Screen Mode" setup dialog: true when the user confirmed (the choice is then kept for
    /// `ScreenModeOption`), false when cancelled.
    {"ScreenModeDialog", cmdScreenModeDialog},
    /// (key: string) -> integer
    /// A value of the last confirmed `ScreenModeDialog` choice: "width", "height", "windowed", "bpp",
    /// "vsync", "fps", "antialias", "shaders", "stereo" or "centered" (in any case); -1 for any other key.
    {"ScreenModeOption", cmdScreenModeOption},

    //! Window
    /// Hides the engine window.
    {"HideWindow", qeScriptCmd<qeIrrlichtHideWindow>},
    /// Shows the engine window.
    {"ShowWindow", qeScriptCmd<qeIrrlichtShowWindow>},
    /// Maximises the engine window.
    {"MaximizeWindow", qeScriptCmd<qeIrrlichtMaximizeWindow>},
    /// Minimises the engine window.
    {"MinimizeWindow", qeScriptCmd<qeIrrlichtMinimizeWindow>},
    /// Restores the engine window.
    {"RestoreWindow", qeScriptCmd<qeIrrlichtRestoreWindow>},
    /// True while the engine window is the active one.
    {"IsWindowActive", qeScriptCmdBoolean<qeIrrlichtIsWindowActive>},
    /// True in full screen, false in a window.
    {"WindowMode", qeScriptCmdBoolean<qeIrrlichtWindowMode>},
    /// The screen width in pixels.
    {"ScreenWidth", qeScriptCmdInteger<qeIrrlichtScreenWidth>},
    /// The screen height in pixels.
    {"ScreenHeight", qeScriptCmdInteger<qeIrrlichtScreenHeight>},
    /// Bits per pixel of the screen's colour format (16, 24, 32 or 64).
    {"ScreenDepth", qeScriptCmdInteger<qeIrrlichtScreenDepth>},

    //! Keyboard and mouse
    //! Keys answer whether they are held down now.
    /// Escape is down.
    {"EscapeKey", qeScriptCmdBoolean<qeIrrlichtEscapeKey>},
    /// Escape has been pressed at least once since the program started (never reset).
    {"EscapeKeyEverPressed", qeScriptCmdBoolean<qeIrrlichtEscapeKeyEverPressed>},
    /// Return is down.
    {"ReturnKey", qeScriptCmdBoolean<qeIrrlichtReturnKey>},
    /// Space is down.
    {"SpaceKey", qeScriptCmdBoolean<qeIrrlichtSpaceKey>},
    /// Shift is down.
    {"ShiftKey", qeScriptCmdBoolean<qeIrrlichtShiftKey>},
    /// The right arrow is down.
    {"RightKey", qeScriptCmdBoolean<qeIrrlichtRightKey>},
    /// The left arrow is down.
    {"LeftKey", qeScriptCmdBoolean<qeIrrlichtLeftKey>},
    /// The up arrow is down.
    {"UpKey", qeScriptCmdBoolean<qeIrrlichtUpKey>},
    /// The down arrow is down.
    {"DownKey", qeScriptCmdBoolean<qeIrrlichtDownKey>},
    /// The main or the keypad minus is down.
    {"MinusKey", qeScriptCmdBoolean<qeIrrlichtMinusKey>},
    /// The main or the keypad plus is down.
    {"PlusKey", qeScriptCmdBoolean<qeIrrlichtPlusKey>},
    /// The key of that Windows virtual key code (0-254; 27 is Escape, 65 A) is down; false for other codes.
    {"KeyState", qeScriptCmdBoolean<qeIrrlichtKeyState>},
    /// The mouse buttons held: 1 left, 2 right, 3 both, 0 none.
    {"MouseClick", qeScriptCmdInteger<qeIrrlichtMouseClick>},
    /// The cursor's x in the window's client area, in pixels.
    {"MouseX", qeScriptCmdInteger<qeIrrlichtMouseX>},
    /// The cursor's y in the window's client area, in pixels.
    {"MouseY", qeScriptCmdInteger<qeIrrlichtMouseY>},
    /// The sum of every mouse wheel movement so far (one notch is 1).
    {"MouseZ", qeScriptCmdInteger<qeIrrlichtMouseZ>},
    /// Shows the mouse cursor.
    {"ShowMouse", qeScriptCmd<qeIrrlichtShowMouse>},
    /// Hides the mouse cursor over the window.
    {"HideMouse", qeScriptCmd<qeIrrlichtHideMouse>},

    //! Joystick
    //! The first joystick only. Until `EnableJoystick` every query answers false or 0.
    /// Looks for joysticks and lets the queries answer.
    {"EnableJoystick", qeScriptCmd<qeIrrlichtEnableJoystick>},
    /// The queries answer false or 0 again.
    {"DisableJoystick", qeScriptCmd<qeIrrlichtDisableJoystick>},
    /// Enabled and a joystick was found.
    {"JoystickIsPresent", qeScriptCmdBoolean<qeIrrlichtJoystickIsPresent>},
    /// The hat is pushed up (within 90 degrees of it).
    {"JoystickUp", qeScriptCmdBoolean<qeIrrlichtJoystickUp>},
    /// The hat is pushed down.
    {"JoystickDown", qeScriptCmdBoolean<qeIrrlichtJoystickDown>},
    /// The hat is pushed left.
    {"JoystickLeft", qeScriptCmdBoolean<qeIrrlichtJoystickLeft>},
    /// The hat is pushed right.
    {"JoystickRight", qeScriptCmdBoolean<qeIrrlichtJoystickRight>},
    /// Axis 0, -32768 to 32767; 0 within 1499 of the centre.
    {"JoystickX", qeScriptCmdInteger<qeIrrlichtJoystickX>},
    /// Axis 1, as `JoystickX`.
    {"JoystickY", qeScriptCmdInteger<qeIrrlichtJoystickY>},
    /// Axis 2, as `JoystickX`.
    {"JoystickZ", qeScriptCmdInteger<qeIrrlichtJoystickZ>},
    /// Axis 3, as `JoystickX`.
    {"JoystickR", qeScriptCmdInteger<qeIrrlichtJoystickR>},
    /// Axis 4, as `JoystickX`.
    {"JoystickU", qeScriptCmdInteger<qeIrrlichtJoystickU>},
    /// Axis 5, as `JoystickX`.
    {"JoystickV", qeScriptCmdInteger<qeIrrlichtJoystickV>},
    /// Button 0 is down.
    {"JoystickFireA", qeScriptCmdBoolean<qeIrrlichtJoystickFireA>},
    /// Button 1 is down.
    {"JoystickFireB", qeScriptCmdBoolean<qeIrrlichtJoystickFireB>},
    /// Button 2 is down.
    {"JoystickFireC", qeScriptCmdBoolean<qeIrrlichtJoystickFireC>},
    /// Button 3 is down.
    {"JoystickFireD", qeScriptCmdBoolean<qeIrrlichtJoystickFireD>},
    /// Button n (0-31) is down; false for any other number.
    {"JoystickFireX", qeScriptCmdBoolean<qeIrrlichtJoystickFireX>},
    {NULL, NULL},
};
