// Fx emitters, the particle shader and camera effects on a started engine: what each command leaves in
// the emitter and the particle-shader block, the permutation cache, the blends read back from a render
// target, the camera effects' slots and enabled list, and what an engine restart leaves of them.
#include <gtest/gtest.h>
#include <irrlicht.h>
#include <windows.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "IQeGPUProgrammingServices.h"
#include "IQeManager.h"
#include "camera_effects.h"
#include "device_check.h"
#include "engine.h"
#include "engine_context.h"
#include "file_fixtures.h"
#include "frame.h"
#include "fxemitter.h"
#include "lights.h"
#include "log.h"
#include "objects.h"
#include "lookups.h"
#include "particle_shader.h"
#include "particles/CQeParticleSystemSceneNode.h"
#include "scene_access.h"
#include "scene_image.h"
#include "shader_object.h"
#include "shader_engine.h"
#include "shell_fixtures.h"
#include "sysfile.h"
#include "x_samples.h"

using namespace irr;

namespace {

const char* const kCameraEffect =
    "//[QIRN_BEGIN]\n//function vertexMain : vsMain\n//function pixelMain : psMain\n"
    "//texture 0 SourceRTT preset\n"
    "//texture 2 effect-image.png repeat noMipMap filterPoint\n"
    "//texture 3 missing-texture.png\n"
    "//float Strength : 0.5 : pixel\n//float3 Tint : 1,1,1 : pixel\n//float Clock : Time0_X : pixel\n"
    "//[QIRN_END]\n"
    "float Strength;\nfloat3 Tint;\nfloat Clock;\nsampler2D Source : register(s0);\n"
    "float4 vsMain(float4 p : POSITION) : POSITION { return p; }\n"
    "float4 psMain() : COLOR0 { return float4(Tint * Strength, Clock); }\n";

// One engine for every case: starting one is slow under emulation.
class RenderModules : public testing::Test {
protected:
    static void SetUpTestSuite() {
        files = new qetest::TempDir("render-modules");
        start();
    }
    static void TearDownTestSuite() {
        qeIrrlichtTerm();
        delete files;
    }
    static void start() { ASSERT_EQ(0, qetest::startShaderEngine(QIRN_OUTPUT_DIR, files->mkdir("cache"))); }
    RenderModules() { qeLogClearLastError(); }
    ~RenderModules() override {
        for (int id = 0; id < 10; ++id) {
            qeIrrlichtDeleteFxEmitter(id);
            qeIrrlichtDeleteCameraEffect(id);
            qeIrrlichtDeleteLight(id);
        }
    }

    static FxEmitterEntry* entry(int id) { return qeIrrlichtGetFxEmitterEntry(id); }
    static SQeFxEmitterSettings* settings(int id) {
        return static_cast<CQeParticleSystemSceneNode*>(entry(id)->node)->getFxEmitter()->getSettings();
    }
    // The material type of the permutation the emitter's block selects (-2 when it is not cached).
    static s32 permutationType(int id) {
        ShaderObject* shader = qeIrrlichtParticleShaderCached(qeIrrlichtParticleShaderIndex(&entry(id)->block));
        return shader ? qeIrrShaderGetMaterialType(shader) : -2;
    }
    static std::string lastError(int* arg = nullptr) {
        int index = 0;
        const char* text = qeLogGetLastError(&index);
        if (arg) *arg = index;
        return text ? text : "";
    }

    // Draws the scene into a 64x64 target cleared to the colour, seen by a camera 20 units in front of the
    // origin at the engine time timeMs; gives the centre pixel.
    static u32 drawScene(video::SColor clear, u32 timeMs) {
        core::matrix4 viewProjection;
        const std::vector<u32> pixels = drawPixels(timeMs, -20.0f, &viewProjection, clear);
        return pixels.size() == 64 * 64 ? pixels[32 * 64 + 32] : 0xDEADBEEF;
    }
    // An emitter at the origin with one particle at rest there, living from birth to death (ms).
    static void particleEmitter(int id, u32 birthMs, u32 deathMs) {
        ASSERT_EQ(0, qeIrrlichtMakeFxEmitterBox(id, nullptr, 1, 1, 1));
        qeIrrlichtSetFxEmitterParticleSize(id, 4.0f);
        static_cast<CQeParticleSystemSceneNode*>(entry(id)->node)->getFxEmitter()->addParticle(0, 0, 0, birthMs, deathMs);
    }

    // Draws the scene at timeMs into a 64x64 target cleared to the colour, seen from (0, 0, eyeZ) towards
    // the origin; gives every pixel (none when the frame could not be drawn), and the camera's
    // view-projection matrix.
    static std::vector<u32> drawPixels(u32 timeMs, f32 eyeZ, core::matrix4* viewProjection,
                                       video::SColor clear = video::SColor(255, 0, 0, 0)) {
        EngineContext* ctx = qeIrrlichtGetContext();
        video::ITexture* target = ctx->driver->addRenderTargetTexture(core::dimension2d<u32>(64, 64), "modules-pixels");
        if (!target) return {};
        scene::ICameraSceneNode* camera =
            ctx->smgr->addCameraSceneNode(nullptr, core::vector3df(0, 0, eyeZ), core::vector3df(0, 0, 0));
        camera->setAspectRatio(1.0f);
        ctx->device->getTimer()->stop();
        ctx->device->getTimer()->setTime(timeMs);
        std::vector<u32> pixels;
        if (ctx->driver->beginScene(true, true, video::SColor(255, 0, 0, 0))) {
            ctx->driver->setRenderTarget(target, true, true, clear);
            ctx->smgr->drawAll();
            ctx->driver->setRenderTarget(0, false, false);
            ctx->driver->endScene();
            pixels = qetest::readPixels(target);
        }
        *viewProjection = camera->getProjectionMatrix() * camera->getViewMatrix();
        ctx->smgr->setActiveCamera(ctx->camera);
        camera->remove();
        ctx->driver->removeTexture(target);
        return pixels;
    }
    // Whether the pixel a world point projects to is lit.
    static bool litAt(const std::vector<u32>& pixels, const core::matrix4& viewProjection, const core::vector3df& p) {
        f32 v[4] = {p.X, p.Y, p.Z, 1.0f};
        viewProjection.multiplyWith1x4Matrix(v);
        const int x = static_cast<int>((v[0] / v[3] * 0.5f + 0.5f) * 64.0f);
        const int y = static_cast<int>((0.5f - v[1] / v[3] * 0.5f) * 64.0f);
        if (pixels.size() != 64 * 64 || x < 0 || x >= 64 || y < 0 || y >= 64) return false;
        const u32 c = pixels[y * 64 + x];
        return ((c >> 16) & 0xFF) > 0x30 || ((c >> 8) & 0xFF) > 0x30 || (c & 0xFF) > 0x30;
    }
    // The particle positions the emitter's node draws.
    static std::vector<core::vector3df> particlesOf(int id) {
        CQeFxEmitter* emitter = static_cast<CQeParticleSystemSceneNode*>(entry(id)->node)->getFxEmitter();
        std::vector<SQeParticleInstance> records(emitter->getParticleCount() + 1);
        records.resize(emitter->fillInstances(records.data(), static_cast<s32>(records.size())));
        std::vector<core::vector3df> positions;
        for (const SQeParticleInstance& r : records) positions.push_back(core::vector3df(r.x, r.y, r.z));
        return positions;
    }
    static u32 vertexCount(scene::IMesh* mesh) {
        u32 n = 0;
        for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) n += mesh->getMeshBuffer(b)->getVertexCount();
        return n;
    }
    // How many of the positions lie on a corner of the box centre ± half (each coordinate 1e-3 away at
    // most), and how many of the box's eight corners they cover.
    static std::pair<size_t, size_t> onCorners(const std::vector<core::vector3df>& positions, const core::vector3df& centre,
                                               const core::vector3df& half) {
        size_t on = 0;
        bool covered[8] = {};
        for (const core::vector3df& p : positions) {
            int corner = 0;
            bool ok = true;
            for (int axis = 0; axis < 3; ++axis) {
                const f32 d = (&p.X)[axis] - (&centre.X)[axis], h = (&half.X)[axis];
                if (std::fabs(d - h) < 1e-3f) corner |= 1 << axis;
                else if (std::fabs(d + h) >= 1e-3f) ok = false;
            }
            if (!ok) continue;
            ++on;
            covered[corner] = true;
        }
        size_t corners = 0;
        for (bool c : covered) corners += c;
        return {on, corners};
    }
    static std::vector<core::vector3df> corners(const core::vector3df& centre, const core::vector3df& half) {
        std::vector<core::vector3df> all;
        for (int c = 0; c < 8; ++c)
            all.push_back(centre + core::vector3df(c & 1 ? half.X : -half.X, c & 2 ? half.Y : -half.Y, c & 4 ? half.Z : -half.Z));
        return all;
    }

    static qetest::TempDir* files;
};
qetest::TempDir* RenderModules::files = nullptr;

TEST(ParticlePermutations, IndexAndDefinesFollowTheBlock) {
    ParticleShaderBlock block = {};
    block.useImageColor = 1;
    block.colorKeyCount = 2;
    block.blendKind = 1;
    const char* defines[8];
    ASSERT_EQ(19, qeIrrlichtParticleShaderIndex(&block));
    ASSERT_EQ(2, qeIrrlichtParticleShaderDefines(19, defines));
    EXPECT_STREQ("TEX_COLOR", defines[0]);
    EXPECT_STREQ("BLEND_ADD", defines[1]);
    EXPECT_EQ(nullptr, defines[2]);
    block.useImageColor = 0;
    ASSERT_EQ(18, qeIrrlichtParticleShaderIndex(&block));
    ASSERT_EQ(2, qeIrrlichtParticleShaderDefines(18, defines));
    EXPECT_STREQ("COLOR_GRADIENT", defines[0]);

    block = {};
    block.blendKind = 2;
    block.rotation = 0.5f;
    ASSERT_EQ(40, qeIrrlichtParticleShaderIndex(&block));
    ASSERT_EQ(2, qeIrrlichtParticleShaderDefines(40, defines));
    EXPECT_STREQ("ROTATION", defines[0]);
    EXPECT_STREQ("BLEND_SUB", defines[1]);
    block.sizeKeyCount = 1;
    EXPECT_EQ(44, qeIrrlichtParticleShaderIndex(&block));
    block.blendKind = 3;
    EXPECT_EQ(-1, qeIrrlichtParticleShaderIndex(&block));
}

TEST_F(RenderModules, EmitterCommandsReachTheEmitterAndTheBlock) {
    ASSERT_EQ(0, qeIrrlichtMakeFxEmitterBox(1, nullptr, 1, 2, 3));
    SQeFxEmitterSettings* s = settings(1);
    EXPECT_EQ(0.0f, s->birthRate);  // emits nothing until a birth rate is set
    EXPECT_EQ(2.0f, s->nozzleSize[1]);
    EXPECT_EQ(0.1f, s->lifeTimeVariation);
    EXPECT_EQ(0u, s->nozzleKind);
    video::SMaterial& material = entry(1)->node->getMaterial(0);
    const void* address = nullptr;
    EXPECT_EQ(QE_MARKER_PARTICLE, qeIrrlichtGetMaterialMarker(material, &address));
    EXPECT_EQ(&entry(1)->block, address);
    EXPECT_NE(nullptr, material.getTexture(0));  // the default particle image
    EXPECT_EQ(permutationType(1), material.MaterialType);
    EXPECT_EQ(17, qeIrrlichtParticleShaderIndex(&entry(1)->block));

    qeIrrlichtSetFxEmitterParticleSize(1, 3.0f);
    EXPECT_EQ(6.0f, entry(1)->block.size);
    qeIrrlichtSetFxEmitterColor(1, 0xFF8000);
    EXPECT_EQ(0u, entry(1)->block.useImageColor);
    EXPECT_FLOAT_EQ(1.0f, entry(1)->block.color[0]);
    EXPECT_NEAR(0.50196f, entry(1)->block.color[1], 1e-5f);
    EXPECT_EQ(0.0f, entry(1)->block.color[2]);
    EXPECT_EQ(1.0f, entry(1)->block.color[3]);
    EXPECT_EQ(permutationType(1), material.MaterialType);

    qeIrrlichtSetFxEmitterVelocity(1, 1, 2, 3);
    qeIrrlichtSetFxEmitterGravity(1, 0, -9, 0);
    qeIrrlichtSetFxEmitterBirthRate(1, 25);
    qeIrrlichtSetFxEmitterLifeTime(1, 2.0f, 0.5f);
    qeIrrlichtSetFxEmitterExplosion(1, 4.0f);
    qeIrrlichtSetFxEmitterWeight(1, 0.5f);
    qeIrrlichtSetFxEmitterResistance(1, 0.25f);
    qeIrrlichtSetFxEmitterVibration(1, 0.75f);
    qeIrrlichtSetFxEmitterParticleLimit(1, 300);
    qeIrrlichtSetFxEmitterParentMotion(1, 0.3f);
    EXPECT_EQ(3.0f, s->velocity[2]);
    EXPECT_EQ(-9.0f, s->gravity[1]);
    EXPECT_EQ(25.0f, s->birthRate);
    EXPECT_EQ(2.0f, s->lifeTime);
    EXPECT_EQ(0.5f, s->lifeTimeVariation);
    EXPECT_EQ(2.0f, entry(1)->lifeTime);
    EXPECT_EQ(4.0f, s->explosion);
    EXPECT_EQ(4.0f, entry(1)->explosion);
    EXPECT_EQ(0.5f, s->weight);
    EXPECT_EQ(0.25f, s->resistance);
    EXPECT_EQ(0.75f, s->vibration);
    EXPECT_EQ(300u, s->particleLimit);
    EXPECT_EQ(0.3f, s->parentMotion);

    // the blend-mode table; the shader's material type wins over the node's
    qeIrrlichtSetFxEmitterBlendMode(1, 1);
    EXPECT_EQ(0u, entry(1)->block.blendKind);
    EXPECT_EQ(1, s->depthSort);
    EXPECT_EQ(permutationType(1), material.MaterialType);
    qeIrrlichtSetFxEmitterBlendMode(1, 3);
    EXPECT_EQ(2u, entry(1)->block.blendKind);
    EXPECT_EQ(0, s->depthSort);
    EXPECT_EQ(QE_MARKER_PARTICLE, qeIrrlichtGetMaterialMarker(material, nullptr));
    qeIrrlichtSetFxEmitterBlendMode(1, 0);
    EXPECT_EQ(1u, entry(1)->block.blendKind);
    EXPECT_EQ(permutationType(1), material.MaterialType);

    // gradients keep at most 8 keys of five floats
    float keys[11 * 5];
    for (int i = 0; i < 11 * 5; ++i) keys[i] = static_cast<float>(i);
    qeIrrlichtSetFxEmitterColorGradient(1, 11, keys);
    qeIrrlichtSetFxEmitterSizeGradient(1, 11, keys);
    EXPECT_EQ(8, entry(1)->block.colorKeyCount);
    EXPECT_EQ(35.0f, entry(1)->block.colorKeys[7]);
    EXPECT_EQ(39.0f, entry(1)->block.colorKeyValues[7][3]);
    EXPECT_EQ(8, entry(1)->block.sizeKeyCount);
    EXPECT_EQ(36.0f, entry(1)->block.sizeKeyValues[7]);
    EXPECT_EQ(16 + 2 + 4, qeIrrlichtParticleShaderIndex(&entry(1)->block));
    EXPECT_EQ(permutationType(1), material.MaterialType);

    // a second emitter with the same settings shares the shader
    ASSERT_EQ(0, qeIrrlichtMakeFxEmitterSphere(2, nullptr, 1, 1, 1));
    EXPECT_EQ(1u, settings(2)->nozzleKind);
    qeIrrlichtSetFxEmitterColor(2, 0x123456);
    qeIrrlichtSetFxEmitterColorGradient(2, 2, keys);
    qeIrrlichtSetFxEmitterSizeGradient(2, 1, keys);
    EXPECT_EQ(material.MaterialType, entry(2)->node->getMaterial(0).MaterialType);
    qeIrrlichtSetFxEmitterUseImageColor(2);
    EXPECT_EQ(1u, entry(2)->block.useImageColor);
    EXPECT_EQ(1.0f, entry(2)->block.color[1]);
    EXPECT_EQ(permutationType(2), entry(2)->node->getMaterial(0).MaterialType);
}

TEST_F(RenderModules, EmittersAreFoundPlacedLockedAndDeletedByTheirIds) {
    int arg = 0;
    qeIrrlichtSetFxEmitterBirthRate(5, 1.0f);
    EXPECT_EQ("FxEmitter ID 5 does not exist. id 5 does not exist", lastError(&arg));
    EXPECT_EQ(1, arg);
    ASSERT_EQ(0, qeIrrlichtMakeFxEmitterBox(5, nullptr, 1, 1, 1));
    EXPECT_EQ(-1, qeIrrlichtMakeFxEmitterBox(5, nullptr, 1, 1, 1));
    EXPECT_EQ("invalid FxEmitter ID 5 : id 5 already exist", lastError(&arg));
    EXPECT_EQ(-1, qeIrrlichtMakeFxEmitterBox(6, "no-such-image.png", 1, 1, 1));
    EXPECT_EQ("failed to setup material image", lastError(&arg));
    EXPECT_EQ(2, arg);
    EXPECT_EQ(0, qeIrrlichtFxEmitterExist(6));

    scene::ISceneNode* node = entry(5)->node;
    qeIrrlichtPositionFxEmitter(5, 1, 2, 3);
    qeIrrlichtRotateFxEmitter(5, 0, 90, 0);
    qeIrrlichtHideFxEmitter(5);
    EXPECT_FALSE(node->isVisible());
    qeIrrlichtShowFxEmitter(5);
    EXPECT_TRUE(node->isVisible());
    EngineContext* ctx = qeIrrlichtGetContext();
    qeIrrlichtLockFxEmitterOn(5);
    EXPECT_EQ(ctx->smgr->getActiveCamera(), node->getParent());
    qeIrrlichtLockFxEmitterOff(5);
    EXPECT_EQ(ctx->smgr->getRootSceneNode(), node->getParent());
    EXPECT_EQ(core::vector3df(1, 2, 3), node->getPosition());
    EXPECT_EQ(core::vector3df(0, 90, 0), node->getRotation());

    qeLogClearLastError();
    qeIrrlichtDeleteFxEmitter(5);
    qeIrrlichtDeleteFxEmitter(5);
    EXPECT_EQ(0, qeIrrlichtFxEmitterExist(5));
    EXPECT_EQ("", lastError());
}

TEST_F(RenderModules, AFailedPermutationShowsItsBoxAndIsTriedAgain) {
    ASSERT_EQ(0, qeIrrlichtMakeFxEmitterBox(1, nullptr, 1, 1, 1));
    const s32 before = entry(1)->node->getMaterial(0).MaterialType;
    qetest::BoxRecorder boxes;
    qeSysSetBaseDir(files->mkdir("empty").c_str());  // no shaders there
    qeIrrlichtSetFxEmitterRotation(1, 2.0f);
    qeSysSetBaseDir(QIRN_OUTPUT_DIR);
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("failed to create shader Particle.hlsl", boxes.text(0));
    EXPECT_EQ(nullptr, qeIrrlichtParticleShaderCached(1 + 8 + 16));
    EXPECT_EQ(before, entry(1)->node->getMaterial(0).MaterialType);

    qeIrrlichtSetFxEmitterRotation(1, 2.0f);
    ASSERT_NE(nullptr, qeIrrlichtParticleShaderCached(1 + 8 + 16));
    EXPECT_EQ(permutationType(1), entry(1)->node->getMaterial(0).MaterialType);
    EXPECT_NE(before, entry(1)->node->getMaterial(0).MaterialType);
}

TEST_F(RenderModules, AddedAndSubtractedParticlesChangeTheTarget) {
    particleEmitter(1, 0, 100000);
    qeIrrlichtSetFxEmitterColor(1, 0x808080);
    // additive: 128 + 10 × (1 − 0.5)
    const u32 added = drawScene(video::SColor(255, 10, 10, 10), 5000);
    EXPECT_PRED3(qeColourNear, 0xFF858585u, added, 10) << std::hex << added;
    // subtractive: 200 × (1 − 0.5) (the blend takes the target's alpha away too)
    qeIrrlichtSetFxEmitterBlendMode(1, 3);
    const u32 taken = drawScene(video::SColor(255, 200, 200, 200), 5000) | 0xFF000000u;
    EXPECT_PRED3(qeColourNear, 0xFF646464u, taken, 10) << std::hex << taken;
    // hidden: the target keeps its clear colour
    qeIrrlichtHideFxEmitter(1);
    EXPECT_PRED3(qeColourNear, 0xFFC8C8C8u, drawScene(video::SColor(255, 200, 200, 200), 5000), 2);
}

TEST_F(RenderModules, AColourGradientFollowsTheParticlesAge) {
    particleEmitter(1, 0, 10000);
    const float keys[2 * 5] = {0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f};
    qeIrrlichtSetFxEmitterColor(1, 0);
    qeIrrlichtSetFxEmitterBlendMode(1, 1);
    qeIrrlichtSetFxEmitterColorGradient(1, 2, keys);
    const u32 young = drawScene(video::SColor(255, 0, 0, 0), 1000);  // a tenth of its life: mostly red
    const u32 old = drawScene(video::SColor(255, 0, 0, 0), 9000);    // nine tenths: mostly blue
    EXPECT_PRED3(qeColourNear, 0xFFE6001Au, young, 12) << std::hex << young;
    EXPECT_PRED3(qeColourNear, 0xFF1A00E6u, old, 12) << std::hex << old;
}

TEST_F(RenderModules, EmittersOverObjectsReadTheirMeshAndOutliveTheObject) {
    qetest::BoxRecorder boxes;
    int arg = 0;
    // no object: argument 3, and an emitter without nozzle mesh stays
    EXPECT_EQ(-1, qeIrrlichtMakeFxEmitterMeshVertices(1, nullptr, 42));
    EXPECT_EQ("failed to get mesh of object ID 42", lastError(&arg));
    EXPECT_EQ(3, arg);
    EXPECT_EQ(1, qeIrrlichtFxEmitterExist(1));
    EXPECT_EQ(nullptr, entry(1)->nozzleMesh);

    // after the tangent set-up the object's node alone holds its mesh
    qeIrrlichtLoadObject(QIRN_EXAMPLES_DIR "cube.x", 7);
    ASSERT_EQ(1, qeIrrlichtObjectExist(7));
    ASSERT_NE(nullptr, qeIrrlichtObjMakeTangentMesh(7, 0));
    ASSERT_EQ(1, getObjectMesh(7)->getReferenceCount());
    ASSERT_EQ(0, qeIrrlichtMakeFxEmitterMeshNormal(2, nullptr, 7));
    scene::IMesh* mesh = entry(2)->nozzleMesh;
    ASSERT_NE(nullptr, mesh);
    EXPECT_EQ(getObjectMesh(7), mesh);
    EXPECT_EQ(3u, settings(2)->nozzleKind);
    EXPECT_EQ(mesh, settings(2)->nozzleMesh);
    ASSERT_EQ(0, qeIrrlichtMakeFxEmitterMeshTriangles(3, nullptr, 7));
    EXPECT_EQ(4u, settings(3)->nozzleKind);
    qeIrrlichtDeleteFxEmitter(3);

    // the object goes; the emitter keeps the mesh it reads and goes on emitting from it
    qeIrrlichtSetFxEmitterBirthRate(2, 200.0f);
    EXPECT_EQ(2, mesh->getReferenceCount());
    qeIrrlichtDeleteObject(7);
    EXPECT_EQ(0, qeIrrlichtObjectExist(7));
    EXPECT_EQ(1, mesh->getReferenceCount());
    for (u32 t = 1000; t <= 1500; t += 100) drawScene(video::SColor(255, 0, 0, 0), t);
    EXPECT_GT(entry(2)->node->getEmitter()->getParticleCount(), 0u);
    qeIrrlichtDeleteFxEmitter(2);

    // the static-mesh emitter takes only the life time and the explosion
    qeIrrlichtLoadObject(QIRN_EXAMPLES_DIR "cube.x", 7);
    ASSERT_EQ(0, qeIrrlichtMakeFxEmitterMeshStatic(4, nullptr, 7));
    EXPECT_EQ(1u, entry(4)->isStatic);
    SQeFxEmitterSettings* s = settings(4);
    const SQeFxEmitterSettings before = *s;
    qeIrrlichtSetFxEmitterVelocity(4, 1, 2, 3);
    qeIrrlichtSetFxEmitterBirthRate(4, 50.0f);
    qeIrrlichtSetFxEmitterParticleLimit(4, 9);
    qeIrrlichtSetFxEmitterGravity(4, 0, -1, 0);
    EXPECT_EQ(before.velocity[0], s->velocity[0]);
    EXPECT_EQ(before.birthRate, s->birthRate);
    EXPECT_EQ(before.particleLimit, s->particleLimit);
    EXPECT_EQ(before.gravity[1], s->gravity[1]);
    qeIrrlichtSetFxEmitterLifeTime(4, 2.0f, 0.5f);
    qeIrrlichtSetFxEmitterExplosion(4, 1.5f);
    EXPECT_EQ(2.0f, s->lifeTime);
    EXPECT_EQ(2.0f, entry(4)->lifeTime);
    EXPECT_EQ(1.5f, s->explosion);
    EXPECT_EQ(QE_MARKER_PARTICLE, qeIrrlichtGetMaterialMarker(entry(4)->node->getMaterial(0), nullptr));
    // over no object: argument 3, nothing stays
    EXPECT_EQ(-1, qeIrrlichtMakeFxEmitterMeshStatic(5, nullptr, 42));
    EXPECT_EQ("failed to create FxEmitter node", lastError(&arg));
    EXPECT_EQ(3, arg);
    EXPECT_EQ(0, qeIrrlichtFxEmitterExist(5));
    qeIrrlichtDeleteObject(7);
}

// The static-mesh emitter puts one permanent particle on each vertex of its object as the object shows
// it: where the object stands, and for an animated object in the frame it shows, hidden or not.
TEST_F(RenderModules, AStaticMeshEmitterSitsOnTheVerticesItsObjectShows) {
    // the bundled cube (corners at ±10) placed away from the origin
    qeIrrlichtLoadObject(QIRN_EXAMPLES_DIR "cube.x", 7);
    ASSERT_EQ(1, qeIrrlichtObjectExist(7));
    qeIrrlichtPositionObject(7, 25, 0, 0);
    ASSERT_EQ(0, qeIrrlichtMakeFxEmitterMeshStatic(1, nullptr, 7));
    qeIrrlichtSetFxEmitterParticleSize(1, 4.0f);
    qeIrrlichtSetFxEmitterColor(1, 0xFFFFFF);
    qeIrrlichtSetFxEmitterBirthRate(1, 1000.0f);  // the vertices are its particles: none is ever born
    const u32 vertices = vertexCount(getObjectMesh(7));
    const core::vector3df half(10, 10, 10);
    core::matrix4 vp;
    for (u32 t = 1000; t <= 1200; t += 100) drawPixels(t, -60.0f, &vp);
    std::vector<core::vector3df> shown = particlesOf(1);
    EXPECT_EQ(vertices, shown.size());
    EXPECT_EQ(std::make_pair(size_t(vertices), size_t(8)), onCorners(shown, core::vector3df(25, 0, 0), half));

    // hidden, the object's particles alone show, and still follow it
    qeIrrlichtHideObject(7);
    qeIrrlichtPositionObject(7, -25, 5, 0);
    std::vector<u32> pixels = drawPixels(1300, -60.0f, &vp);
    EXPECT_EQ(std::make_pair(size_t(vertices), size_t(8)), onCorners(particlesOf(1), core::vector3df(-25, 5, 0), half));
    for (const core::vector3df& corner : corners(core::vector3df(-25, 5, 0), half))
        EXPECT_TRUE(litAt(pixels, vp, corner)) << corner.X << " " << corner.Y << " " << corner.Z;
    EXPECT_FALSE(litAt(pixels, vp, core::vector3df(0, 0, 0)));
    // they stay where they were once it is gone
    qeIrrlichtDeleteObject(7);
    drawPixels(1400, -60.0f, &vp);
    EXPECT_EQ(std::make_pair(size_t(vertices), size_t(8)), onCorners(particlesOf(1), core::vector3df(-25, 5, 0), half));

    // a 24-frame .x: a cube (corners at ±1, one material) whose top corners a bone lifts from y = 1 to
    // y = 4 at frame 23
    std::string text = qetest::skinnedCubeX();
    const auto replace = [&text](const std::string& from, const std::string& to) {
        const size_t at = text.find(from);
        if (at != std::string::npos) text.replace(at, from.size(), to);
        return at != std::string::npos;
    };
    ASSERT_TRUE(replace("   2;\n   0;3;0.0,1.0,0.0;;,\n   10;3;0.0,2.0,0.0;;;\n",
                        "   3;\n   0;3;0.0,1.0,0.0;;,\n   23;3;0.0,4.0,0.0;;,\n   24;3;0.0,4.0,0.0;;;\n"));
    ASSERT_TRUE(replace("   2;\n   6;\n   0,0,0,1,1,1;;\n", "   1;\n   6;\n   0,0,0,0,0,0;;\n"));
    ASSERT_TRUE(replace("   Material { 0.0;1.0;0.0;1.0;; 10.0; 1.0;1.0;1.0;; 0.0;0.0;0.0;; }\n", ""));
    qeIrrlichtLoadObject(files->write("anim.x", text).c_str(), 8);
    ASSERT_EQ(1, qeIrrlichtObjectExist(8));
    ASSERT_EQ(24, qeIrrlichtTotalObjectFrames(8));
    qeIrrlichtPositionObject(8, 4, 0, 0);
    qeIrrlichtHideObject(8);
    ASSERT_EQ(0, qeIrrlichtMakeFxEmitterMeshStatic(2, nullptr, 8));
    qeIrrlichtSetFxEmitterParticleSize(2, 0.5f);
    qeIrrlichtSetFxEmitterColor(2, 0xFFFFFF);
    const core::vector3df unit(1, 1, 1), lifted(5, 4, -1);
    qeIrrlichtSetObjectFrame(8, 0);
    pixels = drawPixels(2000, -12.0f, &vp);
    shown = particlesOf(2);
    EXPECT_EQ(vertexCount(getObjectMesh(8)), shown.size());
    EXPECT_EQ(std::make_pair(shown.size(), size_t(8)), onCorners(shown, core::vector3df(4, 0, 0), unit));
    EXPECT_TRUE(litAt(pixels, vp, core::vector3df(5, 1, -1)));
    EXPECT_FALSE(litAt(pixels, vp, lifted));
    qeIrrlichtSetObjectFrame(8, 23);
    pixels = drawPixels(2100, -12.0f, &vp);
    EXPECT_EQ(std::make_pair(shown.size(), size_t(8)), onCorners(particlesOf(2), core::vector3df(4, 1.5f, 0), core::vector3df(1, 2.5f, 1)));
    EXPECT_TRUE(litAt(pixels, vp, lifted));
    // an instance, shown, builds its own frame in the mesh they share: the hidden object keeps its own
    qeIrrlichtInstanceObject(9, 8);
    qeIrrlichtSetObjectFrame(9, 23);
    qeIrrlichtSetObjectFrame(8, 0);
    drawPixels(2200, -12.0f, &vp);
    EXPECT_EQ(std::make_pair(shown.size(), size_t(8)), onCorners(particlesOf(2), core::vector3df(4, 0, 0), unit));
    // shown, the object places them as it builds its frame
    qeIrrlichtShowObject(8);
    qeIrrlichtSetObjectFrame(9, 0);
    qeIrrlichtSetObjectFrame(8, 23);
    drawPixels(2300, -12.0f, &vp);
    EXPECT_EQ(std::make_pair(shown.size(), size_t(8)), onCorners(particlesOf(2), core::vector3df(4, 1.5f, 0), core::vector3df(1, 2.5f, 1)));
    qeIrrlichtDeleteFxEmitter(2);
    qeIrrlichtDeleteObject(9);
    qeIrrlichtDeleteObject(8);
}

ShaderParamRecord paramRecord(const char* name) {
    ShaderParamRecord record;
    std::memset(&record, 0, sizeof(record));
    std::strncpy(record.name, name, sizeof(record.name) - 1);
    return record;
}

TEST_F(RenderModules, CameraEffectsLoadTheirSlotsAndKeepTheirEnabledOrder) {
    const std::string file = files->write("effect.hlsl", kCameraEffect);
    // the slot's image is found under a search directory's "textures" folder
    CopyFileA((std::string(QIRN_OUTPUT_DIR) + "textures/QeDefaultParticle.png").c_str(),
              (files->mkdir("textures") + "effect-image.png").c_str(), FALSE);
    qeSysAddSearchDirectory(files->path().c_str());
    qetest::BoxRecorder boxes;
    qeIrrlichtMakeCameraEffectFromFile(1, file.c_str());
    ASSERT_EQ(1, qeIrrlichtCameraEffectExist(1));
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("camera shader '" + file + "': can't load texture 'missing-texture.png'", boxes.text(0));
    EXPECT_EQ(1, qeIrrlichtCameraEffectHasTextures(1));
    EXPECT_EQ(1, qeIrrlichtCameraEffectSlotPreset(1, 0));
    EXPECT_EQ(nullptr, qeIrrlichtGetCameraEffectTexture(1, 0));
    EXPECT_STREQ("SourceRTT", qeIrrlichtGetCameraEffectTextureName(1, 0));
    video::ITexture* image = qeIrrlichtGetCameraEffectTexture(1, 2);
    ASSERT_NE(nullptr, image);
    EXPECT_FALSE(image->hasMipMaps());
    EXPECT_EQ(1, qeIrrlichtCameraEffectSlotRepeat(1, 2));
    EXPECT_EQ(1, qeIrrlichtCameraEffectSlotFilterPoint(1, 2));
    EXPECT_EQ(0, qeIrrlichtCameraEffectSlotPreset(1, 2));
    EXPECT_EQ(nullptr, qeIrrlichtGetCameraEffectTexture(1, 3));
    EXPECT_EQ(nullptr, qeIrrlichtGetCameraEffectTextureName(1, 5));
    EXPECT_TRUE(qeIrrlichtGetContext()->driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS));

    qeIrrlichtMakeCameraEffectFromFile(2, file.c_str());
    qeIrrlichtMakeCameraEffectFromFile(3, file.c_str());
    qeIrrlichtMakeCameraEffectFromFile(4, "no-such-effect.hlsl");
    EXPECT_EQ(0, qeIrrlichtCameraEffectExist(4));
    qeIrrlichtShowCameraEffect(3);
    qeIrrlichtShowCameraEffect(1);
    qeIrrlichtShowCameraEffect(2);
    qeIrrlichtShowCameraEffect(3);
    ASSERT_EQ(3, qeIrrlichtGetEnabledCameraEffectCount());
    EXPECT_EQ(3, GetEnabled(0));
    EXPECT_EQ(1, GetEnabled(1));
    EXPECT_EQ(2, GetEnabled(2));
    EXPECT_EQ(-1, GetEnabled(3));
    qeIrrlichtHideCameraEffect(1);
    qeIrrlichtHideCameraEffect(1);
    ASSERT_EQ(2, qeIrrlichtGetEnabledCameraEffectCount());
    EXPECT_EQ(3, GetEnabled(0));
    EXPECT_EQ(2, GetEnabled(1));
    // made again under an enabled ID: a new effect, hidden
    qeIrrlichtMakeCameraEffectFromFile(3, file.c_str());
    EXPECT_EQ(1, qeIrrlichtCameraEffectExist(3));
    ASSERT_EQ(1, qeIrrlichtGetEnabledCameraEffectCount());
    EXPECT_EQ(2, GetEnabled(0));
    EXPECT_EQ(4u, boxes.boxes().size());  // one missing texture per effect made, nothing else

    // parameters: literals by name and type, a bound one keeps its semantic; the signed scene time
    ShaderParamRecord strength = paramRecord("Strength"), tint = paramRecord("tint"), clock = paramRecord("Clock"),
                      unknown = paramRecord("Unknown");
    ShaderValuesRecord record;
    std::memset(&record, 0, sizeof(record));
    record.paramCount = 5;
    const int32_t three = 3;
    record.params[0] = {&strength, 2, {0, 0, 0}};
    std::memcpy(&record.params[0].value[0], &three, sizeof(three));
    record.params[1] = {&tint, 0, {0.1f, 0.2f, 0.3f}};
    record.params[2] = {&clock, 1, {9.0f, 0, 0}};
    record.params[3] = {&unknown, 1, {9.0f, 0, 0}};
    record.params[4] = {&strength, 7, {9.0f, 0, 0}};
    qeIrrlichtSetSceneTime(0, -1500);
    qeIrrlichtCameraEffectSetParams(2, &record);
    qeIrrlichtSetSceneTime(0, 0);
    ShaderObject* shader = qeIrrlichtGetCameraEffectShader(2);
    EXPECT_EQ(-1.5f, shader->time);
    EXPECT_EQ(3.0f, qeIrrShaderGetParam(shader, 0)->value.f[0]);
    EXPECT_EQ(0.3f, qeIrrShaderGetParam(shader, 1)->value.f[2]);
    EXPECT_EQ(1, qeIrrShaderGetParam(shader, 2)->bound);
    EXPECT_EQ(QE_SEM_TIME, qeIrrShaderGetParam(shader, 2)->value.id);

    qeIrrlichtDeleteCameraEffect(2);
    EXPECT_EQ(0, qeIrrlichtGetEnabledCameraEffectCount());
    EXPECT_EQ(4u, boxes.boxes().size());
}

// Runs last: it restarts the engine.
TEST_F(RenderModules, AnEngineRestartLeavesNoLightEmitterEffectOrCachedShader) {
    qeIrrlichtMakeLight(1);
    ASSERT_EQ(0, qeIrrlichtMakeFxEmitterBox(1, nullptr, 1, 1, 1));
    const int index = qeIrrlichtParticleShaderIndex(&entry(1)->block);
    qeIrrlichtMakeCameraEffectFromFile(1, files->write("restart.hlsl", kCameraEffect).c_str());
    qeIrrlichtShowCameraEffect(1);
    ASSERT_NE(nullptr, qeIrrlichtParticleShaderCached(index));
    ASSERT_EQ(1, qeIrrlichtGetEnabledCameraEffectCount());

    qetest::BoxRecorder boxes;
    start();
    EXPECT_EQ(nullptr, qeIrrlichtGetVisibleLight(0));
    EXPECT_EQ(0, qeIrrlichtLightExist(1));
    EXPECT_EQ(0, qeIrrlichtFxEmitterExist(1));
    EXPECT_EQ(0, qeIrrlichtCameraEffectExist(1));
    EXPECT_EQ(0, qeIrrlichtGetEnabledCameraEffectCount());
    EXPECT_EQ(-1, GetEnabled(0));
    EXPECT_EQ(nullptr, qeIrrlichtParticleShaderCached(index));

    // the new engine makes them afresh
    qeIrrlichtMakeLight(1);
    EXPECT_NE(nullptr, qeIrrlichtGetVisibleLight(0));
    ASSERT_EQ(0, qeIrrlichtMakeFxEmitterBox(1, nullptr, 1, 1, 1));
    EXPECT_EQ(permutationType(1), entry(1)->node->getMaterial(0).MaterialType);
}

}  // namespace
