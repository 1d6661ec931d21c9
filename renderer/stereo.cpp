// Stereo output: every frame is drawn once per eye, from the camera moved sideways by half the eye
// separation and turned to a common focus point, and the two images are combined as an anaglyph (one
// shader per eye over a full-screen quad) or side by side for NVIDIA 3D Vision (both images in one wide
// target whose extra last row carries the driver's stereo signature, stretched onto the back buffer).
#include "stereo.h"

#include <d3d9.h>
#include <irrlicht.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "engine.h"
#include "engine_context.h"
#include "lpp.h"
#include "lpp_internal.h"
#include "nvapi_client.h"
#include "overlay.h"
#include "screen_quad.h"
#include "shader_object.h"
#include "sys.h"

using namespace irr;

namespace {

StereoState g_stereo;

// The scene manager's drawing stages when no light pre-pass renderer draws the eyes: the set-up once
// (animation, registration, cameras, lights), each eye's nodes, the end of the frame once.
const u32 kPlainSetUpStages = 0x001 | 0x002 | 0x004;
const u32 kPlainEyeStages = 0x008 | 0x010 | 0x040 | 0x080;
const u32 kPlainEndStages = 0x100;

const u32 kSignature = 0x4433564E;  // "NV3D" read from the lowest byte

IDirect3DDevice9* deviceOf(EngineContext* ctx) {
    return ctx && ctx->driver ? static_cast<IDirect3DDevice9*>(ctx->driver->getExposedVideoData().D3D9.D3DDev9)
                              : nullptr;
}

template <typename T>
void release(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

void release3DVision() {
    release(g_stereo.signature3DVision);
    release(g_stereo.target3DVision);
}

// The signature texture: written in system memory, copied into the default pool.
IDirect3DTexture9* makeSignature(IDirect3DDevice9* device, int width, int height) {
    IDirect3DTexture9* staging = nullptr;
    IDirect3DTexture9* signature = nullptr;
    if (FAILED(device->CreateTexture(5, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &staging, nullptr)) ||
        FAILED(device->CreateTexture(5, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &signature, nullptr))) {
        release(staging);
        return nullptr;
    }
    D3DLOCKED_RECT locked;
    bool ok = SUCCEEDED(staging->LockRect(0, &locked, nullptr, 0));
    if (ok) {
        uint32_t header[5];
        qeIrrlichtStereoHeader(header, width, height);
        std::memcpy(locked.pBits, header, sizeof(header));
        staging->UnlockRect(0);
        ok = SUCCEEDED(device->UpdateTexture(staging, signature));
    }
    staging->Release();
    if (!ok) release(signature);
    return signature;
}

int init3DVision(EngineContext* ctx) {
    IDirect3DDevice9* device = deviceOf(ctx);
    const int w = ctx->width, h = ctx->height;
    if (!device || FAILED(device->CreateRenderTarget(2 * w, h + 1, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE,
                                                     &g_stereo.target3DVision, nullptr))) {
        g_stereo.target3DVision = nullptr;
        qeSysMessageBox("Stereo: failed to alloc 3D Vision Render Target");
        return -1;
    }
    g_stereo.signature3DVision = makeSignature(device, w, h);
    if (!g_stereo.signature3DVision) {
        release(g_stereo.target3DVision);
        qeSysMessageBox("Stereo: failed to alloc 3D Vision Trick Texture");
        return -1;
    }
    return 0;
}

int initAnaglyph(int mode) {
    const char* left[] = {qeIrrlichtStereoModeDefine(mode), "LEFT", nullptr};
    const char* right[] = {qeIrrlichtStereoModeDefine(mode), "RIGHT", nullptr};
    if (qeIrrlichtMakeShader(&g_stereo.leftShader, "anaglyph.hlsl", left, "anaglyphShader.hlsl") != 0 ||
        qeIrrlichtMakeShader(&g_stereo.rightShader, "anaglyph.hlsl", right, "anaglyphShader.hlsl") != 0)
        return -1;
    g_stereo.quad = new (std::nothrow) CScreenQuad();
    if (!g_stereo.quad) {
        qeSysMessageBox("Stereo: failed to alloc Screen Quad");
        return -1;
    }
    // the back buffer's depth is not the eye's: the quad always draws
    g_stereo.quad->getMaterial().ZBuffer = video::ECFN_ALWAYS;
    return 0;
}

struct CameraPose {
    core::vector3df position, target, up;
};

void restoreCamera(scene::ICameraSceneNode* camera, const CameraPose& pose) {
    camera->setPosition(pose.position);
    camera->setUpVector(pose.up);
    camera->setTarget(pose.target);
    camera->updateAbsolutePosition();
    camera->render();
}

// One eye's image without the light pre-pass renderer: the eye's stages into the output's own target.
video::ITexture* plainEye(EngineContext* ctx) {
    // resized in place when the window's size changed since (whatever found it by its name keeps it); one
    // that cannot take the new size draws at its old one, and the copy stretches it
    const core::dimension2du size(static_cast<u32>(ctx->width), static_cast<u32>(ctx->height));
    if (g_stereo.eyeTarget && g_stereo.eyeTarget->getSize() != size)
        ctx->driver->resizeRenderTargetTexture(g_stereo.eyeTarget, size);
    if (!g_stereo.eyeTarget)
        g_stereo.eyeTarget = ctx->driver->addRenderTargetTexture(size, "stereoEye", video::ECF_A8R8G8B8);
    if (!g_stereo.eyeTarget) return nullptr;
    ctx->driver->setRenderTarget(g_stereo.eyeTarget, true, true, video::SColor(qeIrrlichtGetBackdropColor()));
    ctx->smgr->drawAllPasses(kPlainEyeStages);
    return g_stereo.eyeTarget;
}

// Puts one eye's image where the output wants it: the back buffer (anaglyph) or its half of the 3D Vision
// target. The copy takes the image's own size: a renderer made for 3D Vision draws two rows fewer.
void composeEye(EngineContext* ctx, video::ITexture* image, int left) {
    if (g_stereo.anaglyph) {
        ctx->driver->setRenderTarget(nullptr, false, false, video::SColor(0));
        video::SMaterial& m = g_stereo.quad->getMaterial();
        m.setTexture(0, image);
        m.MaterialType =
            static_cast<video::E_MATERIAL_TYPE>(qeIrrShaderGetMaterialType(left ? g_stereo.leftShader : g_stereo.rightShader));
        g_stereo.quad->render(ctx->driver);
        m.setTexture(0, nullptr);
        return;
    }
    IDirect3DDevice9* device = deviceOf(ctx);
    IDirect3DSurface9* source = image ? static_cast<IDirect3DSurface9*>(image->getNativeSurface()) : nullptr;
    if (!device || !source || !g_stereo.target3DVision) return;
    const core::dimension2du size = image->getSize();
    const RECT from = {0, 0, static_cast<LONG>(size.Width), static_cast<LONG>(size.Height)};
    const LONG x = left ? 0 : ctx->width;
    const RECT to = {x, 0, x + ctx->width, ctx->height};
    device->StretchRect(source, &from, g_stereo.target3DVision, &to, D3DTEXF_LINEAR);
}

// The signature row, then the whole wide target squeezed onto the back buffer.
void present3DVision(EngineContext* ctx) {
    IDirect3DDevice9* device = deviceOf(ctx);
    if (!device || !g_stereo.target3DVision || !g_stereo.signature3DVision) return;
    const int w = ctx->width, h = ctx->height;
    IDirect3DSurface9* signature = nullptr;
    if (SUCCEEDED(g_stereo.signature3DVision->GetSurfaceLevel(0, &signature))) {
        const RECT from = {0, 0, 5, 1};
        const RECT to = {0, h, 5, h + 1};
        device->StretchRect(signature, &from, g_stereo.target3DVision, &to, D3DTEXF_POINT);
        signature->Release();
    }
    IDirect3DSurface9* back = nullptr;
    if (SUCCEEDED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back))) {
        const RECT from = {0, 0, 2 * w, h + 1};
        const RECT to = {0, 0, w, h};
        device->StretchRect(g_stereo.target3DVision, &from, back, &to, D3DTEXF_LINEAR);
        back->Release();
    }
}

}  // namespace

// Switches the driver to direct stereo before the device exists. A failure is only printed: the engine
// starts without the driver's stereo.
int qeIrrlichtRenderStereoInitNvApi() {
    int status = NvAPI_Initialize();
    if (status != QE_NVAPI_OK) {
        qeSysDebugPrint("NvAPI_Initialize() %s\n", status == QE_NVAPI_LIBRARY_NOT_FOUND ? "Library not found" : "Error");
        return -1;
    }
    if (NvAPI_Stereo_SetDriverMode(QE_NVAPI_STEREO_DRIVER_MODE_DIRECT) != QE_NVAPI_OK) {
        qeSysDebugPrint("NvAPI_Stereo_SetDriverMode(DIRECT) failed\n");
        return -1;
    }
    qeSysDebugPrint("NvAPI Stereo Setup OK\n");
    return 0;
}

const char* qeIrrlichtStereoModeDefine(int mode) {
    static const char* const kDefines[] = {"ANAGLYPH_TRUE", "ANAGLYPH_GRAY", "ANAGLYPH_COLOR", "ANAGLYPH_HALFCOLOR",
                                           "ANAGLYPH_OPTIMIZED"};
    return mode >= 2 && mode <= 6 ? kDefines[mode - 2] : nullptr;
}

void qeIrrlichtStereoEyeValues(const RenderSettings& rs, float* separation, float* focusDistance) {
    *separation = rs.stereoCameraOn ? rs.stereoEyeSeparation : 0.0f;
    *focusDistance = rs.stereoCameraOn && rs.stereoFocusOn ? rs.stereoFocusDistance : 1000000000.0f;
}

void qeIrrlichtStereoHeader(uint32_t header[5], int width, int height) {
    header[0] = kSignature;
    header[1] = static_cast<uint32_t>(2 * width);
    header[2] = static_cast<uint32_t>(height);
    header[3] = 32;
    header[4] = 0;
}

void qeIrrlichtStereoSetEyeCamera(scene::ICameraSceneNode* camera, int left, float separation, float focusDistance) {
    const core::vector3df position = camera->getPosition();
    const core::vector3df up = camera->getUpVector();
    const core::vector3df focus = position + (camera->getTarget() - position).normalize() * focusDistance;
    // camera space to world, after the sideways step in camera space
    core::matrix4 toWorld;
    camera->getViewMatrix().getInverse(toWorld);
    core::matrix4 step;
    step.setTranslation(core::vector3df(left ? -separation / 2.0f : separation / 2.0f, 0.0f, 0.0f));
    camera->setPosition((toWorld * step).getTranslation());
    camera->setUpVector(up);
    camera->setTarget(focus);
    camera->updateAbsolutePosition();
    camera->render();
}

int qeIrrlichtRenderStereoInit(EngineContext* ctx, int mode) {
    qeIrrlichtRenderStereoFree();
    if (mode < 1 || mode > 6) {
        qeSysMessageBox("Stereo: Unsupported Stereoscopic mode = %d", mode);
        return -1;
    }
    g_stereo.mode = mode;
    g_stereo.anaglyph = mode != 1;
    const int result = g_stereo.anaglyph ? initAnaglyph(mode) : init3DVision(ctx);
    if (result != 0) qeIrrlichtRenderStereoFree();
    return result;
}

void qeIrrlichtRenderStereoFrame(EngineContext* ctx, bool lightPrePass, LppRenderer* renderer) {
    float separation, focusDistance;
    qeIrrlichtStereoEyeValues(ctx->render, &separation, &focusDistance);
    const bool lpp = lightPrePass && renderer;
    if (lpp) qeIrrlichtLppBeginPasses(ctx);
    else ctx->smgr->drawAllPasses(kPlainSetUpStages);

    scene::ICameraSceneNode* camera = ctx->smgr->getActiveCamera();
    const bool ready = camera && (g_stereo.anaglyph ? g_stereo.quad != nullptr : g_stereo.target3DVision != nullptr);
    if (ready) {
        const CameraPose pose = {camera->getPosition(), camera->getTarget(), camera->getUpVector()};
        for (int left = 1; left >= 0; --left) {
            qeIrrlichtStereoSetEyeCamera(camera, left, separation, focusDistance);
            video::ITexture* image = lpp ? qeIrrlichtLppRenderFrame(ctx, renderer, 1) : plainEye(ctx);
            composeEye(ctx, image, left);
            restoreCamera(camera, pose);
        }
        if (!g_stereo.anaglyph) present3DVision(ctx);
    }
    ctx->driver->setRenderTarget(nullptr, false, false, video::SColor(0));

    // every frame ends with the GUI layer and the overlay, which empties its queue
    if (lpp) {
        qeIrrlichtLppEndPasses(ctx);
    } else {
        ctx->smgr->drawAllPasses(kPlainEndStages);
        ctx->gui->drawAll();
        qeIrrlichtOverlayDraw(ctx);
    }
}

void qeIrrlichtRenderStereoOnReset(IDirect3DDevice9*) {
    if (g_stereo.mode != 1) return;
    std::printf("qeIrrlichtRenderStereoOnReset: Free 3D Vision\n");
    release3DVision();
}

void qeIrrlichtRenderStereoOnAfterReset() {
    if (g_stereo.mode != 1) return;
    std::printf("qeIrrlichtRenderStereoOnAfterReset: init 3D vision\n");
    init3DVision(qeIrrlichtGetContext());
}

void qeIrrlichtRenderStereoFree() {
    delete g_stereo.quad;
    if (g_stereo.leftShader) qeIrrShaderDestroy(g_stereo.leftShader);
    if (g_stereo.rightShader) qeIrrShaderDestroy(g_stereo.rightShader);
    release3DVision();
    if (g_stereo.eyeTarget) {
        EngineContext* ctx = qeIrrlichtGetContext();
        if (ctx->driver) ctx->driver->removeTexture(g_stereo.eyeTarget);
    }
    g_stereo = StereoState{};
}

const StereoState* qeIrrlichtRenderStereoState() { return &g_stereo; }
