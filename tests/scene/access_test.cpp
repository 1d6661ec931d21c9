// The scene access layer: opening by name, and every row of the seven query tables over the sample
// scene (25 frames per second, frames 0 to 49).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "log.h"
#include "scene_access.h"
#include "scene_samples.h"
#include "scene_writer.h"

namespace {

SceneHandle* openText(const std::string& text) {
    std::string error;
    std::vector<uint8_t> bytes = qeSceneWriteDescription(text, &error);
    EXPECT_EQ(error, "");
    return qeSceneOpenBinaryBuffer(bytes.data(), bytes.size());
}

class SceneAccess : public testing::Test {
protected:
    void SetUp() override {
        h = openText(qeSceneSampleDescription());
        ASSERT_NE(h, nullptr);
    }
    void TearDown() override { qeSceneCloseBinary(h); }
    SceneHandle* h = nullptr;
};

void expectVec(const SceneVec3& v, float x, float y, float z, float eps = 1e-4f) {
    EXPECT_NEAR(v.X, x, eps);
    EXPECT_NEAR(v.Y, y, eps);
    EXPECT_NEAR(v.Z, z, eps);
}

TEST_F(SceneAccess, SceneAndBackdrop) {
    const SceneQueryTable* s = h->scene;
    EXPECT_EQ(s->getLastFrame(h), 49);
    EXPECT_EQ(s->getFps(h), 25);
    EXPECT_EQ(s->getCameraIndex(h, 0.0f), 0);
    EXPECT_EQ(s->getCameraIndex(h, 1000.0f), 1);
    EXPECT_EQ(s->getCameraIndex(h, 99999.0f), 1);
    const char* music = nullptr;
    float start = 0;
    s->getMusic(h, &music, &start);
    EXPECT_STREQ(music, "music.mp3");
    EXPECT_FLOAT_EQ(start, 1.5f);

    const BackdropQueryTable* b = h->backdrop;
    expectVec(b->getBackdropColor(h), 0.1f, 0.2f, 0.3f);  // the zenith's
    expectVec(b->getGroundColor(h), 0.7f, 0.8f, 0.9f);
}

TEST_F(SceneAccess, ImageProcessing) {
    const ImageProcessingQueryTable* p = h->processing;
    EXPECT_EQ(p->getAnimatedDither(h), 3);
    EXPECT_FLOAT_EQ(p->getGlowIntensity(h, 60.0f), 1.5f);  // channel 0, 1, 2 at frame 1.5
    EXPECT_EQ(p->getImageFilterCount(h), 3);
    EXPECT_STREQ(p->getImageFilterName(h, 2), "Other");
    EXPECT_EQ(p->getImageFilterName(h, 3), nullptr);

    ShaderValuesRecord r;
    std::memset(&r, 0x55, sizeof r);
    p->getImageFilterShader(h, 0, &r, 0.0f);  // not a camera shader: untouched
    EXPECT_EQ(r.paramCount, 0x55555555);
    p->getImageFilterShader(h, 1, &r, 0.0f);
    EXPECT_STREQ(r.fileName, "blur.hlsl");
    ASSERT_EQ(r.paramCount, 3);
    EXPECT_STREQ(reinterpret_cast<const char*>(r.params[0].param), "Tint");
    EXPECT_EQ(r.params[1].type, 1);
    EXPECT_FLOAT_EQ(r.params[1].value[0], 0.75f);

    EXPECT_EQ(p->getCameraShaderCount(h), 1);
    EXPECT_EQ(p->isCameraShaderActive(h, 0, 360.0f), 0);  // frame 9
    EXPECT_EQ(p->isCameraShaderActive(h, 0, 400.0f), 1);  // frame 10
    EXPECT_EQ(p->isCameraShaderActive(h, 0, 800.0f), 0);  // frame 20
    EXPECT_EQ(p->isCameraShaderActive(h, 1, 400.0f), 0);  // no such camera shader
    float glowMin, key[3], match, colorize[3], att, angle, compose;
    p->getStreakParams(h, &glowMin, key, &match, colorize, &att, &angle, &compose, 0.0f);
    EXPECT_NEAR(angle, 90.0f, 1e-4);  // radians to degrees
    float reach, decline, eps, mult;
    p->getSsaoParams(h, &reach, &decline, &eps, &mult, 0.0f);
    EXPECT_FLOAT_EQ(reach, 4.0f);  // its channel, not the constant 3
}

TEST_F(SceneAccess, Objects) {
    const ObjectQueryTable* o = h->objects;
    ASSERT_EQ(o->getObjectCount(h), 2);
    EXPECT_STREQ(o->getObjectGeometryFile(h, 0), "ship.layer3.x");
    EXPECT_STREQ(o->getObjectGeometryFile(h, 1), "null.layer2.x");
    EXPECT_EQ(o->isObjectEmpty(h, 0), 0);
    EXPECT_EQ(o->isObjectEmpty(h, 1), 1);
    SceneVec3 v;
    o->getObjectVector(&v, h, 0, QE_VEC_POSITION, 100.0f);
    expectVec(v, 25.0f, 1.0f, 2.0f);
    o->getObjectVector(&v, h, 0, QE_VEC_ROTATION, 20.0f);
    expectVec(v, 45.0f, 0.0f, 0.0f, 1e-3f);
    o->getObjectVector(&v, h, 0, QE_VEC_ROTATION_SWAPPED, 20.0f);
    expectVec(v, 0.0f, 45.0f, 0.0f, 1e-3f);
    o->getObjectVector(&v, h, 0, 7, 20.0f);
    expectVec(v, 0, 0, 0);
    EXPECT_FLOAT_EQ(o->getObjectTransparency(h, 0), 0.3f);
    ASSERT_EQ(o->getObjectSurfaceCount(h, 0), 2);
    EXPECT_EQ(o->getObjectSurfaceCount(h, 1), 0);

    ObjectSurfaceRecord s[2];
    std::memset(s, 0, sizeof s);
    o->getObjectSurfaces(h, 0, s, 20.0f);
    EXPECT_FLOAT_EQ(s[0].channels[QE_SURF_BASECOLOR].value.f[1], 0.8f);  // its channels
    EXPECT_STREQ(s[0].channels[QE_SURF_BASECOLOR].texImage, "hull.png");
    EXPECT_FLOAT_EQ(s[0].channels[QE_SURF_DIFFUSE].value.f[0], 0.5f);  // 0 -> 1 halfway
    EXPECT_EQ(s[0].channels[QE_SURF_SIDEDNESS].type, 2);
    EXPECT_EQ(s[0].channels[QE_SURF_SIDEDNESS].value.i[0], 2);
    ASSERT_EQ(s[0].shader.paramCount, 2);
    EXPECT_FLOAT_EQ(s[0].shader.params[0].value[2], 0.5f);  // Color.Z
    EXPECT_STREQ(s[1].shader.fileName, "node.hlsl");
    EXPECT_STREQ(s[1].shader.pixelFunction, "ps_main");
    ASSERT_EQ(s[1].shader.paramCount, 1);
    EXPECT_FLOAT_EQ(s[1].shader.params[0].value[0], 0.6f);
}

TEST_F(SceneAccess, Lights) {
    const LightQueryTable* l = h->lights;
    ASSERT_EQ(l->getLightCount(h), 2);
    SceneVec3 v;
    l->getAmbientColor(&v, h, 0.0f);
    expectVec(v, 1.0f, 0.5f, 0.0f);  // channels 2, 0.5, -1 clamped
    float cone, edge;
    l->getLightConeAngles(h, 0, &cone, &edge, 0.0f);
    EXPECT_NEAR(cone, 57.29578f, 1e-3);  // channel
    EXPECT_NEAR(edge, 5.729578f, 1e-3);  // constant
    EXPECT_FLOAT_EQ(l->getLightRange(h, 0, 0.0f), 0.0f);  // channel -3 clamped
    EXPECT_EQ(l->hasLightRange(h, 0), 1);
    l->getLightColor(&v, h, 0, 0.0f);
    expectVec(v, 1.0f, 0.5f, 0.25f);
    EXPECT_FLOAT_EQ(l->getLightIntensity(h, 0, 0.0f), 2.0f);  // a channel is not clamped
    EXPECT_FLOAT_EQ(l->getLightIntensity(h, 1, 0.0f), 0.5f);  // "Fill" has no motion group
    l->getLightVector(&v, h, 0, QE_VEC_SCALE, 0.0f);  // a light has no scale
    expectVec(v, 0, 0, 0);

    SceneHandle* bright = openText(R"(LIGH { NAME "B" PRPS { PROP float intensity 1.5 } })");
    EXPECT_FLOAT_EQ(bright->lights->getLightIntensity(bright, 0, 0.0f), 1.0f);
    qeSceneCloseBinary(bright);
}

TEST_F(SceneAccess, Cameras) {
    const CameraQueryTable* c = h->cameras;
    ASSERT_EQ(c->getCameraCount(h), 2);
    float hf, vf;
    c->getCameraFov(h, 0, &hf, &vf, 0.0f);
    EXPECT_NEAR(hf, 90.0f, 1e-4);
    EXPECT_NEAR(vf, 90.0f, 1e-4);
    c->getCameraFov(h, 1, &hf, &vf, 0.0f);
    EXPECT_NEAR(hf, 28.64789f, 1e-3);
    EXPECT_NEAR(vf, 14.32394f, 1e-3);
    float sep, conv;
    int use;
    c->getCameraStereo(h, 0, &sep, &use, &conv, 0.0f);
    EXPECT_EQ(use, 1);
    EXPECT_FLOAT_EQ(conv, 3.0f);
    c->getCameraStereo(h, 1, &sep, &use, &conv, 0.0f);
    EXPECT_EQ(use, 0);
    EXPECT_FLOAT_EQ(conv, 0.0f);
}

TEST_F(SceneAccess, FxEmitters) {
    const FxEmitterQueryTable* f = h->fxEmitters;
    ASSERT_EQ(f->getFxEmitterCount(h), 1);
    EXPECT_STREQ(f->getFxEmitterImage(h, 0), "clip.png");
    SceneVec3 v;
    f->getFxEmitterVelocity(&v, h, 0, 0.0f);
    expectVec(v, 0, 2, 0);
    EXPECT_FLOAT_EQ(f->getFxEmitterBirthRate(h, 0, 400.0f), 0.0f);  // channel -5 clamped
    EXPECT_FLOAT_EQ(f->getFxEmitterLifeTime(h, 0, 0.0f), 3.0f);  // 75 frames at 25 fps
    EXPECT_FLOAT_EQ(f->getFxEmitterLifeTimeVariation(h, 0), 1.0f);
    EXPECT_FLOAT_EQ(f->getFxEmitterResistance(h, 0, 0.0f), 0.3f);
    int blend, useImage;
    float color[3], rotation;
    f->getFxEmitterLook(h, 0, &blend, &useImage, color, &rotation);
    EXPECT_EQ(blend, 2);  // clip alpha 4
    EXPECT_FLOAT_EQ(rotation, 45.0f);
    const float* keys = nullptr;
    EXPECT_EQ(f->getFxEmitterSizeGradient(h, 0, &keys), 2);
    ASSERT_NE(keys, nullptr);
    EXPECT_FLOAT_EQ(keys[6], 2.0f);
    EXPECT_EQ(f->getFxEmitterColorGradient(h, 0, &keys), 8);
    EXPECT_FLOAT_EQ(keys[1], 0.5f);
    ShaderValuesRecord r;
    std::memset(&r, 0, sizeof r);
    f->getFxEmitterShader(h, 0, &r, 0.0f);
    ASSERT_EQ(r.paramCount, 1);
    EXPECT_FLOAT_EQ(r.params[0].value[0], 0.9f);

    // A fixed emitter gives no birth before its start frame; a scene without frame rate no life time.
    SceneHandle* e = openText(R"(
        FXEM { NAME "E" PRPS { PROP float BirthRate 100 PROP int Fixed 1 PROP int StartFrame 10
                               PROP float2 LifeTime 50 25 } })");
    EXPECT_FLOAT_EQ(e->fxEmitters->getFxEmitterBirthRate(e, 0, 0.0f), 0.0f);
    EXPECT_FLOAT_EQ(e->fxEmitters->getFxEmitterLifeTime(e, 0, 0.0f), 0.0f);
    EXPECT_EQ(e->fxEmitters->getFxEmitterSizeGradient(e, 0, &keys), 0);
    EXPECT_EQ(keys, nullptr);
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
    EXPECT_EQ(h->cameras->getCameraName(h, 0), nullptr);
    float hf = 1, vf = 1;
    h->cameras->getCameraFov(h, 0, &hf, &vf, 0.0f);
    EXPECT_EQ(hf, 0.0f);
    SceneVec3 v(1, 1, 1);
    h->cameras->getCameraVector(&v, h, 0, QE_VEC_POSITION, 0.0f);
    expectVec(v, 0, 0, 0);
    h->lights->getAmbientColor(&v, h, 0.0f);
    expectVec(v, 0, 0, 0);
    EXPECT_EQ(h->objects->getObjectName(h, -1), nullptr);
    EXPECT_EQ(h->objects->getObjectGeometryFile(h, 3), nullptr);
    EXPECT_EQ(h->fxEmitters->getFxEmitterImage(h, 0), nullptr);
    EXPECT_EQ(h->processing->getCameraShaderCount(h), 0);
    qeSceneCloseBinary(h);
}

TEST(SceneAccessSafety, GeometryFileNames) {
    SceneHandle* h = openText(R"(
        OBJE { NAME "ship" FNAM "ship.lwo" }
        OBJE { NAME "ship:Layer3" FNAM "ship.obj" }
        OBJE { NAME "a%s%n:Layer4" FNAM "a%s%n.lwo" }
        OBJE { NAME "other:Layer5" FNAM "ship.lwo" }
        OBJE { NAME "ship:Layer7" FNAM "models/ship.lwo.bak" }
    )");
    ASSERT_NE(h, nullptr);
    EXPECT_STREQ(h->objects->getObjectGeometryFile(h, 0), "ship.layer1.x");
    EXPECT_STREQ(h->objects->getObjectGeometryFile(h, 1), "ship.obj");
    EXPECT_STREQ(h->objects->getObjectGeometryFile(h, 2), "a%s%n.layer4.x");  // not a scan pattern
    EXPECT_STREQ(h->objects->getObjectGeometryFile(h, 3), "ship.layer1.x");
    EXPECT_STREQ(h->objects->getObjectGeometryFile(h, 4), "models/ship.layer1.x");
    qeSceneCloseBinary(h);
}

TEST(SceneAccessSafety, OpenCloseAndSaveByName) {
    std::vector<uint8_t> bytes = qeSceneWriteDescription(qeSceneSampleDescription());
    ASSERT_TRUE(qeSceneWriteFile("access_sample.qirn", bytes));
    ASSERT_TRUE(qeSceneWriteFile("access_sample.lws.ini.qirn", bytes));
    ASSERT_TRUE(qeSceneWriteFile("access_sample.bin", bytes));

    SceneHandle* h = qeSceneFileOpen("access_sample.qirn");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->binary, 1);
    EXPECT_EQ(h->objects->getObjectCount(h), 2);
    qeLogClearLastError();
    EXPECT_EQ(qeSceneFileSaveBinary(h, "saved.qirn"), -1);
    EXPECT_NE(qeLogGetLastError(nullptr), nullptr);
    std::FILE* saved = std::fopen("saved.qirn", "rb");
    EXPECT_EQ(saved, nullptr);
    if (saved) std::fclose(saved);
    qeSceneFileClose(h);

    EXPECT_EQ(qeSceneFileOpen("access_sample.lws.ini.qirn"), nullptr);
    EXPECT_EQ(qeSceneFileOpen("access_sample.bin"), nullptr);
    EXPECT_EQ(qeSceneFileOpen("missing.qirn"), nullptr);
    EXPECT_EQ(qeSceneFileOpen(nullptr), nullptr);
    qeSceneFileClose(nullptr);
    EXPECT_EQ(qeSceneFileSaveBinary(nullptr, "x.qirn"), -1);
    std::remove("access_sample.qirn");
    std::remove("access_sample.lws.ini.qirn");
    std::remove("access_sample.bin");
}

}  // namespace
