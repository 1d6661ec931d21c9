#include "gpu/CQeGPUProgrammingServices.h"

#include <d3dx9shader.h>

#include <cstdint>
#include <vector>

#include "QeLog.h"
#include "gpu/ShaderIncludeCallback.h"

using irr::s32;
using irr::u32;
using irr::core::stringc;

namespace {

// -1, 0 or 1 for two sorted macro lists: fewer macros first, then pairwise.
int compareMacros(const SShaderMacroList& a, const SShaderMacroList& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (u32 i = 0; i < a.size(); ++i) {
        if (a[i] < b[i]) return -1;
        if (b[i] < a[i]) return 1;
    }
    return 0;
}

int compareStrings(const stringc& a, const stringc& b) { return a < b ? -1 : (b < a ? 1 : 0); }

// The caller's list as a sorted key; a null definition is "".
SShaderMacroList sortedMacros(const SQeMacro* macros) {
    SShaderMacroList list;
    for (const SQeMacro* m = macros; m && m->Name; ++m) {
        SShaderMacro macro;
        macro.name = m->Name;
        macro.value = m->Definition ? m->Definition : "";
        list.push_back(macro);
    }
    list.sort();
    return list;
}

const char* stageWord(bool vertex) { return vertex ? "Vertex" : "Pixel"; }

// The first place in the key order whose record is not below the key; found tells whether it holds the key.
template <typename T>
u32 lowerBound(const irr::core::array<T>& records, const irr::core::array<u32>& order, const T& key, bool* found) {
    u32 low = 0, high = order.size();
    while (low < high) {
        const u32 middle = low + (high - low) / 2;
        if (records[order[middle]] < key)
            low = middle + 1;
        else
            high = middle;
    }
    *found = low < order.size() && !(key < records[order[low]]);
    return low;
}

// Adds a record and its index at its place in the key order.
template <typename T>
void insertSorted(irr::core::array<T>& records, irr::core::array<u32>& order, const T& record, u32 at) {
    order.insert(records.size(), at);
    records.push_back(record);
}

}  // namespace

bool SShaderCompiled::operator<(const SShaderCompiled& other) const {
    if (vertex != other.vertex) return vertex < other.vertex;
    if (int c = compareStrings(file, other.file)) return c < 0;
    if (int c = compareStrings(entry, other.entry)) return c < 0;
    return compareMacros(macros, other.macros) < 0;
}

bool SShaderMaterialType::operator<(const SShaderMaterialType& other) const {
    if (int c = compareStrings(vertexFile, other.vertexFile)) return c < 0;
    if (int c = compareStrings(vertexEntry, other.vertexEntry)) return c < 0;
    if (int c = compareStrings(pixelFile, other.pixelFile)) return c < 0;
    if (int c = compareStrings(pixelEntry, other.pixelEntry)) return c < 0;
    const std::uintptr_t mine = reinterpret_cast<std::uintptr_t>(callback);
    const std::uintptr_t theirs = reinterpret_cast<std::uintptr_t>(other.callback);
    if (mine != theirs) return mine < theirs;
    if (baseMaterial != other.baseMaterial) return baseMaterial < other.baseMaterial;
    if (userData != other.userData) return userData < other.userData;
    return compareMacros(macros, other.macros) < 0;
}

CQeGPUProgrammingServices::CQeGPUProgrammingServices(irr::IrrlichtDevice* device) : Device(device) {
    // Sources and includes are looked at once per run, however many stages name them.
    ShaderFiles.keepStatuses = true;
}

CQeGPUProgrammingServices::~CQeGPUProgrammingServices() {
    for (u32 i = 0; i < CompiledShaders.size(); ++i) delete CompiledShaders[i].code;
    CompiledShaders.clear();
}

void CQeGPUProgrammingServices::setShaderCache(const stringc& folder, u32 mode) {
    CacheFolder = folder;
    CacheMode = mode;
    CacheCleared = false;
}

stringc CQeGPUProgrammingServices::fullPathOf(const stringc& file) const {
    irr::io::IFileSystem* fs = Device ? Device->getFileSystem() : nullptr;
    const stringc full = fs && !file.empty() ? fs->getAbsolutePath(file) : stringc();
    return full.empty() ? file : full;
}

irr::video::IGPUProgrammingServices* CQeGPUProgrammingServices::driverServices() const {
    irr::video::IVideoDriver* driver = Device ? Device->getVideoDriver() : nullptr;
    return driver ? driver->getGPUProgrammingServices() : nullptr;
}

bool CQeGPUProgrammingServices::isDirect3D9() const {
    irr::video::IVideoDriver* driver = Device ? Device->getVideoDriver() : nullptr;
    return driver && driver->getDriverType() == irr::video::EDT_DIRECT3D9;
}

s32 CQeGPUProgrammingServices::getShaderMaterial(const stringc& vertexFile, const char* vertexEntry,
                                                 irr::video::E_VERTEX_SHADER_TYPE vertexTarget,
                                                 const stringc& pixelFile, const char* pixelEntry,
                                                 irr::video::E_PIXEL_SHADER_TYPE pixelTarget,
                                                 irr::video::IShaderConstantSetCallBack* callback,
                                                 irr::video::E_MATERIAL_TYPE baseMaterial, s32 userData,
                                                 const SQeMacro* macros) {
    // Keyed by full paths, named in messages as given.
    SShaderMaterialType key;
    key.vertexFile = fullPathOf(vertexFile);
    key.vertexEntry = vertexEntry ? vertexEntry : "";
    key.pixelFile = fullPathOf(pixelFile);
    key.pixelEntry = pixelEntry ? pixelEntry : "";
    key.callback = callback;
    key.baseMaterial = baseMaterial;
    key.userData = userData;
    key.macros = sortedMacros(macros);

    bool known = false;
    const u32 at = lowerBound(MaterialTypes, MaterialOrder, key, &known);
    if (known) {
        qeLibLog(irr::ELL_DEBUG, "QeGPU: Found already created shader %s %s", vertexFile.c_str(), pixelFile.c_str());
        return MaterialTypes[MaterialOrder[at]].materialType;
    }
    irr::io::IFileSystem* fs = Device ? Device->getFileSystem() : nullptr;
    if (!fs || !shaderFileExists(fs, &ShaderFiles, key.vertexFile) || !shaderFileExists(fs, &ShaderFiles, key.pixelFile)) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: Shader files not found %s %s", vertexFile.c_str(), pixelFile.c_str());
        return -1;
    }
    const s32 type = addHighLevelShaderMaterial(vertexFile, vertexEntry, vertexTarget, pixelFile, pixelEntry,
                                                pixelTarget, callback, baseMaterial, userData, macros);
    if (type == -1) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: Failed to get shader %s %s", vertexFile.c_str(), pixelFile.c_str());
        return -1;
    }
    key.materialType = type;
    insertSorted(MaterialTypes, MaterialOrder, key, at);
    return type;
}

s32 CQeGPUProgrammingServices::addHighLevelShaderMaterial(const stringc& vertexFile, const char* vertexEntry,
                                                          irr::video::E_VERTEX_SHADER_TYPE vertexTarget,
                                                          const stringc& pixelFile, const char* pixelEntry,
                                                          irr::video::E_PIXEL_SHADER_TYPE pixelTarget,
                                                          irr::video::IShaderConstantSetCallBack* callback,
                                                          irr::video::E_MATERIAL_TYPE baseMaterial, s32 userData,
                                                          const SQeMacro* macros) {
    irr::video::IGPUProgrammingServices* gpu = driverServices();
    if (!gpu) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: failed to get gpu");
        return -1;
    }
    const u32* vertexTokens = compileShader(vertexFile, vertexEntry, true, static_cast<u32>(vertexTarget), macros);
    if (!vertexTokens) return -1;
    const u32* pixelTokens = compileShader(pixelFile, pixelEntry, false, static_cast<u32>(pixelTarget), macros);
    if (!pixelTokens) return -1;
    const s32 type = gpu->addHighLevelShaderMaterial(vertexTokens, pixelTokens, nullptr, irr::scene::EPT_TRIANGLES,
                                                     irr::scene::EPT_TRIANGLE_STRIP, 0, callback, baseMaterial,
                                                     userData);
    if (type == -1) qeLibLog(irr::ELL_ERROR, "QeGPU: addHighLevelShaderMaterial failed");
    return type;
}

const u32* CQeGPUProgrammingServices::compileShader(const stringc& file, const char* entry, bool vertex, u32 target,
                                                    const SQeMacro* macros) {
    irr::video::IGPUProgrammingServices* gpu = driverServices();
    if (!gpu) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: failed to get gpu");
        return nullptr;
    }
    irr::io::IFileSystem* fs = Device->getFileSystem();
    if (!fs) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: failed to get filesystem");
        return nullptr;
    }

    // Keyed by the full path (the disk cache reads and dates the source by it too); the source is opened
    // and named in messages as given.
    SShaderCompiled key;
    key.vertex = vertex ? 1 : 0;
    key.file = fullPathOf(file);
    key.entry = entry ? entry : "";
    key.macros = sortedMacros(macros);

    // An entry without code is filled in place rather than doubled.
    bool known = false;
    const u32 at = lowerBound(CompiledShaders, CompiledOrder, key, &known);
    const s32 found = known ? static_cast<s32>(CompiledOrder[at]) : -1;
    if (found >= 0) {
        qeLibLog(irr::ELL_DEBUG, "QeGPU: Found already compiled shader %s %s", file.c_str(), stageWord(vertex));
        const irr::video::SShaderCodeBuffer* code = CompiledShaders[found].code;
        if (code && code->Data) return reinterpret_cast<const u32*>(code->Data);
        qeLibLog(irr::ELL_ERROR, "QeGPU: Found compiled shader but Buffer is NULL !!!!! ");
    }
    auto keep = [&](irr::video::SShaderCodeBuffer* code) -> const u32* {
        if (found >= 0) {
            delete CompiledShaders[found].code;
            CompiledShaders[found].code = code;
        } else {
            key.code = code;
            insertSorted(CompiledShaders, CompiledOrder, key, at);
        }
        return reinterpret_cast<const u32*>(code->Data);
    };

    if (irr::video::SShaderCodeBuffer* cached =
            readShaderCache(fs, CacheFolder, CacheMode, key.file, entry, vertex, key.macros, &ShaderFiles))
        return keep(cached);
    // A cache that this run writes into keeps none of the files that no request can use: cleared once,
    // when the first shader has to be compiled (a run that finds everything in the cache writes nothing).
    if ((CacheMode & ESCM_WRITE) && !CacheCleared) {
        CacheCleared = true;
        removeStaleCacheFiles(fs, CacheFolder);
    }

    irr::io::IReadFile* in = fs->createAndOpenFile(file);
    if (!in) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: Shader file not found %s", file.c_str());
        return nullptr;
    }
    const long length = in->getSize();
    std::vector<char> source(length > 0 ? static_cast<size_t>(length) + 1 : 1, 0);
    const s32 got = length > 0 ? in->read(source.data(), static_cast<u32>(length)) : 0;
    in->drop();
    if (length < 0 || got != static_cast<s32>(length)) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: Shader file cannot be read %s", file.c_str());
        return nullptr;
    }

    // the compiler takes the caller's order
    std::vector<const irr::c8*> defines;
    for (const SQeMacro* m = macros; m && m->Name; ++m) {
        defines.push_back(m->Name);
        defines.push_back(m->Definition ? m->Definition : "");
    }
    defines.push_back(nullptr);
    defines.push_back(nullptr);

    ShaderIncludeCallback includes(fs, fs->getFileDir(file));
    qeLibLog(irr::ELL_DEBUG, "QeGPU: compile shader %s", file.c_str());
    irr::video::SShaderCodeBuffer compiled;
    const bool ok = vertex ? gpu->compileVertexShader(source.data(), entry, target, defines.data(), &includes, compiled)
                           : gpu->compilePixelShader(source.data(), entry, target, defines.data(), &includes, compiled);
    std::vector<char>().swap(source);
    if (!ok || !compiled.Data) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: Failed to compile shader %s %s", file.c_str(), stageWord(vertex));
        return nullptr;
    }
    irr::video::SShaderCodeBuffer* code = new irr::video::SShaderCodeBuffer();
    code->set(compiled.Data, compiled.Size);
    writeShaderCache(fs, CacheFolder, CacheMode, key.file, entry, vertex, key.macros, *code, &ShaderFiles);
    return keep(code);
}

bool CQeGPUProgrammingServices::fetchConstantTables(s32 materialType) {
    if (materialType == TablesMaterialType) return true;
    irr::video::IGPUProgrammingServices* gpu = driverServices();
    ID3DXConstantTable* vertexTable = nullptr;
    ID3DXConstantTable* pixelTable = nullptr;
    if (!gpu || !gpu->getMaterialTypeConstantTables(materialType, &vertexTable, &pixelTable, nullptr)) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: getMaterialTypeConstantTables failed");
        return false;
    }
    TablesMaterialType = materialType;
    VertexTable = vertexTable;
    PixelTable = pixelTable;
    return true;
}

bool CQeGPUProgrammingServices::lookUp(s32 materialType, bool vertex, bool sampler, const char* name, s32* index) {
    // Without tables (or without that stage's shader) nothing is known about the constant: -1, true.
    ID3DXConstantTable* table = nullptr;
    if (fetchConstantTables(materialType) && isDirect3D9()) table = vertex ? VertexTable : PixelTable;
    if (!table) {
        if (index) *index = -1;
        return true;
    }
    if (!sampler) return getDXConst(table, name, index);
    D3DXHANDLE handle = name ? table->GetConstantByName(nullptr, name) : nullptr;
    if (!handle) return false;
    if (index) *index = static_cast<s32>(table->GetSamplerIndex(handle));
    return true;
}

bool CQeGPUProgrammingServices::getDXConst(ID3DXConstantTable* table, const char* name, s32* index) {
    D3DXHANDLE handle = name ? table->GetConstantByName(nullptr, name) : nullptr;
    if (!handle) return false;
    D3DXCONSTANT_DESC desc;
    UINT count = 1;
    if (FAILED(table->GetConstantDesc(handle, &desc, &count))) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: getDXConst: GetConstantDesc failed");
        return false;
    }
    if (index) *index = static_cast<s32>(desc.RegisterIndex);
    return true;
}

bool CQeGPUProgrammingServices::getPixelShaderConstantRegister(s32 materialType, const char* name, s32* index) {
    return lookUp(materialType, false, false, name, index);
}

bool CQeGPUProgrammingServices::getVertexShaderConstantRegister(s32 materialType, const char* name, s32* index) {
    return lookUp(materialType, true, false, name, index);
}

bool CQeGPUProgrammingServices::getPixelShaderSamplerIndex(s32 materialType, const char* name, s32* index) {
    return lookUp(materialType, false, true, name, index);
}

bool CQeGPUProgrammingServices::getVertexShaderSamplerIndex(s32 materialType, const char* name, s32* index) {
    return lookUp(materialType, true, true, name, index);
}

bool CQeGPUProgrammingServices::printConstants(s32 materialType) {
    if (!fetchConstantTables(materialType)) return false;
    if (!isDirect3D9()) {
        qeLibLog(irr::ELL_ERROR, "printConstants not supported for this DriverType");
        return false;
    }
    // a stage without a shader has no table and prints no constants
    qeLibPrintf("Vertex Shader Constants\n");
    if (VertexTable) printDXConstants(VertexTable);
    qeLibPrintf("Pixel Shader Constants\n");
    if (PixelTable) printDXConstants(PixelTable);
    return true;
}

bool CQeGPUProgrammingServices::printDXConstants(ID3DXConstantTable* table) {
    D3DXCONSTANTTABLE_DESC tableDesc;
    if (FAILED(table->GetDesc(&tableDesc))) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: printDXConstants: GetDesc failed");
        return false;
    }
    for (UINT i = 0; i < tableDesc.Constants; ++i) {
        D3DXHANDLE handle = table->GetConstant(nullptr, i);
        D3DXCONSTANT_DESC desc;
        UINT count = 1;
        if (!handle || FAILED(table->GetConstantDesc(handle, &desc, &count))) {
            qeLibLog(irr::ELL_ERROR, "QeGPU: printDXConstants: GetConstantDesc failed");
            return false;
        }
        qeLibPrintf("Name='%s' RegisterIndex=%d RegisterCount=%d\n", desc.Name, static_cast<int>(desc.RegisterIndex),
                    static_cast<int>(desc.RegisterCount));
    }
    return true;
}
