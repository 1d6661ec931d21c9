#ifndef QIRN_EFFECTS_DEFS_CQEEFFECTDEFCOLLADA_H
#define QIRN_EFFECTS_DEFS_CQEEFFECTDEFCOLLADA_H

#include "CQeEffectDef.h"

// A definition read from the effect library of a COLLADA document: effects with their parameters, one
// profile (CG under Direct3D, GLSL under OpenGL), techniques, passes, render states, evaluate records
// and shader programs. Every effect of the document is merged into the one definition; everything
// else in the document is skipped. Sections skipped and content warnings are printed on the standard
// output. A document that ends inside an element, or whose end tags do not match, is refused.
class CQeEffectDefCollada : public CQeEffectDef {
public:
    CQeEffectDefCollada(irr::io::IFileSystem* fileSystem, const irr::io::path& fileName, bool isOpenGL,
                        const irr::c8** errorText);

private:
    bool next();
    bool isEmpty() const;
    irr::core::stringc nodeName() const;
    irr::core::stringc attribute(const irr::c8* name) const;
    irr::s32 indexAttribute() const;
    void skip(bool message);
    void passOver();
    irr::core::stringc content();
    template <class F>
    void children(F onChild, irr::core::stringc* text = nullptr);

    void readDocument();
    void readRoot();
    void readLibraryEffects();
    void readEffect();
    void readAsset();
    SParameter readNewParam();
    void readSampler(SSamplerState& sampler);
    SParameter readAnnotation();
    void readProfile();
    void readTechnique();
    SPass readPass();
    void readStates(SPass& pass);
    void readEvaluate(SPass& pass);
    void readProgram(SPass& pass);
    SShader readShader();
    void readSources(SShader& shader);
    SParameter readBinding();

    irr::io::IXMLReaderUTF8* Xml = nullptr;
    bool InputEnded = false;
    const irr::c8* Fault = nullptr;  // the message of a broken document
};

// Reads "*.dae" and "*.xml" files (case ignored).
class CQeEffectDefLoaderCollada : public IQeEffectDefLoader {
public:
    bool isALoadableFileExtension(const irr::io::path& fileName) const override;
    IQeEffectDef* createEffectDef(irr::io::IFileSystem* fileSystem, const irr::io::path& fileName, bool isOpenGL,
                                  const irr::c8** errorText) override;
};

#endif
