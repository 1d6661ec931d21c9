// Stand-ins for the bind and node-extension tests: constant records asked of one bind, and LightWave
// and hypervoxel surfaces that keep their values and tell what was asked of them.
#ifndef QIRN_TESTS_EFFECTS_BIND_FIXTURE_H
#define QIRN_TESTS_EFFECTS_BIND_FIXTURE_H

#include <irrlicht.h>

#include <cstring>
#include <vector>

#include "binds/IQeEffectBind.h"
#include "defs/IQeEffectDef.h"
#include "runtime/IQeEffect.h"
#include "runtime_fixture.h"
#include "surfaces/IQeSurface.h"

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

// The floats of the last constant handed over.
inline std::vector<float> lastSent(const RecordingServices& services) {
    return services.sets.empty() ? std::vector<float>() : services.sets.back().floats;
}

class TestLightwaveSurface : public IQeSurfaceLightwave {
public:
    TestLightwaveSurface() { std::memset(Channels, 0, sizeof(Channels)); }
    irr::u32 getType() const override { return EQEST_LIGHTWAVE; }
    void readMaterial(const irr::video::SMaterial&) override {}
    // Marks the material as its own: a type, a shininess and the colour texture.
    void writeMaterial(irr::video::SMaterial& m) override {
        m.MaterialType = irr::video::EMT_TRANSPARENT_ALPHA_CHANNEL;
        m.Shininess = 7.0f;
        m.TextureLayer[0].Texture = Channels[LWC_BaseColor].texture;
        ++writes;
    }
    bool needsTangents(bool* keepSecondUV) override {
        const bool bump = Channels[LWC_Bump].texture != nullptr;
        if (keepSecondUV) *keepSecondUV = bump && Channels[LWC_Luminosity].texture;
        return bump;
    }
    bool getEffectCompileParameters(irr::u32*, SQeSurfaceMacro*, irr::s32, irr::scene::ISceneNode*) override {
        return false;
    }
    bool setEffectTextures(IQeEffect*) override { return true; }
    bool setEffectTextureOnMaterial(irr::video::SMaterial* m, IQeEffect* effect, irr::u32 technique,
                                    irr::u32 pass) override {
        const SParameter* p = effect->getParameterBySemantic(nullptr, "LW_Tex_ReflectionImage");
        return !p || effect->setTextureOnMaterial(technique, pass, p, *m, Channels[LWC_ReflectionImage].texture);
    }
    IQeSurface* clone() override {
        TestLightwaveSurface* copy = new TestLightwaveSurface();
        copy->setChannels(Channels);
        return copy;
    }
    const LightwaveChannelRecord* getChannels() override { return Channels; }
    void setChannels(const LightwaveChannelRecord* c) override { std::memcpy(Channels, c, sizeof(Channels)); }
    void setChannelFloat(irr::u32 c, irr::f32 v) override { Channels[c].value.f[0] = v; }
    void setChannelInt(irr::u32 c, irr::s32 v) override { Channels[c].value.i[0] = v; }
    void setChannelVector(irr::u32 c, irr::f32 x, irr::f32 y, irr::f32 z) override {
        Channels[c].value.f[0] = x;
        Channels[c].value.f[1] = y;
        Channels[c].value.f[2] = z;
    }
    void setChannelTexture(irr::u32 c, irr::video::ITexture* t) override { Channels[c].texture = t; }
    irr::f32 getChannelFloat(irr::u32 c) override { return Channels[c].value.f[0]; }
    irr::s32 getChannelInt(irr::u32 c) override { return Channels[c].value.i[0]; }
    const irr::f32* getChannelVector(irr::u32 c) override { return Channels[c].value.f; }
    irr::video::ITexture* getChannelTexture(irr::u32 c) override { return Channels[c].texture; }

    int writes = 0;

private:
    LightwaveChannelRecord Channels[LWC_COUNT];
};

class TestHVSurface : public IQeSurfaceLightwaveHV {
public:
    TestHVSurface() { std::memset(&Params, 0, sizeof(Params)); }
    irr::u32 getType() const override { return EQEST_LIGHTWAVEHV; }
    void readMaterial(const irr::video::SMaterial&) override {}
    void writeMaterial(irr::video::SMaterial&) override {}
    bool needsTangents(bool*) override { return false; }
    bool getEffectCompileParameters(irr::u32*, SQeSurfaceMacro*, irr::s32, irr::scene::ISceneNode*) override {
        return false;
    }
    bool setEffectTextures(IQeEffect*) override { return true; }
    bool setEffectTextureOnMaterial(irr::video::SMaterial*, IQeEffect*, irr::u32, irr::u32) override { return true; }
    IQeSurface* clone() override {
        TestHVSurface* copy = new TestHVSurface();
        copy->Params = Params;
        return copy;
    }
    LightwaveHVParams* getParameters() override { return &Params; }
    void setParameters(const LightwaveHVParams* p) override { Params = *p; }

private:
    LightwaveHVParams Params;
};

}  // namespace qetest

#endif
