#include "facade.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "engine.h"
#include "engine_context.h"
#include "event_receiver.h"

namespace {

// A Direct3D 9 device with its window and the engine receiver, in the engine record.
TEST(D3DEngine, CursorIsClampedAndWindowMessagesReachTheReceiver) {
    EngineContext* ctx = qeIrrlichtGetContext();
    *ctx = EngineContext{};
    irr::IrrlichtDevice* device = irr::createDevice(irr::video::EDT_DIRECT3D9, irr::core::dimension2du(320, 240), 32,
                                                    false, true, false, qeIrrlichtGetEventReceiver());
    ASSERT_NE(nullptr, device);
    ctx->device = device;
    ctx->driver = device->getVideoDriver();
    ctx->smgr = device->getSceneManager();
    ctx->ready = 1;
    HWND hwnd = static_cast<HWND>(ctx->driver->getExposedVideoData().D3D9.HWnd);
    // Placing the window: a coordinate of -1 keeps the window's own.
    qeSysPlaceWindow(hwnd, 200, 130);
    qeSysPlaceWindow(hwnd, -1, 150);
    RECT outer;
    GetWindowRect(hwnd, &outer);
    EXPECT_EQ(200, outer.left);
    EXPECT_EQ(150, outer.top);
    qeIrrlichtShowWindow();
    qeIrrlichtRun();

    // The cursor reads one pixel beyond the client area at most.
    RECT client;
    GetClientRect(hwnd, &client);
    const int points[][4] = {{25, 30, 25, 30}, {-10, -10, -1, -1},
                             {client.right + 40, client.bottom + 40, client.right + 1, client.bottom + 1}};
    for (const auto& p : points) {
        POINT at = {p[0], p[1]};
        ClientToScreen(hwnd, &at);
        SetCursorPos(at.x, at.y);
        EXPECT_EQ(p[2], qeIrrlichtMouseX()) << p[0];
        EXPECT_EQ(p[3], qeIrrlichtMouseY()) << p[1];
    }

    // Another program passes a frame number with WM_USER / 0x7000.
    SendMessageA(hwnd, WM_USER, 0x7000, 4321);
    EXPECT_EQ(4321, qeSysGetSyncFrame());
    qeIrrlichtHideWindow();
    EXPECT_FALSE(IsWindowVisible(hwnd));
    // Hidden, the window stands off the screen (Wine would leave its Direct3D surface covering a message
    // box); shown again, it is back where it was.
    GetWindowRect(hwnd, &outer);
    EXPECT_LT(outer.right, 0);
    qeIrrlichtShowWindow();
    EXPECT_TRUE(IsWindowVisible(hwnd));
    GetWindowRect(hwnd, &outer);
    EXPECT_EQ(200, outer.left);
    EXPECT_EQ(150, outer.top);
    qeIrrlichtHideWindow();
    qeSysSetWindowTopmost();
    EXPECT_NE(0, GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);

    *ctx = EngineContext{};
    device->drop();
}

}  // namespace
