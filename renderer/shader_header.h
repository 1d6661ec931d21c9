#ifndef QIRN_RENDERER_SHADER_HEADER_H
#define QIRN_RENDERER_SHADER_HEADER_H

// The renderer's shader files: the line preprocessor that switches "//QIRN_PP:D:NAME:" and
// "//QIRN_PP:U:NAME:" comment lines into code, and the reader of the comment header between
// "[QIRN_BEGIN]" and "[QIRN_END]" that declares title, entry points, material configuration, textures
// and constant parameters. Both work in place on a zero-terminated text.

struct ShaderFileContent;

// Limits of a header.
enum {
    QE_SHADER_MAX_PARAMS = 40,
    QE_SHADER_MAX_TEXTURES = 10,
    QE_SHADER_MAX_VALUES = 16,
    QE_SHADER_MAX_MACROS = 18,
    QE_SHADER_LINE_MAX = 255,   // characters of one line; the rest of a longer line is dropped
    QE_SHADER_MAX_TOKENS = 32,  // entries of a tokenised header line
};

// Parameter types (the type names "int", "integer" and "bool" are all QE_SHADER_TYPE_INT).
enum {
    QE_SHADER_TYPE_INT = 1,
    QE_SHADER_TYPE_FLOAT = 2,
    QE_SHADER_TYPE_FLOAT2 = 3,
    QE_SHADER_TYPE_FLOAT3 = 4,
    QE_SHADER_TYPE_FLOAT4 = 5,
    QE_SHADER_TYPE_FLOAT4X4 = 6,
    QE_SHADER_TYPE_FLOATN = 7,
    QE_SHADER_TYPE_FLOATNREF = 8,
};

// Base materials ("config baseMaterial : name").
enum {
    QE_SHADER_BASE_SOLID = 0,
    QE_SHADER_BASE_ADD_COLOR = 1,
    QE_SHADER_BASE_VERTEX_ALPHA = 2,
    QE_SHADER_BASE_ALPHA_CHANNEL = 3,
    QE_SHADER_BASE_ALPHA_CHANNEL_REF = 4,
    QE_SHADER_BASE_ONE_ONE = 5,
    QE_SHADER_BASE_SUB_COLOR = 6,
};

// Render modes ("config render : forward | lpp").
enum { QE_SHADER_RENDER_FORWARD = 0, QE_SHADER_RENDER_LPP = 1 };

// Parameter flags, OR-ed.
enum {
    QE_SHADER_PARAM_PIXEL = 1,
    QE_SHADER_PARAM_VERTEX = 2,
    QE_SHADER_PARAM_BOTH = 4,
    QE_SHADER_PARAM_COLOR = 8,
    QE_SHADER_PARAM_PERCENT = 16,
};

// Texture flags, OR-ed.
enum {
    QE_SHADER_TEX_CUBE = 1,
    QE_SHADER_TEX_PRESET = 2,
    QE_SHADER_TEX_REPEAT = 4,
    QE_SHADER_TEX_NOMIPMAP = 8,
    QE_SHADER_TEX_FILTERPOINT = 16,
    QE_SHADER_TEX_R32F = 32,
};

// Register kinds of assembler parameters ('c', 'i', 'b').
enum { QE_SHADER_REG_FLOAT = 0, QE_SHADER_REG_INT = 1, QE_SHADER_REG_BOOL = 2 };

// Semantic ids a parameter can be bound to (both "Time0_X" and "Time_0_X" are QE_SEM_TIME).
enum QeShaderSemantic {
    QE_SEM_TIME = 0,
    QE_SEM_PROJECTION = 1,
    QE_SEM_PROJECTION_TRANSPOSE = 2,
    QE_SEM_VIEW_PROJECTION = 3,
    QE_SEM_VIEW_PROJECTION_TRANSPOSE = 4,
    QE_SEM_VIEW = 5,
    QE_SEM_VIEW_TRANSPOSE = 6,
    QE_SEM_VIEW_INVERSE = 7,
    QE_SEM_VIEW_INVERSE_TRANSPOSE = 8,
    QE_SEM_VIEW_POSITION = 9,
    QE_SEM_WORLD_VIEW_PROJECTION = 10,
    QE_SEM_WORLD_VIEW_PROJECTION_TRANSPOSE = 11,
    QE_SEM_WORLD_VIEW = 12,
    QE_SEM_WORLD_VIEW_TRANSPOSE = 13,
    QE_SEM_WORLD_VIEW_INVERSE = 14,
    QE_SEM_WORLD_VIEW_INVERSE_TRANSPOSE = 15,
    QE_SEM_WORLD_INVERSE = 16,
    QE_SEM_WORLD_INVERSE_TRANSPOSE = 17,
    QE_SEM_WORLD = 18,
    QE_SEM_WORLD_TRANSPOSE = 19,
    QE_SEM_WORLD_TRANSLATION = 20,
    QE_SEM_WORLD_ROTATION = 21,
    QE_SEM_WORLD_SCALE = 22,
    QE_SEM_FRUSTUM_FAR_CORNERS = 23,
    QE_SEM_ZFAR_VALUE = 24,
    QE_SEM_SCREEN_SIZE = 25,
    QE_SEM_PIXEL_SIZE = 26,
    QE_SEM_HALF_PIXEL_SIZE = 27,
    QE_SEM_HALF_SCREEN_HALF_PIXEL_SIZE = 28,
    QE_SEM_QUARTER_SCREEN_HALF_PIXEL_SIZE = 29,
    QE_SEM_FOCAL_DISTANCE = 30,
    QE_SEM_FSTOP = 31,
    QE_SEM_FOCAL_RANGE = 32,
    QE_SEM_DOF_MAX_COC = 33,
    QE_SEM_DOF_FOCAL_RANGE_MIN = 34,
    QE_SEM_DOF_FOCAL_RANGE_MAX = 35,
    QE_SEM_DOF_RADIUS_SCALE = 36,
    QE_SEM_BLOOM_SPEC_MIN = 37,
    QE_SEM_BLOOM_THRESHOLD = 38,
    QE_SEM_OBJECT_POS0 = 39,        // to 46
    QE_SEM_OBJECT_ROT0 = 47,        // to 54
    QE_SEM_OBJECT_SCALE0 = 55,      // to 62
    QE_SEM_OBJECT_TRANS0 = 63,      // to 70
    QE_SEM_OBJECT_INV_TRANS0 = 71,  // to 78
    QE_SEM_LIGHT_POS0 = 79,
    QE_SEM_LIGHT_DIR0 = 80,
    QE_SEM_LIGHT_DIFFUSE0 = 81,
    QE_SEM_LIGHT_AMBIENT0 = 82,
    QE_SEM_LIGHT_POS1 = 83,
    QE_SEM_LIGHT_DIR1 = 84,
    QE_SEM_LIGHT_DIFFUSE1 = 85,
    QE_SEM_LIGHT_AMBIENT1 = 86,
    QE_SEM_LIGHTS_INI = 87,
    QE_SEM_LIGHTS_NUM = 88,
    QE_SEM_LIGHT_PARAMS = 89,
    QE_SEM_LINE_STARTS_ENDS = 90,
    QE_SEM_DOWNSCALE_4X4_SAMPLES = 91,
    QE_SEM_DOWNSCALE_2X2_SAMPLES = 92,
    QE_SEM_HALF_DOWNSCALE_2X2_SAMPLES = 93,
    QE_SEM_PARTICLE_COLOR = 94,
    QE_SEM_PARTICLE_SIZE = 95,
    QE_SEM_PARTICLE_ROTATION = 96,
    QE_SEM_PARTICLE_GRAD_COLOR_NUM = 97,
    QE_SEM_PARTICLE_GRAD_COLOR_KEY_PARAMS = 98,
    QE_SEM_PARTICLE_GRAD_COLOR_KEY_VALUES = 99,
    QE_SEM_PARTICLE_GRAD_SIZE_NUM = 100,
    QE_SEM_PARTICLE_GRAD_SIZE_KEY_PARAMS = 101,
    QE_SEM_PARTICLE_GRAD_SIZE_KEY_VALUES = 102,
    QE_SEM_PARTICLE_TIME_NOW = 103,
    QE_SEM_SURFACE_ROUGHNESS = 104,
    QE_SEM_COUNT = 105,
};

// Surface channels: "Surface_" + a channel name binds to QE_SHADER_CHANNEL_BASE + the channel's index.
enum {
    QE_SHADER_CHANNEL_BASE = 65536,
    QE_SHADER_CHANNEL_COUNT = 39,
    QE_SHADER_CHANNEL_GLOSSINESS = 9,
    QE_SHADER_CHANNEL_GLOW_VALUE = 25,
};

// Switches the marked lines of the text for the macro list (null-terminated names, or null). 0, or -1
// after a format error, whose report is then the shader error text.
int qeIrrShaderPreprocess(char* text, const char* const* macros);

// Reads the header of the text into the content. The assembler flag is set for each file of an
// assembler pair, the pixel-file flag for the pair's second file. Bad lines only leave a report in the
// shader error text; the result is always 0.
int qeIrrShaderParseHeader(char* text, ShaderFileContent* content, const char* fileName, int assembler,
                           int pixelFile);

// Splits the line in place at runs of the delimiters into at most maxEntries - 1 tokens; when the line
// goes on after that many, the last entry is the rest of the line (leading blanks and tabs skipped).
// Gives the number of entries.
int qeIrrShaderTokenize(char* line, char** tokens, const char* delimiters, int maxEntries);

// The last report of the shader loader (at most 1023 characters).
void qeIrrShaderSetError(const char* format, ...) __attribute__((format(printf, 1, 2)));
const char* qeIrrShaderGetError();

// Loader verbosity: 0 quiet, 1 names of loaded files, 2 also every tokenised header line. Initially 1.
void qeIrrShaderSetDebugLevel(int level);
int qeIrrShaderGetDebugLevel();

// Table look-ups (names compared without regard to case); -1 or "unknown" when not listed.
int qeIrrShaderTypeId(const char* name);
const char* qeIrrShaderTypeName(int typeId);
int qeIrrShaderSemanticId(const char* name);
// "Surface_" (case-sensitive) + channel name: QE_SHADER_CHANNEL_BASE + index, else -1.
int qeIrrShaderSurfaceChannelId(const char* value);

#endif
