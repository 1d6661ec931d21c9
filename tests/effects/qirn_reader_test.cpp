// The shader-header reader: every line kind, its tables, its error texts, and broken files.
#include <gtest/gtest.h>

#include <string>

#include "defs/CQeEffectDefQirn.h"
#include "defs_fixture.h"

using irr::u32;

namespace {

class QirnReader : public DefsTest {
protected:
    QirnReader() { loader = createEffectDefLoaderQirn(); }
    // Reads a shader whose header holds the given lines.
    IQeEffectDef* header(const std::string& lines) {
        return load(loader, "shader.hlsl", "// [QIRN_BEGIN]\n" + lines + "// [QIRN_END]\nfloat4 ps_main() : COLOR { return 0; }\n");
    }
    const SPass* pass0() { return def->getPass(def->getTechnique(0), 0); }
    const SShader* shader(u32 i) { return def->getShader(pass0(), i); }
    std::string param(u32 i, irr::core::stringc SParameter::*field) {
        const SParameter* p = def->getParameter(nullptr, i);
        return p ? (p->*field).c_str() : "<none>";
    }
};

TEST_F(QirnReader, ExtensionsAndFilesThatCannotBeRead) {
    EXPECT_TRUE(loader->isALoadableFileExtension("a/b.hlsl"));
    EXPECT_TRUE(loader->isALoadableFileExtension("glow.FX"));
    EXPECT_FALSE(loader->isALoadableFileExtension("glow.dae"));
    ASSERT_NE(loadPath(loader, dir.path() + "nothing.hlsl"), nullptr);
    EXPECT_STREQ(error, "Cannot open file");
    ASSERT_NE(load(loader, "empty.hlsl", ""), nullptr);
    EXPECT_STREQ(error, "Error");
}

TEST_F(QirnReader, FileWithoutHeaderHasTheDefaultTechnique) {
    ASSERT_NE(load(loader, "plain.hlsl", "float4 ps_main() : COLOR { return 0; }\n"), nullptr);
    EXPECT_EQ(error, nullptr);
    SEffectDesc ed;
    def->getEffectDesc(ed);
    EXPECT_EQ(ed.techniqueCount, 1u);
    EXPECT_EQ(ed.parameterCount, 0u);
    SShaderDesc vs, ps;
    def->getShaderDesc(shader(0), vs);
    def->getShaderDesc(shader(1), ps);
    EXPECT_EQ(std::string(vs.entry) + " " + ps.entry, "vs_main ps_main");
    EXPECT_EQ(vs.target, 3u);
    EXPECT_EQ(ps.target, 6u);
    // The source is the absolute file name.
    EXPECT_EQ(std::string(ps.source), fs->getAbsolutePath((dir.path() + "plain.hlsl").c_str()).c_str());
}

TEST_F(QirnReader, FunctionAndConfigLines) {
    ASSERT_NE(header("//function vertexMain myVs\n//function pixelMain myPs\n//function geometryMain g\n"
                     "//config tangents\n//config baseMaterial\n//config baseMaterial stone\n//config render deferred\n"
                     "//config unknown 1 2\n"),
              nullptr);
    EXPECT_EQ(error, nullptr);
    SShaderDesc vs, ps;
    def->getShaderDesc(shader(0), vs);
    def->getShaderDesc(shader(1), ps);
    EXPECT_EQ(std::string(vs.entry) + " " + ps.entry, "myVs myPs");
    // Technique annotations: the configs with a value, "tangents" without one; the pass: the base material.
    std::string notes;
    for (u32 i = 0; const SParameter* a = def->getAnnotation(def->getTechnique(0), i); ++i)
        notes += std::string(a->name.c_str()) + "=" + a->value.c_str() + " ";
    EXPECT_EQ(notes, "tangents=true render=deferred ");
    EXPECT_EQ(def->getAnnotationByName(pass0(), "baseMaterial")->value, "stone");
}

TEST_F(QirnReader, TextureLinesCountSlotsAndMapChannels) {
    ASSERT_NE(header("//texture Diffuse\n//texture 5 foo.png\n//texture bar.png\n//texture Color preset\n"), nullptr);
    EXPECT_EQ(error, nullptr);
    std::string texts;
    for (u32 i = 0; i < 4; ++i) texts += param(i, &SParameter::name) + " " + param(i, &SParameter::semantic) + ",";
    // "preset" keeps the word as semantic, even a channel word.
    EXPECT_EQ(texts, "Tex0 LW_Tex_Diffuse,Tex5 ,Tex1 ,Tex2 Color,");

    ASSERT_NE(header("//texture 2 env.dds cube repeat noMipMap\n//texture 7 depth.dds filterPoint r32f\n//texture Color\n"),
              nullptr);
    EXPECT_EQ(error, nullptr);
    const SParameter* env = def->getParameter(nullptr, 0);
    EXPECT_EQ(env->type, 12u);
    SSamplerDesc sd;
    def->getSamplerDesc(env, sd);
    EXPECT_EQ(std::string(sd.wrap_s) + sd.wrap_t + sd.wrap_p + "|" + sd.mipfilter, "REPEATREPEATREPEAT|");
    EXPECT_EQ(def->getAnnotationByName(env, "mipmap")->value, "false");
    const SParameter* depth = def->getParameter(nullptr, 1);
    def->getSamplerDesc(depth, sd);
    EXPECT_STREQ(sd.mipfilter, "NONE");
    EXPECT_EQ(def->getAnnotationByName(depth, "format")->value, "r32f");
    EXPECT_EQ(param(2, &SParameter::semantic), "LW_Tex_BaseColor");
    SStateDesc st;
    def->getStateDesc(def->getState(pass0(), 0), st);
    EXPECT_EQ(std::string(st.name) + " " + st.param + " " + std::to_string(st.index), "textureCUBE Tex2 2");
}

TEST_F(QirnReader, TextureLinesThatCannotNameOneTextureFail) {
    ASSERT_NE(header("//texture\n"), nullptr);
    EXPECT_STREQ(error, "Invalid texture line texture");
    // A slot number without a texture, a slot already taken, a slot number out of range.
    for (const char* line : {"//texture 3\n", "//texture Diffuse\n//texture 0 foo.png\n", "//texture 99999999999 foo.png\n"}) {
        ASSERT_NE(header(line), nullptr);
        EXPECT_EQ(std::string(error ? error : "").rfind("Invalid texture line texture", 0), 0u) << line;
    }
    // The counter passes over slots taken by explicit ones and by parameters of that name.
    ASSERT_NE(header("//float Tex0 : 1\n//texture 1 a.png\n//texture b.png\n"), nullptr);
    EXPECT_EQ(error, nullptr);
    EXPECT_EQ(param(2, &SParameter::name), "Tex2");
}

TEST_F(QirnReader, ParameterLinesMapSemanticsValuesAndFlags) {
    ASSERT_NE(header("//float4x4 WVP : WorldViewProjection\n"
                     "//float3 Tint : 1,0.5,0 color pixel\n"
                     "//float X : Surface_Glow\n"
                     "//float R : Surface_Roughness percent both\n"
                     "//float2 HalfPixelSize : HalfPixelSize;\n"
                     "//matrix M : World\n"
                     "//float4x4 P : ProjectionTranspose vertex\n"
                     "//float4x4 V : ViewTranspose color percent\n"
                     "//int Count : 3\n//integer N : 4\n//bool On : 1\n//float4 F4 : 1,2,,3,4\n//floatN Fn : Time0_X\n"
                     "//floatNRef Fr : Surface_Nothing\n"),
              nullptr);
    ASSERT_EQ(error, nullptr);
    SEffectDesc ed;
    def->getEffectDesc(ed);
    ASSERT_EQ(ed.parameterCount, 13u);  // the matrix line is ignored
    std::string semantics, types;
    for (u32 i = 0; i < 13; ++i) {
        semantics += param(i, &SParameter::semantic) + ",";
        types += std::to_string(def->getParameter(nullptr, i)->type) + ",";
    }
    // The pinned aliases (the transposed forms, the renamed surface channels).
    EXPECT_EQ(semantics, "WorldViewProjectionTranspose,,LW_Glow,Surface_Roughness,HalfPixelSize,ViewProjection,"
                         "ViewInverse,,,,,Time0_X,,");
    EXPECT_EQ(types, "6,4,2,2,3,6,6,7,7,1,5,2,2,");
    EXPECT_EQ(param(1, &SParameter::value), "1  0.5  0  ");
    EXPECT_EQ(param(10, &SParameter::value), "1  2  3  4  ");
    EXPECT_EQ(param(12, &SParameter::value), "Surface_Nothing  ");  // not a channel: the token is the value
    EXPECT_EQ(def->getAnnotationByName(def->getParameter(nullptr, 3), "UIWidget")->value, "Percent");
    EXPECT_EQ(def->getAnnotationByName(def->getParameter(nullptr, 6), "UIWidget")->value, "Color");

    // Bindings: pixel only, vertex only, both, and the vertex shader by default.
    auto names = [&](u32 s) {
        std::string out;
        for (u32 i = 0; const SParameter* b = def->getShaderAnnotation(shader(s), i); ++i) {
            EXPECT_EQ(b->name, b->value);
            out += std::string(b->name.c_str()) + " ";
        }
        return out;
    };
    EXPECT_EQ(names(0), "WVP X R HalfPixelSize P V Count N On F4 Fn Fr ");
    EXPECT_EQ(names(1), "Tint R ");
    // The failing line ends the reading; what came before stays.
    ASSERT_NE(header("//float A : 1\n//float B\n//float C : 2\n"), nullptr);
    EXPECT_STREQ(error, "Unknown error in Qirn shader");
    def->getEffectDesc(ed);
    EXPECT_EQ(ed.parameterCount, 1u);
}

TEST_F(QirnReader, LinesAndTokensAreBounded) {
    // The 32nd token is the rest of the line, so flag words after the 31st token are lost.
    std::string many = "//float P : 1";
    for (int i = 0; i < 28; ++i) many += " x";
    many += " percent pixel\n";
    ASSERT_NE(header(many), nullptr);
    EXPECT_EQ(error, nullptr);
    EXPECT_EQ(def->getAnnotationByName(def->getParameter(nullptr, 0), "UIWidget"), nullptr);
    EXPECT_EQ(def->getShaderAnnotation(shader(1), 0), nullptr);

    std::string fits = "//float P : 1";
    for (int i = 0; i < 26; ++i) fits += " x";
    fits += " percent pixel\n";  // 31 tokens
    ASSERT_NE(header(fits), nullptr);
    EXPECT_NE(def->getShaderAnnotation(shader(1), 0), nullptr);

    // A header line of 255 characters is read; a longer one is refused with its own message.
    std::string line255 = "//float P : 1 " + std::string(241, 'a');
    ASSERT_EQ(line255.size(), 255u);
    ASSERT_NE(header(line255 + "\n"), nullptr);
    EXPECT_EQ(error, nullptr);
    ASSERT_NE(header(line255 + "b\n"), nullptr);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(std::string(error).rfind("Header line longer than 255 characters", 0), 0u) << error;
    // Long lines outside the header do not matter.
    ASSERT_NE(load(loader, "long.hlsl", std::string(5000, 'c') + "\n// [QIRN_BEGIN] " + std::string(400, 'd') +
                                           "\n//float A : 1\n//[QIRN_END] " + std::string(400, 'e') + "\n"),
              nullptr);
    EXPECT_EQ(error, nullptr);
    EXPECT_EQ(param(0, &SParameter::name), "A");
}

TEST_F(QirnReader, CutAndGarbledFilesNeverCrash) {
    const std::string sample =
        "// glow shader\n// [QIRN_BEGIN]\n//title Glow\n//subject Post\n//comments blur, then add\n"
        "//function vertexMain vsGlow\n//function pixelMain psGlow\n//config tangents\n//config baseMaterial stone\n"
        "//texture Diffuse\n//texture 4 noise.png repeat filterPoint\n//texture env.dds cube noMipMap r32f\n"
        "//float4x4 WVP : WorldViewProjection\n//float3 Tint : 1,0.5,0 color pixel\n//float Glow : Surface_Glow both\n"
        "//bool On : 1 vertex\n// [QIRN_END]\nfloat4 psGlow() : COLOR { return 0; }\n";
    const std::string path = dir.path() + "cut.hlsl";
    for (size_t cut = 0; cut <= sample.size(); ++cut) {
        dir.write("cut.hlsl", sample.substr(0, cut));
        ASSERT_NE(loadPath(loader, path), nullptr);
        if (cut == 0) {
            EXPECT_STREQ(error, "Error");
        }
        // Every cut either reads or fails with a message; the default technique is always there.
        SEffectDesc ed;
        def->getEffectDesc(ed);
        EXPECT_EQ(ed.techniqueCount, cut == 0 ? 0u : 1u) << cut;
    }
    ASSERT_NE(loadPath(loader, path), nullptr);
    EXPECT_EQ(error, nullptr);
    SEffectDesc ed;
    def->getEffectDesc(ed);
    EXPECT_EQ(ed.parameterCount, 7u);

    // Bytes of every value, NULs and lone separators included.
    std::string garbage = "// [QIRN_BEGIN]\n";
    unsigned seed = 12345;
    for (int i = 0; i < 6000; ++i) {
        seed = seed * 1103515245u + 12345u;
        const char pick[] = "//texture float3 : , ; 1 \t\r\n\n\0x\xff";
        garbage += (i % 7 == 0) ? static_cast<char>(seed >> 16) : pick[(seed >> 16) % (sizeof(pick) - 1)];
    }
    for (size_t cut = 16; cut < garbage.size(); cut += 97) {
        dir.write("cut.hlsl", garbage.substr(0, cut));
        ASSERT_NE(loadPath(loader, path), nullptr);
    }
}

}  // namespace
