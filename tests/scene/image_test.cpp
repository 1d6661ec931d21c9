// The scene image (records filled from their chunks and properties, the channel-group tree), channel
// binding and values at a time, and the access layer's query tables over the sample scene (25 frames
// per second, frames 0 to 49) and its opening by name.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "log.h"
#include "scene_access.h"
#include "scene_channels.h"
#include "scene_samples.h"
#include "scene_writer.h"

namespace {

// A scene opened from a description: its handle and its image with the channels bound.
struct Scene {
    SceneHandle* h = nullptr;
    SceneImage* im = nullptr;
    explicit Scene(const std::string& text) {
        std::vector<uint8_t> bytes = qeSceneWriteDescription(text);
        h = qeSceneOpenBinaryBuffer(bytes.data(), bytes.size());
        EXPECT_NE(h, nullptr);
        im = h ? h->image : nullptr;
    }
    ~Scene() { qeSceneCloseBinary(h); }
    SceneImage* operator->() { return im; }
};

void expectVec(const SceneVec3& v, float x, float y, float z) {
    EXPECT_NEAR(v.X, x, 1e-4f);
    EXPECT_NEAR(v.Y, y, 1e-4f);
    EXPECT_NEAR(v.Z, z, 1e-4f);
}

std::string scene(int first, int last, float fps) {
    return "SCEN { PRPS { PROP int frameStart " + std::to_string(first) + " PROP int frameEnd " + std::to_string(last) +
           " PROP float framesPerSecond " + std::to_string(fps) + " } }\n";
}

TEST(SceneImage, SampleRecords) {
    Scene im(qeSceneSampleDescription());
    const ProcessingRecord& p = im->processing;
    ASSERT_EQ(p.filters.size(), 3u);
    EXPECT_EQ(p.filters[2].kind, QE_FILTER_OTHER);
    EXPECT_EQ(p.render.ssaoOn, 1);  // the "Other" filter's CH_SSAO_ENABLE 0 changes nothing
    ASSERT_EQ(p.filters[1].shader.params.size(), 3u);
    EXPECT_EQ(p.filters[1].shader.params[2].kind, QE_SHADER_PARAM_FLOAT3);  // an int parameter: zero floats
    EXPECT_FLOAT_EQ(p.filters[1].shader.params[2].value[0], 0.0f);
    ASSERT_EQ(im->lights.size(), 2u);
    EXPECT_EQ(im->lights[0].flags, 9);  // the second light's properties fill only the second record
    EXPECT_EQ(im->lights[1].flags, 3);

    const SurfaceRecord& hull = im->sceneObjects.at(0).surfaces.at(0);
    EXPECT_STREQ(hull.slots[QE_SURF_BASECOLOR].texImage, "hull.png");
    EXPECT_EQ(hull.slots[QE_SURF_LUMINOSITY].texProjection, 3);
    EXPECT_EQ(hull.slots[QE_SURF_SIDEDNESS].kind, QE_SLOT_INT);

    const FxEmitterRecord& e = im->fxEmitters.at(0);
    EXPECT_EQ(e.hv.gradientCount, 8);  // 20 clamped
    EXPECT_FLOAT_EQ(e.hv.gradients[3].end, 9.0f);
    EXPECT_EQ(e.hv.gradients[3].keyCount, 8);  // 99 clamped
    EXPECT_FLOAT_EQ(e.hv.gradients[3].keyFloats[2], 1.0f);  // after two blanks
}

TEST(SceneImage, KeysBelongToTheirItemKindAndType) {
    Scene im(R"(
        OBJE { PRPS { PROP int flags 5  PROP float range 3  PROP float numPoints 4.5 } }
        LIGH { PRPS { PROP int flags 6  PROP int intensity 7  PROP float3 coneAngles 1 2 3  PROP float rawColor 1 } })");
    EXPECT_EQ(im->objects[0].flags, 5);
    EXPECT_EQ(im->objects[0].numPoints, 0);  // a float cannot fill an integer field
    EXPECT_EQ(im->lights[0].flags, 6);
    EXPECT_FLOAT_EQ(im->lights[0].intensity.value, 0.0f);    // an integer cannot fill a float field
    EXPECT_FLOAT_EQ(im->lights[0].coneAngles[1], 2.0f);      // three floats can fill two
    EXPECT_FLOAT_EQ(im->lights[0].rawColor.value[0], 0.0f);  // one float cannot fill three
}

TEST(SceneImage, ChannelGroupTreeAndStrayItems) {
    // A SURF outside a SOBJ, a PROP outside a PRPS and an IMFL outside PROC are skipped by their lengths.
    Scene im(R"(
        SURF { NAME "stray" PRPS { PROP float Diffuse 1 } }
        SCEN { CHAN { NAME "first" } CHAN { NAME "second" } PROP int frameEnd 9  IMFL { NAME "QirnRenderSettings" } }
        SOBJ { SURF { PRPS { PROP float Diffuse 0.5 } } }
        CGRP { NAME "L1" CGRP { NAME "L2" CGRP { NAME "L3" CGRP { NAME "L4" CGRP { NAME "L5" CHAN { NAME "deep" }
               CGRP { NAME "L6" CHAN { NAME "lost" } } } } } } })");
    EXPECT_STREQ(im->scene.sceneChannel.name, "second");  // the last one wins
    EXPECT_EQ(im->scene.lastFrame, 0);
    EXPECT_TRUE(im->processing.filters.empty());
    ASSERT_EQ(im->sceneObjects.at(0).surfaces.size(), 1u);
    EXPECT_FLOAT_EQ(im->sceneObjects[0].surfaces[0].slots[QE_SURF_DIFFUSE].value[0], 0.5f);
    const ChannelGroup* g = &im->groups.at(0);
    for (int level = 2; level <= 5; ++level) {
        ASSERT_EQ(g->children.size(), 1u) << level;
        g = &g->children[0];
    }
    EXPECT_STREQ(g->channels.at(0).name, "deep");
    EXPECT_TRUE(g->children.empty());  // the sixth level is not kept, nor what it holds
}

const char* kObject = R"(
    OBJE { NAME "o" }
    CGRP { NAME "Qirn.World:o" CHAN { NAME "Position.X" VALS { VDAT 5 0 10 20 30 40 } }
           CHAN { NAME "Rotation.H" VALS { VDAT 2 0 1.5707963 } } CHAN { NAME "Rotation.P" VALS { VRUN 2 0.5 } } })";

TEST(SceneChannels, FramePositionAndInterpolation) {
    Scene b(scene(1, 5, 25) + kObject);  // five frames, numbered from 1: index 0 is still the first value
    ChannelRef x = b->objects[0].motion[QE_MOTION_POSITION];
    ASSERT_NE(x, 0u);
    SceneFramePos p = qeSceneFrameAt(b.im, 100.0f);  // f = 2.5
    EXPECT_EQ(p.hi, 3);
    EXPECT_DOUBLE_EQ(p.weight, 0.5);
    EXPECT_FLOAT_EQ(qeSceneChannelAt(b.im, x, 100.0f), 25.0f);
    p = qeSceneFrameAt(b.im, -500.0f);  // before the start: frame 0, weight 0
    EXPECT_EQ(p.hi, 0);
    EXPECT_EQ(p.weight, 0.0);
    EXPECT_FLOAT_EQ(qeSceneChannelAt(b.im, x, 10000.0f), 40.0f);  // past the end: the last frame
    EXPECT_FLOAT_EQ(qeSceneChannelAt(b.im, x, std::numeric_limits<float>::quiet_NaN()), 0.0f);
    // A field is animated only through its first channel.
    EXPECT_FLOAT_EQ(qeSceneVectorAt(b.im, AnimatedColor{{1, 2, 3}, {0, x, x}}, 100.0f).Z, 3.0f);
    EXPECT_FLOAT_EQ(qeSceneVectorAt(b.im, AnimatedColor{{1, 2, 3}, {x, 0, 0}}, 100.0f).Y, 0.0f);

    // Degenerate frame ranges and rates stay at frame 0.
    for (const std::string& s : {scene(10, 10, 25), scene(10, 2, 25), scene(0, 9, 0), scene(-5, -20, 25)}) {
        Scene d(s + kObject);
        for (float t : {-100.0f, 40.0f, 5000.0f}) {
            EXPECT_EQ(qeSceneFrameAt(d.im, t).hi, 0) << s;
            EXPECT_FLOAT_EQ(qeSceneChannelAt(d.im, d->objects[0].motion[QE_MOTION_POSITION], t), 0.0f);
        }
    }
}

TEST(SceneChannels, Rotations) {
    Scene b(scene(0, 1, 25) + kObject);
    const ChannelRef* rot = b->objects[0].motion + QE_MOTION_ROTATION;
    EXPECT_EQ(rot[2], 0u);  // no bank channel: 0.0
    irr::core::vector3df r = qeSceneRotationAt(b.im, rot, 0.0f);  // on a frame: its angles in degrees
    EXPECT_NEAR(r.X, 0.0f, 1e-3);
    EXPECT_NEAR(r.Y, 28.6479f, 1e-3);
    // Halfway between two frames a pure heading turn interpolates to its middle; the swapped form
    // exchanges the quaternion's first two components.
    Scene c(scene(0, 1, 25) + R"(OBJE { NAME "o" } CGRP { NAME "Qirn.World:o"
                                  CHAN { NAME "Rotation.H" VALS { VDAT 2 0 1.5707963 } } })");
    rot = c->objects[0].motion + QE_MOTION_ROTATION;
    EXPECT_NEAR(qeSceneRotationAt(c.im, rot, 20.0f).X, 45.0f, 1e-3);
    r = qeSceneRotationSwappedAt(c.im, rot, 20.0f);
    EXPECT_NEAR(r.X, 0.0f, 1e-3);
    EXPECT_NEAR(r.Y, 45.0f, 1e-3);
}

TEST(SceneChannels, LightsAndShaderParameters) {
    Scene b(scene(0, 9, 25) + R"(
        LIGH { NAME "L" }  LIGH { NAME "M" }  LIGH { }
        CGRP { NAME "Global" CHAN { NAME "AmbientColor.R" VALS { VRUN 10 0.5 } } }
        CGRP { NAME "Qirn.World:L" CHAN { NAME "Position.X" VALS { VRUN 10 1 } } }
        CGRP { NAME "L" CHAN { NAME "Range" VALS { VRUN 10 2 } } }
        CGRP { NAME "M" CHAN { NAME "Range" VALS { VRUN 10 2 } } }
        PROC { IMFL { NAME "QirnPostProc" PRPS { PROP string filename "fx.hlsl" }
                      SHAD { PRPS { PROP float3 Pos 0 0 0  PROP float3 Tint 0 0 0 } } } }
        CGRP { NAME "Qirn" CGRP { NAME "QirnPostProc" CGRP { NAME "fx.hlsl"
               CHAN { NAME "Pos.X" VALS { VRUN 1 5 } } CHAN { NAME "Pos.R" VALS { VRUN 1 9 } }
               CHAN { NAME "Tint.R" VALS { VRUN 1 1 } } CHAN { NAME "Tint.B" VALS { VRUN 1 3 } } } } })");
    ASSERT_EQ(b->lights.size(), 3u);
    EXPECT_NE(b->lights[0].motion[QE_MOTION_POSITION], 0u);
    EXPECT_NE(b->lights[0].range.channel, 0u);
    EXPECT_EQ(b->lights[1].range.channel, 0u);  // "M" exists but "Qirn.World:M" does not
    for (const LightRecord& x : b->lights) EXPECT_NE(x.ambient.channel[0], 0u);  // every light, named or not

    const ShaderBlock& s = b->processing.filters.at(0).shader;
    ASSERT_EQ(s.params.size(), 2u);
    // "Pos.X" exists: X, Y, Z are taken (Y and Z are missing), R is never looked at.
    EXPECT_FLOAT_EQ(qeSceneChannelAt(b.im, s.params[0].channel[0], 0.0f), 5.0f);
    EXPECT_EQ(s.params[0].channel[1], 0u);
    // "Tint" has no ".X": its colour channels.
    EXPECT_FLOAT_EQ(qeSceneChannelAt(b.im, s.params[1].channel[2], 0.0f), 3.0f);
}

// Lists long enough to be looked up through name tables: every binding is the first entry of its name
// in file order, as a walk of the list finds it; unnamed entries never match.
TEST(SceneChannels, LongListsBindTheirFirstMatches) {
    std::string text = scene(0, 9, 25);
    const int objects = 40;
    for (int o = 0; o < objects; ++o)
        text += " OBJE { NAME \"o" + std::to_string(o) + "\" FNAM \"f" + std::to_string(o % 7) + ".lwo\" }";
    for (int o = 0; o < 20; ++o)
        text += " SOBJ { NAME \"s" + std::to_string(o) + "\" FNAM \"f" + std::to_string(o % 10) + ".lwo\" SURF { NAME \"P\" } }";
    // motion groups twice (the second ones with other values), unnamed groups between them
    for (int copy = 0; copy < 2; ++copy)
        for (int o = 0; o < objects; ++o) {
            text += " CGRP { } CGRP { NAME \"Qirn.World:o" + std::to_string(o) + "\"";
            for (int c = 0; c < 20; ++c)  // 20 channels: "Position.X" is the third and the twelfth
                text += " CHAN { NAME \"" + std::string(c % 9 == 2 ? "Position.X" : "Other") + "\" VALS { VRUN 10 " +
                        std::to_string(copy * 1000 + o * 10 + c) + " } }";
            text += " }";
        }
    text += " CGRP { NAME \"Surfaces\"";
    for (int copy = 0; copy < 2; ++copy)
        for (int o = 0; o < 20; ++o)
            text += " CGRP { NAME \"s" + std::to_string(o) + "\" CGRP { NAME \"P\" CHAN { NAME \"Diffuse\" VALS { VRUN 10 " +
                    std::to_string(copy * 100 + o) + " } } } }";
    text += " }";
    Scene b(text);
    ASSERT_EQ(b->objects.size(), size_t(objects));
    for (int o = 0; o < objects; ++o) {
        const ObjectRecord& r = b->objects[size_t(o)];
        EXPECT_EQ(r.motionGroup, qeSceneFindGroup(b.im, ("Qirn.World:o" + std::to_string(o)).c_str())) << o;
        EXPECT_FLOAT_EQ(qeSceneChannelAt(b.im, r.motion[QE_MOTION_POSITION], 0.0f), float(o * 10 + 2)) << o;
        // f0 to f6: the first scene object of that file (s0 to s6); none has f7 to f9 twice
        ASSERT_NE(r.sceneObject, nullptr);
        EXPECT_EQ(r.sceneObject - b->sceneObjects.data(), o % 7) << o;
    }
    for (int o = 0; o < 20; ++o) {
        const SurfaceRecord& surface = b->sceneObjects[size_t(o)].surfaces.at(0);
        EXPECT_FLOAT_EQ(qeSceneChannelAt(b.im, surface.slots[QE_SURF_DIFFUSE].channel[0], 0.0f), float(o)) << o;
    }
}

// A short surface group: each slot channel is the first channel of its name, even one without values;
// names differing in case or length bind nothing; a channel taken once does not take a second field.
TEST(SceneChannels, SurfaceChannelsAreTheFirstOfTheirNames) {
    Scene b(scene(0, 9, 25) + R"(
        OBJE { NAME "o" FNAM "o.lwo" }  SOBJ { NAME "o" FNAM "o.lwo" SURF { NAME "P" } }
        CGRP { NAME "Surfaces" CGRP { NAME "o" CGRP { NAME "P"
            CHAN { NAME "Diffuse" }  CHAN { NAME "Diffuse" VALS { VRUN 10 2 } }
            CHAN { NAME "Color.G" VALS { VRUN 10 3 } }  CHAN { NAME "Color.G" VALS { VRUN 10 4 } }
            CHAN { NAME "bump" VALS { VRUN 10 5 } }  CHAN { NAME "Color" VALS { VRUN 10 6 } }
            CHAN { NAME "VertexColoring" VALS { VRUN 10 7 } } } } })");
    const SurfaceSlot* slot = b->sceneObjects.at(0).surfaces.at(0).slots;
    EXPECT_EQ(slot[QE_SURF_DIFFUSE].channel[0], 0u);
    EXPECT_FLOAT_EQ(qeSceneChannelAt(b.im, slot[QE_SURF_BASECOLOR].channel[1], 0.0f), 3.0f);
    EXPECT_EQ(slot[QE_SURF_BASECOLOR].channel[0], 0u);
    EXPECT_EQ(slot[QE_SURF_BUMP].channel[0], 0u);
    EXPECT_FLOAT_EQ(qeSceneChannelAt(b.im, slot[QE_SURF_VERTEXCOLORING].channel[0], 0.0f), 7.0f);
    for (int s = 0; s < QE_SURF_SLOTS; ++s)
        if (s != QE_SURF_BASECOLOR && s != QE_SURF_VERTEXCOLORING)
            for (int c = 0; c < 3; ++c) EXPECT_EQ(slot[s].channel[c], 0u) << s << " " << c;
}

TEST(SceneAccess, SceneBackdropAndImageProcessing) {
    Scene sample(qeSceneSampleDescription());
    SceneHandle* h = sample.h;
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
}

TEST(SceneAccess, ObjectsAndSurfaces) {
    Scene sample(qeSceneSampleDescription());
    SceneHandle* h = sample.h;
    const ObjectQueryTable* o = h->objects;
    EXPECT_EQ(o->isObjectEmpty(h, 1), 1);
    SceneVec3 v;
    o->getObjectVector(&v, h, 0, QE_VEC_POSITION, 100.0f);
    expectVec(v, 25.0f, 1.0f, 2.0f);
    o->getObjectVector(&v, h, 0, 7, 20.0f);  // no such vector
    expectVec(v, 0, 0, 0);
    // Scale components without a channel keep the natural size; the emitter has no scale channels at all.
    o->getObjectVector(&v, h, 0, QE_VEC_SCALE, 100.0f);
    expectVec(v, 3.0f, 1.0f, 1.0f);
    h->fxEmitters->getFxEmitterVector(&v, h, 0, QE_VEC_SCALE, 100.0f);
    expectVec(v, 1.0f, 1.0f, 1.0f);
    h->lights->getLightVector(&v, h, 0, QE_VEC_SCALE, 100.0f);  // lights have no scale
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

TEST(SceneAccess, LightsCamerasAndEmitters) {
    Scene sample(qeSceneSampleDescription());
    SceneHandle* h = sample.h;
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
    Scene bright(R"(LIGH { PRPS { PROP float intensity 1.5 } })");
    EXPECT_FLOAT_EQ(l->getLightIntensity(bright.h, 0, 0.0f), 1.0f);  // a constant is

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
    const float* keys = nullptr;
    EXPECT_EQ(f->getFxEmitterColorGradient(h, 0, &keys), 8);
    EXPECT_FLOAT_EQ(keys[1], 0.5f);
    // A fixed emitter gives no birth before its start frame; a scene without frame rate no life time.
    Scene still(R"(FXEM { PRPS { PROP float2 LifeTime 50 25 } })");
    EXPECT_FLOAT_EQ(f->getFxEmitterLifeTime(still.h, 0, 0.0f), 0.0f);
    Scene fixed(R"(SCEN { PRPS { PROP float framesPerSecond 25 } }
        FXEM { PRPS { PROP float BirthRate 100 PROP int Fixed 1 PROP int StartFrame 10 } })");
    EXPECT_FLOAT_EQ(f->getFxEmitterBirthRate(fixed.h, 0, 360.0f), 0.0f);
    EXPECT_FLOAT_EQ(f->getFxEmitterBirthRate(fixed.h, 0, 400.0f), 100.0f);
}

TEST(SceneAccessSafety, EmptySceneAndBadIndexesAnswerZeros) {
    Scene s("SCEN { }");
    SceneHandle* h = s.h;
    EXPECT_EQ(h->scene->getCameraIndex(h, 500.0f), 0);
    SceneVec3 v(1, 1, 1);
    h->lights->getAmbientColor(&v, h, 0.0f);
    expectVec(v, 0, 0, 0);
    EXPECT_EQ(h->objects->getObjectName(h, -1), nullptr);
    const float* keys = &v.X;
    EXPECT_EQ(h->fxEmitters->getFxEmitterSizeGradient(h, 0, &keys), 0);
    EXPECT_EQ(keys, nullptr);
}

TEST(SceneAccessSafety, GeometryFileNames) {
    Scene s(R"(
        OBJE { NAME "ship" FNAM "ship.lwo" }  OBJE { NAME "ship:Layer3" FNAM "ship.obj" }
        OBJE { NAME "a%s%n:Layer4" FNAM "a%s%n.lwo" }  OBJE { NAME "other:Layer5" FNAM "ship.lwo" }
        OBJE { NAME "ship:Layer7" FNAM "models/ship.lwo.bak" }  OBJE { NAME "ship:Layer3" FNAM "ship.lwo" })");
    const char* want[] = {"ship.layer1.x", "ship.obj", "a%s%n.layer4.x", "ship.layer1.x", "models/ship.layer1.x",
                          "ship.layer3.x"};
    for (int i = 0; i < 7; ++i) EXPECT_STREQ(s.h->objects->getObjectGeometryFile(s.h, i), i < 6 ? want[i] : nullptr);
}

TEST(SceneAccessSafety, OpenCloseAndSaveByName) {
    std::vector<uint8_t> bytes = qeSceneWriteDescription(qeSceneSampleDescription());
    for (const char* name : {"access_sample.qirn", "access_sample.lws.ini.qirn", "access_sample.bin"})
        ASSERT_TRUE(qeSceneWriteFile(name, bytes));
    SceneHandle* h = qeSceneFileOpen("access_sample.qirn");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->binary, 1);
    qeLogClearLastError();
    EXPECT_EQ(qeSceneFileSaveBinary(h, "saved.qirn"), 0);  // already binary: nothing to write, no error
    EXPECT_EQ(qeLogGetLastError(nullptr), nullptr);
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
