// Channel binding by group and channel name, and values at a time: frame position, interpolation,
// constant-or-animated fields and rotations.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "scene_channels.h"
#include "scene_writer.h"

namespace {

struct Bound {
    SceneImage* im = nullptr;
    explicit Bound(const std::string& text) {
        std::string error;
        std::vector<uint8_t> bytes = qeSceneWriteDescription(text, &error);
        EXPECT_EQ(error, "");
        im = qeSceneImageLoadBuffer(bytes.data(), bytes.size());
        EXPECT_NE(im, nullptr);
        qeSceneBindChannels(im);
    }
    ~Bound() { qeSceneImageFree(im); }
    SceneImage* operator->() { return im; }
};

std::string scene(int first, int last, float fps) {
    return "SCEN { PRPS { PROP int frameStart " + std::to_string(first) + " PROP int frameEnd " + std::to_string(last) +
           " PROP float framesPerSecond " + std::to_string(fps) + " } }\n";
}

const char* kObject = R"(
    OBJE { NAME "o" }
    CGRP { NAME "Qirn.World:o"
           CHAN { NAME "Position.X" VALS { VDAT 5 0 10 20 30 40 } }
           CHAN { NAME "Rotation.H" VALS { VDAT 2 0 1.5707963 } }
           CHAN { NAME "Rotation.P" VALS { VRUN 2 0.5 } } }
)";

TEST(SceneChannels, FramePositionAndInterpolation) {
    Bound b(scene(1, 5, 25) + kObject);  // five frames, numbered from 1: index 0 is still the first value
    ChannelRef x = b->objects[0].motion[QE_MOTION_POSITION];
    ASSERT_NE(x, 0u);
    SceneFramePos p = qeSceneFrameAt(b.im, 100.0f);  // f = 2.5
    EXPECT_EQ(p.lo, 2);
    EXPECT_EQ(p.hi, 3);
    EXPECT_DOUBLE_EQ(p.weight, 0.5);
    EXPECT_FLOAT_EQ(qeSceneChannelAt(b.im, x, 100.0f), 25.0f);
    EXPECT_FLOAT_EQ(qeSceneChannelAt(b.im, x, 80.0f), 20.0f);
    EXPECT_FLOAT_EQ(qeSceneChannelAt(b.im, x, -500.0f), 0.0f);  // before the start: frame 0, weight 0
    p = qeSceneFrameAt(b.im, -500.0f);
    EXPECT_EQ(p.lo, 0);
    EXPECT_EQ(p.hi, 0);
    EXPECT_FLOAT_EQ(qeSceneChannelAt(b.im, x, 10000.0f), 40.0f);  // past the end: the last frame
    EXPECT_FLOAT_EQ(qeSceneChannelAt(b.im, x, std::numeric_limits<float>::quiet_NaN()), 0.0f);
    EXPECT_FLOAT_EQ(qeSceneChannelAt(b.im, 0, 100.0f), 0.0f);  // no channel

    AnimatedFloat constant{7.5f, 0};
    AnimatedFloat animated{7.5f, x};
    EXPECT_FLOAT_EQ(qeSceneFloatAt(b.im, constant, 100.0f), 7.5f);
    EXPECT_FLOAT_EQ(qeSceneFloatAt(b.im, animated, 100.0f), 25.0f);
    EXPECT_EQ(qeSceneIntAt(b.im, AnimatedFloat{-2.7f, 0}, 0.0f), -2);
    // A vector is animated only through its first channel.
    AnimatedColor v{{1, 2, 3}, {0, x, x}};
    irr::core::vector3df r = qeSceneVectorAt(b.im, v, 100.0f);
    EXPECT_FLOAT_EQ(r.X, 1.0f);
    EXPECT_FLOAT_EQ(r.Z, 3.0f);
    AnimatedColor w{{1, 2, 3}, {x, 0, 0}};
    r = qeSceneVectorAt(b.im, w, 100.0f);
    EXPECT_FLOAT_EQ(r.X, 25.0f);
    EXPECT_FLOAT_EQ(r.Y, 0.0f);
}

TEST(SceneChannels, DegenerateFrameRangesStayAtFrameZero) {
    for (const std::string& s : {scene(10, 10, 25), scene(10, 2, 25), scene(0, 9, 0), scene(-5, -20, 25)}) {
        Bound b(s + kObject);
        ChannelRef x = b->objects[0].motion[QE_MOTION_POSITION];
        for (float t : {-100.0f, 0.0f, 40.0f, 5000.0f}) {
            SceneFramePos p = qeSceneFrameAt(b.im, t);
            EXPECT_EQ(p.lo, 0) << s;
            EXPECT_EQ(p.hi, 0) << s;
            EXPECT_FLOAT_EQ(qeSceneChannelAt(b.im, x, t), 0.0f);
        }
    }
}

TEST(SceneChannels, Rotations) {
    Bound b(scene(0, 1, 25) + kObject);
    const ChannelRef* rot = b->objects[0].motion + QE_MOTION_ROTATION;
    ASSERT_NE(rot[0], 0u);
    EXPECT_EQ(rot[2], 0u);  // no bank channel: 0.0
    // On a frame: that frame's heading and pitch in degrees.
    irr::core::vector3df r = qeSceneRotationAt(b.im, rot, 0.0f);
    EXPECT_NEAR(r.X, 0.0f, 1e-3);
    EXPECT_NEAR(r.Y, 28.6479f, 1e-3);
    EXPECT_NEAR(r.Z, 0.0f, 1e-3);
    // Halfway between two frames, a pure heading turn interpolates to its middle.
    Bound c(scene(0, 1, 25) + R"(OBJE { NAME "o" } CGRP { NAME "Qirn.World:o" CHAN { NAME "Rotation.H" VALS { VDAT 2 0 1.5707963 } } })");
    rot = c->objects[0].motion + QE_MOTION_ROTATION;
    r = qeSceneRotationAt(c.im, rot, 20.0f);
    EXPECT_NEAR(r.X, 45.0f, 1e-3);
    EXPECT_NEAR(r.Y, 0.0f, 1e-3);
    // The swapped form exchanges the quaternion's first two components: a turn about x becomes one about y.
    r = qeSceneRotationSwappedAt(c.im, rot, 20.0f);
    EXPECT_NEAR(r.X, 0.0f, 1e-3);
    EXPECT_NEAR(r.Y, 45.0f, 1e-3);
    EXPECT_NEAR(r.Z, 0.0f, 1e-3);
}

TEST(SceneChannels, LightsBindPropertiesOnlyWithAMotionGroup) {
    Bound b(scene(0, 9, 25) + R"(
        LIGH { NAME "L" }  LIGH { NAME "M" }  LIGH { }
        CGRP { NAME "Global" CHAN { NAME "AmbientColor.R" VALS { VRUN 10 0.5 } } }
        CGRP { NAME "Qirn.World:L" CHAN { NAME "Position.X" VALS { VRUN 10 1 } } }
        CGRP { NAME "L" CHAN { NAME "Range" VALS { VRUN 10 2 } } CHAN { NAME "Color.G" VALS { VRUN 10 3 } } }
        CGRP { NAME "M" CHAN { NAME "Range" VALS { VRUN 10 2 } } }
        CGRP { CHAN { NAME "Range" } }
    )");
    ASSERT_EQ(b->lights.size(), 3u);
    const LightRecord& l = b->lights[0];
    EXPECT_NE(l.motion[QE_MOTION_POSITION], 0u);
    EXPECT_NE(l.range.channel, 0u);
    EXPECT_EQ(l.rawColor.channel[0], 0u);
    EXPECT_NE(l.rawColor.channel[1], 0u);
    EXPECT_NE(l.group, nullptr);
    const LightRecord& m = b->lights[1];
    EXPECT_EQ(m.range.channel, 0u);  // "M" exists but "Qirn.World:M" does not
    EXPECT_EQ(m.group, nullptr);
    for (const LightRecord& x : b->lights) EXPECT_NE(x.ambient.channel[0], 0u);  // every light, named or not
    EXPECT_EQ(b->lights[2].range.channel, 0u);
}

TEST(SceneChannels, ShaderParametersBindByXyzOrRgb) {
    Bound b(scene(0, 9, 25) + R"(
        PROC { IMFL { NAME "QirnPostProc" PRPS { PROP string filename "fx.hlsl" }
                      SHAD { PRPS { PROP float3 Pos 0 0 0  PROP float3 Tint 0 0 0  PROP float K 0 } } } }
        CGRP { NAME "Qirn" CGRP { NAME "QirnPostProc" CGRP { NAME "fx.hlsl"
               CHAN { NAME "Pos.X" VALS { VRUN 1 5 } } CHAN { NAME "Pos.R" VALS { VRUN 1 9 } }
               CHAN { NAME "Tint.R" VALS { VRUN 1 1 } } CHAN { NAME "Tint.G" VALS { VRUN 1 2 } }
               CHAN { NAME "Tint.B" VALS { VRUN 1 3 } } CHAN { NAME "K" VALS { VRUN 1 4 } } } } }
    )");
    const ShaderBlock& s = b->processing.filters[0].shader;
    ASSERT_EQ(s.params.size(), 3u);
    // "Pos.X" exists: X, Y, Z are taken (Y and Z are missing), R is never looked at.
    EXPECT_FLOAT_EQ(qeSceneChannelAt(b.im, s.params[0].channel[0], 0.0f), 5.0f);
    EXPECT_EQ(s.params[0].channel[1], 0u);
    EXPECT_EQ(s.params[0].channel[2], 0u);
    // "Tint" has no ".X": its colour channels.
    EXPECT_FLOAT_EQ(qeSceneChannelAt(b.im, s.params[1].channel[2], 0.0f), 3.0f);
    EXPECT_FLOAT_EQ(qeSceneChannelAt(b.im, s.params[2].channel[0], 0.0f), 4.0f);
}

}  // namespace
