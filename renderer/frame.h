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

// A file of the compiled-shader cache that a pack takes: its name in the cache, its name in the packed
// cache, the newest last-write time (seconds since 1970) of what its blob was compiled from (the sources
// and the includes that the cache's date test reads), and for an ".inf" the text it has in the packed
// cache (empty for a blob, which goes in as it is).
struct QePackableCacheFile {
    std::string name;
    std::string packedName;
    long long newestSourceTime;
    std::string packedText;
};
// A folder whose shaders a pack holds: its full path, the name it has where the packed demo expands it,
// and its path there relative to the packed demo's cache folder ('/' separated).
struct QePackedShaderFolder {
    std::string path;
    std::string packedName;
    std::string packedPath;
};
// The compiled-shader cache files in the "shadersCache" folder of `baseFolder` that a packed copy of the
// source folders can use: those compiled from what a source directly in one of them holds now, their
// ".inf" texts listing the packed sources. Needs no running engine.
void qeIrrlichtPackableShaderCache(const char* baseFolder, const std::vector<QePackedShaderFolder>& sourceFolders,
                                   std::vector<QePackableCacheFile>* files);

// An include of a shader source that a pack holds: the source, the file whose line names it, the name as
// written, where the compiler's include search finds it (empty: nowhere), and whether the compiler reads
// it whatever the shader's macros (false where a condition the packer cannot decide guards it, and for a
// file that only the compiled-shader cache's content key reads). Paths as the search builds them.
struct QeShaderInclude {
    std::string source;
    std::string includer;
    std::string name;
    std::string path;
    bool certain;
};
// The includes of each of the sources (full paths), and what those include in turn. Needs no running
// engine.
void qeIrrlichtShaderIncludes(const std::vector<std::string>& sources, std::vector<QeShaderInclude>* includes);

// Shader loader verbosity derived from the log threshold at render-system start.
int qeIrrlichtShaderLoaderLevel();
int qeIrrlichtShaderLoaderLevelFor(int logThreshold, int current);

#endif
