// The generic bind: which constants it takes and what reaches the material renderer services.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "binds/CQeEffectBind.h"
#include "runtime/IQeEffect.h"
#include "runtime_fixture.h"

using irr::f32;
using irr::s32;
using irr::u32;

namespace {

TEST(GenericBind, SetsEachTypeByNameOrRegister) {
    struct Case {
        u32 stage, type;
        s32 reg;
        std::vector<float> value;  // the parameter's first words
        bool vertex;               // the stage that receives it
        std::vector<float> sent;   // what the services receive (four per register)
    };
    const std::vector<Case> cases = {
        // floats by register: one register up to float4, four for a matrix
        {2, EQEPT_FLOAT3, 5, {1, 2, 3, 9}, true, {1, 2, 3, 9}},
        {4, EQEPT_FLOAT, 0, {7, 8, 9, 6}, false, {7, 8, 9, 6}},
        // by name: the type's own count
        {4, EQEPT_FLOAT2, -1, {1, 2, 3}, false, {1, 2}},
        {2, EQEPT_FLOAT4, -1, {1, 2, 3, 4}, true, {1, 2, 3, 4}},
    };
    qetest::RecordingServices services;
    CQeEffectBind bind;
    for (const Case& c : cases) {
        SQeFxParameter value;
        std::memcpy(value.data, c.value.data(), c.value.size() * 4);
        SQeFxConstBind record;
        record.stage = c.stage;
        record.type = c.type;
        record.name = "k";
        record.reg = c.reg;
        record.data = value.data;
        record.count = c.type == EQEPT_FLOAT ? 1 : c.type == EQEPT_FLOAT2 ? 2 : c.type == EQEPT_FLOAT3 ? 3 : 4;
        BindSetter setter = bind.getBindFunction(&record, record.userData);
        ASSERT_NE(setter, nullptr);
        services.sets.clear();
        EXPECT_TRUE((bind.*setter)(&services, &record, record.userData));
        ASSERT_EQ(services.sets.size(), 1u);
        EXPECT_EQ(services.sets[0].vertex, c.vertex);
        EXPECT_EQ(services.sets[0].reg, c.reg);
        EXPECT_EQ(services.sets[0].name, c.reg == -1 ? "k" : "");
        EXPECT_EQ(services.sets[0].floats, c.sent) << "type " << c.type << " register " << c.reg;
    }

    // a matrix by register takes four registers from the value
    SQeFxParameter matrix;
    for (int i = 0; i < 16; ++i) {
        const f32 v = static_cast<f32>(i);
        std::memcpy(matrix.data + 4 * i, &v, 4);
    }
    SQeFxConstBind record;
    record.stage = 2;
    record.type = EQEPT_FLOAT4X4;
    record.reg = 3;
    record.count = 16;
    record.data = matrix.data;
    BindSetter setter = bind.getBindFunction(&record, record.userData);
    services.sets.clear();
    (bind.*setter)(&services, &record, record.userData);
    ASSERT_EQ(services.sets.size(), 1u);
    EXPECT_EQ(services.sets[0].floats.size(), 16u);
    EXPECT_EQ(services.sets[0].floats[15], 15.0f);
}

TEST(GenericBind, BoolAndIntArriveAsOneFloatZeroPadded) {
    qetest::RecordingServices services;
    CQeEffectBind bind;
    SQeFxParameter value;
    value.data[0] = 1;  // a bool true
    std::memset(value.data + 4, 0x7F, 12);  // whatever lies behind must not reach the register
    SQeFxConstBind record;
    record.stage = 4;
    record.type = EQEPT_BOOL;
    record.name = "flag";
    record.reg = 2;
    record.data = value.data;
    record.count = 1;
    BindSetter setter = bind.getBindFunction(&record, record.userData);
    ASSERT_NE(setter, nullptr);
    (bind.*setter)(&services, &record, record.userData);
    record.type = EQEPT_INT;
    record.reg = -1;
    const s32 minusThree = -3;
    std::memcpy(value.data, &minusThree, 4);
    setter = bind.getBindFunction(&record, record.userData);
    (bind.*setter)(&services, &record, record.userData);
    ASSERT_EQ(services.sets.size(), 2u);
    EXPECT_EQ(services.sets[0].floats, (std::vector<float>{1.0f, 0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(services.sets[0].reg, 2);
    EXPECT_FALSE(services.sets[0].vertex);
    EXPECT_EQ(services.sets[1].floats, (std::vector<float>{-3.0f}));
    EXPECT_EQ(services.sets[1].name, "flag");
}

TEST(GenericBind, RefusesSamplersOtherTypesAndStages) {
    CQeEffectBind bind;
    SQeFxParameter value;
    SQeFxConstBind record;
    record.data = value.data;
    const u32 refused[][2] = {{2, EQEPT_SAMPLERCUBE}, {4, EQEPT_SAMPLER2D}, {4, EQEPT_NONE}, {4, EQEPT_USERTYPE},
                              {3, EQEPT_FLOAT}, {1, EQEPT_FLOAT}, {0, EQEPT_INT}};
    for (const auto& r : refused) {
        record.stage = r[0];
        record.type = r[1];
        EXPECT_EQ(bind.getBindFunction(&record, record.userData), nullptr) << r[0] << " " << r[1];
    }
    // the semantic plays no part
    record.stage = 2;
    record.type = EQEPT_FLOAT;
    record.semantic = "ViewPosition";
    EXPECT_NE(bind.getBindFunction(&record, record.userData), nullptr);
    EXPECT_TRUE(bind.onSetMaterial(nullptr, 0));
}

}  // namespace
