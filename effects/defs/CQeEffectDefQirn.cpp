#include "CQeEffectDefQirn.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

using irr::c8;
using irr::s32;
using irr::u32;
using irr::core::stringc;

namespace {

// The message of the last failed read; the error pointer handed back points here.
c8 ErrorText[1024];

const c8* setError(const c8* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(ErrorText, sizeof(ErrorText), format, args);
    va_end(args);
    ErrorText[sizeof(ErrorText) - 1] = 0;
    return ErrorText;
}

const c8* const BeginMarker = "[QIRN_BEGIN]";
const c8* const EndMarker = "[QIRN_END]";

struct STypeWord {
    const c8* word;
    u32 type;
};

const STypeWord TypeWords[] = {
    {"int", EQEPT_INT},       {"integer", EQEPT_INT},     {"bool", EQEPT_BOOL},
    {"float", EQEPT_FLOAT},   {"float2", EQEPT_FLOAT2},   {"float3", EQEPT_FLOAT3},
    {"float4", EQEPT_FLOAT4}, {"float4x4", EQEPT_FLOAT4X4}, {"floatN", EQEPT_FLOAT},
    {"floatNRef", EQEPT_FLOAT},
};

// Semantic names and the semantic stored for them (null: the name itself). Shader files are written
// for exactly these pairs, including the ones that do not simply add or remove "Transpose".
struct SSemanticRow {
    const c8* name;
    const c8* stored;
};

const SSemanticRow Semantics[] = {
    {"Projection", "ProjectionTranspose"},
    {"ProjectionTranspose", "ViewProjection"},
    {"ViewProjection", "ViewProjectionTranspose"},
    {"ViewProjectionTranspose", "ViewProjection"},
    {"View", "ViewTranspose"},
    {"ViewInverse", "ViewInverseTranspose"},
    {"ViewInverseTranspose", "ViewInverse"},
    {"ViewTranspose", "ViewInverse"},
    {"WorldViewProjection", "WorldViewProjectionTranspose"},
    {"WorldViewProjectionTranspose", "WorldViewProjection"},
    {"WorldView", "WorldViewTranspose"},
    {"WorldViewTranspose", "WorldView"},
    {"WorldViewInverse", "WorldViewInverseTranspose"},
    {"WorldViewInverseTranspose", "WorldViewInverse"},
    {"WorldInverse", "WorldInverseTranspose"},
    {"WorldInverseTranspose", "WorldInverse"},
    {"World", "WorldTranspose"},
    {"WorldTranspose", "World"},
    {"Time0_X", nullptr},
    {"Time_0_X", nullptr},
    {"ViewPosition", nullptr},
    {"WorldTranslation", nullptr},
    {"WorldRotation", nullptr},
    {"WorldScale", nullptr},
    {"FrustrumFarCorners", nullptr},
    {"ZFarValue", nullptr},
    {"ScreenSize", nullptr},
    {"PixelSize", nullptr},
    {"HalfPixelSize", nullptr},
    {"HalfScreenHalfPixelSize", nullptr},
    {"QuarterScreenHalfPixelSize", nullptr},
    {"FocalDistance", nullptr},
    {"FStop", nullptr},
    {"FocalRange", nullptr},
    {"DofMaxCoc", nullptr},
    {"DofFocalRangeMin", nullptr},
    {"DofFocalRangeMax", nullptr},
    {"DofRadiusScale", nullptr},
    {"BloomSpecMin", nullptr},
    {"BloomThreshold", nullptr},
    {"ObjectPos0", nullptr},      {"ObjectPos1", nullptr},      {"ObjectPos2", nullptr},
    {"ObjectPos3", nullptr},      {"ObjectPos4", nullptr},      {"ObjectPos5", nullptr},
    {"ObjectPos6", nullptr},      {"ObjectPos7", nullptr},
    {"ObjectRot0", nullptr},      {"ObjectRot1", nullptr},      {"ObjectRot2", nullptr},
    {"ObjectRot3", nullptr},      {"ObjectRot4", nullptr},      {"ObjectRot5", nullptr},
    {"ObjectRot6", nullptr},      {"ObjectRot7", nullptr},
    {"ObjectScale0", nullptr},    {"ObjectScale1", nullptr},    {"ObjectScale2", nullptr},
    {"ObjectScale3", nullptr},    {"ObjectScale4", nullptr},    {"ObjectScale5", nullptr},
    {"ObjectScale6", nullptr},    {"ObjectScale7", nullptr},
    {"ObjectTrans0", nullptr},    {"ObjectTrans1", nullptr},    {"ObjectTrans2", nullptr},
    {"ObjectTrans3", nullptr},    {"ObjectTrans4", nullptr},    {"ObjectTrans5", nullptr},
    {"ObjectTrans6", nullptr},    {"ObjectTrans7", nullptr},
    {"ObjectInvTrans0", nullptr}, {"ObjectInvTrans1", nullptr}, {"ObjectInvTrans2", nullptr},
    {"ObjectInvTrans3", nullptr}, {"ObjectInvTrans4", nullptr}, {"ObjectInvTrans5", nullptr},
    {"ObjectInvTrans6", nullptr}, {"ObjectInvTrans7", nullptr},
    {"LightPos0", nullptr},
    {"LightDir0", nullptr},
    {"LightDiffuse0", nullptr},
    {"LightAmbient0", nullptr},
    {"LightPos1", nullptr},
    {"LightDir1", nullptr},
    {"LightDiffuse1", nullptr},
    {"LightAmbient1", nullptr},
    {"LightsIni", nullptr},
    {"LightsNum", nullptr},
    {"LightParams", nullptr},
    {"LineStartsEnds", nullptr},
    {"DownScale4x4Samples", nullptr},
    {"DownScale2x2Samples", nullptr},
    {"HalfDownScale2x2Samples", nullptr},
    {"ParticleColor", nullptr},
    {"ParticleSize", nullptr},
    {"ParticleRotation", nullptr},
    {"ParticleGradColorNum", nullptr},
    {"ParticleGradColorKeyParams", nullptr},
    {"ParticleGradColorKeyValues", nullptr},
    {"ParticleGradSizeNum", nullptr},
    {"ParticleGradSizeKeyParams", nullptr},
    {"ParticleGradSizeKeyValues", nullptr},
    {"ParticleTimeNow", nullptr},
    {"Surface_Roughness", nullptr},
};

// Surface channels that a "Surface_<channel>" value names.
const c8* const SurfaceChannels[] = {
    "BaseColor",          "Luminosity",         "Diffuse",           "Specularity",        "Reflectivity",
    "Transparency",       "Translucency",       "IOR",               "Bump",               "Glossiness",
    "SpecialBuffer1",     "SpecialBuffer2",     "SpecialBuffer3",    "SpecialBuffer4",     "DiffuseSharpness",
    "BumpDropoff",        "SmoothingAngle",     "ReflectionSeamAngle", "RefractionSeamAngle",
    "ReflectionBlurring", "RefractionBlurring", "ColorFilter",       "ColorHighlights",
    "AdditiveTransparency", "AlphaValue",       "GlowValue",         "LineColor",          "LineSize",
    "AlphaOptions",       "ReflectionOptions",  "RefractionOptions", "Sidedness",          "ExcludeFromVStack",
    "Glow",               "RenderOutlines",     "ReflectionImage",   "RefractionImage",    "VertexColoring",
    "VertexNormal",
};

// Texture channel words and the channel each names.
struct SChannelWord {
    const c8* word;
    const c8* channel;
};

const SChannelWord TextureChannels[] = {
    {"Color", "BaseColor"},
    {"BaseColor", "BaseColor"},
    {"Luminosity", "Luminosity"},
    {"Diffuse", "Diffuse"},
    {"Specularity", "Specularity"},
    {"Reflectivity", "Reflectivity"},
    {"Transparency", "Transparency"},
    {"Translucency", "Translucency"},
    {"RefractionIndex", "RefractionIndex"},
    {"Bump", "Bump"},
    {"Glossiness", "Glossiness"},
    {"ReflectionImage", "ReflectionImage"},
    {"RefractionImage", "RefractionImage"},
};

struct SFlagWord {
    const c8* word;
    u32 flag;
};

enum {
    TEX_CUBE = 1,
    TEX_PRESET = 2,
    TEX_REPEAT = 4,
    TEX_NOMIPMAP = 8,
    TEX_FILTERPOINT = 16,
    TEX_R32F = 32,
};

const SFlagWord TextureFlags[] = {
    {"cube", TEX_CUBE},           {"preset", TEX_PRESET},           {"repeat", TEX_REPEAT},
    {"noMipMap", TEX_NOMIPMAP},   {"filterPoint", TEX_FILTERPOINT}, {"r32f", TEX_R32F},
};

enum {
    PAR_PIXEL = 1,
    PAR_VERTEX = 2,
    PAR_BOTH = 4,
    PAR_COLOR = 8,
    PAR_PERCENT = 16,
};

const SFlagWord ParameterFlags[] = {
    {"pixel", PAR_PIXEL}, {"vertex", PAR_VERTEX}, {"both", PAR_BOTH}, {"color", PAR_COLOR}, {"percent", PAR_PERCENT},
};

template <size_t N>
u32 flagsOf(const SFlagWord (&table)[N], const c8* const* words, u32 count) {
    u32 flags = 0;
    for (u32 i = 0; i < count; ++i)
        for (const SFlagWord& f : table)
            if (std::strcmp(words[i], f.word) == 0) flags |= f.flag;
    return flags;
}

bool isSeparator(c8 c) { return c == ' ' || c == '\t' || c == ':' || c == '/' || c == ';' || c == '\r' || c == '\n'; }

SParameter annotation(const c8* name, const c8* value) {
    SParameter a;
    a.name = name;
    a.value = value;
    return a;
}

}  // namespace

CQeFileReadCallBack::CQeFileReadCallBack(irr::io::IReadFile* file) : File(file) {
    if (File) File->grab();
}

CQeFileReadCallBack::~CQeFileReadCallBack() {
    if (File) File->drop();
}

int CQeFileReadCallBack::read(void* buffer, int sizeToRead) { return File ? File->read(buffer, sizeToRead) : 0; }

long CQeFileReadCallBack::getSize() const { return File ? File->getSize() : 0; }

CQeEffectDefQirn::CQeEffectDefQirn(irr::io::IFileSystem* fileSystem, const irr::io::path& fileName, bool isOpenGL,
                                   const c8** errorText)
    : CQeEffectDef(fileSystem, fileName, isOpenGL, errorText) {
    const c8* error = "Error";
    irr::io::IReadFile* file = fileSystem ? fileSystem->createAndOpenFile(fileName) : nullptr;
    if (!file) {
        error = setError("Cannot open file");
    } else {
        CQeFileReadCallBack* callback = new (std::nothrow) CQeFileReadCallBack(file);
        file->drop();  // the callback holds it
        if (callback) {
            error = read(*callback) ? nullptr : ErrorText;
            delete callback;
        }
    }
    if (errorText) *errorText = error;
}

bool CQeEffectDefQirn::read(irr::io::IFileReadCallBack& file) {
    const long size = file.getSize();
    if (size <= 0 || size > 0x7ffffffe) {
        setError("Error");
        return false;
    }
    c8* text = new (std::nothrow) c8[size + 1];
    if (!text) {
        setError("Error");
        return false;
    }
    if (file.read(text, static_cast<int>(size)) != static_cast<int>(size)) {
        delete[] text;
        setError("Error");
        return false;
    }
    text[size] = 0;

    // The default technique: one pass with the file's vertex and pixel shaders.
    STechnique technique;
    SPass pass;
    SShader vs;
    vs.stage = EQESS_VERTEX;
    vs.entry = "vs_main";
    vs.source = FileName;
    vs.target = EQEST_VS_3_0;
    SShader ps;
    ps.stage = EQESS_PIXEL;
    ps.entry = "ps_main";
    ps.source = FileName;
    ps.target = EQEST_PS_3_0;
    pass.shaders.push_back(vs);
    pass.shaders.push_back(ps);
    technique.passes.push_back(pass);
    Effect.techniques.push_back(technique);

    setError("Unknown error in Qirn shader");

    bool inHeader = false;
    bool ok = true;
    const c8* p = text;
    while (*p) {
        // A line runs to the first CR, LF or the end; the line breaks after it are skipped.
        const c8* line = p;
        while (*p && *p != '\r' && *p != '\n') ++p;
        const u32 length = static_cast<u32>(p - line);
        while (*p == '\r' || *p == '\n') ++p;

        const stringc whole(line, length);
        if (!inHeader) {
            if (whole.find(BeginMarker) >= 0) inHeader = true;
            continue;
        }
        if (whole.find(EndMarker) >= 0) break;
        if (!readHeaderLine(line, length)) {
            ok = false;
            break;
        }
    }
    delete[] text;
    return ok;
}

bool CQeEffectDefQirn::readHeaderLine(const c8* line, u32 length) {
    if (length >= static_cast<u32>(LineSize)) {
        setError("Header line longer than %d characters: %.40s...", LineSize - 1, line);
        return false;
    }
    std::memcpy(Line, line, length);
    Line[length] = 0;

    // "//title text", "//subject text" and "//comments text" set the effect's texts.
    static const c8* const TextWords[] = {"title", "subject", "comments"};
    stringc* texts[] = {&Effect.title, &Effect.subject, &Effect.comments};
    if (Line[0] == '/' && Line[1] == '/') {
        for (u32 i = 0; i < 3; ++i) {
            const size_t n = std::strlen(TextWords[i]);
            if (std::strncmp(Line + 2, TextWords[i], n) == 0 && Line[2 + n] == ' ') {
                const c8* rest = Line + 2 + n;
                while (*rest == ' ' || *rest == '\t') ++rest;
                *texts[i] = rest;
                return true;
            }
        }
    }

    // Tokens: the first 31 as split, then the rest of the line as one more.
    TokenCount = 0;
    c8* p = Line;
    while (TokenCount < MaxTokens - 1) {
        while (*p && isSeparator(*p)) ++p;
        if (!*p) break;
        Tokens[TokenCount++] = p;
        while (*p && !isSeparator(*p)) ++p;
        if (!*p) break;
        *p++ = 0;
    }
    if (TokenCount == MaxTokens - 1) {
        while (*p == ' ' || *p == '\t') ++p;
        if (*p) Tokens[TokenCount++] = p;
    }
    if (TokenCount == 0) return true;

    if (std::strcmp(Tokens[0], "function") == 0) return readFunctionLine();
    if (std::strcmp(Tokens[0], "config") == 0) {
        readConfigLine();
        return true;
    }
    if (std::strcmp(Tokens[0], "texture") == 0) return readTextureLine();
    return readParameterLine();
}

bool CQeEffectDefQirn::readFunctionLine() {
    if (TokenCount < 3) return false;
    SPass& pass = Effect.techniques[0].passes[0];
    if (std::strcmp(Tokens[1], "vertexMain") == 0)
        pass.shaders[0].entry = Tokens[2];
    else if (std::strcmp(Tokens[1], "pixelMain") == 0)
        pass.shaders[1].entry = Tokens[2];
    return true;
}

void CQeEffectDefQirn::readConfigLine() {
    STechnique& technique = Effect.techniques[0];
    if (TokenCount >= 3) {
        if (std::strcmp(Tokens[1], "baseMaterial") == 0)
            technique.passes[0].annotations.push_back(annotation("baseMaterial", Tokens[2]));
        else if (std::strcmp(Tokens[1], "render") == 0)
            technique.annotations.push_back(annotation("render", Tokens[2]));
    }
    if (TokenCount >= 2 && std::strcmp(Tokens[1], "tangents") == 0)
        technique.annotations.push_back(annotation("tangents", "true"));
}

bool CQeEffectDefQirn::slotUsed(u32 slot) const {
    stringc name("Tex");
    name += slot;
    return findParameter(name) != nullptr;
}

bool CQeEffectDefQirn::readTextureLine() {
    if (TokenCount < 2) {
        setError("Invalid texture line %s", Tokens[0]);
        return false;
    }
    bool explicitSlot = true;
    for (const c8* c = Tokens[1]; *c; ++c)
        if (*c < '0' || *c > '9') explicitSlot = false;

    u32 slot = 0;
    u32 nameToken = 1;
    if (explicitSlot) {
        for (const c8* c = Tokens[1]; *c; ++c) {
            slot = slot > 0x7fffffffu / 10 ? 0x80000000u : slot * 10 + static_cast<u32>(*c - '0');
            if (slot > 0x7fffffffu) {
                setError("Invalid texture line %s: slot %s out of range", Tokens[0], Tokens[1]);
                return false;
            }
        }
        nameToken = 2;
        // A slot number needs a texture after it, and a slot holds one texture.
        if (TokenCount < 3) {
            setError("Invalid texture line %s: no texture after slot %s", Tokens[0], Tokens[1]);
            return false;
        }
        if (slotUsed(slot)) {
            setError("Invalid texture line %s: slot %u is already used", Tokens[0], slot);
            return false;
        }
    } else {
        // Counted slots pass over the ones that explicit slots took.
        while (slotUsed(TextureCounter)) ++TextureCounter;
        slot = TextureCounter++;
    }
    const c8* name = Tokens[nameToken];
    const u32 flags = flagsOf(TextureFlags, Tokens + nameToken + 1, TokenCount - nameToken - 1);

    SParameter parameter;
    parameter.name = "Tex";
    parameter.name += slot;
    parameter.type = (flags & TEX_CUBE) ? EQEPT_SAMPLERCUBE : EQEPT_SAMPLER2D;
    if (flags & TEX_PRESET) {
        parameter.semantic = name;
    } else {
        const c8* channel = nullptr;
        for (const SChannelWord& w : TextureChannels)
            if (std::strcmp(name, w.word) == 0) channel = w.channel;
        if (channel) {
            parameter.semantic = "LW_Tex_";
            parameter.semantic += channel;
        } else {
            parameter.sampler.image = name;
        }
    }
    if (flags & TEX_REPEAT) {
        parameter.sampler.wrap_s = "REPEAT";
        parameter.sampler.wrap_t = "REPEAT";
        parameter.sampler.wrap_p = "REPEAT";
    }
    if (flags & TEX_NOMIPMAP) parameter.annotations.push_back(annotation("mipmap", "false"));
    if (flags & TEX_FILTERPOINT) parameter.sampler.mipfilter = "NONE";
    if (flags & TEX_R32F) parameter.annotations.push_back(annotation("format", "r32f"));
    Effect.parameters.push_back(parameter);

    SState state;
    state.name = (flags & TEX_CUBE) ? "textureCUBE" : "texture2D";
    state.param = parameter.name;
    state.index = static_cast<s32>(slot);
    Effect.techniques[0].passes[0].states.push_back(state);
    return true;
}

bool CQeEffectDefQirn::readParameterLine() {
    if (TokenCount < 3) return false;
    const STypeWord* type = nullptr;
    for (const STypeWord& t : TypeWords)
        if (std::strcmp(Tokens[0], t.word) == 0) type = &t;
    if (!type) return true;  // not a parameter: ignored

    SParameter parameter;
    parameter.name = Tokens[1];
    parameter.type = type->type;

    const c8* third = Tokens[2];
    const SSemanticRow* semantic = nullptr;
    for (const SSemanticRow& row : Semantics)
        if (std::strcmp(third, row.name) == 0) {
            semantic = &row;
            break;
        }
    const c8* channel = nullptr;
    if (!semantic && std::strncmp(third, "Surface_", 8) == 0)
        for (const c8* c : SurfaceChannels)
            if (std::strcmp(third + 8, c) == 0) channel = c;
    if (semantic) {
        parameter.semantic = semantic->stored ? semantic->stored : semantic->name;
    } else if (channel) {
        parameter.semantic = "LW_";
        parameter.semantic += channel;
    } else {
        // The default value: its pieces, each followed by two blanks.
        const c8* p = third;
        for (u32 pieces = 0; pieces < 32; ++pieces) {
            while (*p == ',' || *p == ' ' || *p == '\r' || *p == '\n') ++p;
            if (!*p) break;
            const c8* start = p;
            while (*p && *p != ',' && *p != ' ' && *p != '\r' && *p != '\n') ++p;
            parameter.value.append(start, static_cast<u32>(p - start));
            parameter.value += "  ";
        }
    }

    const u32 flags = flagsOf(ParameterFlags, Tokens + 3, TokenCount - 3);
    if (flags & PAR_COLOR)
        parameter.annotations.push_back(annotation("UIWidget", "Color"));
    else if (flags & PAR_PERCENT)
        parameter.annotations.push_back(annotation("UIWidget", "Percent"));
    Effect.parameters.push_back(parameter);

    SPass& pass = Effect.techniques[0].passes[0];
    const SParameter binding = annotation(parameter.name.c_str(), parameter.name.c_str());
    if (flags & PAR_PIXEL) {
        pass.shaders[1].annotations.push_back(binding);
    } else if (flags & PAR_VERTEX) {
        pass.shaders[0].annotations.push_back(binding);
    } else if (flags & PAR_BOTH) {
        pass.shaders[0].annotations.push_back(binding);
        pass.shaders[1].annotations.push_back(binding);
    } else {
        pass.shaders[0].annotations.push_back(binding);
    }
    return true;
}

bool CQeEffectDefLoaderQirn::isALoadableFileExtension(const irr::io::path& fileName) const {
    return qeHasFileExtension(fileName, "hlsl", "fx");
}

IQeEffectDef* CQeEffectDefLoaderQirn::createEffectDef(irr::io::IFileSystem* fileSystem, const irr::io::path& fileName,
                                                      bool isOpenGL, const c8** errorText) {
    return new (std::nothrow) CQeEffectDefQirn(fileSystem, fileName, isOpenGL, errorText);
}

IQeEffectDefLoader* createEffectDefLoaderQirn() { return new (std::nothrow) CQeEffectDefLoaderQirn(); }
