// The definition model's queries and value readers, and the library log.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <string>
#include <vector>

#include "effects_fixture.h"
#include "runtime_fixture.h"

using irr::f32;
using irr::s32;
using irr::u32;

namespace {

// A definition with every record kind: three parameters ("A", an unnamed one, "B"), one technique
// with one pass of one pixel shader, three states and two evaluate records; annotations on the
// effect, "A", the technique and the pass.
class HandDef : public qetest::HandDef {
public:
    HandDef() {
        annotate(addParam("A", EQEPT_FLOAT2, "1 2", "World").annotations, "UIWidget", "Color");
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
        annotate(pass.annotations, "UIWidget", "Color");
        annotate(Effect.techniques[0].annotations, "UIWidget", "Color");
        annotate(Effect.annotations, "UIWidget", "Color");
        Effect.title = "Title";
    }
    SParameter& param(u32 i) { return Effect.parameters[i]; }
};

TEST(EffectDef, RecordQueriesAnswerWithinBoundsOnly) {
    HandDef* d = new HandDef();
    EXPECT_STREQ(d->error, "Error");  // only a reader clears it
    SEffectDesc ed;
    ASSERT_TRUE(d->getEffectDesc(ed));
    EXPECT_STREQ(ed.title, "Title");
    EXPECT_EQ(ed.parameterCount, 3u);
    EXPECT_EQ(ed.techniqueCount, 1u);
    EXPECT_EQ(d->getTechnique(1), nullptr);
    const STechnique* t = d->getTechnique(0);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(d->getPass(t, 1), nullptr);
    const SPass* pass = d->getPass(t, 0);
    ASSERT_NE(pass, nullptr);
    SPassDesc pd;
    d->getPassDesc(pass, pd);
    EXPECT_EQ(pd.stateCount, 3u);
    EXPECT_EQ(pd.evaluateCount, 2u);
    EXPECT_EQ(d->getState(pass, 3), nullptr);
    EXPECT_EQ(d->getEvaluate(pass, 2), nullptr);
    EXPECT_EQ(d->getShader(pass, 1), nullptr);
    // A query on a record that was not found answers nothing.
    EXPECT_EQ(d->getPass(d->getTechnique(7), 0), nullptr);
    EXPECT_FALSE(d->getPassDesc(d->getPass(t, 9), pd));
    f32 none[2];
    EXPECT_FALSE(d->getValueFloats(d->getParameter(nullptr, 9), none, 2));

    // The first state of a name wins.
    const SState* state = d->getStateByName(pass, "blend_enable");
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->value, "true");
    EXPECT_EQ(d->getStateByName(pass, "Blend_Enable"), nullptr);

    // A state without param names no parameter even though a parameter with an empty name exists.
    EXPECT_EQ(d->getStateParameter(d->getState(pass, 0)), nullptr);
    EXPECT_EQ(d->getStateParameter(d->getState(pass, 1)), d->getParameter(nullptr, 2));
    EXPECT_EQ(d->getEvaluateParameter(d->getEvaluate(pass, 0)), nullptr);
    EXPECT_EQ(d->getEvaluateParameter(d->getEvaluate(pass, 1)), d->getParameter(nullptr, 0));

    const SShader* shader = d->getShader(pass, 0);
    const irr::c8* text = "x";
    EXPECT_TRUE(d->getShaderInlineSource(shader, 0, text));
    EXPECT_STREQ(text, "float4 main() : COLOR { return 1; }");
    EXPECT_FALSE(d->getShaderInlineSource(shader, 1, text));
    EXPECT_EQ(text, nullptr);
    const SParameter* bind = d->getShaderAnnotation(shader, 0);
    ASSERT_NE(bind, nullptr);
    EXPECT_EQ(d->getShaderAnnotation(shader, 1), nullptr);
    EXPECT_EQ(d->getBoundParameter(bind), d->getParameter(nullptr, 2));
    d->drop();
}

TEST(EffectDef, ParametersAndAnnotationsFollowTheirOwners) {
    HandDef* d = new HandDef();
    const SParameter* a = d->getParameter(nullptr, 0);
    ASSERT_NE(a, nullptr);
    // Parameters do not nest, whatever the parent.
    EXPECT_EQ(d->getParameter(a, 0), nullptr);
    EXPECT_EQ(d->getParameter(nullptr, 3), nullptr);
    // First match, exact case.
    EXPECT_EQ(d->getParameterBySemantic(a, "World"), a);
    EXPECT_EQ(d->getParameterBySemantic(nullptr, "world"), nullptr);
    EXPECT_EQ(d->getParameterByName(nullptr, "B"), d->getParameter(nullptr, 2));
    EXPECT_EQ(d->getParameterIndex(d->getParameter(nullptr, 2)), 2);

    // Annotations: the effect (null owner too), a parameter, a technique and a pass have lists;
    // shaders, states and evaluate records have none.
    const SParameter* effectNote = d->getAnnotation(nullptr, 0);
    ASSERT_NE(effectNote, nullptr);
    EXPECT_EQ(d->getAnnotation(nullptr, 1), nullptr);
    const SParameter* paramNote = d->getAnnotation(a, 0);
    ASSERT_NE(paramNote, nullptr);
    EXPECT_NE(paramNote, effectNote);
    EXPECT_EQ(d->getParameterIndex(paramNote), -1);
    const STechnique* t = d->getTechnique(0);
    const SPass* pass = d->getPass(t, 0);
    EXPECT_NE(d->getAnnotation(t, 0), nullptr);
    EXPECT_NE(d->getAnnotation(pass, 0), nullptr);
    EXPECT_EQ(d->getAnnotation(d->getShader(pass, 0), 0), nullptr);
    EXPECT_EQ(d->getAnnotation(d->getState(pass, 0), 0), nullptr);
    EXPECT_EQ(d->getAnnotation(d->getEvaluate(pass, 0), 0), nullptr);
    EXPECT_EQ(d->getAnnotationByName(a, "UIWidget"), paramNote);
    EXPECT_EQ(d->getAnnotationByName(a, "uiwidget"), nullptr);
    EXPECT_EQ(d->getAnnotationByName(d->getShader(pass, 0), "sym"), nullptr);
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
        {"1 2", 2, true, {1.0f, 2.0f}},
        {" \t1\r\n-2.5e1  ", 2, true, {1.0f, -25.0f}},
        // A comma is no gap: reading stops there, every further number is 0, and the answer is true.
        {"1,2", 3, true, {1.0f, 0.0f, 0.0f}},
        {"", 2, false, {0.0f, 0.0f}},
        {"7", 0, true, {}},
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
    s32 i = 0;
    p.value = " -42abc";
    EXPECT_TRUE(d->getValueInt(cp, i));
    EXPECT_EQ(i, -42);
    f32 f = 0;
    p.value = "0.25 9";
    EXPECT_TRUE(d->getValueFloat(cp, f));
    EXPECT_FLOAT_EQ(f, 0.25f);
    d->drop();
}

TEST(EffectLibLog, ForwardsAtOrAboveTheLoggersLevelAndCutsLongTexts) {
    qetest::LogCapture logger;
    logger.level = irr::ELL_INFORMATION;
    qeLibSetLogger(nullptr);
    qeLibLog(3, "nobody %d", 1);  // before the hub: nothing
    qeLibPrintf("nobody either\n");
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
    logger.setLogLevel(irr::ELL_DEBUG);
    qeLibLog(0, "debug now");
    EXPECT_EQ(logger.lines.back().second, "debug now");
}

}  // namespace
