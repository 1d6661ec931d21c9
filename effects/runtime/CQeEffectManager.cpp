#include "runtime/CQeEffectManager.h"

#include <new>

#include "QeLog.h"
#include "binds/CQeEffectBind.h"
#include "binds/CQeEffectBindEngine.h"
#include "binds/CQeEffectBindLightwave.h"
#include "runtime/CQeEffectTextureResolver.h"

using irr::u32;

CQeEffectManager::CQeEffectManager(irr::IrrlichtDevice* device, IQeGPUProgrammingServices* gpu,
                                   IQeRenderServices* renderServices, IQeTextureManager* textureManager,
                                   IQeSceneManager* sceneManager)
    : Device(device), Gpu(gpu) {
    // The engine-value and surface binds come before the generic bind, which answers every constant
    // nobody else claims and stays last. A bind whose service is missing sets nothing.
    Binds.push_back(new CQeEffectBindTransform(device));
    Binds.push_back(new CQeEffectBindTime(device, sceneManager));
    Binds.push_back(new CQeEffectBindScreen(device));
    Binds.push_back(new CQeEffectBindLightwave(device));
    Binds.push_back(new CQeEffectBindLightwaveHV(device));
    Binds.push_back(new CQeEffectBindLightParams(device, renderServices));
    Binds.push_back(new CQeEffectBindLight(device, renderServices));
    Binds.push_back(new CQeEffectBindCamera(device));
    Binds.push_back(new CQeEffectBind());
    Resolvers.push_back(new CQeEffectTextureResolver(device, textureManager));
    Loaders.push_back(createEffectDefLoaderQirn());
    Loaders.push_back(createEffectDefLoaderCollada());
    Callback = new CQeEffectCallback();
}

CQeEffectManager::~CQeEffectManager() {
    for (u32 i = 0; i < Loaders.size(); ++i) Loaders[i]->drop();
    for (u32 i = 0; i < Binds.size(); ++i) Binds[i]->drop();
    for (u32 i = 0; i < Resolvers.size(); ++i) Resolvers[i]->drop();
    for (u32 i = 0; i < Cache.size(); ++i) Cache[i].def->drop();
    Callback->drop();
}

void CQeEffectManager::addEffectBind(IQeEffectBind* bind) {
    if (!bind) return;
    bind->grab();
    Binds.push_front(bind);
}

void CQeEffectManager::addTextureResolver(IQeEffectTextureResolver* resolver) {
    if (!resolver) return;
    resolver->grab();
    Resolvers.push_front(resolver);
}

void CQeEffectManager::addEffectDefLoader(IQeEffectDefLoader* loader) {
    if (!loader) return;
    loader->grab();
    Loaders.push_back(loader);
}

IQeEffectDef* CQeEffectManager::getEffectDef(const irr::io::path& fileName) {
    irr::io::IFileSystem* fs = Device->getFileSystem();
    SEffectDef key;
    key.name = fs->getAbsolutePath(fileName);
    key.def = nullptr;
    // The cache is kept sorted by name: binary_search sorts it first when it is not.
    const irr::s32 found = Cache.binary_search(key);
    if (found >= 0) return Cache[found].def;

    const bool isOpenGL = Device->getVideoDriver() &&
                          Device->getVideoDriver()->getDriverType() == irr::video::EDT_OPENGL;
    for (u32 i = Loaders.size(); i-- > 0;) {
        if (!Loaders[i]->isALoadableFileExtension(fileName)) continue;
        const irr::c8* error = nullptr;
        IQeEffectDef* def = Loaders[i]->createEffectDef(fs, key.name, isOpenGL, &error);
        if (!def) continue;
        if (error) {
            qeLibLog(irr::ELL_ERROR, "CQeEffectManager: ERROR IQeEffectDef : %s", error);
            LastError = error;
            def->drop();
            return nullptr;
        }
        key.def = def;
        Cache.push_back(key);
        Cache.sort();
        return def;
    }
    return nullptr;
}

IQeEffect* CQeEffectManager::createEffect(const irr::io::path& fileName, irr::s32 baseMaterial,
                                          const char* const* macros, irr::video::IShaderConstantSetCallBack* callback) {
    IQeEffectDef* def = getEffectDef(fileName);
    if (!def) return nullptr;
    if (!callback) callback = Callback;
    bool success = false;
    irr::core::stringc error;
    CQeEffect* effect = new CQeEffect(Gpu, Device->getFileSystem(), Binds, Resolvers, ShaderDirs, TextureDirs, def,
                                      baseMaterial, macros, callback, success, error);
    if (!success) {
        qeLibLog(irr::ELL_ERROR, "CQeEffectManager: ERROR CQeEffect : %s", error.c_str());
        LastError = error;
        effect->drop();
        return nullptr;
    }
    return effect;
}
