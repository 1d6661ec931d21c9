#ifndef QIRN_EFFECTS_DEFS_IQEEFFECTDEF_H
#define QIRN_EFFECTS_DEFS_IQEEFFECTDEF_H

#include <irrlicht.h>

// Effect definitions: the parsed, read-only description of one effect file (parameters with semantics,
// default values and sampler states; techniques, passes, shaders, render states, evaluate records;
// annotations at every level). A definition never changes once its constructor has returned, so the
// record pointers handed out stay valid for its lifetime.

// Kind tags that begin every record (the annotation queries find an owner's list through them).
enum EQeEffectDefKind {
    EQEK_PARAMETER = 1,
    EQEK_SHADER = 2,
    EQEK_STATE = 3,
    EQEK_EVALUATE = 4,
    EQEK_PASS = 5,
    EQEK_TECHNIQUE = 6,
    EQEK_EFFECT = 7
};

// Parameter type codes.
enum EQeParameterType {
    EQEPT_NONE = 0,
    EQEPT_BOOL = 1,
    EQEPT_FLOAT = 2,
    EQEPT_FLOAT2 = 3,
    EQEPT_FLOAT3 = 4,
    EQEPT_FLOAT4 = 5,
    EQEPT_FLOAT4X4 = 6,
    EQEPT_INT = 7,
    EQEPT_SAMPLER1D = 8,
    EQEPT_SAMPLER2D = 9,
    EQEPT_SAMPLER3D = 10,
    EQEPT_SAMPLERRECT = 11,
    EQEPT_SAMPLERCUBE = 12,
    EQEPT_SAMPLERDEPTH = 13,
    EQEPT_USERTYPE = 14
};

// Shader stage codes.
enum EQeShaderStage {
    EQESS_UNKNOWN = 0,
    EQESS_TESSELLATION = 1,
    EQESS_VERTEX = 2,
    EQESS_GEOMETRY = 3,
    EQESS_PIXEL = 4
};

// Compiler targets.
enum EQeShaderTarget {
    EQEST_NONE = 0,
    EQEST_VS_1_1 = 1,
    EQEST_VS_2_0 = 2,
    EQEST_VS_3_0 = 3,
    EQEST_PS_1_1 = 4,
    EQEST_PS_2_0 = 5,
    EQEST_PS_3_0 = 6
};

struct SSamplerState {
    irr::core::stringc image;  // an image URL or a texture file name
    irr::core::stringc wrap_s;
    irr::core::stringc wrap_t;
    irr::core::stringc wrap_p;
    irr::core::stringc minfilter;
    irr::core::stringc magfilter;
    irr::core::stringc mipfilter;
};

// A parameter, and the record of every annotation (whose type stays 0).
struct SParameter {
    irr::u32 kind = EQEK_PARAMETER;
    irr::core::stringc name;
    irr::core::stringc value;  // the default value, or an annotation's value
    irr::core::stringc semantic;
    irr::u32 type = EQEPT_NONE;
    irr::core::array<SParameter> annotations;
    SSamplerState sampler;
};

struct SInclude {
    irr::core::stringc sid;
    irr::core::stringc url;
};

struct SShader {
    irr::u32 kind = EQEK_SHADER;
    irr::u32 stage = EQESS_UNKNOWN;
    irr::core::stringc entry;
    irr::core::stringc source;  // the source file's path or URL
    irr::core::array<irr::core::stringc> inlineSources;
    irr::u32 target = EQEST_NONE;
    // Bindings: each name is the shader's own symbol, its value the effect parameter that feeds it.
    irr::core::array<SParameter> annotations;
};

// A render state of a pass.
struct SState {
    irr::u32 kind = EQEK_STATE;
    irr::core::stringc name;
    irr::core::stringc value;
    irr::core::stringc param;  // the parameter that supplies the value, empty when none
    irr::s32 index = 0;
};

// An evaluate record of a pass: render targets, clears, draw.
struct SEvaluate {
    irr::u32 kind = EQEK_EVALUATE;
    irr::core::stringc name;
    irr::s32 index = 0;
    irr::core::stringc value;  // a parameter reference, a clear value or the draw text
    irr::core::stringc image;
};

struct SPass {
    irr::u32 kind = EQEK_PASS;
    irr::core::stringc name;
    irr::core::array<SShader> shaders;
    irr::core::array<SState> states;
    irr::core::array<SEvaluate> evaluates;
    irr::core::array<SParameter> annotations;
};

struct STechnique {
    irr::u32 kind = EQEK_TECHNIQUE;
    irr::core::stringc name;
    irr::core::array<SPass> passes;
    irr::core::array<SParameter> annotations;
};

struct SEffect {
    irr::u32 kind = EQEK_EFFECT;
    irr::core::stringc id;
    irr::core::stringc name;
    irr::core::stringc title;
    irr::core::stringc subject;
    irr::core::stringc comments;
    irr::core::array<SParameter> parameters;
    irr::core::array<SInclude> includes;
    irr::core::array<STechnique> techniques;
    irr::core::array<SParameter> annotations;
};

// Descriptors filled by the queries; their texts point into the definition's own texts.
struct SEffectDesc {
    const irr::c8* id;
    const irr::c8* name;
    const irr::c8* title;
    const irr::c8* subject;
    const irr::c8* comments;
    irr::u32 parameterCount;
    irr::u32 techniqueCount;
    irr::u32 annotationCount;
};

struct STechniqueDesc {
    const irr::c8* name;
    irr::u32 passCount;
    irr::u32 annotationCount;
};

struct SPassDesc {
    const irr::c8* name;
    irr::u32 shaderCount;
    irr::u32 stateCount;
    irr::u32 evaluateCount;
    irr::u32 annotationCount;
};

struct SShaderDesc {
    irr::u32 stage;
    const irr::c8* entry;
    const irr::c8* source;
    irr::u32 inlineSourceCount;
    irr::u32 target;
    irr::u32 annotationCount;
};

struct SParameterDesc {
    const irr::c8* name;
    const irr::c8* semantic;
    irr::u32 type;
    irr::u32 annotationCount;
};

struct SSamplerDesc {
    const irr::c8* image;
    const irr::c8* wrap_s;
    const irr::c8* wrap_t;
    const irr::c8* wrap_p;
    const irr::c8* minfilter;
    const irr::c8* magfilter;
    const irr::c8* mipfilter;
};

struct SStateDesc {
    const irr::c8* name;
    const irr::c8* value;
    const irr::c8* param;
    irr::s32 index;
};

struct SEvaluateDesc {
    const irr::c8* name;
    irr::s32 index;
    const irr::c8* value;
    const irr::c8* image;
};

// The query interface of a definition (also implemented by runtime effects, which forward to the
// definition they wrap). Every record argument must be a record of this definition; a null record
// gives null or false. Names, semantics
// and references are compared exactly; every search returns the first match.
class IQeEffectDef : public virtual irr::IReferenceCounted {
public:
    // The absolute file name the definition was read from.
    virtual irr::io::path getFileName() const = 0;
    virtual bool getEffectDesc(SEffectDesc& desc) const = 0;
    virtual const STechnique* getTechnique(irr::u32 index) const = 0;
    virtual bool getTechniqueDesc(const STechnique* technique, STechniqueDesc& desc) const = 0;
    virtual const SPass* getPass(const STechnique* technique, irr::u32 index) const = 0;
    virtual bool getPassDesc(const SPass* pass, SPassDesc& desc) const = 0;
    virtual const SState* getState(const SPass* pass, irr::u32 index) const = 0;
    virtual const SState* getStateByName(const SPass* pass, const irr::c8* name) const = 0;
    virtual const SEvaluate* getEvaluate(const SPass* pass, irr::u32 index) const = 0;
    // Parameters do not nest: a non-null parent yields null.
    virtual const SParameter* getParameter(const SParameter* parent, irr::u32 index) const = 0;
    // The parent is ignored: effect parameters are searched.
    virtual const SParameter* getParameterBySemantic(const SParameter* parent, const irr::c8* semantic) const = 0;
    virtual const SParameter* getParameterByName(const SParameter* parent, const irr::c8* name) const = 0;
    // The record's position among the effect parameters, or -1.
    virtual irr::s32 getParameterIndex(const SParameter* parameter) const = 0;
    virtual const SShader* getShader(const SPass* pass, irr::u32 index) const = 0;
    virtual bool getShaderDesc(const SShader* shader, SShaderDesc& desc) const = 0;
    // An index out of range sets the text to null and answers false.
    virtual bool getShaderInlineSource(const SShader* shader, irr::u32 index, const irr::c8*& text) const = 0;
    // A shader's binding annotation.
    virtual const SParameter* getShaderAnnotation(const SShader* shader, irr::u32 index) const = 0;
    // The effect parameter named by a binding's value.
    virtual const SParameter* getBoundParameter(const SParameter* binding) const = 0;
    virtual bool getParameterDesc(const SParameter* parameter, SParameterDesc& desc) const = 0;
    // The owner is a record (or null for the effect); its kind tag chooses the list: the effect,
    // a parameter, a pass or a technique. Other owners have no annotations here.
    virtual const SParameter* getAnnotation(const void* owner, irr::u32 index) const = 0;
    virtual const SParameter* getAnnotationByName(const void* owner, const irr::c8* name) const = 0;
    // Value readers: see CQeEffectDef for the exact reading rules.
    virtual bool getValueFloat(const SParameter* parameter, irr::f32& value) const = 0;
    virtual bool getValueFloats(const SParameter* parameter, irr::f32* out, irr::u32 count) const = 0;
    virtual bool getValueBool(const SParameter* parameter, bool& value) const = 0;
    virtual bool getValueInt(const SParameter* parameter, irr::s32& value) const = 0;
    virtual bool getValueInts(const SParameter* parameter, irr::s32* out, irr::u32 count) const = 0;
    virtual bool getParameterName(const SParameter* parameter, const irr::c8*& name) const = 0;
    virtual bool getValueString(const SParameter* parameter, const irr::c8*& value) const = 0;
    virtual bool getSamplerDesc(const SParameter* parameter, SSamplerDesc& desc) const = 0;
    virtual bool getStateDesc(const SState* state, SStateDesc& desc) const = 0;
    // Null when the state names no parameter.
    virtual const SParameter* getStateParameter(const SState* state) const = 0;
    virtual bool getEvaluateDesc(const SEvaluate* evaluate, SEvaluateDesc& desc) const = 0;
    // Null when the record's value is empty.
    virtual const SParameter* getEvaluateParameter(const SEvaluate* evaluate) const = 0;
};

// A reader of one kind of effect file.
class IQeEffectDefLoader : public virtual irr::IReferenceCounted {
public:
    // True when this loader reads files of that kind (by extension).
    virtual bool isALoadableFileExtension(const irr::io::path& fileName) const = 0;
    // A new definition (reference count 1) read from the file; null only when it cannot be allocated.
    // On return *errorText is null when the file was read; otherwise it points to a message and the
    // caller drops the definition. The message stays valid until the next read fails.
    virtual IQeEffectDef* createEffectDef(irr::io::IFileSystem* fileSystem, const irr::io::path& fileName,
                                          bool isOpenGL, const irr::c8** errorText) = 0;
};

// Loader factories (reference count 1).
IQeEffectDefLoader* createEffectDefLoaderQirn();
IQeEffectDefLoader* createEffectDefLoaderCollada();

#endif
