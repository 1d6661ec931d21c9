// The effect definitions: the model's queries and value readers, the library log, and both readers
// (the COLLADA FX reader and the shader-header reader) with their error texts and broken files.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <string>
#include <vector>

#include "defs/CQeEffectDefCollada.h"
#include "defs/CQeEffectDefQirn.h"
#include "effects_fixture.h"
#include "file_fixtures.h"
#include "runtime_fixture.h"

using irr::f32;
using irr::s32;
using irr::u32;

namespace {

// Three parameters ("A", an unnamed one, "B"), one pass of one pixel shader, three states and two
// evaluate records.
class HandDef : public qetest::HandDef {
public:
    HandDef() {
        addParam("A", EQEPT_FLOAT2, "1 2", "World");
        addParam("", EQEPT_NONE, "", "Second");
        addParam("B", EQEPT_NONE, "", "World");
        SPass& pass = addPass();
        pass.shaders.erase(0);
        pass.shaders[0].inlineSources.push_back("float4 main() : COLOR { return 1; }");
        bind(pass.shaders[0], "sym", "B");
        state(pass, "blend_enable", "true");
        state(pass, "texture2D", "", "B", 3);
        state(pass, "blend_enable", "false");
        pass.evaluates.push_back(SEvaluate());
        pass.evaluates.getLast().name = "color_target";
        pass.evaluates.push_back(pass.evaluates[0]);
        pass.evaluates.getLast().value = "A";
    }
    SParameter& param(u32 i) { return Effect.parameters[i]; }
};

TEST(EffectDef, RecordQueriesAnswerWithinBoundsOnly) {
    HandDef* d = new HandDef();
    EXPECT_EQ(d->getTechnique(1), nullptr);
    const STechnique* t = d->getTechnique(0);
    EXPECT_EQ(d->getPass(t, 1), nullptr);
    const SPass* pass = d->getPass(t, 0);
    ASSERT_NE(pass, nullptr);
    SPassDesc pd;
    EXPECT_EQ(d->getState(pass, 3), nullptr);
    EXPECT_EQ(d->getEvaluate(pass, 2), nullptr);
    EXPECT_EQ(d->getShader(pass, 1), nullptr);
    // A query on a record that was not found answers nothing.
    EXPECT_EQ(d->getPass(d->getTechnique(7), 0), nullptr);
    EXPECT_FALSE(d->getPassDesc(d->getPass(t, 9), pd));
    f32 none[2];
    EXPECT_FALSE(d->getValueFloats(d->getParameter(nullptr, 9), none, 2));

    // The first state of a name wins.
    EXPECT_EQ(d->getStateByName(pass, "blend_enable")->value, "true");

    // A state without param names no parameter even though a parameter with an empty name exists.
    EXPECT_EQ(d->getStateParameter(d->getState(pass, 0)), nullptr);
    EXPECT_EQ(d->getStateParameter(d->getState(pass, 1)), d->getParameter(nullptr, 2));
    EXPECT_EQ(d->getEvaluateParameter(d->getEvaluate(pass, 0)), nullptr);

    const SShader* shader = d->getShader(pass, 0);
    const irr::c8* text = "x";
    EXPECT_TRUE(d->getShaderInlineSource(shader, 0, text));
    EXPECT_FALSE(d->getShaderInlineSource(shader, 1, text));
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(d->getShaderAnnotation(shader, 1), nullptr);
    d->drop();
}

struct FloatsCase {
    const char* value;
    u32 count;
    bool result;
    std::vector<f32> expected;
};

TEST(EffectDef, ValueFloatsReadBlankSeparatedNumbers) {
    const FloatsCase cases[] = {
        {"1 2", 3, false, {1.0f, 2.0f, 0.0f}},
        {" \t1\r\n-2.5e1  ", 2, true, {1.0f, -25.0f}},
        // A comma is no gap: reading stops there, every further number is 0, and the answer is true.
        {"1,2", 3, true, {1.0f, 0.0f, 0.0f}},
        {"", 2, false, {0.0f, 0.0f}},
    };
    for (const FloatsCase& c : cases) {
        HandDef* d = new HandDef();
        d->param(0).value = c.value;
        f32 out[4] = {9, 9, 9, 9};
        EXPECT_EQ(d->getValueFloats(d->getParameter(nullptr, 0), out, c.count), c.result) << c.value;
        for (u32 i = 0; i < c.count; ++i) EXPECT_FLOAT_EQ(out[i], c.expected[i]) << c.value << " #" << i;
        EXPECT_EQ(out[c.count], 9.0f) << "wrote past the count";
        d->drop();
    }
}

TEST(EffectDef, ValueIntsBoolAndIntReadLikeTheirRules) {
    HandDef* d = new HandDef();
    SParameter& p = d->param(0);
    const SParameter* cp = &p;
    s32 ints[3] = {5, 5, 5};
    p.value = "2.9 -2.9";
    EXPECT_FALSE(d->getValueInts(cp, ints, 3));
    EXPECT_EQ(ints[0], 2);
    EXPECT_EQ(ints[1], -2);
    EXPECT_EQ(ints[2], 0);
    p.value = "1e20 -1e20";
    EXPECT_TRUE(d->getValueInts(cp, ints, 2));
    EXPECT_EQ(ints[0], 2147483647);
    EXPECT_EQ(ints[1], -2147483647 - 1);

    bool b = false;
    const std::pair<const char*, bool> bools[] = {{"1", true}, {"0", false}, {"true", false}, {"  12x", true}, {"", false}};
    for (const auto& c : bools) {
        p.value = c.first;
        b = !c.second;
        EXPECT_TRUE(d->getValueBool(cp, b));
        EXPECT_EQ(b, c.second) << c.first;
    }
    d->drop();
}

TEST(EffectLibLog, ForwardsAtOrAboveTheLoggersLevelAndCutsLongTexts) {
    qetest::LogCapture logger;
    logger.level = irr::ELL_INFORMATION;
    qeLibSetLogger(nullptr);
    qeLibLog(3, "nobody %d", 1);  // before the hub: nothing
    EXPECT_TRUE(logger.lines.empty());

    qeLibSetLogger(&logger);
    qeLibLog(0, "QeGPU: compile shader %s", "a.hlsl");
    qeLibLog(3, "CQeEffect::onSetShaderConstants : %s", "onSetMaterial() failed, abort");
    qeLibLog(2, "warn");
    ASSERT_EQ(logger.lines.size(), 2u);
    EXPECT_EQ(logger.count("CQeEffect::onSetShaderConstants : onSetMaterial() failed, abort", irr::ELL_ERROR), 1);
    EXPECT_EQ(logger.count("warn", irr::ELL_WARNING), 1);
    qeLibLog(3, "%s", std::string(700, 'x').c_str());
    EXPECT_EQ(logger.lines.back().second, std::string(511, 'x'));
}

// A null 3D engine device, a temporary folder and the reader under test.
class DefsTest : public testing::Test {
protected:
    void SetUp() override {
        device = irr::createDevice(irr::video::EDT_NULL);
        ASSERT_NE(device, nullptr);
        fs = device->getFileSystem();
    }
    void TearDown() override {
        if (loader) loader->drop();
        if (device) device->drop();
    }

    // Reads a file written with the given content; keeps the definition and the error text.
    IQeEffectDef* load(IQeEffectDefLoader* loader, const std::string& name, const std::string& content,
                       bool isOpenGL = false) {
        const std::string path = dir.write(name, content);
        return loadPath(loader, path, isOpenGL);
    }
    IQeEffectDef* loadPath(IQeEffectDefLoader* loader, const std::string& path, bool isOpenGL = false) {
        if (def) def->drop();
        error = "unset";
        def = loader->createEffectDef(fs, path.c_str(), isOpenGL, &error);
        return def;
    }
    ~DefsTest() override {
        if (def) def->drop();
    }

    IQeEffectDefLoader* loader = nullptr;  // set by the reader's test
    irr::IrrlichtDevice* device = nullptr;
    irr::io::IFileSystem* fs = nullptr;
    qetest::TempDir dir{"defs"};
    IQeEffectDef* def = nullptr;
    const irr::c8* error = nullptr;
};

const char* const Sample = R"(<?xml version="1.0" encoding="utf-8"?>
<!-- a test document -->
<COLLADA xmlns="http://www.collada.org/2008/03/COLLADASchema" version="1.5.0">
  <asset><title>Document title</title></asset>
  <library_images><image id="img"/></library_images>
  <library_effects>
    <effect id="first" name="First">
      <newparam sid="Count"><int>3</int></newparam>
    </effect>
    <effect id="glowfx" name="Glow">
      <asset><title> Glow effect </title></asset>
      <annotate name="Author"><string>me</string></annotate>
      <annotate name="Scale"><float>2</float></annotate>
      <newparam sid="Tint">
        <annotate name="UIWidget"><string>Color</string></annotate>
        <semantic>DIFFUSE</semantic>
        <float3> 1 0.5
          0 </float3>
      </newparam>
      <newparam sid="WVP"><semantic>WorldViewProjection</semantic><float4x4>1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1</float4x4></newparam>
      <newparam sid="On"><bool>1</bool></newparam>
      <newparam sid="Diffuse">
        <sampler2D>
          <instance_image url="#img"><extra/></instance_image>
          <wrap_s>WRAP</wrap_s><wrap_t>CLAMP</wrap_t><wrap_p>MIRROR</wrap_p>
          <minfilter>LINEAR</minfilter><magfilter>POINT</magfilter><mipfilter>NONE</mipfilter>
        </sampler2D>
      </newparam>
      <profile_CG>
        <include sid="cg_src" url="glow.cg">
        </include>
        <technique sid="cg">
          <pass sid="blur">
            <states>
              <blend_enable value="true"/>
              <blend_func>
                <src value="SRC_ALPHA"/>
                <dest value="ONE" param="DestParam" index="1.9"/>
                <odd/>
              </blend_func>
              <depth_mask><value>false</value><param>Mask</param></depth_mask>
              <texture2D index="3" param="Diffuse"/>
            </states>
            <evaluate>
              <color_target index="1"><param ref="Target"/><instance_image url="#rt"/></color_target>
              <depth_target><param ref="Depth"/></depth_target>
              <color_clear index="0">0 0 0 1</color_clear>
              <stencil_clear>0</stencil_clear>
              <draw>SCENE_GEOMETRY</draw>
            </evaluate>
            <program>
              <shader stage="VERTEX">
                <sources entry="vsMain"><import ref="cg_src"/></sources>
                <compiler platform="PC" target="vs_3_0"/>
                <bind_uniform symbol="wvp"><param ref="WVP"/></bind_uniform>
              </shader>
              <shader stage="FRAGMENT">
                <sources entry="psMain">
                  <inline><![CDATA[float4 psMain() : COLOR { return 1 < 2; }]]></inline>
                  <inline>second part</inline>
                  <import ref="nowhere"/>
                </sources>
                <bind_uniform symbol="tint"><param ref="Tint"/></bind_uniform>
              </shader>
              <bind_uniform symbol="ignored"><param ref="On"/></bind_uniform>
            </program>
          </pass>
          <pass/>
        </technique>
        <technique sid="empty"/>
      </profile_CG>
    </effect>
  </library_effects>
</COLLADA>
)";

class ColladaReader : public DefsTest {
protected:
    ColladaReader() { loader = createEffectDefLoaderCollada(); }
    const SParameter* param(const char* name) { return def->getParameterByName(nullptr, name); }
};

TEST_F(ColladaReader, ExtensionsAndMissingFiles) {
    EXPECT_TRUE(loader->isALoadableFileExtension("fx/glow.dae"));
    EXPECT_TRUE(loader->isALoadableFileExtension("glow.XML"));
    EXPECT_FALSE(loader->isALoadableFileExtension("dae"));
    ASSERT_NE(loadPath(loader, dir.path() + "none.dae"), nullptr);
    EXPECT_STREQ(error, "File Not Found");
}

TEST_F(ColladaReader, EffectsMergeWithTheirParametersAndAsset) {
    ASSERT_NE(load(loader, "glow.dae", Sample), nullptr);
    ASSERT_EQ(error, nullptr);
    SEffectDesc ed;
    def->getEffectDesc(ed);
    EXPECT_STREQ(ed.id, "glowfx");
    EXPECT_STREQ(ed.title, "Glow effect");  // trimmed
    ASSERT_EQ(ed.parameterCount, 5u);
    EXPECT_EQ(def->getParameter(nullptr, 0)->name, "Count");  // from the first effect

    const SParameter* tint = param("Tint");
    ASSERT_NE(tint, nullptr);
    EXPECT_EQ(tint->value, "1 0.5\n          0");
    EXPECT_EQ(def->getAnnotationByName(tint, "UIWidget")->value, "Color");
    const std::pair<const char*, u32> types[] = {{"WVP", 6}, {"On", 1}, {"Diffuse", 9}};
    for (const auto& t : types) EXPECT_EQ(param(t.first)->type, t.second) << t.first;
    SSamplerDesc sd;
    def->getSamplerDesc(param("Diffuse"), sd);
    EXPECT_EQ(std::string(sd.image) + sd.wrap_s + sd.wrap_t + sd.wrap_p + sd.minfilter + sd.magfilter + sd.mipfilter,
              "#imgWRAPCLAMPMIRRORLINEARPOINTNONE");

    // Effect annotations: only string values are read.
    EXPECT_EQ(def->getAnnotationByName(nullptr, "Author")->value, "me");
    ASSERT_NE(def->getAnnotationByName(nullptr, "Scale"), nullptr);
    EXPECT_EQ(def->getAnnotationByName(nullptr, "Scale")->value, "");
}

TEST_F(ColladaReader, Direct3DReadsTheCgProfile) {
    ASSERT_NE(load(loader, "glow.dae", Sample, false), nullptr);
    ASSERT_EQ(error, nullptr);
    SEffectDesc ed;
    def->getEffectDesc(ed);
    ASSERT_EQ(ed.techniqueCount, 2u);
    const STechnique* t = def->getTechnique(0);
    STechniqueDesc td;
    def->getTechniqueDesc(t, td);
    EXPECT_EQ(td.passCount, 2u);

    const SPass* pass = def->getPass(t, 0);
    SPassDesc pd;
    def->getPassDesc(pass, pd);
    EXPECT_STREQ(pd.name, "blur");

    // States: the blend factors come before their blend_func.
    ASSERT_EQ(pd.stateCount, 6u);
    const char* names[] = {"blend_enable", "blend_func src", "blend_func dest", "blend_func", "depth_mask", "texture2D"};
    for (u32 i = 0; i < 6; ++i) EXPECT_EQ(def->getState(pass, i)->name, names[i]) << i;
    SStateDesc sd;
    def->getStateDesc(def->getState(pass, 2), sd);
    EXPECT_STREQ(sd.value, "ONE");
    EXPECT_STREQ(sd.param, "DestParam");
    EXPECT_EQ(sd.index, 1);
    EXPECT_EQ(def->getStateParameter(def->getState(pass, 5)), param("Diffuse"));

    // Evaluate records in document order.
    ASSERT_EQ(pd.evaluateCount, 5u);
    std::string evaluates;
    SEvaluateDesc ev;
    for (u32 i = 0; i < 5; ++i) {
        def->getEvaluateDesc(def->getEvaluate(pass, i), ev);
        evaluates += std::string(ev.name) + " " + std::to_string(ev.index) + " " + ev.value + ";";
    }
    EXPECT_EQ(evaluates, "color_target 1 Target;depth_target 0 Depth;color_clear 0 0 0 0 1;stencil_clear 0 0;"
                         "draw 0 SCENE_GEOMETRY;");

    // Shaders: sources, compiler targets and the shader's own uniform binds.
    ASSERT_EQ(pd.shaderCount, 2u);
    SShaderDesc vs, ps;
    def->getShaderDesc(def->getShader(pass, 0), vs);
    def->getShaderDesc(def->getShader(pass, 1), ps);
    EXPECT_STREQ(vs.source, "glow.cg");  // the include's url
    EXPECT_EQ(vs.target, 3u);
    EXPECT_EQ(def->getBoundParameter(def->getShaderAnnotation(def->getShader(pass, 0), 0)), param("WVP"));
    EXPECT_EQ(ps.target, 0u);  // no compiler under Direct3D
    EXPECT_STREQ(ps.source, "nowhere");  // no include of that sid
    ASSERT_EQ(ps.inlineSourceCount, 2u);
    const char* text = nullptr;
    def->getShaderInlineSource(def->getShader(pass, 1), 0, text);
    EXPECT_STREQ(text, "float4 psMain() : COLOR { return 1 < 2; }");  // CDATA kept as it is
    EXPECT_EQ(ps.annotationCount, 1u);  // the program's bind_uniform is skipped
}

TEST_F(ColladaReader, CutAndBrokenDocumentsAreRefused) {
    const std::string sample = Sample;
    const std::string path = dir.path() + "cut.dae";
    const size_t rootEnd = sample.find("</COLLADA>") + std::strlen("</COLLADA");
    u32 refused = 0;
    testing::internal::CaptureStdout();  // the skipping messages of every cut
    for (size_t cut = 0; cut <= sample.size(); ++cut) {
        dir.write("cut.dae", sample.substr(0, cut));
        ASSERT_NE(loadPath(loader, path), nullptr) << cut;
        if (cut < rootEnd) {
            // Cut before the root's end tag: refused, with the reason.
            EXPECT_NE(error, nullptr) << cut;
            refused += error != nullptr;
        } else {
            EXPECT_EQ(error, nullptr) << cut;
        }
    }
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(refused, rootEnd);

    const char* const broken[] = {
        "<COLLADA><library_effects></COLLADA></library_effects>",
        "<COLLADA><library_effects><effect></library_effects>",
        "<!-- unterminated <COLLADA>",
        "<COLLADA><library_effects><effect id=\"a><newparam sid=\"x\"/></effect></library_effects></COLLADA>",
        "<COLLADA><![CDATA[ never ends",
        "<COLLADA><![CDATA]]>",  // closed inside its own opening
        "just text",
        "",
        "\xff\xfe<\0C\0",
        "\0\0\xfe\xff\0\0\0<\0\0\0C\0",
        "<a></a></b></c><COLLADA>",
    };
    for (const char* text : broken) {
        dir.write("cut.dae", std::string(text, std::strlen(text) + (text[0] == '\xff' ? 4 : text[0] == 0 ? 13 : 0)));
        ASSERT_NE(loadPath(loader, path), nullptr) << text;
        EXPECT_NE(error, nullptr) << text;
    }
    const std::pair<const char*, const char*> messages[] = {
        {"<COLLADA><library_effects></COLLADA></library_effects>",
         "COLLADA end tag </COLLADA> does not close <library_effects>"},
        {"<COLLADA><library_effects><effect><newparam sid=\"x\"><float>1</float>", "COLLADA document ends inside <newparam>"},
        {"<?xml version=\"1.0\"?><!-- nothing -->", "COLLADA document holds no element"},
        // Only the final '>' missing: everything was read.
        {"<COLLADA><library_effects><effect id=\"e\"/></library_effects></COLLADA", nullptr}};
    for (const auto& m : messages) {
        dir.write("cut.dae", m.first);
        loadPath(loader, path);
        EXPECT_STREQ(error, m.second) << m.first;
    }
}

TEST_F(ColladaReader, SkippedSectionsAreReportedOnTheStandardOutput) {
    testing::internal::CaptureStdout();
    load(loader, "glow.dae", Sample, false);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("COLLADA loader warning: Wrong tag usage found library_images\nCOLLADA skipping section library_images\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("COLLADA skipping section float\n"), std::string::npos) << out;  // a float annotation
    EXPECT_NE(out.find("COLLADA skipping section odd\n"), std::string::npos) << out;
    EXPECT_NE(out.find("COLLADA skipping section bind_uniform\n"), std::string::npos) << out;
    EXPECT_NE(out.find("COLLADA Warning missing include reference for source ref 'nowhere'\n"), std::string::npos) << out;
    // Neither the document's asset nor the profile of the other driver is reported.
    EXPECT_EQ(out.find("section asset"), std::string::npos) << out;

    testing::internal::CaptureStdout();
    load(loader, "other.xml", "<scene><COLLADA/></scene>");
    out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "COLLADA skipping section scene\n");
}

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
