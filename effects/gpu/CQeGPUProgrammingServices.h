#ifndef QIRN_EFFECTS_GPU_CQEGPUPROGRAMMINGSERVICES_H
#define QIRN_EFFECTS_GPU_CQEGPUPROGRAMMINGSERVICES_H

#include <irrlicht.h>

#include "IQeGPUProgrammingServices.h"
#include "gpu/QeShaderCache.h"

struct ID3DXConstantTable;

// One compiled stage, keyed by stage, file, entry point and sorted macros (the code is no part of the key).
// Files are keyed by their full paths: the same name in two folders is two shaders.
struct SShaderCompiled {
    irr::u8 vertex = 0;  // 1 vertex, 0 pixel
    irr::core::stringc file;  // full path
    irr::core::stringc entry;
    SShaderMacroList macros;
    irr::video::SShaderCodeBuffer* code = nullptr;  // owned by the services' cache
    bool operator<(const SShaderCompiled& other) const;
};

// One material type made from a shader pair; the material type is no part of the key.
struct SShaderMaterialType {
    irr::core::stringc vertexFile;  // full path
    irr::core::stringc vertexEntry;
    irr::core::stringc pixelFile;  // full path
    irr::core::stringc pixelEntry;
    irr::video::IShaderConstantSetCallBack* callback = nullptr;
    irr::s32 baseMaterial = 0;
    irr::s32 userData = 0;
    SShaderMacroList macros;
    irr::s32 materialType = -1;
    bool operator<(const SShaderMaterialType& other) const;
};

// The library's shader service: HLSL file pairs become material types through a memory cache of
// compiled stages, the on-disk cache and the driver's compiler.
class CQeGPUProgrammingServices : public IQeGPUProgrammingServices {
public:
    explicit CQeGPUProgrammingServices(irr::IrrlichtDevice* device);
    ~CQeGPUProgrammingServices() override;

    void setShaderCache(const irr::core::stringc& folder, irr::u32 mode) override;
    irr::s32 getShaderMaterial(const irr::core::stringc& vertexFile, const char* vertexEntry,
                               irr::video::E_VERTEX_SHADER_TYPE vertexTarget, const irr::core::stringc& pixelFile,
                               const char* pixelEntry, irr::video::E_PIXEL_SHADER_TYPE pixelTarget,
                               irr::video::IShaderConstantSetCallBack* callback,
                               irr::video::E_MATERIAL_TYPE baseMaterial, irr::s32 userData,
                               const SQeMacro* macros) override;
    bool getPixelShaderConstantRegister(irr::s32 materialType, const char* name, irr::s32* index) override;
    bool getVertexShaderConstantRegister(irr::s32 materialType, const char* name, irr::s32* index) override;
    bool getPixelShaderSamplerIndex(irr::s32 materialType, const char* name, irr::s32* index) override;
    bool getVertexShaderSamplerIndex(irr::s32 materialType, const char* name, irr::s32* index) override;
    bool printConstants(irr::s32 materialType) override;

    // Compiles both stages (from memory or the disk cache when they were compiled before) and registers
    // a new material type every time; -1 on failure.
    virtual irr::s32 addHighLevelShaderMaterial(const irr::core::stringc& vertexFile, const char* vertexEntry,
                                                irr::video::E_VERTEX_SHADER_TYPE vertexTarget,
                                                const irr::core::stringc& pixelFile, const char* pixelEntry,
                                                irr::video::E_PIXEL_SHADER_TYPE pixelTarget,
                                                irr::video::IShaderConstantSetCallBack* callback,
                                                irr::video::E_MATERIAL_TYPE baseMaterial, irr::s32 userData,
                                                const SQeMacro* macros);

private:
    const irr::u32* compileShader(const irr::core::stringc& file, const char* entry, bool vertex, irr::u32 target,
                                  const SQeMacro* macros);
    // The full path of a file name as the current folder gives it; the name itself when there is none.
    irr::core::stringc fullPathOf(const irr::core::stringc& file) const;
    bool fetchConstantTables(irr::s32 materialType);
    bool lookUp(irr::s32 materialType, bool vertex, bool sampler, const char* name, irr::s32* index);
    bool getDXConst(ID3DXConstantTable* table, const char* name, irr::s32* index);
    bool printDXConstants(ID3DXConstantTable* table);
    irr::video::IGPUProgrammingServices* driverServices() const;
    bool isDirect3D9() const;

    // Both caches keep their records in the order they were made and, beside them, the records' indices
    // sorted by key: a lookup is a binary search, an insert moves indices rather than records.
    irr::core::array<SShaderCompiled> CompiledShaders;
    irr::core::array<irr::u32> CompiledOrder;
    irr::IrrlichtDevice* Device;
    irr::core::array<SShaderMaterialType> MaterialTypes;
    irr::core::array<irr::u32> MaterialOrder;
    irr::core::stringc CacheFolder;
    irr::u32 CacheMode = 0;
    bool CacheCleared = false;  // the cache folder was cleared of what no request can use (see compileShader)
    irr::s32 TablesMaterialType = -1;
    ID3DXConstantTable* VertexTable = nullptr;
    ID3DXConstantTable* PixelTable = nullptr;
    SShaderFileMemo ShaderFiles;  // what the disk cache read of the sources in this run
};

#endif
