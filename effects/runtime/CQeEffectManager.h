#ifndef QIRN_EFFECTS_RUNTIME_CQEEFFECTMANAGER_H
#define QIRN_EFFECTS_RUNTIME_CQEEFFECTMANAGER_H

#include "IQeGPUProgrammingServices.h"
#include "IQeTextureManager.h"
#include "runtime/CQeEffect.h"
#include "runtime/IQeEffectManager.h"

class IQeRenderServices;
class IQeSceneManager;

class CQeEffectManager : public IQeEffectManager {
public:
    // The render services and the library's scene manager go to the binds that read them; the texture
    // manager to the texture resolver. None of the three is kept.
    CQeEffectManager(irr::IrrlichtDevice* device, IQeGPUProgrammingServices* gpu, IQeRenderServices* renderServices,
                     IQeTextureManager* textureManager, IQeSceneManager* sceneManager);
    ~CQeEffectManager() override;

    IQeEffectDef* getEffectDef(const irr::io::path& fileName) override;
    IQeEffect* createEffect(const irr::io::path& fileName, irr::s32 baseMaterial, const char* const* macros,
                            irr::video::IShaderConstantSetCallBack* callback) override;
    void addShaderSearchPath(const irr::core::stringc& folder) override { ShaderDirs.push_back(folder); }
    void addTextureSearchPath(const irr::core::stringc& folder) override { TextureDirs.push_back(folder); }
    void addEffectBind(IQeEffectBind* bind) override;
    void addTextureResolver(IQeEffectTextureResolver* resolver) override;
    void addEffectDefLoader(IQeEffectDefLoader* loader) override;
    const char* getLastError() override { return LastError.c_str(); }

private:
    struct SEffectDef {
        irr::core::stringc name;
        IQeEffectDef* def;
        bool operator<(const SEffectDef& other) const { return name < other.name; }
    };

    irr::IrrlichtDevice* Device;
    IQeGPUProgrammingServices* Gpu;
    irr::core::array<IQeEffectDefLoader*> Loaders;
    irr::core::array<SEffectDef> Cache;
    irr::core::array<IQeEffectBind*> Binds;
    irr::core::array<IQeEffectTextureResolver*> Resolvers;
    irr::core::array<irr::core::stringc> ShaderDirs;
    irr::core::array<irr::core::stringc> TextureDirs;
    CQeEffectCallback* Callback;
    irr::core::stringc LastError;
};

#endif
