#ifndef QIRN_EFFECTS_DEFS_CQEEFFECTDEFQIRN_H
#define QIRN_EFFECTS_DEFS_CQEEFFECTDEFQIRN_H

#include "CQeEffectDef.h"

// The engine's read callback over a file of its file system: grabs the file while it lives.
class CQeFileReadCallBack : public irr::io::IFileReadCallBack {
public:
    explicit CQeFileReadCallBack(irr::io::IReadFile* file);
    ~CQeFileReadCallBack() override;
    int read(void* buffer, int sizeToRead) override;
    long getSize() const override;

private:
    irr::io::IReadFile* File;
};

// A definition read from an HLSL file carrying the shader header (the comment block between the lines
// holding "[QIRN_BEGIN]" and "[QIRN_END]"). It always has one technique with one pass holding the
// vertex shader "vs_main" (vs_3_0) and the pixel shader "ps_main" (ps_3_0) of the file itself.
class CQeEffectDefQirn : public CQeEffectDef {
public:
    CQeEffectDefQirn(irr::io::IFileSystem* fileSystem, const irr::io::path& fileName, bool isOpenGL,
                     const irr::c8** errorText);

private:
    bool read(irr::io::IFileReadCallBack& file);
    bool readHeaderLine(const irr::c8* line, irr::u32 length);
    bool readFunctionLine();
    void readConfigLine();
    bool readTextureLine();
    bool readParameterLine();
    bool slotUsed(irr::u32 slot) const;

    // Reader state while the file is read.
    enum { MaxTokens = 32, LineSize = 256 };
    irr::c8 Line[LineSize];
    const irr::c8* Tokens[MaxTokens];
    irr::u32 TokenCount = 0;
    irr::u32 TextureCounter = 0;
};

// Reads "*.hlsl" and "*.fx" files (case ignored).
class CQeEffectDefLoaderQirn : public IQeEffectDefLoader {
public:
    bool isALoadableFileExtension(const irr::io::path& fileName) const override;
    IQeEffectDef* createEffectDef(irr::io::IFileSystem* fileSystem, const irr::io::path& fileName, bool isOpenGL,
                                  const irr::c8** errorText) override;
};

#endif
