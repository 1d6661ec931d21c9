// The scene manager's staged drawing on the null device: which nodes each stage of drawAllPasses renders,
// in which render pass, and the copies of the light list and the render lists between the stages.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace irr;

namespace {

struct RenderCall {
    s32 id;
    scene::E_SCENE_NODE_RENDER_PASS pass;
    bool operator==(const RenderCall& o) const { return id == o.id && pass == o.pass; }
};

// A node that registers itself for one render pass and records every render call with the pass the
// scene manager is in.
class CountingNode : public scene::ISceneNode {
public:
    CountingNode(scene::ISceneManager* smgr, s32 id, scene::E_SCENE_NODE_RENDER_PASS pass,
                 const core::vector3df& position, std::vector<RenderCall>* log, video::ITexture* texture = nullptr)
        : scene::ISceneNode(smgr->getRootSceneNode(), smgr, id, position), pass_(pass), log_(log) {
        setAutomaticCulling(scene::EAC_OFF);
        material_.setTexture(0, texture);
    }
    void OnRegisterSceneNode() override {
        SceneManager->registerNodeForRendering(this, pass_);
        ISceneNode::OnRegisterSceneNode();
    }
    void render() override { log_->push_back({getID(), SceneManager->getSceneNodeRenderPass()}); }
    const core::aabbox3d<f32>& getBoundingBox() const override { return box_; }
    u32 getMaterialCount() const override { return 1; }
    video::SMaterial& getMaterial(u32) override { return material_; }

private:
    scene::E_SCENE_NODE_RENDER_PASS pass_;
    std::vector<RenderCall>* log_;
    core::aabbox3d<f32> box_{core::vector3df(0, 0, 0)};
    video::SMaterial material_;
};

enum : s32 { kSolidA = 10, kSolidB, kSolidC, kTransNear, kTransFar, kTransMid, kEffect, kSky, kShadow, kCameraPass,
             kLightFar, kLightNear, kLightMid };

std::vector<s32> ids(const core::array<scene::ISceneNode*>& nodes) {
    std::vector<s32> out;
    for (u32 i = 0; i < nodes.size(); ++i) out.push_back(nodes[i]->getID());
    return out;
}

std::vector<s32> idsIn(const std::vector<RenderCall>& log, scene::E_SCENE_NODE_RENDER_PASS pass) {
    std::vector<s32> out;
    for (const RenderCall& c : log)
        if (c.pass == pass) out.push_back(c.id);
    return out;
}

struct ScenePasses : testing::Test {
    void SetUp() override {
        device = createDevice(video::EDT_NULL, core::dimension2du(64, 64));
        ASSERT_NE(nullptr, device);
        smgr = device->getSceneManager();
        video::IVideoDriver* driver = device->getVideoDriver();
        for (int i = 0; i < 3; ++i)
            textures[i] = driver->addTexture(core::dimension2du(4, 4), ("tex" + std::to_string(i)).c_str());
        smgr->addCameraSceneNode(nullptr, core::vector3df(0, 0, 0), core::vector3df(0, 0, 1));
        const struct {
            s32 id;
            scene::E_SCENE_NODE_RENDER_PASS pass;
            f32 z;
            video::ITexture* texture;
        } nodes[] = {{kSolidA, scene::ESNRP_SOLID, 5, textures[2]},    {kSolidB, scene::ESNRP_SOLID, 6, textures[0]},
                     {kSolidC, scene::ESNRP_SOLID, 7, textures[1]},    {kTransNear, scene::ESNRP_TRANSPARENT, 5, nullptr},
                     {kTransFar, scene::ESNRP_TRANSPARENT, 20, nullptr}, {kTransMid, scene::ESNRP_TRANSPARENT, 10, nullptr},
                     {kEffect, scene::ESNRP_TRANSPARENT_EFFECT, 8, nullptr}, {kSky, scene::ESNRP_SKY_BOX, 0, nullptr},
                     {kShadow, scene::ESNRP_SHADOW, 3, nullptr},       {kCameraPass, scene::ESNRP_CAMERA, 0, nullptr},
                     {kLightFar, scene::ESNRP_LIGHT, 30, nullptr},     {kLightNear, scene::ESNRP_LIGHT, 2, nullptr},
                     {kLightMid, scene::ESNRP_LIGHT, 12, nullptr}};
        for (const auto& n : nodes)  // the root node keeps them
            (new CountingNode(smgr, n.id, n.pass, core::vector3df(0, 0, n.z), &log, n.texture))->drop();
    }
    void TearDown() override {
        if (device) device->drop();
    }
    // Solid ids in ascending order of their texture key.
    std::vector<s32> solidsByTexture() const {
        std::vector<std::pair<const void*, s32>> keyed = {
            {textures[2], kSolidA}, {textures[0], kSolidB}, {textures[1], kSolidC}};
        std::sort(keyed.begin(), keyed.end());
        return {keyed[0].second, keyed[1].second, keyed[2].second};
    }
    // The drawn-node statistics: solid, transparent, transparent effect.
    std::vector<s32> stats() const {
        std::vector<s32> out;
        for (const char* name : {"drawn_solid", "drawn_transparent", "drawn_transparent_effect"})
            out.push_back(smgr->getParameters()->getAttributeAsInt(name));
        return out;
    }

    IrrlichtDevice* device = nullptr;
    scene::ISceneManager* smgr = nullptr;
    video::ITexture* textures[3] = {};
    std::vector<RenderCall> log;
};

TEST_F(ScenePasses, TheFullMaskDrawsTheFrameThatDrawAllDraws) {
    smgr->drawAll();
    std::vector<RenderCall> reference = log;
    log.clear();

    smgr->drawAllPasses(0x1FF);
    EXPECT_EQ(reference, log);
    std::vector<s32> order = {kCameraPass, kSky};
    for (s32 id : solidsByTexture()) order.push_back(id);
    order.insert(order.end(), {kShadow, kTransFar, kTransMid, kTransNear, kEffect});
    std::vector<s32> drawn;
    for (const RenderCall& c : log) drawn.push_back(c.id);
    EXPECT_EQ(order, drawn);
    EXPECT_EQ(std::vector<s32>({3, 3, 1}), stats());
    EXPECT_EQ(scene::ESNRP_NONE, smgr->getSceneNodeRenderPass());
    // The begin stage starts the statistics again. A frame of begin and end only (the stages run
    // by a caller that draws the nodes itself) leaves nothing behind for the next frame.
    for (int frame = 0; frame < 3; ++frame) {
        smgr->drawAllPasses(0x001);
        EXPECT_EQ(0, stats()[0]);
        smgr->drawAllPasses(0x100);
    }

    // A second frame draws the same again: the end stage emptied every list.
    log.clear();
    smgr->drawAllPasses(0x1FF);
    EXPECT_EQ(reference, log);
}

TEST_F(ScenePasses, StagesRunAloneAndTheListsLiveUntilTheEndStage) {
    smgr->drawAllPasses(7);  // begin, cameras, lights
    EXPECT_EQ(1u, log.size());
    core::array<scene::ISceneNode*> list;
    list.push_back(smgr->getRootSceneNode());  // the copy replaces what the array held
    smgr->getSolidNodeList(list);
    EXPECT_EQ(solidsByTexture(), ids(list));
    smgr->getLightList(list);
    EXPECT_EQ(std::vector<s32>({kLightNear, kLightMid, kLightFar}), ids(list));

    // The node stages render their list each time they are asked and keep it.
    log.clear();
    smgr->drawAllPasses(0x010);
    smgr->drawAllPasses(0x010 | 0x040);
    EXPECT_EQ(9u, log.size());
    EXPECT_EQ(6u, idsIn(log, scene::ESNRP_SOLID).size());

    // The sky box and shadow stages empty their lists as they go.
    log.clear();
    smgr->drawAllPasses(0x008 | 0x020);
    smgr->drawAllPasses(0x008 | 0x020);
    EXPECT_EQ(std::vector<s32>({kSky}), idsIn(log, scene::ESNRP_SKY_BOX));
    EXPECT_EQ(std::vector<s32>({kShadow}), idsIn(log, scene::ESNRP_SHADOW));

    // The end stage renders nothing, sets the statistics and empties every list.
    log.clear();
    smgr->drawAllPasses(0x100);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(std::vector<s32>({3, 3, 1}), stats());
    smgr->getSolidNodeList(list);
    EXPECT_EQ(0u, list.size());
    smgr->drawAllPasses(0x0FE);
    EXPECT_TRUE(log.empty());

    // Mask 0 and bits beyond the nine stages do nothing but end the pass.
    smgr->setSceneNodeRenderPass(scene::ESNRP_SOLID);
    smgr->drawAllPasses(0xFFFFFE00u);
    EXPECT_EQ(scene::ESNRP_NONE, smgr->getSceneNodeRenderPass());
    EXPECT_TRUE(log.empty());
}

}  // namespace
