#ifndef QIRN_EFFECTS_RUNTIME_CQEPASSPROGRAM_H
#define QIRN_EFFECTS_RUNTIME_CQEPASSPROGRAM_H

#include <irrlicht.h>

#include "IQeGPUProgrammingServices.h"
#include "defs/IQeEffectDef.h"

// Compiles one definition pass into a shader material: the pass's vertex and pixel shader files with
// their entries and targets, the macros, and the base material that gives its blending. On success
// materialType is the material made and blendParam the packed blend function (0 without blending);
// on failure errorText says why.
bool compilePassProgram(irr::s32& materialType, irr::u32& blendParam, IQeGPUProgrammingServices* gpu,
                        irr::io::IFileSystem* fileSystem, const irr::core::array<irr::core::stringc>& shaderDirs,
                        const IQeEffectDef* def, const SPass* pass, irr::video::IShaderConstantSetCallBack* callback,
                        irr::s32 baseMaterial, const char* const* macros, irr::core::stringc& errorText);

// Folder + "/" + name.
irr::core::stringc qeJoinPath(const irr::core::stringc& folder, const irr::core::stringc& name);

// Table lookups of the pass programs (case ignored): -1 for a base-material name not in the table;
// ONE for an unknown blend factor.
irr::s32 qePassBaseMaterial(const irr::c8* name);
irr::video::E_BLEND_FACTOR qePassBlendFactor(const irr::c8* name);

#endif
