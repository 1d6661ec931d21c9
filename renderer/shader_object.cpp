#include "shader_object.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "log.h"
#include "shader_material.h"
#include "sysfile.h"

using irr::core::stringc;

namespace {

void copyName(char* dest, size_t size, const char* src) {
    std::strncpy(dest, src, size - 1);
    dest[size - 1] = 0;
}

// The full path of a found name (the name itself when the path layer gives none).
stringc fullPathOf(const stringc& name) {
    const char* full = qeSysPathFull(name.c_str());
    return full && *full ? stringc(full) : name;
}

ShaderFileContent* newContent() {
    ShaderFileContent* content = static_cast<ShaderFileContent*>(std::calloc(1, sizeof(ShaderFileContent)));
    if (!content) return nullptr;
    std::strcpy(content->vertexEntry, "vertexMain");
    std::strcpy(content->pixelEntry, "pixelMain");
    return content;
}

// Reads, preprocesses and parses one file of the content into *text; false with the error text set.
bool loadInto(ShaderFileContent* content, char** text, const char* fileName, const char* const* macros,
              int pixelFile) {
    size_t size = 0;
    *text = qeSysReadWholeFile(fileName, &size);
    if (!*text) {
        qeIrrShaderSetError("loadShaderFileContent('%s') failed\n", fileName);
        return false;
    }
    if (qeIrrShaderPreprocess(*text, macros) != 0) return false;
    qeIrrShaderParseHeader(*text, content, fileName, content->assembler, pixelFile);
    return true;
}

void printLoad(const char* kind, const char* first, const char* second, const char* const* macros) {
    if (qeIrrShaderGetDebugLevel() < 1) return;
    std::printf("[SHADER %s] '%s' ", kind, first);
    if (second) std::printf("'%s' ", second);
    for (const char* const* m = macros; m && *m; ++m) std::printf("%s ", *m);
    std::printf("\n");
}

// The pair's name for an extension: the name without what follows its last '.', then the extension.
stringc pairName(const char* fileName, const char* extension) {
    stringc name = fileName;
    const irr::s32 dot = name.findLast('.');
    if (dot >= 0) name = name.subString(0, static_cast<irr::u32>(dot));
    return name + extension;
}

const ShaderTextureSlot* usedSlot(const ShaderObject* shader, int slot) {
    if (!shader || !shader->content || slot < 0 || slot >= QE_SHADER_MAX_TEXTURES) return nullptr;
    const ShaderTextureSlot* texture = &shader->content->textures[slot];
    return texture->used ? texture : nullptr;
}

int slotFlag(const ShaderObject* shader, int slot, int flag) {
    const ShaderTextureSlot* texture = usedSlot(shader, slot);
    return texture && (texture->flags & flag) ? 1 : 0;
}

// The literal parameter of that name that the setters by name may change, or null.
ShaderParam* settableParam(ShaderObject* shader, const char* name) {
    if (!shader || !shader->content || !name) return nullptr;
    ShaderFileContent* content = shader->content;
    for (int i = 0; i < content->paramCount; ++i) {
        ShaderParam& param = content->params[i];
        if (qeSysStrCaseCmp(param.name, name) != 0) continue;
        // a bound parameter keeps its semantic in value word 0; a reference parameter has no values
        if (param.bound || param.type == QE_SHADER_TYPE_FLOATNREF) return nullptr;
        return &param;
    }
    return nullptr;
}

int setByName(ShaderObject* shader, const char* name, const float* values, int count) {
    ShaderParam* param = settableParam(shader, name);
    if (!param || !values) return -1;
    std::memcpy(param->value.f, values, sizeof(float) * count);
    return 0;
}

}  // namespace

void qeIrrShaderFreeContent(ShaderFileContent* content) {
    if (!content) return;
    std::free(content->vertexText);
    std::free(content->pixelText);
    std::free(content);
}

ShaderFileContent* loadShaderFileContent(const char* fileName, const char* const* macros) {
    printLoad("HLSL", fileName, nullptr, macros);
    ShaderFileContent* content = newContent();
    if (!content) return nullptr;
    copyName(content->vertexFile, sizeof(content->vertexFile), fileName);
    if (!loadInto(content, &content->vertexText, fileName, macros, 0)) {
        qeIrrShaderFreeContent(content);
        return nullptr;
    }
    return content;
}

ShaderFileContent* loadShaderFileContent(const char* vertexFile, const char* pixelFile, const char* const* macros) {
    printLoad("ASM", vertexFile, pixelFile, macros);
    ShaderFileContent* content = newContent();
    if (!content) return nullptr;
    content->assembler = 1;
    copyName(content->vertexFile, sizeof(content->vertexFile), vertexFile);
    bool ok = loadInto(content, &content->vertexText, vertexFile, macros, 0);
    if (ok) {
        copyName(content->pixelFile, sizeof(content->pixelFile), pixelFile);
        ok = loadInto(content, &content->pixelText, pixelFile, macros, 1);
    }
    if (!ok) {
        qeIrrShaderFreeContent(content);
        return nullptr;
    }
    return content;
}

ShaderObject* qeIrrShaderCreate(const char* fileName, const char* const* macros) {
    if (!fileName) return nullptr;
    const int hlsl = std::strstr(fileName, ".hlsl") || std::strstr(fileName, ".fx") ? 1 : 0;
    stringc vertexFile;
    stringc pixelFile;
    ShaderFileContent* content = nullptr;
    if (hlsl) {
        vertexFile = qeSysFindDataFile(fileName);
        pixelFile = vertexFile;
        content = loadShaderFileContent(vertexFile.c_str(), macros);
    } else {
        vertexFile = qeSysFindDataFile(pairName(fileName, ".vsh").c_str());
        pixelFile = qeSysFindDataFile(pairName(fileName, ".psh").c_str());
        content = loadShaderFileContent(vertexFile.c_str(), pixelFile.c_str(), macros);
    }
    if (!content) {
        qeLogPrint(QE_LOG_ERROR, "qeIrrShaderCreate() Parse Shader failed '%s' : '%s'\n", vertexFile.c_str(),
                   qeIrrShaderGetError());
        return nullptr;
    }
    irr::core::array<stringc> names;
    for (const char* const* m = macros; m && *m; ++m) names.push_back(stringc("USE_") + *m);
    // A kept object is the same files only by their full paths: one name in another folder is another file.
    const stringc vertexPath = fullPathOf(vertexFile);
    const stringc pixelPath = fullPathOf(pixelFile);
    ShaderObject* shader = qeIrrShaderTakeKept(hlsl, vertexPath, pixelPath, names);
    if (!shader) {
        shader = new (std::nothrow) ShaderObject();
        if (!shader) {
            qeIrrShaderFreeContent(content);
            return nullptr;
        }
        shader->hlsl = hlsl;
        shader->vertexPath = vertexPath;
        shader->pixelPath = pixelPath;
        shader->macros = names;
    }
    // as found now (a kept object was found from another folder, perhaps)
    shader->vertexFile = vertexFile;
    shader->pixelFile = pixelFile;
    shader->content = content;
    return shader;
}

void qeIrrShaderDestroy(ShaderObject* shader) {
    if (!shader || qeIrrShaderKeepGpuMaterial(shader)) return;
    qeIrrShaderFreeContent(shader->content);
    delete shader;
}

irr::video::E_MATERIAL_TYPE qeIrrShaderEngineMaterialFor(int baseMaterial) {
    switch (baseMaterial) {
        case QE_SHADER_BASE_ADD_COLOR: return irr::video::EMT_TRANSPARENT_ADD_COLOR;
        case QE_SHADER_BASE_VERTEX_ALPHA: return irr::video::EMT_TRANSPARENT_VERTEX_ALPHA;
        case QE_SHADER_BASE_ALPHA_CHANNEL: return irr::video::EMT_TRANSPARENT_ALPHA_CHANNEL;
        case QE_SHADER_BASE_ALPHA_CHANNEL_REF: return irr::video::EMT_TRANSPARENT_ALPHA_CHANNEL_REF;
        case QE_SHADER_BASE_ONE_ONE:
        case QE_SHADER_BASE_SUB_COLOR: return irr::video::EMT_ONETEXTURE_BLEND;
        default: return irr::video::EMT_SOLID;
    }
}

int qeIrrShaderGetMaterialType(const ShaderObject* shader) { return shader->materialType; }

ShaderObject* qeIrrShaderSetTime(ShaderObject* shader, float seconds) {
    shader->time = seconds;
    return shader;
}

const char* qeIrrShaderGetFileName(const ShaderObject* shader) { return shader->content->vertexFile; }
int qeIrrShaderNeedsTangents(const ShaderObject* shader) { return shader->content->tangents; }
int qeIrrShaderHasPresetTextures(const ShaderObject* shader) { return shader->content->presetTextures; }
int qeIrrShaderGetBaseMaterial(const ShaderObject* shader) { return shader->content->baseMaterial; }

irr::video::E_MATERIAL_TYPE qeIrrShaderGetEngineMaterialType(const ShaderObject* shader) {
    return qeIrrShaderEngineMaterialFor(shader->content->baseMaterial);
}

int qeIrrShaderIsLpp(const ShaderObject* shader) {
    return shader->content->renderMode == QE_SHADER_RENDER_LPP ? 1 : 0;
}

int qeIrrShaderTextureUsed(const ShaderObject* shader, int slot) { return usedSlot(shader, slot) ? 1 : 0; }
int qeIrrShaderTextureIsCube(const ShaderObject* shader, int slot) { return slotFlag(shader, slot, QE_SHADER_TEX_CUBE); }
int qeIrrShaderTextureIsPreset(const ShaderObject* shader, int slot) {
    return slotFlag(shader, slot, QE_SHADER_TEX_PRESET);
}
int qeIrrShaderTextureRepeat(const ShaderObject* shader, int slot) { return slotFlag(shader, slot, QE_SHADER_TEX_REPEAT); }
int qeIrrShaderTextureFilterPoint(const ShaderObject* shader, int slot) {
    return slotFlag(shader, slot, QE_SHADER_TEX_FILTERPOINT);
}
int qeIrrShaderTextureIsR32F(const ShaderObject* shader, int slot) { return slotFlag(shader, slot, QE_SHADER_TEX_R32F); }

int qeIrrShaderTextureMipMaps(const ShaderObject* shader, int slot) {
    return usedSlot(shader, slot) && !slotFlag(shader, slot, QE_SHADER_TEX_NOMIPMAP) ? 1 : 0;
}

const char* qeIrrShaderTextureName(const ShaderObject* shader, int slot) {
    const ShaderTextureSlot* texture = usedSlot(shader, slot);
    return texture ? texture->name : nullptr;
}

int qeIrrShaderGetParamCount(const ShaderObject* shader) { return shader->content->paramCount; }

ShaderParam* qeIrrShaderGetParam(ShaderObject* shader, int index) {
    if (index < 0 || index >= shader->content->paramCount) return nullptr;
    return &shader->content->params[index];
}

int qeIrrShaderGetParamType(const ShaderObject* shader, int index) {
    if (index < 0 || index >= shader->content->paramCount) return 0;
    return shader->content->params[index].type;
}

void qeIrrShaderSetParamFloat(ShaderObject* shader, int index, float value) {
    if (ShaderParam* param = qeIrrShaderGetParam(shader, index)) param->value.f[0] = value;
}

void qeIrrShaderSetParamFloat3(ShaderObject* shader, int index, const float* xyz) {
    if (ShaderParam* param = qeIrrShaderGetParam(shader, index)) std::memcpy(param->value.f, xyz, sizeof(float) * 3);
}

int qeIrrShaderSetParamFloatByName(ShaderObject* shader, const char* name, float value) {
    return setByName(shader, name, &value, 1);
}

int qeIrrShaderSetParamFloat2ByName(ShaderObject* shader, const char* name, const float* values) {
    return setByName(shader, name, values, 2);
}

int qeIrrShaderSetParamFloat3ByName(ShaderObject* shader, const char* name, const float* values) {
    return setByName(shader, name, values, 3);
}

int qeIrrShaderSetParamFloatsByName(ShaderObject* shader, const char* name, const float* values, int count) {
    if (count < 0 || count > QE_SHADER_MAX_VALUES) return -1;
    if (setByName(shader, name, values, count) != 0) return -1;
    settableParam(shader, name)->components = count;
    return 0;
}
