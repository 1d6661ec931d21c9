// The scene image: records of every kind filled from their chunks and properties, written by the
// scene writer and read back.
#include <gtest/gtest.h>

#include <string>

#include "scene_image.h"
#include "scene_samples.h"
#include "scene_writer.h"

namespace {

struct Image {
    SceneImage* im = nullptr;
    explicit Image(const std::string& text) {
        std::string error;
        std::vector<uint8_t> bytes = qeSceneWriteDescription(text, &error);
        EXPECT_EQ(error, "");
        im = qeSceneImageLoadBuffer(bytes.data(), bytes.size());
    }
    ~Image() { qeSceneImageFree(im); }
    SceneImage* operator->() { return im; }
};

TEST(SceneImage, SampleRecordsRoundTrip) {
    Image im(qeSceneSampleDescription());
    ASSERT_NE(im.im, nullptr);

    EXPECT_STREQ(im->scene.fileName, "sample.lws");
    EXPECT_FLOAT_EQ(im->scene.audioStartTime, 1.5f);
    EXPECT_STREQ(im->scene.sceneChannel.name, "SceneChannel");
    EXPECT_NE(im->scene.sceneChannel.values, 0u);
    EXPECT_FLOAT_EQ(im->backdrop.squeeze[1], 3.0f);

    const ProcessingRecord& p = im->processing;
    ASSERT_EQ(p.filters.size(), 3u);
    EXPECT_EQ(p.filters[0].kind, QE_FILTER_RENDERSETTINGS);
    EXPECT_EQ(p.filters[1].kind, QE_FILTER_POSTPROC);
    EXPECT_EQ(p.filters[2].kind, QE_FILTER_OTHER);
    EXPECT_EQ(p.render.ssaoOn, 1);  // the "Other" filter's CH_SSAO_ENABLE 0 changes nothing
    EXPECT_FLOAT_EQ(p.render.cameraRangeMax, 500.0f);
    EXPECT_EQ(p.filters[1].endFrame, 20);
    EXPECT_STREQ(p.filters[2].shader.fileName, "");
    ASSERT_EQ(p.filters[1].shader.params.size(), 3u);
    EXPECT_EQ(p.filters[1].shader.params[0].kind, QE_SHADER_PARAM_FLOAT3);
    EXPECT_EQ(p.filters[1].shader.params[1].kind, QE_SHADER_PARAM_FLOAT);
    EXPECT_FLOAT_EQ(p.filters[1].shader.params[1].value[0], 0.5f);
    EXPECT_EQ(p.filters[1].shader.params[2].kind, QE_SHADER_PARAM_FLOAT3);  // an int parameter: zero floats
    EXPECT_FLOAT_EQ(p.filters[1].shader.params[2].value[0], 0.0f);

    ASSERT_EQ(im->objects.size(), 2u);
    EXPECT_EQ(im->objects[1].layer, 2);
    ASSERT_EQ(im->lights.size(), 2u);
    EXPECT_EQ(im->lights[0].flags, 9);  // the second light's properties fill only the second record
    EXPECT_EQ(im->lights[1].flags, 3);
    ASSERT_EQ(im->cameras.size(), 2u);
    EXPECT_EQ(im->cameras[0].resolution[1], 480);

    ASSERT_EQ(im->sceneObjects.size(), 1u);
    ASSERT_EQ(im->sceneObjects[0].surfaces.size(), 2u);
    const SurfaceRecord& hull = im->sceneObjects[0].surfaces[0];
    EXPECT_EQ(hull.slots[QE_SURF_BASECOLOR].kind, QE_SLOT_COLOR);
    EXPECT_FLOAT_EQ(hull.slots[QE_SURF_BASECOLOR].value[2], 0.6f);
    EXPECT_EQ(hull.slots[QE_SURF_SIDEDNESS].kind, QE_SLOT_INT);
    EXPECT_EQ(hull.slots[QE_SURF_LUMINOSITY].kind, QE_SLOT_FLOAT);  // tested, so it has its kind
    EXPECT_EQ(hull.slots[QE_SURF_VERTEXCOLORING].kind, QE_SLOT_COLOR);  // never reached: still zero
    ASSERT_EQ(hull.shader.params.size(), 2u);
    EXPECT_STREQ(hull.shader.params[0].name, "Color");

    ASSERT_EQ(im->fxEmitters.size(), 1u);
    const FxEmitterRecord& e = im->fxEmitters[0];
    EXPECT_FLOAT_EQ(e.lifeTime[1], 25.0f);
    EXPECT_STREQ(e.hv.clipFileName, "clip.png");
    EXPECT_EQ(e.hv.gradientCount, 8);  // 20 clamped
    EXPECT_EQ(e.hv.gradients[0].keyCount, 2);
    EXPECT_FLOAT_EQ(e.hv.gradients[0].keyFloats[6], 2.0f);
    EXPECT_EQ(e.hv.gradients[3].keyCount, 8);  // 99 clamped
    EXPECT_FLOAT_EQ(e.hv.gradients[3].keyFloats[1], 0.5f);
    ASSERT_EQ(e.hvShader.params.size(), 1u);
    EXPECT_EQ(im->groups.size(), 12u);
}

TEST(SceneImage, KeysBelongToTheirItemKindAndType) {
    Image im(R"(
        OBJE { NAME "o" PRPS { PROP int flags 5  PROP float range 3  PROP float numPoints 4.5 } }
        LIGH { NAME "l" PRPS { PROP int flags 6  PROP float range 3  PROP int intensity 7
                               PROP float3 coneAngles 1 2 3  PROP float rawColor 1 } }
        CAME { PRPS { PROP float2 resolution 1 2  PROP string flags "x" } }
    )");
    ASSERT_NE(im.im, nullptr);
    EXPECT_EQ(im->objects[0].flags, 5);
    EXPECT_EQ(im->objects[0].numPoints, 0);  // a float cannot fill an integer field
    EXPECT_EQ(im->lights[0].flags, 6);
    EXPECT_FLOAT_EQ(im->lights[0].range.value, 3.0f);
    EXPECT_FLOAT_EQ(im->lights[0].intensity.value, 0.0f);  // an integer cannot fill a float field
    EXPECT_FLOAT_EQ(im->lights[0].coneAngles[1], 2.0f);    // three floats can fill two
    EXPECT_FLOAT_EQ(im->lights[0].rawColor.value[0], 0.0f);  // one float cannot fill three
    EXPECT_EQ(im->cameras[0].resolution[0], 0);
    EXPECT_EQ(im->cameras[0].flags, 0);
}

TEST(SceneImage, ChannelGroupTree) {
    Image im(R"(
        SCEN { CHAN { NAME "first" } CHAN { NAME "second" VALS { VRUN 1 1 } } }
        CGRP { NAME "L1" CHAN { NAME "a" TYPE 7 }
          CGRP { NAME "L2" CGRP { NAME "L3" CGRP { NAME "L4" CGRP { NAME "L5" CHAN { NAME "deep" }
            CGRP { NAME "L6" CHAN { NAME "lost" } CGRP { NAME "L7" } } } } } } }
        CGRP { NAME "other" }
    )");
    ASSERT_NE(im.im, nullptr);
    EXPECT_STREQ(im->scene.sceneChannel.name, "second");  // the last one wins
    ASSERT_EQ(im->groups.size(), 2u);
    const ChannelGroup& l1 = im->groups[0];
    ASSERT_EQ(l1.channels.size(), 1u);
    EXPECT_STREQ(l1.channels[0].name, "a");
    EXPECT_EQ(l1.channels[0].type, 7u);
    const ChannelGroup* g = &l1;
    for (int level = 2; level <= 5; ++level) {
        ASSERT_EQ(g->children.size(), 1u) << level;
        g = &g->children[0];
        EXPECT_EQ(std::string(g->name), "L" + std::to_string(level));
    }
    ASSERT_EQ(g->channels.size(), 1u);
    EXPECT_STREQ(g->channels[0].name, "deep");
    EXPECT_TRUE(g->children.empty());  // the sixth level is not kept, nor what it holds
    EXPECT_STREQ(im->groups[1].name, "other");
}

TEST(SceneImage, ItemsOutsideTheirPlaceAreSkipped) {
    // A SURF outside a SOBJ, a PROP outside a PRPS and an IMFL outside PROC are skipped by their
    // lengths without touching any record.
    Image im(R"(
        SURF { NAME "stray" PRPS { PROP float Diffuse 1 } }
        SCEN { PROP int frameEnd 9  IMFL { NAME "QirnRenderSettings" } }
        SOBJ { SURF { PRPS { PROP float Diffuse 0.5 } } }
    )");
    ASSERT_NE(im.im, nullptr);
    EXPECT_EQ(im->scene.lastFrame, 0);
    EXPECT_TRUE(im->processing.filters.empty());
    ASSERT_EQ(im->sceneObjects.size(), 1u);
    ASSERT_EQ(im->sceneObjects[0].surfaces.size(), 1u);
    EXPECT_FLOAT_EQ(im->sceneObjects[0].surfaces[0].slots[QE_SURF_DIFFUSE].value[0], 0.5f);
}

TEST(SceneImage, FailedLoadsReturnNothing) {
    EXPECT_EQ(qeSceneImageLoad("no such file.qirn"), nullptr);
    std::vector<uint8_t> bytes = qeSceneWriteDescription(R"(SCEN { NAME "x" })");
    bytes[7] += 1;  // FORM length past the end
    testing::internal::CaptureStderr();
    EXPECT_EQ(qeSceneImageLoadBuffer(bytes.data(), bytes.size()), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Error: "), std::string::npos);
}

}  // namespace
