// Constant records asked of one bind, for the bind and node-extension tests.
#ifndef QIRN_TESTS_EFFECTS_BIND_FIXTURE_H
#define QIRN_TESTS_EFFECTS_BIND_FIXTURE_H

#include <irrlicht.h>

#include <vector>

#include "binds/IQeEffectBind.h"
#include "defs/IQeEffectDef.h"
#include "runtime/IQeEffect.h"
#include "runtime_fixture.h"
#include "surfaces/CQeSurfaceLightwave.h"
#include "surfaces/CQeSurfaceLightwaveHV.h"

namespace qetest {

// One constant put to a bind: what the bind answers and what its setter hands over.
struct Constant {
    Constant(const char* semantic, irr::u32 type = EQEPT_FLOAT4, irr::u32 stage = EQESS_PIXEL, irr::s32 reg = -1) {
        record.stage = stage;
        record.type = type;
        record.name = "c";
        record.semantic = semantic;
        record.reg = reg;
    }
    // True when the bind claims the constant.
    bool ask(IQeEffectBind& bind) {
        record.bind = &bind;
        record.setter = bind.getBindFunction(&record, record.userData);
        return record.setter != nullptr;
    }
    // Runs the setter; the services record what it sent.
    bool set(RecordingServices& services) { return (record.bind->*record.setter)(&services, &record, record.userData); }
    SQeFxConstBind record;
};

// The floats the bind sends for the constant; empty when it does not claim it or sends nothing.
inline std::vector<float> sent(IQeEffectBind& bind, Constant c, RecordingServices& services) {
    services.sets.clear();
    if (!c.ask(bind)) return {};
    c.set(services);
    return services.sets.empty() ? std::vector<float>() : services.sets.back().floats;
}

}  // namespace qetest

#endif
