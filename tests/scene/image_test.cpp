// The scene image: records filled from their chunks and properties, the channel-group tree, channel
// binding by group and channel name, and values at a time.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "scene_channels.h"
#include "scene_image.h"
#include "scene_samples.h"
#include "scene_writer.h"

namespace {

// A scene image loaded from a description, its channels bound.
struct Image {
    SceneImage* im = nullptr;
    explicit Image(const std::string& text) {
        std::vector<uint8_t> bytes = qeSceneWriteDescription(text);
        im = qeSceneImageLoadBuffer(bytes.data(), bytes.size());
        EXPECT_NE(im, nullptr);
        if (im) qeSceneBindChannels(im);
    }
    ~Image() { qeSceneImageFree(im); }
    SceneImage* operator->() { return im; }
};

std::string scene(int first, int last, float fps) {
    return "SCEN { PRPS { PROP int frameStart " + std::to_string(first) + " PROP int frameEnd " + std::to_string(last) +
           " PROP float framesPerSecond " + std::to_string(fps) + " } }\n";
}

TEST(SceneImage, SampleRecords) {
    Image im(qeSceneSampleDescription());
    const ProcessingRecord& p = im->processing;
    ASSERT_EQ(p.filters.size(), 3u);
    EXPECT_EQ(p.filters[0].kind, QE_FILTER_RENDERSETTINGS);
    EXPECT_EQ(p.filters[1].kind, QE_FILTER_POSTPROC);
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
    EXPECT_STREQ(hull.shader.params.at(0).name, "Color");

    const FxEmitterRecord& e = im->fxEmitters.at(0);
    EXPECT_EQ(e.hv.gradientCount, 8);  // 20 clamped
    EXPECT_EQ(e.hv.gradients[0].keyCount, 2);
    EXPECT_FLOAT_EQ(e.hv.gradients[0].keyFloats[6], 2.0f);
    EXPECT_FLOAT_EQ(e.hv.gradients[3].end, 9.0f);
    EXPECT_EQ(e.hv.gradients[3].keyCount, 8);  // 99 clamped
    EXPECT_FLOAT_EQ(e.hv.gradients[3].keyFloats[1], 0.5f);
    EXPECT_FLOAT_EQ(e.hv.gradients[3].keyFloats[2], 1.0f);
}

TEST(SceneImage, KeysBelongToTheirItemKindAndType) {
    Image im(R"(
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
    Image im(R"(
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

    EXPECT_EQ(qeSceneImageLoad("no such file.qirn"), nullptr);
}

const char* kObject = R"(
    OBJE { NAME "o" }
    CGRP { NAME "Qirn.World:o" CHAN { NAME "Position.X" VALS { VDAT 5 0 10 20 30 40 } }
           CHAN { NAME "Rotation.H" VALS { VDAT 2 0 1.5707963 } } CHAN { NAME "Rotation.P" VALS { VRUN 2 0.5 } } })";

TEST(SceneChannels, FramePositionAndInterpolation) {
    Image b(scene(1, 5, 25) + kObject);  // five frames, numbered from 1: index 0 is still the first value
    ChannelRef x = b->objects[0].motion[QE_MOTION_POSITION];
    ASSERT_NE(x, 0u);
    SceneFramePos p = qeSceneFrameAt(b.im, 100.0f);  // f = 2.5
    EXPECT_EQ(p.lo, 2);
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
    EXPECT_EQ(qeSceneIntAt(b.im, AnimatedFloat{-2.7f, 0}, 0.0f), -2);

    // Degenerate frame ranges and rates stay at frame 0.
    for (const std::string& s : {scene(10, 10, 25), scene(10, 2, 25), scene(0, 9, 0), scene(-5, -20, 25)}) {
        Image d(s + kObject);
        for (float t : {-100.0f, 40.0f, 5000.0f}) {
            EXPECT_EQ(qeSceneFrameAt(d.im, t).hi, 0) << s;
            EXPECT_FLOAT_EQ(qeSceneChannelAt(d.im, d->objects[0].motion[QE_MOTION_POSITION], t), 0.0f);
        }
    }
}

TEST(SceneChannels, Rotations) {
    Image b(scene(0, 1, 25) + kObject);
    const ChannelRef* rot = b->objects[0].motion + QE_MOTION_ROTATION;
    EXPECT_EQ(rot[2], 0u);  // no bank channel: 0.0
    irr::core::vector3df r = qeSceneRotationAt(b.im, rot, 0.0f);  // on a frame: its angles in degrees
    EXPECT_NEAR(r.X, 0.0f, 1e-3);
    EXPECT_NEAR(r.Y, 28.6479f, 1e-3);
    // Halfway between two frames a pure heading turn interpolates to its middle; the swapped form
    // exchanges the quaternion's first two components.
    Image c(scene(0, 1, 25) + R"(OBJE { NAME "o" } CGRP { NAME "Qirn.World:o"
                                  CHAN { NAME "Rotation.H" VALS { VDAT 2 0 1.5707963 } } })");
    rot = c->objects[0].motion + QE_MOTION_ROTATION;
    EXPECT_NEAR(qeSceneRotationAt(c.im, rot, 20.0f).X, 45.0f, 1e-3);
    r = qeSceneRotationSwappedAt(c.im, rot, 20.0f);
    EXPECT_NEAR(r.X, 0.0f, 1e-3);
    EXPECT_NEAR(r.Y, 45.0f, 1e-3);
}

TEST(SceneChannels, LightsAndShaderParameters) {
    Image b(scene(0, 9, 25) + R"(
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

}  // namespace
