#ifndef QIRN_RENDERER_FRAME_H
#define QIRN_RENDERER_FRAME_H

#include <string>
#include <utility>
#include <vector>

struct EngineContext;
struct IDirect3DDevice9;
class IQeManager;
struct LppRenderer;
namespace irr { namespace scene { class ISceneNode; } namespace video { class ITexture; } }

// Render-system start and stop, and the frame primitives every run mode's loop calls.

int qeIrrlichtBeforeCreateDevice(EngineContext* ctx, int* driverType, bool* stencilBuffer, int* multisample);
int qeIrrlichtStartRenderSystem(EngineContext* ctx);
void qeIrrlichtStopRenderSystem(EngineContext* ctx);
int qeIrrlichtLoadD3DX();
int qeIrrlichtRendererCreate(EngineContext* ctx, bool lightPrePass, int stereoMode);
void qeIrrlichtRendererDestroy(EngineContext* ctx);
void qeIrrlichtRendererPrepareObject(EngineContext* ctx, irr::scene::ISceneNode* node);

IQeManager* getQeManager();
LppRenderer* qeIrrlichtGetRenderer();
int qeIrrlichtGetStereoMode();

void qeIrrlichtOnDeviceBeforeReset(IDirect3DDevice9* device);
void qeIrrlichtOnDeviceAfterReset(IDirect3DDevice9* device);

bool qeIrrlichtBeginScene(EngineContext* ctx);
bool qeIrrlichtEndScene(EngineContext* ctx);
bool qeIrrlichtSync();
bool qeIrrlichtSyncToTarget(irr::video::ITexture* texture, bool clear);
void qeIrrlichtRenderDummy();

void qeIrrlichtSetSceneTime(int slot, int timeMs);
int qeIrrlichtGetSceneTime();

// A file of the compiled-shader cache that a pack takes: its name in the cache, its name in the packed
// cache, and the newest last-write time (seconds since 1970) of what its blob was compiled from (the
// source and the includes that the cache's date test reads).
struct QePackableCacheFile {
    std::string name;
    std::string packedName;
    long long newestSourceTime;
};
// The compiled-shader cache files in the "shadersCache" folder of `baseFolder` that a packed copy of the
// source folders can use: those compiled from what a source directly in one of them holds now. Each
// source folder is given as its full path and the name it has where the packed demo expands it. Needs no
// running engine.
void qeIrrlichtPackableShaderCache(const char* baseFolder,
                                   const std::vector<std::pair<std::string, std::string>>& sourceFolders,
                                   std::vector<QePackableCacheFile>* files);

// Shader loader verbosity derived from the log threshold at render-system start.
int qeIrrlichtShaderLoaderLevel();
int qeIrrlichtShaderLoaderLevelFor(int logThreshold, int current);

#endif
