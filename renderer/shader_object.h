#ifndef QIRN_RENDERER_SHADER_OBJECT_H
#define QIRN_RENDERER_SHADER_OBJECT_H

#include <irrlicht.h>

#include <cstdint>

#include "shader_header.h"

// One declared constant of a shader header.
struct ShaderParam {
    char name[80];
    int32_t type;   // QE_SHADER_TYPE_*
    int32_t bound;  // 1: value.id is a semantic (QE_SEM_*) or surface channel id; 0: a literal
    union {
        float f[QE_SHADER_MAX_VALUES];
        int32_t id;
    } value;
    int32_t components;
    int32_t vertex;  // sent to the vertex program
    int32_t pixel;   // sent to the pixel program
    int32_t registerKind;    // assembler files: QE_SHADER_REG_*
    int32_t registerNumber;  // assembler files
    int32_t flags;           // QE_SHADER_PARAM_*
};

struct ShaderTextureSlot {
    int32_t used;
    int32_t flags;  // QE_SHADER_TEX_*
    char name[128];
};

// What the header of a shader file (or of both files of an assembler pair) declares, with the loaded
// texts until the GPU material is made. One zero-filled allocation.
struct ShaderFileContent {
    char vertexFile[512];  // the HLSL file, or the pair's vertex file
    char pixelFile[512];   // the pair's pixel file
    char title[80];
    char subject[80];
    char comments[128];
    char* vertexText;  // owned, preprocessed; freed once the GPU material exists
    char* pixelText;
    char vertexEntry[80];  // "vertexMain" unless the header says otherwise
    char pixelEntry[80];   // "pixelMain"
    int32_t assembler;
    int32_t tangents;
    int32_t presetTextures;
    int32_t baseMaterial;  // QE_SHADER_BASE_*
    int32_t renderMode;    // QE_SHADER_RENDER_*
    ShaderTextureSlot textures[QE_SHADER_MAX_TEXTURES];
    int32_t paramCount;
    ShaderParam params[QE_SHADER_MAX_PARAMS];
};

// A parsed shader file (or assembler pair) and, once set up, its GPU material. Owned by its creator;
// it must outlive every draw of its material (the constant callback reads it).
struct ShaderObject {
    int32_t hlsl = 1;  // 1: one HLSL file; 0: an assembler pair
    ShaderFileContent* content = nullptr;
    float time = 0.0f;  // seconds
    int32_t materialType = -1;
    // The driver keeps a material type until it goes, with this object as its constant callback's datum:
    // a destroyed object that has one is kept aside with it (see qeIrrShaderKeepGpuMaterial) and handed
    // out again by the next qeIrrShaderCreate of the same files and macros, whose set-up takes the
    // material back when it would compile the same programs.
    int32_t keptMaterialType = -1;  // the material type of an object handed out again, until its set-up
    uint32_t gpuGeneration = 0;     // the device's generation of the shader materials when it was made
    irr::core::stringc gpuIdentity;  // what the material was compiled from besides files and macros
    irr::core::stringc vertexFile;  // found paths
    irr::core::stringc pixelFile;
    irr::core::stringc vertexPath;  // their full paths, which a kept object is found again by
    irr::core::stringc pixelPath;
    irr::core::array<irr::core::stringc> macros;  // "USE_" + each macro name, in order
    // Which parameters the compiled HLSL programs have, found when the GPU material is made (the compiler
    // drops what a permutation does not use): bit 0 the vertex program, bit 1 the pixel program; for a
    // parameter sent as struct members, one bit per member. Until then every parameter is sent.
    int32_t presenceKnown = 0;
    uint32_t paramPresent[QE_SHADER_MAX_PARAMS] = {};
};

// Creates the shader from a file name: a name containing ".hlsl" or ".fx" is one HLSL file, any other
// an assembler pair (name without its extension + ".vsh" / ".psh"). Names go through the data-file
// search. macros: null-terminated names, or null. Null on failure, logged with the loader's report.
// The file is always read again; the object may be one destroyed before (its material kept, see above).
ShaderObject* qeIrrShaderCreate(const char* fileName, const char* const* macros);
// Frees the object's content and its texts. An object whose GPU material this device made is kept, without
// content, for the next qeIrrShaderCreate of the same files and macros (the driver never frees a material
// type: made again each time, they would pile up); any other object is freed.
void qeIrrShaderDestroy(ShaderObject* shader);

// Reads, preprocesses and parses one HLSL file or an assembler pair; null with the shader error text set.
ShaderFileContent* loadShaderFileContent(const char* fileName, const char* const* macros);
ShaderFileContent* loadShaderFileContent(const char* vertexFile, const char* pixelFile, const char* const* macros);
void qeIrrShaderFreeContent(ShaderFileContent* content);

// The engine material type a header base material maps to (solid for unknown values).
irr::video::E_MATERIAL_TYPE qeIrrShaderEngineMaterialFor(int baseMaterial);

int qeIrrShaderGetMaterialType(const ShaderObject* shader);
ShaderObject* qeIrrShaderSetTime(ShaderObject* shader, float seconds);
const char* qeIrrShaderGetFileName(const ShaderObject* shader);
int qeIrrShaderNeedsTangents(const ShaderObject* shader);
int qeIrrShaderHasPresetTextures(const ShaderObject* shader);
int qeIrrShaderGetBaseMaterial(const ShaderObject* shader);
irr::video::E_MATERIAL_TYPE qeIrrShaderGetEngineMaterialType(const ShaderObject* shader);
int qeIrrShaderIsLpp(const ShaderObject* shader);

// Texture slots 0 to 9; a slot not in use answers 0 (and null for its name).
int qeIrrShaderTextureUsed(const ShaderObject* shader, int slot);
int qeIrrShaderTextureIsCube(const ShaderObject* shader, int slot);
int qeIrrShaderTextureIsPreset(const ShaderObject* shader, int slot);
int qeIrrShaderTextureRepeat(const ShaderObject* shader, int slot);
int qeIrrShaderTextureFilterPoint(const ShaderObject* shader, int slot);
int qeIrrShaderTextureIsR32F(const ShaderObject* shader, int slot);
int qeIrrShaderTextureMipMaps(const ShaderObject* shader, int slot);
const char* qeIrrShaderTextureName(const ShaderObject* shader, int slot);

int qeIrrShaderGetParamCount(const ShaderObject* shader);
ShaderParam* qeIrrShaderGetParam(ShaderObject* shader, int index);
int qeIrrShaderGetParamType(const ShaderObject* shader, int index);
void qeIrrShaderSetParamFloat(ShaderObject* shader, int index, float value);
void qeIrrShaderSetParamFloat3(ShaderObject* shader, int index, const float* xyz);

// Setters by name: the first parameter of that name (without regard to case). They change literal
// parameters only: an undeclared name, a parameter bound to a semantic or surface channel, and a
// "floatNRef" parameter answer -1 and change nothing. 0 when set.
int qeIrrShaderSetParamFloatByName(ShaderObject* shader, const char* name, float value);
int qeIrrShaderSetParamFloat2ByName(ShaderObject* shader, const char* name, const float* values);
int qeIrrShaderSetParamFloat3ByName(ShaderObject* shader, const char* name, const float* values);
// Copies count values (at most 16) and makes count the parameter's component count.
int qeIrrShaderSetParamFloatsByName(ShaderObject* shader, const char* name, const float* values, int count);

#endif
