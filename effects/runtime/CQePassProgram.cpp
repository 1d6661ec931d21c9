#include "runtime/CQePassProgram.h"

#include <cstring>
#include <string>

using irr::s32;
using irr::u32;
using irr::core::stringc;
using namespace irr::video;

namespace {

struct NameValue {
    const char* name;
    s32 value;
};

const NameValue kBaseMaterials[] = {
    {"solid", EMT_SOLID},
    {"transparent_add_color", EMT_TRANSPARENT_ADD_COLOR},
    {"transparent_vertex_alpha", EMT_TRANSPARENT_VERTEX_ALPHA},
    {"transparent", EMT_TRANSPARENT_ALPHA_CHANNEL},
    {"transparent_alpha_channel", EMT_TRANSPARENT_ALPHA_CHANNEL},
    {"transparent_alpha_channel_ref", EMT_TRANSPARENT_ALPHA_CHANNEL_REF},
};

const NameValue kBlendFactors[] = {
    {"ZERO", EBF_ZERO},
    {"ONE", EBF_ONE},
    {"DEST_COLOR", EBF_DST_COLOR},
    {"ONE_MINUS_DEST_COLOR", EBF_ONE_MINUS_DST_COLOR},
    {"SRC_COLOR", EBF_SRC_COLOR},
    {"ONE_MINUS_SRC_COLOR", EBF_ONE_MINUS_SRC_COLOR},
    {"SRC_ALPHA", EBF_SRC_ALPHA},
    {"ONE_MINUS_SRC_ALPHA", EBF_ONE_MINUS_SRC_ALPHA},
    {"DEST_ALPHA", EBF_DST_ALPHA},
    {"ONE_MINUS_DEST_ALPHA", EBF_ONE_MINUS_DST_ALPHA},
    {"SRC_ALPHA_SATURATE", EBF_SRC_ALPHA_SATURATE},
};

template <size_t N>
s32 lookup(const NameValue (&table)[N], const irr::c8* name, s32 otherwise) {
    if (!name) return otherwise;
    const stringc text(name);
    for (const NameValue& row : table)
        if (text.equals_ignore_case(row.name)) return row.value;
    return otherwise;
}

// The file name of a shader source: what follows the first "file://", or the whole text.
stringc sourceFile(const irr::c8* source) {
    if (!source) return stringc();
    const char* scheme = std::strstr(source, "file://");
    return stringc(scheme ? scheme + 7 : source);
}

bool vertexTarget(u32 target, E_VERTEX_SHADER_TYPE& type) {
    switch (target) {
    case 1: type = EVST_VS_1_1; return true;
    case 2: type = EVST_VS_2_0; return true;
    case 3: type = EVST_VS_3_0; return true;
    default: return false;
    }
}

bool pixelTarget(u32 target, E_PIXEL_SHADER_TYPE& type) {
    switch (target) {
    case 4: type = EPST_PS_1_1; return true;
    case 5: type = EPST_PS_2_0; return true;
    case 6: type = EPST_PS_3_0; return true;
    default: return false;
    }
}

// The file beside the effect, else in the first search folder that has it, else the name as given.
stringc resolveFile(irr::io::IFileSystem* fs, const stringc& effectDir, const irr::core::array<stringc>& dirs,
                    const stringc& name) {
    if (!fs || name.empty()) return name;
    stringc candidate = qeJoinPath(effectDir, name);
    if (fs->existFile(candidate)) return candidate;
    for (u32 i = 0; i < dirs.size(); ++i) {
        candidate = qeJoinPath(dirs[i], name);
        if (fs->existFile(candidate)) return candidate;
    }
    return name;
}

}  // namespace

stringc qeJoinPath(const stringc& folder, const stringc& name) {
    std::string joined(folder.c_str());
    joined += '/';
    joined += name.c_str();
    return stringc(joined.c_str());
}

s32 qePassBaseMaterial(const irr::c8* name) { return lookup(kBaseMaterials, name, -1); }

E_BLEND_FACTOR qePassBlendFactor(const irr::c8* name) {
    return static_cast<E_BLEND_FACTOR>(lookup(kBlendFactors, name, EBF_ONE));
}

bool compilePassProgram(s32& materialType, u32& blendParam, IQeGPUProgrammingServices* gpu,
                        irr::io::IFileSystem* fileSystem, const irr::core::array<stringc>& shaderDirs,
                        const IQeEffectDef* def, const SPass* pass, IShaderConstantSetCallBack* callback,
                        s32 baseMaterial, const char* const* macros, stringc& errorText) {
    stringc vertexFile, pixelFile;
    stringc vertexEntry = "main", pixelEntry = "main";
    E_VERTEX_SHADER_TYPE vsType = EVST_VS_1_1;
    E_PIXEL_SHADER_TYPE psType = EPST_PS_1_1;
    s32 base = -1;
    blendParam = 0;

    // 1. the shader files, entries and targets; a later shader of a stage replaces an earlier one
    SPassDesc passDesc;
    if (!def->getPassDesc(pass, passDesc)) {
        errorText = "Failed to get pass description";
        return false;
    }
    for (u32 i = 0; i < passDesc.shaderCount; ++i) {
        SShaderDesc desc;
        if (!def->getShaderDesc(def->getShader(pass, i), desc)) {
            errorText = "Failed to get Shader Desc";
            return false;
        }
        const stringc file = sourceFile(desc.source);
        if (desc.stage == EQESS_VERTEX) {
            if (file.empty()) {
                errorText = stringc("Inconsistent Vertex Shader Filename ") + (desc.source ? desc.source : "");
                return false;
            }
            vertexFile = file;
            vertexEntry = desc.entry ? desc.entry : "";
            if (!vertexTarget(desc.target, vsType)) {
                errorText = "Unsupported Vertex Compiler target";
                return false;
            }
        } else if (desc.stage == EQESS_PIXEL) {
            if (file.empty()) {
                errorText = stringc("Inconsistent Pixel Shader Filename ") + (desc.source ? desc.source : "");
                return false;
            }
            pixelFile = file;
            pixelEntry = desc.entry ? desc.entry : "";
            if (!pixelTarget(desc.target, psType)) {
                errorText = "Unsupported Pixel Compiler target";
                return false;
            }
        }
    }

    // 2. blending, or the base material the pass names
    const SState* blendEnable = def->getStateByName(pass, "blend_enable");
    if (blendEnable && blendEnable->value.equals_ignore_case("true")) {
        base = EMT_ONETEXTURE_BLEND;
        const SState* src = def->getStateByName(pass, "blend_func src");
        const SState* dst = def->getStateByName(pass, "blend_func dest");
        const E_BLEND_FACTOR srcFactor = src ? qePassBlendFactor(src->value.c_str()) : EBF_ONE;
        const E_BLEND_FACTOR dstFactor = dst ? qePassBlendFactor(dst->value.c_str()) : EBF_ZERO;
        blendParam = (static_cast<u32>(EAS_TEXTURE) << 12) | (static_cast<u32>(EMFN_MODULATE_1X) << 8) |
                     (static_cast<u32>(srcFactor) << 4) | static_cast<u32>(dstFactor);
    } else if (const SParameter* annotation = def->getAnnotationByName(pass, "baseMaterial")) {
        const irr::c8* value = nullptr;
        def->getValueString(annotation, value);
        base = qePassBaseMaterial(value);
        if (base < 0) {
            errorText = stringc("Invalid base material annotation ") + (value ? value : "");
            return false;
        }
    }
    // 3. the effect's base material, else solid
    if (base == -1) base = baseMaterial != -1 ? baseMaterial : EMT_SOLID;

    // 4. inline sources are checked, not compiled
    for (u32 i = 0; i < passDesc.shaderCount; ++i) {
        const SShader* shader = def->getShader(pass, i);
        SShaderDesc desc;
        if (!def->getShaderDesc(shader, desc)) {
            errorText = "Failed to get Shader Desc";
            return false;
        }
        for (u32 k = 0; k < desc.inlineSourceCount; ++k) {
            const irr::c8* text = nullptr;
            if (!def->getShaderInlineSource(shader, k, text)) {
                errorText = "Failed to get source inline";
                return false;
            }
            if (!text || !std::strstr(text, "#define")) {
                errorText = "Invalid source inline : no #define";
                return false;
            }
        }
    }

    // 5. the macro list, always ended by a null record
    irr::core::array<SQeMacro> macroList;
    if (macros) {
        for (u32 i = 0; macros[2 * i]; ++i) macroList.push_back(SQeMacro{macros[2 * i], macros[2 * i + 1]});
    }
    macroList.push_back(SQeMacro{nullptr, nullptr});

    // 6. the files: beside the effect, in the search folders, or as given
    const stringc effectDir = fileSystem ? stringc(fileSystem->getFileDir(def->getFileName())) : stringc();
    vertexFile = resolveFile(fileSystem, effectDir, shaderDirs, vertexFile);
    pixelFile = resolveFile(fileSystem, effectDir, shaderDirs, pixelFile);

    // 7. compile
    const s32 material = gpu ? gpu->getShaderMaterial(vertexFile, vertexEntry.c_str(), vsType, pixelFile,
                                                      pixelEntry.c_str(), psType, callback,
                                                      static_cast<E_MATERIAL_TYPE>(base), 0, macroList.pointer())
                             : -1;
    if (material == -1) {
        errorText = "Failed to compile shader";
        return false;
    }
    materialType = material;
    return true;
}
