#ifndef QIRN_EFFECTS_DEFS_CQEEFFECTDEF_H
#define QIRN_EFFECTS_DEFS_CQEEFFECTDEF_H

#include "IQeEffectDef.h"

// The data of a definition and its queries. The readers derive from it and fill it in their
// constructors.
class CQeEffectDef : public IQeEffectDef {
public:
    irr::io::path getFileName() const override { return FileName; }
    bool getEffectDesc(SEffectDesc& desc) const override;
    const STechnique* getTechnique(irr::u32 index) const override;
    bool getTechniqueDesc(const STechnique* technique, STechniqueDesc& desc) const override;
    const SPass* getPass(const STechnique* technique, irr::u32 index) const override;
    bool getPassDesc(const SPass* pass, SPassDesc& desc) const override;
    const SState* getState(const SPass* pass, irr::u32 index) const override;
    const SState* getStateByName(const SPass* pass, const irr::c8* name) const override;
    const SEvaluate* getEvaluate(const SPass* pass, irr::u32 index) const override;
    const SParameter* getParameter(const SParameter* parent, irr::u32 index) const override;
    const SParameter* getParameterBySemantic(const SParameter* parent, const irr::c8* semantic) const override;
    const SParameter* getParameterByName(const SParameter* parent, const irr::c8* name) const override;
    irr::s32 getParameterIndex(const SParameter* parameter) const override;
    const SShader* getShader(const SPass* pass, irr::u32 index) const override;
    bool getShaderDesc(const SShader* shader, SShaderDesc& desc) const override;
    bool getShaderInlineSource(const SShader* shader, irr::u32 index, const irr::c8*& text) const override;
    const SParameter* getShaderAnnotation(const SShader* shader, irr::u32 index) const override;
    const SParameter* getBoundParameter(const SParameter* binding) const override;
    bool getParameterDesc(const SParameter* parameter, SParameterDesc& desc) const override;
    const SParameter* getAnnotation(const void* owner, irr::u32 index) const override;
    const SParameter* getAnnotationByName(const void* owner, const irr::c8* name) const override;
    // The number at the start of the value text.
    bool getValueFloat(const SParameter* parameter, irr::f32& value) const override;
    // Numbers separated by blanks, tabs, CR or LF; when the text ends first the remaining outputs are
    // 0 and the answer is false. Any other separator stops the reading: every further number is 0.
    bool getValueFloats(const SParameter* parameter, irr::f32* out, irr::u32 count) const override;
    // The value text read as a decimal integer (atoi), non-zero being true.
    bool getValueBool(const SParameter* parameter, bool& value) const override;
    bool getValueInt(const SParameter* parameter, irr::s32& value) const override;
    // As getValueFloats, each number truncated toward zero.
    bool getValueInts(const SParameter* parameter, irr::s32* out, irr::u32 count) const override;
    bool getParameterName(const SParameter* parameter, const irr::c8*& name) const override;
    bool getValueString(const SParameter* parameter, const irr::c8*& value) const override;
    bool getSamplerDesc(const SParameter* parameter, SSamplerDesc& desc) const override;
    bool getStateDesc(const SState* state, SStateDesc& desc) const override;
    const SParameter* getStateParameter(const SState* state) const override;
    bool getEvaluateDesc(const SEvaluate* evaluate, SEvaluateDesc& desc) const override;
    const SParameter* getEvaluateParameter(const SEvaluate* evaluate) const override;

protected:
    // Sets *errorText to "Error" and stores the absolute file name and the OpenGL flag; the reader's
    // own constructor then reads the file and clears *errorText on success.
    CQeEffectDef(irr::io::IFileSystem* fileSystem, const irr::io::path& fileName, bool isOpenGL,
                 const irr::c8** errorText);

    const SParameter* findParameter(const irr::core::stringc& name) const;

    SEffect Effect;
    irr::io::path FileName;
    bool IsOpenGL;
};

// True when the text after the file name's last '.' equals one of the two lower-case extensions,
// case ignored.
bool qeHasFileExtension(const irr::io::path& fileName, const irr::c8* a, const irr::c8* b);

#endif
