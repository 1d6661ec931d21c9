// The light module on a null device: the visible-light list, the diffuse colour from raw colour and
// intensity, the ambient colour and the renderer's getters.
#include "lights.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <string>

#include "engine_context.h"
#include "idtable.h"
#include "log.h"
#include "lookups.h"

using namespace irr;

namespace {

struct Lights : testing::Test {
    IrrlichtDevice* device = createDevice(video::EDT_NULL);
    EngineContext* ctx = qeIrrlichtGetContext();
    EngineContext saved = *ctx;

    Lights() {
        ctx->smgr = device->getSceneManager();
        ctx->lights = qeIdTableCreate(QE_MAX_LIGHTS);
        qeLogClearLastError();
    }
    ~Lights() override {
        qeIrrlichtLightsReset();
        qeIdTableDestroy(ctx->lights);
        *ctx = saved;
        device->drop();
    }
    static scene::ILightSceneNode* nodeOf(int id) {
        return static_cast<LightEntry*>(qeIdTableGet(qeIrrlichtGetContext()->lights, id))->node;
    }
    // The IDs of the visible-light list in order.
    static std::string visible() {
        std::string ids;
        for (int n = 0; scene::ILightSceneNode* node = qeIrrlichtGetVisibleLight(n); ++n)
            ids += std::to_string(node->getID()) + " ";
        return ids;
    }
    static std::string lastError(int* arg = nullptr) {
        int index = 0;
        const char* text = qeLogGetLastError(&index);
        if (arg) *arg = index;
        return text ? text : "";
    }
};

TEST_F(Lights, TheVisibleListKeepsShowOrderAndEachLightOnce) {
    qeIrrlichtMakeLight(1);
    qeIrrlichtMakeLight(2);
    qeIrrlichtMakeLight(3);
    EXPECT_EQ("1 2 3 ", visible());
    scene::ILightSceneNode* first = nodeOf(2);
    EXPECT_EQ(1e7f, first->getLightData().Radius);
    EXPECT_EQ(512, qeIrrlichtGetLightShadowMapSize(2));
    EXPECT_EQ(1.0f, qeIrrlichtGetLightIntensity(2));

    // a second light under an ID in use is refused and the first stays
    int arg = 0;
    qeIrrlichtMakeLight(2);
    EXPECT_EQ("invalid Light ID 2 : id 2 already exist", lastError(&arg));
    EXPECT_EQ(1, arg);
    EXPECT_EQ(first, nodeOf(2));
    EXPECT_EQ("1 2 3 ", visible());

    qeIrrlichtDeleteLight(2);
    EXPECT_EQ("1 3 ", visible());
    EXPECT_EQ(0, qeIrrlichtLightExist(2));

    qeLogClearLastError();
    qeIrrlichtHideLight(1);
    qeIrrlichtHideLight(1);
    EXPECT_EQ("", lastError());
    EXPECT_FALSE(nodeOf(1)->isVisible());
    EXPECT_EQ(0, qeIrrlichtLightVisible(1));
    EXPECT_EQ("3 ", visible());
    qeIrrlichtShowLight(1);
    qeIrrlichtShowLight(1);
    EXPECT_TRUE(nodeOf(1)->isVisible());
    EXPECT_EQ("3 1 ", visible());

    qeIrrlichtHideLight(3);
    qeIrrlichtHideLight(1);
    EXPECT_EQ(nullptr, qeIrrlichtGetVisibleLight(0));
    EXPECT_EQ("", lastError());
}

TEST_F(Lights, AbsentIdsAreReportedByTheSettersOnly) {
    int arg = 0;
    EXPECT_EQ(0, qeIrrlichtLightVisible(7));
    EXPECT_EQ("Light ID 7 does not exist. id 7 does not exist", lastError(&arg));
    EXPECT_EQ(1, arg);
    qeIrrlichtSetLightIntensity(-1, 2.0f);
    EXPECT_EQ("Light ID -1 does not exist. invalid negative ID -1", lastError());

    qeLogClearLastError();
    qeIrrlichtDeleteLight(7);
    EXPECT_EQ(0, qeIrrlichtLightExist(7));
    EXPECT_EQ(0.0f, qeIrrlichtGetLightIntensity(7));
    EXPECT_EQ(0, qeIrrlichtGetLightShadow(1000));
    EXPECT_EQ(0.0f, qeIrrlichtGetLightShadowFuzz(7));
    EXPECT_EQ(nullptr, qeIrrlichtGetLightShadowColor(7));
    EXPECT_EQ("", lastError());
}

TEST_F(Lights, DiffuseIsRawColourTimesIntensityWrappedLikeTheEnginesByteColour) {
    qeIrrlichtMakeLight(4);
    const video::SLight& data = nodeOf(4)->getLightData();
    qeIrrlichtColorLight(4, 0xFFFFFF);
    qeIrrlichtSetLightIntensity(4, 2.0f);
    EXPECT_FLOAT_EQ(254.0f / 255.0f, data.DiffuseColor.r);
    EXPECT_FLOAT_EQ(254.0f / 255.0f, data.DiffuseColor.b);
    qeIrrlichtSetLightIntensity(4, 1.5f);  // 382 keeps 126
    EXPECT_FLOAT_EQ(126.0f / 255.0f, data.DiffuseColor.g);
    qeIrrlichtSetLightRawColor(4, 0.5f, 0.25f, 0.0f);
    EXPECT_FLOAT_EQ(191.0f / 255.0f, data.DiffuseColor.r);
    EXPECT_FLOAT_EQ(95.0f / 255.0f, data.DiffuseColor.g);

    // a colour resets the intensity: the next raw colour is taken as it stands
    qeIrrlichtColorLight(4, 0x336699);
    EXPECT_EQ(1.0f, qeIrrlichtGetLightIntensity(4));
    EXPECT_FLOAT_EQ(0x66 / 255.0f, data.DiffuseColor.g);
    qeIrrlichtSetLightRawColor(4, 1.0f, 1.0f, 1.0f);
    EXPECT_FLOAT_EQ(1.0f, data.DiffuseColor.r);

    qeIrrlichtColorLightShadow(4, 0xFF8000);
    const float* shadow = qeIrrlichtGetLightShadowColor(4);
    EXPECT_FLOAT_EQ(1.0f, shadow[0]);
    EXPECT_FLOAT_EQ(128.0f / 255.0f, shadow[1]);
    EXPECT_FLOAT_EQ(0.0f, shadow[2]);
}

TEST_F(Lights, AmbientColourGoesToTheFirstVisibleLightOnly) {
    qeIrrlichtColorAmbientLight(0x808080);  // no light: nothing happens
    EXPECT_EQ("", lastError());
    qeIrrlichtMakeLight(1);
    qeIrrlichtMakeLight(2);
    qeIrrlichtHideLight(1);
    qeIrrlichtShowLight(1);  // now 2 leads
    qeIrrlichtColorAmbientLight(0xFF0000);
    EXPECT_EQ(1.0f, nodeOf(2)->getLightData().AmbientColor.r);
    EXPECT_EQ(0.0f, nodeOf(2)->getLightData().AmbientColor.g);
    EXPECT_NE(1.0f, nodeOf(1)->getLightData().AmbientColor.r);
}

TEST_F(Lights, TypesAndLightDataFollowTheCommands) {
    qeIrrlichtMakeLight(9);
    scene::ILightSceneNode* node = nodeOf(9);
    EXPECT_EQ(9, node->getID());
    qeIrrlichtSetSpotLight(9, 10.0f, 30.0f);
    EXPECT_EQ(video::ELT_SPOT, node->getLightType());
    EXPECT_EQ(30.0f, node->getLightData().OuterCone);
    qeIrrlichtSetDirectionalLight(9, 45.0f, 0.0f, 0.0f);
    EXPECT_EQ(video::ELT_DIRECTIONAL, node->getLightType());
    EXPECT_EQ(core::vector3df(45, 0, 0), node->getRotation());
    qeIrrlichtSetPointLight(9, 1.0f, 2.0f, 3.0f);
    EXPECT_EQ(video::ELT_POINT, node->getLightType());
    EXPECT_EQ(core::vector3df(1, 2, 3), node->getPosition());
    qeIrrlichtSetLightRange(9, 250.0f);
    EXPECT_EQ(250.0f, node->getLightData().Radius);
    qeIrrlichtSetLightShadow(9, 1);
    qeIrrlichtSetShadowMapFuzz(9, 0.5f);
    EXPECT_EQ(1, qeIrrlichtGetLightShadow(9));
    EXPECT_EQ(0.5f, qeIrrlichtGetLightShadowFuzz(9));
}

TEST(LightColourByte, KeepsTheLowEightBitsOfTheTruncatedProduct) {
    EXPECT_FLOAT_EQ(1.0f, qeIrrlichtLightColourByte(1.0f));
    EXPECT_FLOAT_EQ(254.0f / 255.0f, qeIrrlichtLightColourByte(2.0f));
    EXPECT_FLOAT_EQ(0.0f, qeIrrlichtLightColourByte(0.0f));
}

}  // namespace
