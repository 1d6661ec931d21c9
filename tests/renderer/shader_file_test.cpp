// Shader files: the line preprocessor, the header reader, shader creation from file names and the
// accessors and setters of a shader object.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "file_fixtures.h"
#include "shader_object.h"
#include "sysfile.h"

namespace {

struct PreprocessCase {
    const char* text;
    std::vector<const char*> macros;
    int result;
    const char* expected;  // the text after a 0 result, the error after -1
};

TEST(ShaderPreprocess, SwitchesMarkedLinesAndReportsBadMarkers) {
    const PreprocessCase cases[] = {
        {"//QIRN_PP:D:A:float x;", {"A"}, 0, "              float x;"},
        {"//QIRN_PP:D:A:float x;", {"B"}, 0, "//QIRN_PP:D:A:float x;"},
        {"//QIRN_PP:D:a:float x;", {"A"}, 0, "//QIRN_PP:D:a:float x;"},
        {"//QIRN_PP:U:A:x\n//QIRN_PP:U:B:y", {"A"}, 0, "//QIRN_PP:U:A:x\n              y"},
        // two markers on a line: both must be active for the code to go live
        {"//QIRN_PP:D:A://QIRN_PP:U:B:code", {"A"}, 0, "                            code"},
        {"//QIRN_PP:D:A://QIRN_PP:U:B:code", {"A", "B"}, 0, "              //QIRN_PP:U:B:code"},
        {"x\n//QIRN_PP:X:A:", {}, -1, "!! ERROR: bad preprocessor is not D nor U at offset 12"},
        {"//QIRN_PP:D:ABC\nfoo:", {}, -1, "!! ERROR: bad preprocessor missing end of def at offset 15"},
        {"//QIRN_PP:D:ABC", {}, -1, "!! ERROR: bad preprocessor missing end of def at offset 15"},
        // a marker at the very end of the text is reported without reading past it
        {"abc//QIRN_PP:", {}, -1, "!! ERROR: bad preprocessor is not D nor U at offset 13"},
        {"abc//QIRN_PP:D", {}, -1, "!! ERROR: bad preprocessor is not D nor U at offset 13"},
    };
    for (const PreprocessCase& c : cases) {
        std::vector<char> text(c.text, c.text + std::strlen(c.text) + 1);
        std::vector<const char*> macros = c.macros;
        macros.push_back(nullptr);
        EXPECT_EQ(c.result, qeIrrShaderPreprocess(text.data(), macros.data())) << c.text;
        EXPECT_STREQ(c.expected, c.result == 0 ? text.data() : qeIrrShaderGetError()) << c.text;
    }
    char plain[] = "//QIRN_PP:D:A:x";
    EXPECT_EQ(0, qeIrrShaderPreprocess(plain, nullptr));
    EXPECT_STREQ("//QIRN_PP:D:A:x", plain);
}

TEST(ShaderTokenize, SplitsAtRunsAndKeepsTheRestOfALongLine) {
    char line[] = "//float3 a : 1,2 ;  pixel \t x   y";
    char* tokens[4];
    ASSERT_EQ(4, qeIrrShaderTokenize(line, tokens, " \t:/;\r\n", 4));
    EXPECT_STREQ("float3", tokens[0]);
    EXPECT_STREQ("a", tokens[1]);
    EXPECT_STREQ("1,2", tokens[2]);
    EXPECT_STREQ(";  pixel \t x   y", tokens[3]);  // the rest starts after the delimiter ending the last token
    char shortLine[] = "  a  b ";
    EXPECT_EQ(2, qeIrrShaderTokenize(shortLine, tokens, " ", 3));
    char empty[] = "// ;";
    EXPECT_EQ(0, qeIrrShaderTokenize(empty, tokens, " \t:/;\r\n", 4));
}

TEST(ShaderTables, NamesGiveTheirIds) {
    const std::pair<const char*, int> semantics[] = {
        {"Time_0_X", 0},          {"ViewTranspose", 6},     {"viewinverse", 7},        {"ViewPosition", 9},
        {"WORLDVIEWPROJECTION", 10}, {"BloomThreshold", 38}, {"ObjectPos3", 42},        {"ObjectInvTrans7", 78},
        {"LightAmbient1", 86},    {"LineStartsEnds", 90},   {"ParticleTimeNow", 103},  {"Surface_Roughness", 104},
        {"ObjectPos8", -1},       {"Surface_BaseColor", -1},
    };
    for (const auto& s : semantics) EXPECT_EQ(s.second, qeIrrShaderSemanticId(s.first)) << s.first;
    EXPECT_EQ(65536, qeIrrShaderSurfaceChannelId("Surface_BaseColor"));
    EXPECT_EQ(65574, qeIrrShaderSurfaceChannelId("Surface_vertexnormal"));
    EXPECT_EQ(-1, qeIrrShaderSurfaceChannelId("surface_BaseColor"));
    EXPECT_EQ(-1, qeIrrShaderSurfaceChannelId("Surface_Nothing"));
    EXPECT_STREQ("int", qeIrrShaderTypeName(qeIrrShaderTypeId("BOOL")));
    EXPECT_STREQ("unknown", qeIrrShaderTypeName(9));
    const int engineTypes[] = {0, 12, 15, 13, 14, 23, 23, 0};
    for (int base = 0; base < 8; ++base) EXPECT_EQ(engineTypes[base], qeIrrShaderEngineMaterialFor(base)) << base;
}

struct ShaderFiles : testing::Test {
    qetest::TempDir dir{"shaders"};
    std::string write(const std::string& name, const std::string& text) { return dir.write(name, text); }
    ShaderFileContent* load(const std::string& text, std::vector<const char*> macros = {}) {
        macros.push_back(nullptr);
        content = loadShaderFileContent(write("file.hlsl", text).c_str(), macros.data());
        return content;
    }
    ~ShaderFiles() override { qeIrrShaderFreeContent(content); }
    ShaderFileContent* content = nullptr;
};

TEST_F(ShaderFiles, AFileWithoutHeaderHasTheDefaults) {
    ASSERT_NE(nullptr, load("//title Nothing\n//float a : 1\nfloat4 main() : COLOR { return 0; }\n"));
    EXPECT_STREQ("vertexMain", content->vertexEntry);
    EXPECT_STREQ("pixelMain", content->pixelEntry);
    EXPECT_STREQ("", content->title);
    EXPECT_EQ(0, content->baseMaterial + content->renderMode + content->paramCount + content->tangents);
    for (const ShaderTextureSlot& t : content->textures) EXPECT_EQ(0, t.used);
}

TEST_F(ShaderFiles, TheHeaderFillsTheContent) {
    const char* text =
        "// before\r\n//[QIRN_BEGIN]\r\n\r\n"
        "//title Gamma  Two\n"
        "//titleX float 1\n"
        "//subject Post\n"
        "//comments some words\n"
        "//function vertexMain : vsMain\n"
        "//function pixelMain : psMain\n"
        "//function geometryMain : gsMain\n"
        "//config baseMaterial : TRANSPARENT_ONE_ONE\n"
        "//config render : lpp\n"
        "//config tangents\n"
        "//texture 5 Special cube\n"
        "//texture Color repeat noMipMap preset other\n"
        "//float3 Tint : 1,2,3 : pixel\n"
        "//float3 Bad : 1, 2, 3 : pixel\n"
        "//float4x4 WVP : WORLDVIEWPROJECTION\n"
        "//float3 Base : Surface_BaseColor : both\n"
        "//float3 Normal : Surface_VertexNormal : vertex both\n"
        "//float Rough : Surface_Roughness : vertex pixel\n"
        "//matrix Unknown : 1\n"
        "//int Count : 12abc : both color\n"
        "//floatN Many : 1,2,3,4,5 : pixel\n"
        "//[QIRN_END]\n"
        "//float After : 1\n";
    ASSERT_NE(nullptr, load(text));
    EXPECT_STREQ("Gamma  Two", content->title);
    EXPECT_STREQ("Post", content->subject);
    EXPECT_STREQ("some words", content->comments);
    EXPECT_STREQ("vsMain", content->vertexEntry);
    EXPECT_STREQ("psMain", content->pixelEntry);
    EXPECT_EQ(QE_SHADER_BASE_ONE_ONE, content->baseMaterial);
    EXPECT_EQ(QE_SHADER_RENDER_LPP, content->renderMode);
    EXPECT_EQ(1, content->tangents);
    EXPECT_EQ(1, content->presetTextures);
    EXPECT_STREQ("Special", content->textures[5].name);
    EXPECT_EQ(QE_SHADER_TEX_CUBE, content->textures[5].flags);
    EXPECT_STREQ("Color", content->textures[0].name);
    EXPECT_EQ(QE_SHADER_TEX_REPEAT | QE_SHADER_TEX_NOMIPMAP | QE_SHADER_TEX_PRESET, content->textures[0].flags);
    EXPECT_EQ(0, content->textures[1].used);

    ASSERT_EQ(8, content->paramCount);
    struct Expected {
        const char* name;
        int type, bound, id, components, vertex, pixel;
    };
    const Expected expected[] = {
        {"Tint", 4, 0, 0, 3, 0, 1},        {"Bad", 4, 0, 0, 3, 0, 1},           {"WVP", 6, 1, 10, 16, 1, 0},
        {"Base", 4, 1, 65536, 3, 1, 1},   {"Normal", 4, 1, 65574, 3, 1, 0},    {"Rough", 2, 1, 104, 1, 0, 1},
        {"Count", 1, 0, 0, 1, 1, 1},      {"Many", 7, 0, 0, 5, 0, 1},
    };
    for (int i = 0; i < 8; ++i) {
        const ShaderParam& p = content->params[i];
        const Expected& e = expected[i];
        EXPECT_STREQ(e.name, p.name);
        EXPECT_EQ(e.type, p.type) << e.name;
        EXPECT_EQ(e.bound, p.bound) << e.name;
        if (e.bound) {
            EXPECT_EQ(e.id, p.value.id) << e.name;
        }
        EXPECT_EQ(e.components, p.components) << e.name;
        EXPECT_EQ(e.vertex, p.vertex) << e.name;
        EXPECT_EQ(e.pixel, p.pixel) << e.name;
    }
    EXPECT_EQ(3.0f, content->params[0].value.f[2]);
    EXPECT_EQ(0.0f, content->params[1].value.f[0]);  // the values of a literal that does not fit stay 0
    EXPECT_EQ(12.0f, content->params[6].value.f[0]);
    EXPECT_EQ(QE_SHADER_PARAM_BOTH | QE_SHADER_PARAM_COLOR, content->params[6].flags);
    EXPECT_EQ(5.0f, content->params[7].value.f[4]);
}

TEST_F(ShaderFiles, BadLinesLeaveTheirReport) {
    std::string many = "//[QIRN_BEGIN]\n//floatN Long : 0";
    for (int i = 1; i < 17; ++i) many += "," + std::to_string(i);
    many += "\n";
    const std::pair<std::string, std::string> cases[] = {
        {"//[QIRN_BEGIN]\n//float3 Bad : 1, 2, 3\n", "ERROR: Shader Parse error for variable 'Bad' of type float3\n"},
        {"//[QIRN_BEGIN]\n//float4x4 M : 1,0 : pixel\n",
         "ERROR: Shader Parse: Unsupported value '1,0' for variable 'M' of type 'float4x4'\n"},
        {"//[QIRN_BEGIN]\n//floatNRef R : 1\n",
         "ERROR: Shader Parse: Unsupported value '1' for variable 'R' of type 'floatNRef'\n"},
        {"//[QIRN_BEGIN]\n//texture 10 Name\n", "Invalid texture line: texture\n10\nName\n\n"},
        {"//[QIRN_BEGIN]\n//texture 99999999999999999999 Name\n",
         "Invalid texture line: texture\n99999999999999999999\nName\n\n"},
        {many, "ERROR: Shader Parse error for variable 'Long' of type floatN\n"},
    };
    for (const auto& c : cases) {
        qeIrrShaderSetError("none");
        ASSERT_NE(nullptr, load(c.first));
        EXPECT_EQ(c.second, qeIrrShaderGetError()) << c.first;
        EXPECT_EQ(0, content->textures[0].used);
        qeIrrShaderFreeContent(content);
        content = nullptr;
    }
    // the long literal keeps its first 16 values
    ASSERT_NE(nullptr, load(many));
    EXPECT_EQ(16, content->params[0].components);
    EXPECT_EQ(15.0f, content->params[0].value.f[15]);
    qeIrrShaderFreeContent(content);

    // a line longer than the line buffer is cut: its rest is not read as a line of its own
    std::string longLine = "//[QIRN_BEGIN]\n//float A : 1 : pixel" + std::string(300, ' ') + "//float B : 2\n";
    std::string textures = "//[QIRN_BEGIN]\n";
    for (int i = 0; i < 11; ++i) textures += "//texture T" + std::to_string(i) + "\n";
    std::string params = "//[QIRN_BEGIN]\n";
    for (int i = 0; i < 41; ++i) params += "//float P" + std::to_string(i) + " : 1\n";
    ASSERT_NE(nullptr, load(longLine + textures.substr(15) + params.substr(15)));
    EXPECT_EQ(40, content->paramCount);
    EXPECT_STREQ("P38", content->params[39].name);
    EXPECT_STREQ("T9", content->textures[9].name);
    EXPECT_NE(nullptr, std::strstr(qeIrrShaderGetError(), "too many parameters"));
}

TEST_F(ShaderFiles, AssemblerPairsTakeRegistersAndAddToOneContent) {
    const std::string vsh = write("pair.vsh",
                                  "//[QIRN_BEGIN]\n//float4 A : 1,2,3,4 : c5 : pixel\n//int N : 3 : i2\n"
                                  "//config baseMaterial : transparent\n//float Missing : 1\n");
    const std::string psh = write("pair.psh", "//[QIRN_BEGIN]\n//bool B : 1 : b7\n//float C : ZFarValue : c1\n");
    content = loadShaderFileContent(vsh.c_str(), psh.c_str(), nullptr);
    ASSERT_NE(nullptr, content);
    EXPECT_EQ(1, content->assembler);
    EXPECT_EQ(QE_SHADER_BASE_ALPHA_CHANNEL, content->baseMaterial);
    EXPECT_EQ(psh, content->pixelFile);
    ASSERT_EQ(5, content->paramCount);
    const int expected[5][5] = {// kind, register, vertex, pixel, flags
                                {0, 5, 1, 0, QE_SHADER_PARAM_PIXEL},
                                {1, 2, 1, 0, 0},
                                {0, 0, 0, 0, 0},
                                {2, 7, 0, 1, 0},
                                {0, 1, 0, 1, 0}};
    for (int i = 0; i < 5; ++i) {
        const ShaderParam& p = content->params[i];
        const int got[5] = {p.registerKind, p.registerNumber, p.vertex, p.pixel, p.flags};
        for (int k = 0; k < 5; ++k) EXPECT_EQ(expected[i][k], got[k]) << p.name << " " << k;
    }
    EXPECT_NE(nullptr, content->pixelText);
}

TEST_F(ShaderFiles, CreationFindsFilesByNameKind) {
    const std::string header = "//[QIRN_BEGIN]\n//float Value : 1\n";
    write("a.hlsl", header);
    write("b.fx", header);
    write("Water.vsh", header);
    write("Water.psh", header);
    dir.mkdir("dir.v2");
    write("dir.vsh", header);
    write("dir.psh", header);
    struct NameCase {
        std::string name;
        int hlsl;
        std::string vertex, pixel;
    };
    const std::string p = dir.path();
    const NameCase cases[] = {
        {p + "a.hlsl", 1, p + "a.hlsl", p + "a.hlsl"},
        {p + "b.fx", 1, p + "b.fx", p + "b.fx"},
        {p + "Water", 0, p + "Water.vsh", p + "Water.psh"},
        {p + "Water.vsh", 0, p + "Water.vsh", p + "Water.psh"},
        // the pair name is cut at the last '.' of the whole name, even in the folder part
        {p + "dir.v2\\Water", 0, p + "dir.vsh", p + "dir.psh"},
    };
    for (const NameCase& c : cases) {
        ShaderObject* shader = qeIrrShaderCreate(c.name.c_str(), nullptr);
        ASSERT_NE(nullptr, shader) << c.name;
        EXPECT_EQ(c.hlsl, shader->hlsl);
        EXPECT_EQ(c.vertex, shader->vertexFile.c_str());
        EXPECT_EQ(c.pixel, shader->pixelFile.c_str());
        EXPECT_EQ(c.hlsl ? 1 : 2, qeIrrShaderGetParamCount(shader));  // both files of a pair add theirs
        EXPECT_EQ(-1, qeIrrShaderGetMaterialType(shader));
        qeIrrShaderDestroy(shader);
    }

    // ".HLSL" is not an HLSL name: the pair it stands for is missing, and the failure is logged
    write("Upper.HLSL", header);
    testing::internal::CaptureStdout();
    EXPECT_EQ(nullptr, qeIrrShaderCreate((p + "Upper.HLSL").c_str(), nullptr));
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, log.find("qeIrrShaderCreate() Parse Shader failed '" + p + "Upper.vsh' : "
                                          "'loadShaderFileContent('" + p + "Upper.vsh') failed\n'"))
        << log;

    // a bad marker fails the creation with the preprocessor's report
    write("bad.hlsl", "//QIRN_PP:Q:X:\n");
    testing::internal::CaptureStdout();
    EXPECT_EQ(nullptr, qeIrrShaderCreate((p + "bad.hlsl").c_str(), nullptr));
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStdout().find("not D nor U at offset 10"));
}

TEST_F(ShaderFiles, CreationSearchesTheDataFoldersAndKeepsTheMacroList) {
    dir.mkdir("shaders");
    dir.write("shaders\\found.hlsl",
              "//[QIRN_BEGIN]\n//QIRN_PP:D:TEX_NORMAL://QIRN_PP:U:COMPTANGENT://config tangents\n"
              "//QIRN_PP:D:TEX_NORMAL://texture NormalMap\n//QIRN_PP:D:COMPTANGENT://float Flag : 1\n");
    std::string oldBase = qeSysGetBaseDirectory();
    qeSysSetBaseDir(dir.path().c_str());
    const char* normal[] = {"TEX_NORMAL", nullptr};
    const char* both[] = {"TEX_NORMAL", "COMPTANGENT", nullptr};
    ShaderObject* one = qeIrrShaderCreate("found.hlsl", normal);
    ShaderObject* two = qeIrrShaderCreate("found.hlsl", both);
    qeSysSetBaseDir(oldBase.c_str());
    ASSERT_NE(nullptr, one);
    ASSERT_NE(nullptr, two);
    EXPECT_EQ(dir.path() + "shaders/found.hlsl", one->vertexFile.c_str());
    EXPECT_EQ(1, qeIrrShaderNeedsTangents(one));
    EXPECT_EQ(0, qeIrrShaderNeedsTangents(two));
    EXPECT_STREQ("NormalMap", qeIrrShaderTextureName(two, 0));
    EXPECT_EQ(0, qeIrrShaderGetParamCount(one));
    ASSERT_EQ(2u, two->macros.size());
    EXPECT_STREQ("USE_TEX_NORMAL", two->macros[0].c_str());
    EXPECT_STREQ("USE_COMPTANGENT", two->macros[1].c_str());
    qeIrrShaderDestroy(one);
    qeIrrShaderDestroy(two);
}

TEST_F(ShaderFiles, SettersByNameChangeLiteralsOnly) {
    const std::string file = write("set.hlsl",
                                   "//[QIRN_BEGIN]\n//float Limit : 1\n//float3 Tint : 1,1,1\n"
                                   "//float Time : Time0_X\n//float3 Base : Surface_BaseColor\n"
                                   "//floatNRef Ref : 0\n//floatN Many : 0\n"
                                   "//texture 2 Plain\n//texture 3 Flat noMipMap filterPoint r32f\n");
    ShaderObject* shader = qeIrrShaderCreate(file.c_str(), nullptr);
    ASSERT_NE(nullptr, shader);
    const float xyz[3] = {0.5f, 0.25f, 0.125f};
    EXPECT_EQ(0, qeIrrShaderSetParamFloatByName(shader, "LIMIT", 7.0f));
    EXPECT_EQ(0, qeIrrShaderSetParamFloat3ByName(shader, "tint", xyz));
    EXPECT_EQ(-1, qeIrrShaderSetParamFloatByName(shader, "Time", 7.0f));
    EXPECT_EQ(-1, qeIrrShaderSetParamFloat3ByName(shader, "Base", xyz));
    EXPECT_EQ(-1, qeIrrShaderSetParamFloatByName(shader, "Ref", 7.0f));
    EXPECT_EQ(-1, qeIrrShaderSetParamFloatByName(shader, "Absent", 7.0f));
    EXPECT_EQ(0, qeIrrShaderSetParamFloatsByName(shader, "Many", xyz, 3));
    EXPECT_EQ(-1, qeIrrShaderSetParamFloatsByName(shader, "Many", xyz, 17));
    EXPECT_EQ(7.0f, qeIrrShaderGetParam(shader, 0)->value.f[0]);
    EXPECT_EQ(0.125f, qeIrrShaderGetParam(shader, 1)->value.f[2]);
    EXPECT_EQ(QE_SEM_TIME, qeIrrShaderGetParam(shader, 2)->value.id);
    EXPECT_EQ(QE_SHADER_CHANNEL_BASE, qeIrrShaderGetParam(shader, 3)->value.id);
    EXPECT_EQ(3, qeIrrShaderGetParam(shader, 5)->components);

    EXPECT_EQ(1, qeIrrShaderTextureMipMaps(shader, 2));
    EXPECT_EQ(0, qeIrrShaderTextureMipMaps(shader, 3));
    EXPECT_EQ(1, qeIrrShaderTextureFilterPoint(shader, 3));
    EXPECT_EQ(1, qeIrrShaderTextureIsR32F(shader, 3));
    EXPECT_EQ(0, qeIrrShaderTextureIsCube(shader, 3));
    for (int slot : {0, 9, 10, -1}) {
        EXPECT_EQ(0, qeIrrShaderTextureUsed(shader, slot) + qeIrrShaderTextureMipMaps(shader, slot) +
                         qeIrrShaderTextureRepeat(shader, slot) + qeIrrShaderTextureIsPreset(shader, slot));
        EXPECT_EQ(nullptr, qeIrrShaderTextureName(shader, slot));
    }
    EXPECT_EQ(shader, qeIrrShaderSetTime(shader, 2.5f));
    EXPECT_EQ(2.5f, shader->time);
    qeIrrShaderDestroy(shader);
}

}  // namespace
