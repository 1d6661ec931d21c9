#include "facade.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "engine_context.h"
#include "event_receiver.h"
#include "log.h"

namespace {

// A Direct3D 9 device with its window, the engine receiver attached, in the engine record.
struct D3DEngine : testing::Test {
    EngineContext* ctx = qeIrrlichtGetContext();
    irr::IrrlichtDevice* device = nullptr;
    HWND hwnd = nullptr;

    void SetUp() override {
        *ctx = EngineContext{};
        device = irr::createDevice(irr::video::EDT_DIRECT3D9, irr::core::dimension2du(320, 240), 32, false, true,
                                   false, qeIrrlichtGetEventReceiver());
        ASSERT_NE(nullptr, device);
        ctx->device = device;
        ctx->driver = device->getVideoDriver();
        ctx->smgr = device->getSceneManager();
        ctx->ready = 1;
        hwnd = static_cast<HWND>(ctx->driver->getExposedVideoData().D3D9.HWnd);
        ASSERT_NE(nullptr, hwnd);
        SetWindowPos(hwnd, nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        qeIrrlichtShowWindow();
        qeIrrlichtRun();
        qeLogClearLastError();
    }
    void TearDown() override {
        *ctx = EngineContext{};
        if (device) device->drop();
    }
    POINT clientToScreen(int x, int y) {
        POINT p = {x, y};
        ClientToScreen(hwnd, &p);
        return p;
    }
};

TEST_F(D3DEngine, CursorIsClampedToOnePixelBeyondTheClientArea) {
    RECT client;
    ASSERT_TRUE(GetClientRect(hwnd, &client));
    EXPECT_EQ(320, qeIrrlichtScreenWidth());
    EXPECT_EQ(240, qeIrrlichtScreenHeight());

    POINT p = clientToScreen(25, 30);
    ASSERT_TRUE(SetCursorPos(p.x, p.y));
    EXPECT_EQ(25, qeIrrlichtMouseX());
    EXPECT_EQ(30, qeIrrlichtMouseY());

    p = clientToScreen(-10, -10);
    SetCursorPos(p.x, p.y);
    EXPECT_EQ(-1, qeIrrlichtMouseX());
    EXPECT_EQ(-1, qeIrrlichtMouseY());

    p = clientToScreen(client.right + 40, client.bottom + 40);
    SetCursorPos(p.x, p.y);
    EXPECT_EQ(client.right + 1, qeIrrlichtMouseX());
    EXPECT_EQ(client.bottom + 1, qeIrrlichtMouseY());
}

TEST_F(D3DEngine, WindowMessagesReachTheReceiverAndWindowCallsAct) {
    // Another program passes a frame number with WM_USER / 0x7000.
    SendMessageA(hwnd, WM_USER, 0x7000, 4321);
    EXPECT_EQ(4321, qeSysGetSyncFrame());

    qeIrrlichtHideWindow();
    EXPECT_FALSE(IsWindowVisible(hwnd));
    qeIrrlichtShowWindow();
    EXPECT_TRUE(IsWindowVisible(hwnd));
    qeSysSetWindowTopmost();
    EXPECT_NE(0, GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(0, qeIrrlichtWindowMode());
    EXPECT_EQ(1, qeIrrlichtRun());
    EXPECT_EQ(nullptr, qeLogGetLastError(nullptr));
}

}  // namespace
