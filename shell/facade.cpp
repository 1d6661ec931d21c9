#include "facade.h"

#include <irrlicht.h>
#include <windows.h>

#include "engine_context.h"

namespace {
HWND engineWindow() {
    EngineContext* ctx = qeIrrlichtGetContext();
    if (!ctx->device || !ctx->driver) return nullptr;
    return static_cast<HWND>(ctx->driver->getExposedVideoData().D3D9.HWnd);
}
}  // namespace

void qeIrrlichtHideWindow() {
    if (HWND hwnd = engineWindow()) ShowWindow(hwnd, SW_HIDE);
}

void qeIrrlichtShowWindow() {
    if (HWND hwnd = engineWindow()) ShowWindow(hwnd, SW_SHOWNORMAL);
}
