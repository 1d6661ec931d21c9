// The COLLADA FX reader: both profiles, states, evaluate records, shaders with their sources, compiler
// targets and uniform binds; and documents cut short or broken.
#include <gtest/gtest.h>

#include <string>

#include "defs/CQeEffectDefCollada.h"
#include "defs_fixture.h"

using irr::u32;

namespace {

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

}  // namespace
