#include "loading_screen.h"

#include <irrlicht.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "engine.h"
#include "engine_context.h"
#include "log.h"
#include "resource_ids.h"
#include "screen_quad.h"
#include "sysfile.h"

using namespace irr;

namespace {

const char* const kPictureFile = "loading.png";
const char* const kProgramFile = "loading.hlsl";
const u32 kBlack = 0xFF000000;
const u32 kWhite = 0xFFFFFFFF;
const u32 kFillColour = 0xFF4488FF;
const int kFadeOutFrames = 30;

// Sends the loading program's two constants from the module state.
class qeLoadShaderCallBack : public video::IShaderConstantSetCallBack {
public:
    void OnSetConstants(video::IMaterialRendererServices* services, s32 userData) override;
};

struct LoadingScreen {
    video::ITexture* picture = nullptr;  // the driver's
    s32 materialType = 0;                // 0: none, the plain look
    qeLoadShaderCallBack* callback = nullptr;
    CScreenQuad* quad = nullptr;
    f32 resolution[2] = {0.0f, 0.0f};
    f32 progress = 0.0f;
    bool prepared = false;  // Update's first call loaded the picture and tried the material
};
LoadingScreen g_loading;

void qeLoadShaderCallBack::OnSetConstants(video::IMaterialRendererServices* services, s32) {
    services->setPixelShaderConstant("resolution", g_loading.resolution, 2);
    services->setPixelShaderConstant("progress", &g_loading.progress, 1);
}

// After the device is gone: the material type and the picture went with it.
void resetLoadingScreen() {
    delete g_loading.quad;
    if (g_loading.callback) g_loading.callback->drop();
    g_loading = LoadingScreen{};
}

LoadingScreen& module() {
    qeIrrlichtRegisterModuleReset(resetLoadingScreen, QE_STOP_AFTER_DROP);
    return g_loading;
}

EngineContext* needEngine(const char* function) {
    EngineContext* ctx = qeIrrlichtGetContext();
    if (!ctx->driver) qeLogError(-1, "%s: no engine is running", function);
    return ctx->driver ? ctx : nullptr;
}

void loadPicture(EngineContext* ctx) {
    LoadingScreen& m = module();
    if (!m.picture && qeSysFileExist(kPictureFile)) m.picture = ctx->driver->getTexture(kPictureFile);
}

// The demo's own program when the file layer finds one, else the one built into the executable.
std::string programText() {
    std::string text;
    if (SysFile* file = qeSysFileOpen(kProgramFile, "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = qeSysFileRead(buffer, 1, sizeof(buffer), file)) > 0) text.append(buffer, n);
        qeSysFileClose(file);
        return text;
    }
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(self, MAKEINTRESOURCEA(QE_IDR_LOADING_PROGRAM), MAKEINTRESOURCEA(10));  // RCDATA
    HGLOBAL loaded = resource ? LoadResource(self, resource) : nullptr;
    const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (data) text.assign(data, SizeofResource(self, resource));
    return text;
}

void drawRect(video::IVideoDriver* driver, u32 colour, const int r[4]) {
    driver->draw2DRectangle(video::SColor(colour), core::rect<s32>(r[0], r[1], r[2], r[3]), nullptr);
}

void drawBar(video::IVideoDriver* driver, const LoadingScreenLayout& layout) {
    drawRect(driver, kWhite, layout.bar);
    drawRect(driver, kBlack, layout.inner);
    if (layout.fill[2] > layout.fill[0]) drawRect(driver, kFillColour, layout.fill);
}

LoadingScreenLayout layoutFor(EngineContext* ctx, int percent) {
    const core::dimension2d<u32> screen = ctx->driver->getScreenSize();
    const LoadingScreen& m = module();
    const core::dimension2d<u32> picture = m.picture ? m.picture->getOriginalSize() : core::dimension2d<u32>(0, 0);
    return qeLoadingScreenLayout(screen.Width, screen.Height, picture.Width, picture.Height, percent);
}

void frame(EngineContext* ctx, int percent) {
    if (!ctx->driver->beginScene(true, true, video::SColor(kBlack))) return;
    qeIrrlichtLoadingScreenDraw(ctx, percent);
    ctx->driver->endScene();
}

}  // namespace

LoadingScreenLayout qeLoadingScreenLayout(int screenWidth, int screenHeight, int pictureWidth, int pictureHeight,
                                          int percent) {
    LoadingScreenLayout l;
    l.picture[0] = (screenWidth - pictureWidth) / 2;
    l.picture[1] = (screenHeight - pictureHeight) / 2;

    const int w = screenWidth * 20 / 40;
    const int h = screenHeight * 4 / 40;
    const int x = (screenWidth - w) / 2;
    int y = (screenHeight - h) / 2;
    if (pictureWidth > 0 && pictureHeight > 0) y += pictureHeight / 2 + h;
    l.bar[0] = x;
    l.bar[1] = y;
    l.bar[2] = x + w;
    l.bar[3] = y + h;

    // Each rectangle is the previous one less the border, centred in it.
    const int border = h / 4;
    const int* outer = l.bar;
    for (int* r : {l.inner, l.fill}) {
        const int ow = outer[2] - outer[0], oh = outer[3] - outer[1];
        const int iw = std::max(ow - border, 1), ih = std::max(oh - border, 1);
        r[0] = outer[0] + (ow - iw) / 2;
        r[1] = outer[1] + (oh - ih) / 2;
        r[2] = r[0] + iw;
        r[3] = r[1] + ih;
        outer = r;
    }
    const int fillArea = l.fill[2] - l.fill[0];
    l.fill[2] = l.fill[0] + fillArea * std::min(std::max(percent, 0), 100) / 100;
    return l;
}

int qeIrrlichtLoadingScreenCreateMaterial() {
    LoadingScreen& m = module();
    if (m.materialType != 0) return 0;
    EngineContext* ctx = needEngine(__func__);
    if (!ctx || ctx->driver->getDriverType() != video::EDT_DIRECT3D9) return -1;
    if (!m.callback) m.callback = new qeLoadShaderCallBack();
    if (!m.quad) m.quad = new CScreenQuad();

    video::IGPUProgrammingServices* gpu = ctx->driver->getGPUProgrammingServices();
    const std::string text = programText();
    if (!gpu || text.empty()) return -1;
    const s32 type = gpu->addHighLevelShaderMaterial(text.c_str(), "vs_main", video::EVST_VS_3_0, text.c_str(),
                                                     "ps_main", video::EPST_PS_3_0, m.callback, video::EMT_SOLID);
    // The engine's solid material (0) is never a new shader type: both it and -1 mean no material.
    if (type <= 0) return -1;
    m.materialType = type;
    video::SMaterial& material = m.quad->getMaterial();
    material.MaterialType = static_cast<video::E_MATERIAL_TYPE>(type);
    material.setTexture(0, m.picture);
    return 0;
}

void qeIrrlichtLoadingScreenDraw(EngineContext* ctx, int percent) {
    LoadingScreen& m = module();
    video::IVideoDriver* driver = ctx->driver;
    if (m.materialType != 0) {
        const core::dimension2d<u32> screen = driver->getScreenSize();
        m.resolution[0] = static_cast<f32>(screen.Width);
        m.resolution[1] = static_cast<f32>(screen.Height);
        m.progress = static_cast<f32>(percent / 100.0);
        m.quad->render(driver);
        return;
    }
    const LoadingScreenLayout layout = layoutFor(ctx, percent);
    if (m.picture) driver->draw2DImage(m.picture, core::position2d<s32>(layout.picture[0], layout.picture[1]));
    drawBar(driver, layout);
}

int qeIrrlichtLoadingScreenBegin() {
    EngineContext* ctx = needEngine(__func__);
    if (!ctx) return 0;
    loadPicture(ctx);
    qeIrrlichtLoadingScreenCreateMaterial();  // without it, the plain look
    frame(ctx, 0);
    return 0;
}

int qeIrrlichtLoadingScreenProgress(int percent) {
    if (EngineContext* ctx = needEngine(__func__)) frame(ctx, percent);
    return 0;
}

void qeIrrlichtLoadingScreenEnd() {
    LoadingScreen& m = module();
    if (EngineContext* ctx = needEngine(__func__)) {
        if (m.materialType != 0)
            for (int i = 0; i < kFadeOutFrames; ++i) frame(ctx, 100 + i);
        else
            frame(ctx, 100);
    }
    m.picture = nullptr;
}

void qeIrrlichtLoadingScreenAbandon() { module().picture = nullptr; }

int qeIrrlichtLoadingScreenUpdate(int percent) {
    EngineContext* ctx = needEngine(__func__);
    if (!ctx) return 0;
    LoadingScreen& m = module();
    if (qeSysFileSystemKindIs2or3()) {
        if (!m.prepared) {
            loadPicture(ctx);
            qeIrrlichtLoadingScreenCreateMaterial();
            m.prepared = true;
        }
        frame(ctx, percent);
        return 0;
    }
    video::IVideoDriver* driver = ctx->driver;
    if (!driver->beginScene(true, true, video::SColor(kBlack))) return 0;
    if (percent != 0) drawBar(driver, layoutFor(ctx, percent));
    if (ctx->font) {
        wchar_t text[32];
        swprintf(text, 32, L"%d%%\n", percent);
        ctx->font->draw(text, core::rect<s32>(10, 10, 512, 60), video::SColor(kWhite), false, false, nullptr);
    }
    driver->endScene();
    return 0;
}
