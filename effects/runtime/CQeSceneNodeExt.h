#ifndef QIRN_EFFECTS_RUNTIME_CQESCENENODEEXT_H
#define QIRN_EFFECTS_RUNTIME_CQESCENENODEEXT_H

#include "IQeSceneNodeExt.h"
#include "runtime/SQeNodeExtMaterial.h"

// The node extension: one draw record per material index of the node, made when the extension is and
// never resized (the node's materials hold the records' addresses). The node is not grabbed: the node
// holds the extension as one of its animators.
class CQeSceneNodeExt : public IQeSceneNodeExt {
public:
    explicit CQeSceneNodeExt(irr::scene::ISceneNode* node);
    ~CQeSceneNodeExt() override;

    // A node copy carries the materials of the node it was copied from, and with them the addresses of
    // that node's records: a material that draws with an effect is pointed back at its own record.
    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = 0) override;
    bool isEventReceiverEnabled() const override { return false; }
    bool OnEvent(const irr::SEvent&) override { return false; }
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override {
        return static_cast<irr::scene::ESCENE_NODE_ANIMATOR_TYPE>(QE_SCENE_NODE_EXT_TYPE);
    }
    bool hasFinished() const override { return false; }

    irr::scene::ISceneNode* getNode() override { return Node; }
    IQeEffect* getEffect(irr::u32 material) override;
    void setEffect(irr::u32 material, IQeEffect* effect) override;
    void setTechnique(irr::u32 material, irr::u32 technique) override;
    void setPass(irr::u32 material, irr::u32 pass) override;
    void removeEffect(irr::u32 material) override;
    void removeAllEffects() override;
    IQeSurface* getSurface(irr::u32 material) override;
    void setSurface(irr::u32 material, IQeSurface* surface) override;
    void removeSurface(irr::u32 material) override;
    void removeAllSurfaces() override;
    bool updateTangents() override;

    irr::u32 getRecordCount() const { return Count; }
    const SQeNodeExtMaterial* getRecord(irr::u32 material) const { return material < Count ? &Records[material] : nullptr; }

private:
    // The node's material i, or null when the node has no such material (any more).
    irr::video::SMaterial* nodeMaterial(irr::u32 i);
    void applyMaterial(irr::u32 i);
    void updateMaterial(irr::u32 i);
    void stampRecord(irr::u32 i, irr::video::SMaterial& material);
    void saveMaterials(irr::u32 i);
    void restoreTextures(irr::u32 i);
    irr::u32 techniqueCount(IQeEffect* effect) const;
    irr::u32 passCount(IQeEffect* effect, irr::u32 technique) const;

    irr::scene::ISceneNode* Node;
    SQeNodeExtMaterial* Records;
    irr::u32 Count;
};

#endif
