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

}  // namespace
