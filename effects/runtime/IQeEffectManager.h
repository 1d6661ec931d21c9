#ifndef QIRN_EFFECTS_RUNTIME_IQEEFFECTMANAGER_H
#define QIRN_EFFECTS_RUNTIME_IQEEFFECTMANAGER_H

#include <irrlicht.h>

#include "binds/IQeEffectBind.h"
#include "defs/IQeEffectDef.h"
#include "runtime/IQeEffect.h"
#include "runtime/IQeEffectTextureResolver.h"

// Turns effect files into runtime effects: loads each definition once (cached by absolute file name)
// and builds a new effect from it on each request. Owned by the service hub.
class IQeEffectManager {
public:
    virtual ~IQeEffectManager() {}
    // The cached or newly loaded definition, or null; no reference is added for the caller.
    virtual IQeEffectDef* getEffectDef(const irr::io::path& fileName) = 0;
    // A new effect (reference count 1, the caller drops it), or null. baseMaterial serves passes that
    // name none (-1: solid); macros are pairs of texts ended by a null name, or null; a null callback
    // means the manager's shared one.
    virtual IQeEffect* createEffect(const irr::io::path& fileName, irr::s32 baseMaterial, const char* const* macros,
                                    irr::video::IShaderConstantSetCallBack* callback) = 0;
    virtual void addShaderSearchPath(const irr::core::stringc& folder) = 0;
    virtual void addTextureSearchPath(const irr::core::stringc& folder) = 0;
    // Asked before every bind registered earlier; the generic bind stays last.
    virtual void addEffectBind(IQeEffectBind* bind) = 0;
    // Asked before every resolver registered earlier.
    virtual void addTextureResolver(IQeEffectTextureResolver* resolver) = 0;
    // Asked before every loader registered earlier.
    virtual void addEffectDefLoader(IQeEffectDefLoader* loader) = 0;
    // The text of the last failure, empty until one happened.
    virtual const char* getLastError() = 0;
};

#endif
