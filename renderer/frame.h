#ifndef QIRN_RENDERER_FRAME_H
#define QIRN_RENDERER_FRAME_H

#include <string>
#include <utility>
#include <vector>

#include "IQeGPUProgrammingServices.h"

struct EngineContext;
struct IDirect3DDevice9;
class IQeManager;
struct LppRenderer;
namespace irr { namespace scene { class ISceneNode; } namespace video { class ITexture; } }

// Render-system start and stop, and the frame primitives every run mode's loop calls.

int qeIrrlichtBeforeCreateDevice(EngineContext* ctx, int* driverType, bool* stencilBuffer, int* multisample);
// Whether the compiled-shader cache that the render system opens is only read, without the date test's
// writes and the clearing of a run that compiles (a packed demo's cache: the pack's own, expanded beside the
// sources of the default data while the demo's own are not expanded yet, and removed once the demo is
// loaded). Set before the render system starts.
void qeIrrlichtSetShaderCacheReadOnly(int readOnly);
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

// The compiled-shader cache files in the "shadersCache" folder of `baseFolder` that a packed copy of the
// source folders can use (listPackableCacheFiles), added to `files`. Needs no running engine.
void qeIrrlichtPackableShaderCache(const char* baseFolder, const std::vector<SQePackedShaderFolder>& sourceFolders,
                                   std::vector<SQePackedCacheFile>* files);
// The includes of each of the sources (full paths), and what those include in turn (listShaderIncludeFiles;
// paths as the compiler's include search builds them), added to `includes`. Needs no running engine.
void qeIrrlichtShaderIncludes(const std::vector<std::string>& sources, std::vector<SQeShaderInclude>* includes);

// Shader loader verbosity derived from the log threshold at render-system start.
int qeIrrlichtShaderLoaderLevel();
int qeIrrlichtShaderLoaderLevelFor(int logThreshold, int current);

#endif
