#include "shader_header.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "shader_object.h"
#include "sysfile.h"

namespace {

char g_error[1024];
int g_debugLevel = 1;

struct NamedValue {
    const char* name;
    int value;
};

const NamedValue kTypes[] = {
    {"int", QE_SHADER_TYPE_INT},          {"integer", QE_SHADER_TYPE_INT},      {"bool", QE_SHADER_TYPE_INT},
    {"float", QE_SHADER_TYPE_FLOAT},      {"float2", QE_SHADER_TYPE_FLOAT2},    {"float3", QE_SHADER_TYPE_FLOAT3},
    {"float4", QE_SHADER_TYPE_FLOAT4},    {"float4x4", QE_SHADER_TYPE_FLOAT4X4}, {"floatN", QE_SHADER_TYPE_FLOATN},
    {"floatNRef", QE_SHADER_TYPE_FLOATNREF},
};

// Float values of a literal of each type id; 0: as many as the literal gives.
int componentsOf(int typeId) {
    static const int kComponents[] = {0, 1, 1, 2, 3, 4, 16, 0, 0};
    return typeId >= 1 && typeId <= 8 ? kComponents[typeId] : 0;
}

const NamedValue kBaseMaterials[] = {
    {"solid", QE_SHADER_BASE_SOLID},
    {"transparent_add_color", QE_SHADER_BASE_ADD_COLOR},
    {"transparent_vertex_alpha", QE_SHADER_BASE_VERTEX_ALPHA},
    {"transparent", QE_SHADER_BASE_ALPHA_CHANNEL},
    {"transparent_alpha_channel", QE_SHADER_BASE_ALPHA_CHANNEL},
    {"transparent_alpha_channel_ref", QE_SHADER_BASE_ALPHA_CHANNEL_REF},
    {"transparent_one_one", QE_SHADER_BASE_ONE_ONE},
    {"transparent_sub_color", QE_SHADER_BASE_SUB_COLOR},
};

const NamedValue kRenderModes[] = {{"forward", QE_SHADER_RENDER_FORWARD}, {"lpp", QE_SHADER_RENDER_LPP}};

const NamedValue kParamFlags[] = {
    {"pixel", QE_SHADER_PARAM_PIXEL}, {"vertex", QE_SHADER_PARAM_VERTEX},   {"both", QE_SHADER_PARAM_BOTH},
    {"color", QE_SHADER_PARAM_COLOR}, {"percent", QE_SHADER_PARAM_PERCENT},
};

const NamedValue kTextureFlags[] = {
    {"cube", QE_SHADER_TEX_CUBE},       {"preset", QE_SHADER_TEX_PRESET},           {"repeat", QE_SHADER_TEX_REPEAT},
    {"noMipMap", QE_SHADER_TEX_NOMIPMAP}, {"filterPoint", QE_SHADER_TEX_FILTERPOINT}, {"r32f", QE_SHADER_TEX_R32F},
};

// The semantics in look-up order; the ids follow QeShaderSemantic.
const NamedValue kFixedSemantics[] = {
    {"Time0_X", QE_SEM_TIME},
    {"Time_0_X", QE_SEM_TIME},
    {"Projection", QE_SEM_PROJECTION},
    {"ProjectionTranspose", QE_SEM_PROJECTION_TRANSPOSE},
    {"ViewProjection", QE_SEM_VIEW_PROJECTION},
    {"ViewProjectionTranspose", QE_SEM_VIEW_PROJECTION_TRANSPOSE},
    {"View", QE_SEM_VIEW},
    {"ViewInverse", QE_SEM_VIEW_INVERSE},
    {"ViewInverseTranspose", QE_SEM_VIEW_INVERSE_TRANSPOSE},
    {"ViewTranspose", QE_SEM_VIEW_TRANSPOSE},
};

// From "ViewPosition" (9) on, one id per name in this order; "%d" names stand for 0 to 7.
const char* const kRisingSemantics[] = {
    "ViewPosition", "WorldViewProjection", "WorldViewProjectionTranspose", "WorldView", "WorldViewTranspose",
    "WorldViewInverse", "WorldViewInverseTranspose", "WorldInverse", "WorldInverseTranspose", "World",
    "WorldTranspose", "WorldTranslation", "WorldRotation", "WorldScale", "FrustrumFarCorners", "ZFarValue",
    "ScreenSize", "PixelSize", "HalfPixelSize", "HalfScreenHalfPixelSize", "QuarterScreenHalfPixelSize",
    "FocalDistance", "FStop", "FocalRange", "DofMaxCoc", "DofFocalRangeMin", "DofFocalRangeMax", "DofRadiusScale",
    "BloomSpecMin", "BloomThreshold", "ObjectPos%d", "ObjectRot%d", "ObjectScale%d", "ObjectTrans%d",
    "ObjectInvTrans%d", "LightPos0", "LightDir0", "LightDiffuse0", "LightAmbient0", "LightPos1", "LightDir1",
    "LightDiffuse1", "LightAmbient1", "LightsIni", "LightsNum", "LightParams", "LineStartsEnds",
    "DownScale4x4Samples", "DownScale2x2Samples", "HalfDownScale2x2Samples", "ParticleColor", "ParticleSize",
    "ParticleRotation", "ParticleGradColorNum", "ParticleGradColorKeyParams", "ParticleGradColorKeyValues",
    "ParticleGradSizeNum", "ParticleGradSizeKeyParams", "ParticleGradSizeKeyValues", "ParticleTimeNow",
    "Surface_Roughness",
};

const char* const kSurfaceChannels[QE_SHADER_CHANNEL_COUNT] = {
    "BaseColor", "Luminosity", "Diffuse", "Specularity", "Reflectivity", "Transparency", "Translucency", "IOR",
    "Bump", "Glossiness", "SpecialBuffer1", "SpecialBuffer2", "SpecialBuffer3", "SpecialBuffer4",
    "DiffuseSharpness", "BumpDropoff", "SmoothingAngle", "ReflectionSeamAngle", "RefractionSeamAngle",
    "ReflectionBlurring", "RefractionBlurring", "ColorFilter", "ColorHighlights", "AdditiveTransparency",
    "AlphaValue", "GlowValue", "LineColor", "LineSize", "AlphaOptions", "ReflectionOptions", "RefractionOptions",
    "Sidedness", "ExcludeFromVStack", "Glow", "RenderOutlines", "ReflectionImage", "RefractionImage",
    "VertexColoring", "VertexNormal",
};

const char kHeaderDelimiters[] = " \t:/;\r\n";

template <size_t N>
int lookUp(const NamedValue (&table)[N], const char* name, int missing) {
    for (const NamedValue& row : table)
        if (qeSysStrCaseCmp(row.name, name) == 0) return row.value;
    return missing;
}

template <size_t N>
int flagsFrom(const NamedValue (&table)[N], char** tokens, int first, int count) {
    int flags = 0;
    for (int i = first; i < count; ++i) flags |= lookUp(table, tokens[i], 0);
    return flags;
}

// Copies at most size - 1 characters and always ends the text.
void copyCut(char* dest, size_t size, const char* src) {
    std::strncpy(dest, src, size - 1);
    dest[size - 1] = 0;
}

bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

// The next line of the text into line (at most QE_SHADER_LINE_MAX characters; the rest of a longer line
// is skipped). False at the end of the text.
bool nextLine(const char*& p, char (&line)[QE_SHADER_LINE_MAX + 1]) {
    while (isLineEnd(*p)) ++p;
    if (!*p) return false;
    size_t n = 0;
    while (*p && !isLineEnd(*p)) {
        if (n < QE_SHADER_LINE_MAX) line[n++] = *p;
        ++p;
    }
    line[n] = 0;
    return true;
}

// "//" + key + blank: the key's value is the rest of the line after the blanks that follow the key.
const char* textKeyValue(const char* line, const char* key) {
    const size_t length = std::strlen(key);
    if (std::strncmp(line, "//", 2) != 0 || std::strncmp(line + 2, key, length) != 0 || line[2 + length] != ' ')
        return nullptr;
    const char* value = line + 2 + length;
    while (*value == ' ') ++value;
    return value;
}

bool parseTextKey(const char* line, ShaderFileContent* content) {
    if (const char* v = textKeyValue(line, "title")) copyCut(content->title, sizeof(content->title), v);
    else if (const char* v = textKeyValue(line, "subject")) copyCut(content->subject, sizeof(content->subject), v);
    else if (const char* v = textKeyValue(line, "comments")) copyCut(content->comments, sizeof(content->comments), v);
    else return false;
    return true;
}

void parseFunction(ShaderFileContent* content, char** tokens, int count) {
    if (count < 3) return;
    if (qeSysStrCaseCmp(tokens[1], "vertexMain") == 0)
        copyCut(content->vertexEntry, sizeof(content->vertexEntry), tokens[2]);
    else if (qeSysStrCaseCmp(tokens[1], "pixelMain") == 0)
        copyCut(content->pixelEntry, sizeof(content->pixelEntry), tokens[2]);
}

void parseConfig(ShaderFileContent* content, char** tokens, int count) {
    if (count >= 3 && qeSysStrCaseCmp(tokens[1], "baseMaterial") == 0)
        content->baseMaterial = lookUp(kBaseMaterials, tokens[2], QE_SHADER_BASE_SOLID);
    else if (count >= 3 && qeSysStrCaseCmp(tokens[1], "render") == 0)
        content->renderMode = lookUp(kRenderModes, tokens[2], QE_SHADER_RENDER_FORWARD);
    else if (count >= 2 && qeSysStrCaseCmp(tokens[1], "tangents") == 0)
        content->tangents = 1;
}

bool allDigits(const char* s) {
    if (!*s) return false;
    for (; *s; ++s)
        if (!std::isdigit(static_cast<unsigned char>(*s))) return false;
    return true;
}

int invalidTexture(char** tokens, int count) {
    std::string report = "Invalid texture line: ";
    for (int i = 0; i < count; ++i) report += std::string(tokens[i]) + "\n";
    qeIrrShaderSetError("%s\n", report.c_str());
    return -1;
}

int parseTexture(ShaderFileContent* content, int& runningSlot, char** tokens, int count) {
    if (count < 2) return invalidTexture(tokens, count);
    int slot;
    int name;
    if (allDigits(tokens[1])) {
        // read with a bound: a long number must not overflow into a valid slot
        if (std::strlen(tokens[1]) > 2 || std::atoi(tokens[1]) >= QE_SHADER_MAX_TEXTURES || count < 3)
            return invalidTexture(tokens, count);
        slot = std::atoi(tokens[1]);
        name = 2;
    } else {
        if (runningSlot >= QE_SHADER_MAX_TEXTURES) return invalidTexture(tokens, count);
        slot = runningSlot++;
        name = 1;
    }
    ShaderTextureSlot& texture = content->textures[slot];
    texture.used = 1;
    copyCut(texture.name, sizeof(texture.name), tokens[name]);
    texture.flags = flagsFrom(kTextureFlags, tokens, name + 1, count);
    if (texture.flags & QE_SHADER_TEX_PRESET) content->presetTextures = 1;
    return 0;
}

// The float values of a literal, split at blanks, commas and line ends; the count of values found
// (values past QE_SHADER_MAX_VALUES are counted, not stored).
int splitFloats(const char* literal, float* values) {
    char buffer[QE_SHADER_LINE_MAX + 1];
    copyCut(buffer, sizeof(buffer), literal);
    int count = 0;
    char* rest = nullptr;
    for (char* t = strtok_r(buffer, " ,\r\n", &rest); t; t = strtok_r(nullptr, " ,\r\n", &rest)) {
        if (count < QE_SHADER_MAX_VALUES) values[count] = static_cast<float>(std::atof(t));
        ++count;
    }
    return count;
}

void parseLiteral(ShaderParam& param, const char* typeWord, const char* value) {
    if (param.type == QE_SHADER_TYPE_INT) {
        param.value.f[0] = static_cast<float>(std::atoi(value));
        return;
    }
    if (param.type == QE_SHADER_TYPE_FLOAT4X4 || param.type == QE_SHADER_TYPE_FLOATNREF) {
        qeIrrShaderSetError("ERROR: Shader Parse: Unsupported value '%s' for variable '%s' of type '%s'\n", value,
                            param.name, typeWord);
        return;
    }
    float values[QE_SHADER_MAX_VALUES] = {};
    const int found = splitFloats(value, values);
    if (param.type == QE_SHADER_TYPE_FLOATN) {
        // a record holds 16 values: a longer literal keeps its first 16 and is reported
        param.components = found < QE_SHADER_MAX_VALUES ? found : QE_SHADER_MAX_VALUES;
        std::memcpy(param.value.f, values, sizeof(float) * param.components);
    } else if (found == param.components) {
        std::memcpy(param.value.f, values, sizeof(float) * found);
    }
    if (found != param.components)
        qeIrrShaderSetError("ERROR: Shader Parse error for variable '%s' of type %s\n", param.name,
                            qeIrrShaderTypeName(param.type));
}

void parseParam(ShaderFileContent* content, const char* fileName, int assembler, int pixelFile, char** tokens,
                int count) {
    if (count < 3) return;
    if (content->paramCount >= QE_SHADER_MAX_PARAMS) {
        qeIrrShaderSetError("ERROR: Shader %s too many parameters\n", fileName);
        return;
    }
    const int type = qeIrrShaderTypeId(tokens[0]);
    if (type < 0) return;
    ShaderParam& param = content->params[content->paramCount++];
    param.type = type;
    param.components = componentsOf(type);
    copyCut(param.name, sizeof(param.name), tokens[1]);

    int bound = qeIrrShaderSemanticId(tokens[2]);
    if (bound < 0) bound = qeIrrShaderSurfaceChannelId(tokens[2]);
    if (bound >= 0) {
        param.bound = 1;
        param.value.id = bound;
    } else {
        parseLiteral(param, tokens[0], tokens[2]);
    }

    if (!assembler) {
        param.flags = flagsFrom(kParamFlags, tokens, 3, count);
        if (param.flags & QE_SHADER_PARAM_PIXEL) {
            param.pixel = 1;
        } else {
            param.vertex = 1;
            if (!(param.flags & QE_SHADER_PARAM_VERTEX) && (param.flags & QE_SHADER_PARAM_BOTH)) param.pixel = 1;
        }
        return;
    }
    if (count < 4) {
        qeIrrShaderSetError("Missing register for Assembler shader!\n");
        return;
    }
    const char* reg = tokens[3];
    switch (reg[0]) {
        case 'c': param.registerKind = QE_SHADER_REG_FLOAT; ++reg; break;
        case 'i': param.registerKind = QE_SHADER_REG_INT; ++reg; break;
        case 'b': param.registerKind = QE_SHADER_REG_BOOL; ++reg; break;
        default: break;
    }
    param.registerNumber = std::atoi(reg);
    param.flags = flagsFrom(kParamFlags, tokens, 4, count);
    (pixelFile ? param.pixel : param.vertex) = 1;
}

void printTokens(const char* fileName, char** tokens, int count) {
    std::printf("[Shader:%s] ", fileName);
    for (int i = 0; i < count; ++i) std::printf("[%d:%s] ", i, tokens[i]);
    std::printf("\n");
}

}  // namespace

void qeIrrShaderSetError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(g_error, sizeof(g_error), format, args);
    va_end(args);
}

const char* qeIrrShaderGetError() { return g_error; }

void qeIrrShaderSetDebugLevel(int level) { g_debugLevel = level; }
int qeIrrShaderGetDebugLevel() { return g_debugLevel; }

int qeIrrShaderTypeId(const char* name) { return lookUp(kTypes, name, -1); }

const char* qeIrrShaderTypeName(int typeId) {
    for (const NamedValue& row : kTypes)
        if (row.value == typeId) return row.name;
    return "unknown";
}

int qeIrrShaderSemanticId(const char* name) {
    const int fixed = lookUp(kFixedSemantics, name, -1);
    if (fixed >= 0) return fixed;
    int id = QE_SEM_VIEW_POSITION;
    char expanded[32];
    for (const char* pattern : kRisingSemantics) {
        const bool numbered = std::strstr(pattern, "%d") != nullptr;
        for (int n = 0; n < (numbered ? 8 : 1); ++n, ++id) {
            const char* candidate = pattern;
            if (numbered) {
                std::snprintf(expanded, sizeof(expanded), pattern, n);
                candidate = expanded;
            }
            if (qeSysStrCaseCmp(candidate, name) == 0) return id;
        }
    }
    return -1;
}

int qeIrrShaderSurfaceChannelId(const char* value) {
    static const char kPrefix[] = "Surface_";
    if (std::strncmp(value, kPrefix, sizeof(kPrefix) - 1) != 0) return -1;
    for (int i = 0; i < QE_SHADER_CHANNEL_COUNT; ++i)
        if (qeSysStrCaseCmp(kSurfaceChannels[i], value + sizeof(kPrefix) - 1) == 0) return QE_SHADER_CHANNEL_BASE + i;
    return -1;
}

int qeIrrShaderTokenize(char* line, char** tokens, const char* delimiters, int maxEntries) {
    int count = 0;
    char* p = line;
    while (count < maxEntries - 1) {
        p += std::strspn(p, delimiters);
        if (!*p) return count;
        tokens[count++] = p;
        p += std::strcspn(p, delimiters);
        if (!*p) return count;
        *p++ = 0;
    }
    while (*p == ' ' || *p == '\t') ++p;
    if (*p && count < maxEntries) tokens[count++] = p;
    return count;
}

int qeIrrShaderPreprocess(char* text, const char* const* macros) {
    static const char kMarker[] = "//QIRN_PP:";
    const size_t markerLength = sizeof(kMarker) - 1;
    char* p = text;
    while ((p = std::strstr(p, kMarker)) != nullptr) {
        char* kind = p + markerLength;
        // the second character is read only when the first is not the end of the text
        const bool defined = kind[0] == 'D' && kind[1] == ':';
        if (!defined && !(kind[0] == 'U' && kind[1] == ':')) {
            qeIrrShaderSetError("!! ERROR: bad preprocessor is not D nor U at offset %d", static_cast<int>(kind - text));
            return -1;
        }
        char* name = kind + 2;
        char* end = name;
        while (*end && *end != ':' && !isLineEnd(*end)) ++end;
        if (*end != ':') {
            qeIrrShaderSetError("!! ERROR: bad preprocessor missing end of def at offset %d", static_cast<int>(end - text));
            return -1;
        }
        bool found = false;
        const size_t length = static_cast<size_t>(end - name);
        for (const char* const* m = macros; m && *m && !found; ++m)
            found = std::strlen(*m) == length && std::strncmp(*m, name, length) == 0;
        if (found == defined) std::memset(p, ' ', static_cast<size_t>(end + 1 - p));
        p = end + 1;
    }
    return 0;
}

int qeIrrShaderParseHeader(char* text, ShaderFileContent* content, const char* fileName, int assembler, int pixelFile) {
    const char* p = text;
    char line[QE_SHADER_LINE_MAX + 1];
    bool inHeader = false;
    int runningSlot = 0;
    while (nextLine(p, line)) {
        if (!inHeader) {
            inHeader = std::strstr(line, "[QIRN_BEGIN]") != nullptr;
            continue;
        }
        if (std::strstr(line, "[QIRN_END]")) break;
        if (parseTextKey(line, content)) continue;

        char* tokens[QE_SHADER_MAX_TOKENS];
        const int count = qeIrrShaderTokenize(line, tokens, kHeaderDelimiters, QE_SHADER_MAX_TOKENS);
        if (count == 0) continue;
        if (g_debugLevel >= 2) printTokens(fileName, tokens, count);
        if (qeSysStrCaseCmp(tokens[0], "function") == 0)
            parseFunction(content, tokens, count);
        else if (qeSysStrCaseCmp(tokens[0], "config") == 0)
            parseConfig(content, tokens, count);
        else if (qeSysStrCaseCmp(tokens[0], "texture") == 0)
            parseTexture(content, runningSlot, tokens, count);
        else
            parseParam(content, fileName, assembler, pixelFile, tokens, count);
    }
    return 0;
}
