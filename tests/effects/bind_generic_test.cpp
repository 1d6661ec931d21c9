// The generic bind: which constants it takes, and the forms the effect's callback test does not reach.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "binds/CQeEffectBind.h"
#include "runtime/IQeEffect.h"
#include "runtime_fixture.h"

using irr::u32;

namespace {

TEST(GenericBind, SendsTheTypesCountOrWholeRegisters) {
    qetest::RecordingServices services;
    CQeEffectBind bind;
    SQeFxParameter value;
    const float floats[4] = {1, 2, 3, 4};
    std::memcpy(value.data, floats, sizeof(floats));
    SQeFxConstBind record;
    record.stage = 4;
    record.name = "k";
    record.data = value.data;
    auto send = [&](u32 type, int count, int reg) {
        record.type = type;
        record.count = count;
        record.reg = reg;
        BindSetter setter = bind.getBindFunction(&record, record.userData);
        ASSERT_NE(setter, nullptr);
        (bind.*setter)(&services, &record, record.userData);
    };
    send(EQEPT_FLOAT2, 2, -1);  // a float2 by name: two floats
    send(EQEPT_FLOAT3, 3, 7);   // a float3 by register: one whole register
    // a bool by register: one float, the rest of the register zero whatever follows in the value
    value.data[0] = 1;
    std::memset(value.data + 1, 0, 3);
    send(EQEPT_BOOL, 1, 7);
    ASSERT_EQ(services.sets.size(), 3u);
    EXPECT_EQ(services.sets[0].name, "k");
    EXPECT_EQ(services.sets[0].floats, (std::vector<float>{1, 2}));
    EXPECT_EQ(services.sets[1].reg, 7);
    EXPECT_EQ(services.sets[1].floats.size(), 4u);
    EXPECT_EQ(services.sets[2].floats, (std::vector<float>{1, 0, 0, 0}));
    EXPECT_FALSE(services.sets[2].vertex);
}

}  // namespace
