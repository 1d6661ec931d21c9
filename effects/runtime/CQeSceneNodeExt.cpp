#include "runtime/CQeSceneNodeExt.h"

#include <new>

#include "runtime/IQeEffect.h"
#include "surfaces/IQeSurface.h"

using irr::u32;
using irr::scene::IMesh;
using irr::scene::IMeshBuffer;
using irr::scene::ISceneNode;
using irr::video::SMaterial;

IQeSceneNodeExt* createQeSceneNodeExt(ISceneNode* node) {
    return node ? new (std::nothrow) CQeSceneNodeExt(node) : nullptr;
}

IQeSceneNodeExt* getSceneNodeExt(ISceneNode* node) {
    if (!node) return nullptr;
    const irr::core::list<irr::scene::ISceneNodeAnimator*>& animators = node->getAnimators();
    for (irr::core::list<irr::scene::ISceneNodeAnimator*>::ConstIterator it = animators.begin(); it != animators.end();
         ++it)
        if (static_cast<u32>((*it)->getType()) == QE_SCENE_NODE_EXT_TYPE) return static_cast<IQeSceneNodeExt*>(*it);
    return nullptr;
}

CQeSceneNodeExt::CQeSceneNodeExt(ISceneNode* node) : Node(node), Records(nullptr), Count(0) {
    Count = node ? node->getMaterialCount() : 0;
    Records = new SQeNodeExtMaterial[Count ? Count : 1];
    for (u32 i = 0; i < Count; ++i) {
        Records[i].node = node;
        Records[i].materialIndex = i;
    }
}

CQeSceneNodeExt::~CQeSceneNodeExt() {
    for (u32 i = 0; i < Count; ++i) removeEffect(i);
    removeAllSurfaces();
    // No material of a living node keeps the address of a record that is about to go. (While the node
    // itself is being destroyed it has no materials left to ask for.)
    for (u32 i = 0; i < Count; ++i) {
        SMaterial* m = nodeMaterial(i);
        if (m && qeMaterialGetRecord(*m) == &Records[i]) qeMaterialSetRecord(*m, nullptr);
    }
    delete[] Records;
}

SMaterial* CQeSceneNodeExt::nodeMaterial(u32 i) {
    // Past its count a node answers a material shared by every node: it is never written.
    if (!Node || i >= Node->getMaterialCount()) return nullptr;
    return &Node->getMaterial(i);
}

u32 CQeSceneNodeExt::techniqueCount(IQeEffect* effect) const {
    SEffectDesc desc;
    return effect && effect->getEffectDesc(desc) ? desc.techniqueCount : 0;
}

u32 CQeSceneNodeExt::passCount(IQeEffect* effect, u32 technique) const {
    STechniqueDesc desc;
    const STechnique* t = effect ? effect->getTechnique(technique) : nullptr;
    return t && effect->getTechniqueDesc(t, desc) ? desc.passCount : 0;
}

void CQeSceneNodeExt::stampRecord(u32 i, SMaterial& material) {
    // Only a material drawn with an effect carries the record; otherwise our address goes.
    if (Records[i].effect)
        qeMaterialSetRecord(material, &Records[i]);
    else if (qeMaterialGetRecord(material) == &Records[i])
        qeMaterialSetRecord(material, nullptr);
}

void CQeSceneNodeExt::applyMaterial(u32 i) {
    SMaterial* m = nodeMaterial(i);
    if (!m) return;
    SQeNodeExtMaterial& r = Records[i];
    if (r.surface) r.surface->writeMaterial(*m);
    if (r.effect) r.effect->setMaterial(r.technique, r.pass, *m);
    stampRecord(i, *m);
    if (r.effect && r.surface) {
        saveMaterials(i);
        restoreTextures(i);
    }
}

void CQeSceneNodeExt::updateMaterial(u32 i) {
    SMaterial* m = nodeMaterial(i);
    if (!m) return;
    SQeNodeExtMaterial& r = Records[i];
    if (r.effect) r.effect->setMaterial(r.technique, r.pass, *m);
    stampRecord(i, *m);
    if (r.surface) restoreTextures(i);
}

void CQeSceneNodeExt::saveMaterials(u32 i) {
    SQeNodeExtMaterial& r = Records[i];
    r.savedTechniques.clear();
    const u32 techniques = techniqueCount(r.effect);
    for (u32 t = 0; t < techniques; ++t) {
        SQeNodeExtSavedMatTechnique technique;
        const u32 passes = passCount(r.effect, t);
        for (u32 p = 0; p < passes; ++p) {
            SQeNodeExtSavedMatPass saved;
            for (u32 l = 0; l < irr::video::MATERIAL_MAX_TEXTURES; ++l) saved.material.TextureLayer[l].Texture = nullptr;
            r.surface->setEffectTextureOnMaterial(&saved.material, r.effect, t, p);
            technique.passes.push_back(saved);
        }
        r.savedTechniques.push_back(technique);
    }
}

void CQeSceneNodeExt::restoreTextures(u32 i) {
    SMaterial* m = nodeMaterial(i);
    const SQeNodeExtMaterial& r = Records[i];
    if (!m || r.technique >= r.savedTechniques.size()) return;
    const SQeNodeExtSavedMatTechnique& technique = r.savedTechniques[r.technique];
    if (r.pass >= technique.passes.size()) return;
    const SMaterial& saved = technique.passes[r.pass].material;
    for (u32 l = 0; l < irr::video::MATERIAL_MAX_TEXTURES; ++l)
        if (saved.TextureLayer[l].Texture) m->TextureLayer[l].Texture = saved.TextureLayer[l].Texture;
}

IQeEffect* CQeSceneNodeExt::getEffect(u32 material) { return material < Count ? Records[material].effect : nullptr; }

void CQeSceneNodeExt::setEffect(u32 material, IQeEffect* effect) {
    if (material >= Count || !effect) return;
    effect->grab();
    SQeNodeExtMaterial& r = Records[material];
    if (r.effect) removeEffect(material);
    r.effect = effect;
    r.activeEffect = effect;
    r.technique = 0;
    r.pass = 0;
    applyMaterial(material);
}

void CQeSceneNodeExt::setTechnique(u32 material, u32 technique) {
    if (material >= Count) return;
    SQeNodeExtMaterial& r = Records[material];
    if (!r.effect || technique >= techniqueCount(r.effect)) return;
    r.technique = technique;
    // The pass stays when the new technique has it.
    if (r.pass >= passCount(r.effect, technique)) r.pass = 0;
    updateMaterial(material);
}

void CQeSceneNodeExt::setPass(u32 material, u32 pass) {
    if (material >= Count) return;
    SQeNodeExtMaterial& r = Records[material];
    if (!r.effect || pass >= passCount(r.effect, r.technique)) return;
    r.pass = pass;
    updateMaterial(material);
}

void CQeSceneNodeExt::removeEffect(u32 material) {
    if (material >= Count) return;
    SQeNodeExtMaterial& r = Records[material];
    IQeEffect* effect = r.effect;
    if (!effect) return;
    // The effect leaves the record before the material forgets the record: a draw in between finds
    // either a complete record or none.
    r.activeEffect = nullptr;
    r.technique = 0;
    r.pass = 0;
    r.effect = nullptr;
    r.savedTechniques.clear();
    if (SMaterial* m = nodeMaterial(material)) {
        m->MaterialType = irr::video::EMT_SOLID;
        m->MaterialTypeParam = 0.0f;
        qeMaterialSetRecord(*m, nullptr);
        applyMaterial(material);
    }
    effect->drop();
}

void CQeSceneNodeExt::removeAllEffects() {
    for (u32 i = 0; i < Count; ++i) removeEffect(i);
}

IQeSurface* CQeSceneNodeExt::getSurface(u32 material) { return material < Count ? Records[material].surface : nullptr; }

void CQeSceneNodeExt::setSurface(u32 material, IQeSurface* surface) {
    if (material >= Count || !surface) return;
    surface->grab();
    SQeNodeExtMaterial& r = Records[material];
    if (r.surface) r.surface->drop();
    r.surface = surface;
    applyMaterial(material);
}

void CQeSceneNodeExt::removeSurface(u32 material) {
    if (material >= Count) return;
    SQeNodeExtMaterial& r = Records[material];
    if (!r.surface) return;
    r.surface->drop();
    r.surface = nullptr;
    applyMaterial(material);
}

void CQeSceneNodeExt::removeAllSurfaces() {
    for (u32 i = 0; i < Count; ++i) removeSurface(i);
}

void CQeSceneNodeExt::animateNode(ISceneNode* node, u32) {
    if (node != Node) return;
    for (u32 i = 0; i < Count; ++i) {
        SMaterial* m = nodeMaterial(i);
        if (!m || !Records[i].activeEffect) continue;
        const SQeNodeExtMaterial* carried = qeMaterialGetRecord(*m);
        if (carried && carried != &Records[i]) qeMaterialSetRecord(*m, &Records[i]);
    }
}

irr::scene::ISceneNodeAnimator* CQeSceneNodeExt::createClone(ISceneNode* node, irr::scene::ISceneManager*) {
    if (!node) return nullptr;
    CQeSceneNodeExt* ext = new (std::nothrow) CQeSceneNodeExt(node);
    if (!ext) return nullptr;
    const u32 n = ext->Count < Count ? ext->Count : Count;
    for (u32 i = 0; i < n; ++i) {
        const SQeNodeExtMaterial& r = Records[i];
        if (r.surface) {
            IQeSurface* copy = r.surface->clone();
            if (copy) {
                ext->setSurface(i, copy);
                copy->drop();
            }
        }
        if (r.effect) {
            ext->setEffect(i, r.effect);
            ext->setTechnique(i, r.technique);
            ext->setPass(i, r.pass);
        }
    }
    ext->updateTangents();
    return ext;
}

namespace {

u32 indexAt(const IMeshBuffer* buffer, u32 k) {
    if (buffer->getIndexType() == irr::video::EIT_32BIT) return reinterpret_cast<const u32*>(buffer->getIndices())[k];
    return buffer->getIndices()[k];
}

// Puts the second texture coordinates of the source mesh into the binormals of its tangent copy,
// vertex by vertex along both index lists. False at the first mismatch.
bool copySecondUV(IMesh* source, IMesh* copy) {
    if (source->getMeshBufferCount() != copy->getMeshBufferCount()) return false;
    for (u32 b = 0; b < source->getMeshBufferCount(); ++b) {
        IMeshBuffer* from = source->getMeshBuffer(b);
        IMeshBuffer* to = copy->getMeshBuffer(b);
        if (!from || !to || to->getVertexType() != irr::video::EVT_TANGENTS ||
            from->getVertexType() != irr::video::EVT_2TCOORDS || from->getIndexCount() != to->getIndexCount())
            return false;
        const irr::video::S3DVertex2TCoords* src = static_cast<const irr::video::S3DVertex2TCoords*>(from->getVertices());
        irr::video::S3DVertexTangents* dst = static_cast<irr::video::S3DVertexTangents*>(to->getVertices());
        for (u32 k = 0; k < from->getIndexCount(); ++k) {
            const u32 si = indexAt(from, k), di = indexAt(to, k);
            if (si >= from->getVertexCount() || di >= to->getVertexCount()) return false;
            if (!src[si].Pos.equals(dst[di].Pos, 0.000001f) || src[si].Normal != dst[di].Normal) return false;
            dst[di].Binormal.X = src[si].TCoords2.X;
            dst[di].Binormal.Y = src[si].TCoords2.Y;
        }
    }
    return true;
}

}  // namespace

bool CQeSceneNodeExt::updateTangents() {
    if (!Node || Node->getType() != irr::scene::ESNT_MESH) return false;
    irr::scene::IMeshSceneNode* meshNode = static_cast<irr::scene::IMeshSceneNode*>(Node);
    IMesh* mesh = meshNode->getMesh();
    if (!mesh || mesh->getMeshBufferCount() == 0 || !mesh->getMeshBuffer(0) ||
        mesh->getMeshBuffer(0)->getVertexType() == irr::video::EVT_TANGENTS)
        return false;

    bool needed = false, keepSecondUV = false;
    for (u32 i = 0; i < Count; ++i) {
        bool flag = false;
        if (Records[i].surface && Records[i].surface->needsTangents(&flag)) {
            needed = true;
            keepSecondUV = keepSecondUV || flag;
        }
        flag = false;
        if (Records[i].effect && Records[i].effect->needsTangents(&flag)) {
            needed = true;
            keepSecondUV = keepSecondUV || flag;
        }
    }
    if (!needed || !Node->getSceneManager()) return false;

    IMesh* copy = Node->getSceneManager()->getMeshManipulator()->createMeshWithTangents(mesh, false, false, false, true);
    if (!copy) return false;
    // A copy without the second coordinates would draw wrongly: the node keeps its mesh.
    if (keepSecondUV && !copySecondUV(mesh, copy)) {
        copy->drop();
        return false;
    }
    // Giving the node a mesh resets its materials to the mesh's: the node keeps its own (and with them
    // the effects and records they carry).
    irr::core::array<SMaterial> materials;
    for (u32 i = 0; i < meshNode->getMaterialCount(); ++i) materials.push_back(meshNode->getMaterial(i));
    meshNode->setMesh(copy);
    copy->drop();
    if (!meshNode->isReadOnlyMaterials() && meshNode->getMaterialCount() == materials.size())
        for (u32 i = 0; i < materials.size(); ++i) meshNode->getMaterial(i) = materials[i];
    copy->setHardwareMappingHint(irr::scene::EHM_STATIC, irr::scene::EBT_VERTEX_AND_INDEX);
    return true;
}
