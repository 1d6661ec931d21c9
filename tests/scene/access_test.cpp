// The scene access layer: opening by name, and the query tables over the sample scene (25 frames per
// second, frames 0 to 49).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "log.h"
#include "scene_access.h"
#include "scene_samples.h"
#include "scene_writer.h"

namespace {

SceneHandle* openText(const std::string& text) {
    std::vector<uint8_t> bytes = qeSceneWriteDescription(text);
    return qeSceneOpenBinaryBuffer(bytes.data(), bytes.size());
}

class SceneAccess : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(h = openText(qeSceneSampleDescription()), nullptr); }
    void TearDown() override { qeSceneCloseBinary(h); }
    SceneHandle* h = nullptr;
};

void expectVec(const SceneVec3& v, float x, float y, float z) {
    EXPECT_NEAR(v.X, x, 1e-4f);
    EXPECT_NEAR(v.Y, y, 1e-4f);
    EXPECT_NEAR(v.Z, z, 1e-4f);
}

TEST_F(SceneAccess, SceneBackdropAndImageProcessing) {
    EXPECT_EQ(h->scene->getCameraIndex(h, 0.0f), 0);
    EXPECT_EQ(h->scene->getCameraIndex(h, 1000.0f), 1);
    expectVec(h->backdrop->getBackdropColor(h), 0.1f, 0.2f, 0.3f);  // the zenith's

    const ImageProcessingQueryTable* p = h->processing;
    EXPECT_FLOAT_EQ(p->getGlowIntensity(h, 60.0f), 1.5f);  // channel 0, 1, 2 at frame 1.5
    ShaderValuesRecord r;
    std::memset(&r, 0x55, sizeof r);
    p->getImageFilterShader(h, 0, &r, 0.0f);  // not a camera shader: untouched
    EXPECT_EQ(r.paramCount, 0x55555555);
    p->getImageFilterShader(h, 1, &r, 0.0f);
    ASSERT_EQ(r.paramCount, 3);
    EXPECT_FLOAT_EQ(r.params[1].value[0], 0.75f);  // its channel
    EXPECT_EQ(p->isCameraShaderActive(h, 0, 360.0f), 0);  // frame 9
    EXPECT_EQ(p->isCameraShaderActive(h, 0, 400.0f), 1);  // frame 10
    EXPECT_EQ(p->isCameraShaderActive(h, 0, 800.0f), 0);  // frame 20
    EXPECT_EQ(p->isCameraShaderActive(h, 1, 400.0f), 0);  // no such camera shader
    float glowMin, key[3], match, colorize[3], att, angle, compose;
    p->getStreakParams(h, &glowMin, key, &match, colorize, &att, &angle, &compose, 0.0f);
    EXPECT_NEAR(angle, 90.0f, 1e-4);  // radians to degrees
}

TEST_F(SceneAccess, ObjectsAndSurfaces) {
    const ObjectQueryTable* o = h->objects;
    EXPECT_EQ(o->isObjectEmpty(h, 1), 1);
    SceneVec3 v;
    o->getObjectVector(&v, h, 0, QE_VEC_POSITION, 100.0f);
    expectVec(v, 25.0f, 1.0f, 2.0f);
    o->getObjectVector(&v, h, 0, 7, 20.0f);  // no such vector
    expectVec(v, 0, 0, 0);
    ASSERT_EQ(o->getObjectSurfaceCount(h, 0), 2);
    ObjectSurfaceRecord s[2];
    std::memset(s, 0, sizeof s);
    o->getObjectSurfaces(h, 0, s, 20.0f);
    EXPECT_FLOAT_EQ(s[0].channels[QE_SURF_BASECOLOR].value.f[1], 0.8f);  // its channels
    EXPECT_FLOAT_EQ(s[0].channels[QE_SURF_DIFFUSE].value.f[0], 0.5f);    // 0 -> 1 halfway
    EXPECT_FLOAT_EQ(s[0].shader.params[0].value[2], 0.5f);               // Color.Z
    EXPECT_STREQ(s[1].shader.pixelFunction, "ps_main");
    ASSERT_EQ(s[1].shader.paramCount, 1);
    EXPECT_FLOAT_EQ(s[1].shader.params[0].value[0], 0.6f);
}

TEST_F(SceneAccess, LightsCamerasAndEmitters) {
    const LightQueryTable* l = h->lights;
    SceneVec3 v;
    l->getAmbientColor(&v, h, 0.0f);
    expectVec(v, 1.0f, 0.5f, 0.0f);  // channels 2, 0.5, -1 clamped
    float cone, edge;
    l->getLightConeAngles(h, 0, &cone, &edge, 0.0f);
    EXPECT_NEAR(cone, 57.29578f, 1e-3);  // channel
    EXPECT_NEAR(edge, 5.729578f, 1e-3);  // constant
    EXPECT_FLOAT_EQ(l->getLightRange(h, 0, 0.0f), 0.0f);      // channel -3 clamped
    EXPECT_FLOAT_EQ(l->getLightIntensity(h, 0, 0.0f), 2.0f);  // a channel is not clamped
    SceneHandle* bright = openText(R"(LIGH { NAME "B" PRPS { PROP float intensity 1.5 } })");
    EXPECT_FLOAT_EQ(bright->lights->getLightIntensity(bright, 0, 0.0f), 1.0f);  // a constant is
    qeSceneCloseBinary(bright);

    float hf, vf;
    h->cameras->getCameraFov(h, 0, &hf, &vf, 0.0f);  // zoom channel 1.0
    EXPECT_NEAR(hf, 90.0f, 1e-4);
    EXPECT_NEAR(vf, 90.0f, 1e-4);
    h->cameras->getCameraFov(h, 1, &hf, &vf, 0.0f);  // stored angles in degrees
    EXPECT_NEAR(hf, 28.64789f, 1e-3);
    EXPECT_NEAR(vf, 14.32394f, 1e-3);

    const FxEmitterQueryTable* f = h->fxEmitters;
    EXPECT_FLOAT_EQ(f->getFxEmitterBirthRate(h, 0, 400.0f), 0.0f);  // channel -5 clamped
    EXPECT_FLOAT_EQ(f->getFxEmitterLifeTime(h, 0, 0.0f), 3.0f);     // 75 frames at 25 fps
    int blend, useImage;
    float color[3], rotation;
    f->getFxEmitterLook(h, 0, &blend, &useImage, color, &rotation);
    EXPECT_EQ(blend, 2);  // clip alpha 4
    const float* keys = nullptr;
    EXPECT_EQ(f->getFxEmitterColorGradient(h, 0, &keys), 8);
    EXPECT_FLOAT_EQ(keys[1], 0.5f);
    // A fixed emitter gives no birth before its start frame; a scene without frame rate no life time.
    SceneHandle* e = openText(R"(FXEM { PRPS { PROP float BirthRate 100 PROP int Fixed 1 PROP int StartFrame 10
                                              PROP float2 LifeTime 50 25 } })");
    EXPECT_FLOAT_EQ(e->fxEmitters->getFxEmitterLifeTime(e, 0, 0.0f), 0.0f);
    qeSceneCloseBinary(e);
    e = openText(R"(SCEN { PRPS { PROP float framesPerSecond 25 } }
        FXEM { PRPS { PROP float BirthRate 100 PROP int Fixed 1 PROP int StartFrame 10 } })");
    EXPECT_FLOAT_EQ(e->fxEmitters->getFxEmitterBirthRate(e, 0, 360.0f), 0.0f);
    EXPECT_FLOAT_EQ(e->fxEmitters->getFxEmitterBirthRate(e, 0, 400.0f), 100.0f);
    qeSceneCloseBinary(e);
}

TEST(SceneAccessSafety, EmptySceneAndBadIndexesAnswerZeros) {
    SceneHandle* h = openText("SCEN { }");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->scene->getCameraIndex(h, 500.0f), 0);
    float hf = 1, vf = 1;
    h->cameras->getCameraFov(h, 0, &hf, &vf, 0.0f);
    EXPECT_EQ(hf, 0.0f);
    SceneVec3 v(1, 1, 1);
    h->lights->getAmbientColor(&v, h, 0.0f);
    expectVec(v, 0, 0, 0);
    EXPECT_EQ(h->objects->getObjectName(h, -1), nullptr);
    const float* keys = &hf;
    EXPECT_EQ(h->fxEmitters->getFxEmitterSizeGradient(h, 0, &keys), 0);
    EXPECT_EQ(keys, nullptr);
    qeSceneCloseBinary(h);
}

TEST(SceneAccessSafety, GeometryFileNames) {
    SceneHandle* h = openText(R"(
        OBJE { NAME "ship" FNAM "ship.lwo" }  OBJE { NAME "ship:Layer3" FNAM "ship.obj" }
        OBJE { NAME "a%s%n:Layer4" FNAM "a%s%n.lwo" }  OBJE { NAME "other:Layer5" FNAM "ship.lwo" }
        OBJE { NAME "ship:Layer7" FNAM "models/ship.lwo.bak" }  OBJE { NAME "ship:Layer3" FNAM "ship.lwo" })");
    const char* want[] = {"ship.layer1.x", "ship.obj", "a%s%n.layer4.x", "ship.layer1.x", "models/ship.layer1.x",
                          "ship.layer3.x"};
    for (int i = 0; i < 6; ++i) EXPECT_STREQ(h->objects->getObjectGeometryFile(h, i), want[i]) << i;
    EXPECT_EQ(h->objects->getObjectGeometryFile(h, 6), nullptr);
    qeSceneCloseBinary(h);
}

TEST(SceneAccessSafety, OpenCloseAndSaveByName) {
    std::vector<uint8_t> bytes = qeSceneWriteDescription(qeSceneSampleDescription());
    for (const char* name : {"access_sample.qirn", "access_sample.lws.ini.qirn", "access_sample.bin"})
        ASSERT_TRUE(qeSceneWriteFile(name, bytes));
    SceneHandle* h = qeSceneFileOpen("access_sample.qirn");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->binary, 1);
    qeLogClearLastError();
    EXPECT_EQ(qeSceneFileSaveBinary(h, "saved.qirn"), -1);  // saving is not done, and says so
    EXPECT_NE(qeLogGetLastError(nullptr), nullptr);
    std::FILE* saved = std::fopen("saved.qirn", "rb");
    EXPECT_EQ(saved, nullptr);
    if (saved) std::fclose(saved);
    qeSceneFileClose(h);
    for (const char* name : {"access_sample.lws.ini.qirn", "access_sample.bin", "missing.qirn"})
        EXPECT_EQ(qeSceneFileOpen(name), nullptr) << name;
    EXPECT_EQ(qeSceneFileOpen(nullptr), nullptr);
    qeSceneFileClose(nullptr);
    EXPECT_EQ(qeSceneFileSaveBinary(nullptr, "x.qirn"), -1);
    for (const char* name : {"access_sample.qirn", "access_sample.lws.ini.qirn", "access_sample.bin"}) std::remove(name);
}

}  // namespace
