#include "fxemitter.h"

#include <irrlicht.h>

#include <cstdlib>
#include <new>

#include "IQeManager.h"
#include "IQeSceneManager.h"
#include "engine.h"
#include "engine_context.h"
#include "entity_lookup.h"
#include "frame.h"
#include "fxemitter_internal.h"
#include "idtable.h"
#include "log.h"
#include "particle_shader.h"
#include "particles/IQeParticleSystemSceneNode.h"
#include "sysfile.h"

using namespace irr;

namespace {

const char* const kDefaultParticleImage = "QeDefaultParticle.png";

struct FxEmitterModule {
    bool resetRegistered = false;
};
FxEmitterModule g_fx;

IdTable* table() { return qeIrrlichtGetContext()->fxEmitters; }

FxEmitterEntry* lookup(int id) { return static_cast<FxEmitterEntry*>(qeApiLookup(table(), id, "FxEmitter")); }

// The entry of a setter that only moving emitters take: null (silently) for a static-mesh emitter.
FxEmitterEntry* lookupMoving(int id) {
    FxEmitterEntry* entry = lookup(id);
    return entry && !entry->isStatic ? entry : nullptr;
}

IQeFxEmitter* emitterOf(FxEmitterEntry* entry) { return entry->node->getEmitter(); }

void setBlockDefaults(ParticleShaderBlock& block) {
    block.useImageColor = 1;
    block.blendKind = 1;
    block.size = 1.0f;
    block.rotation = 0.0f;
}

// The particle image on every material, additive colour without lighting or depth writes, then the
// particle shader on material 0: 0, or -1.
int setupMaterial(FxEmitterEntry* entry, const char* image) {
    EngineContext* ctx = qeIrrlichtGetContext();
    const char* name = image && *image ? image : qeSysFindDataFile(kDefaultParticleImage);
    video::ITexture* texture = ctx->driver ? ctx->driver->getTexture(name) : nullptr;
    if (!texture) return -1;
    scene::ISceneNode* node = entry->node;
    node->setMaterialFlag(video::EMF_ZWRITE_ENABLE, false);
    for (u32 i = 0; i < node->getMaterialCount(); ++i) node->getMaterial(i).setTexture(0, texture);
    node->setMaterialType(video::EMT_TRANSPARENT_ADD_COLOR);
    node->setMaterialFlag(video::EMF_LIGHTING, false);
    return qeIrrlichtParticleShaderApply(node, &entry->block);
}

void registerReset() {
    if (g_fx.resetRegistered) return;
    qeIrrlichtRegisterModuleReset(qeIrrlichtFxEmittersReset, QE_STOP_BEFORE_DROP);
    g_fx.resetRegistered = true;
}

}  // namespace

FxEmitterEntry* qeFxEmitterNewEntry(int id, uint32_t isStatic, float x, float y, float z) {
    FxEmitterEntry* entry = static_cast<FxEmitterEntry*>(std::calloc(1, sizeof(FxEmitterEntry)));
    if (!entry) return nullptr;
    entry->isStatic = isStatic;
    entry->lifeTime = 1.0f;
    entry->explosion = 0.0f;
    entry->size[0] = x;
    entry->size[1] = y;
    entry->size[2] = z;
    setBlockDefaults(entry->block);
    if (qeIdTableAdd(table(), id, entry) != 0) {
        qeLogError(1, "invalid FxEmitter ID %d : %s", id, qeIdTableGetMessage());
        std::free(entry);
        return nullptr;
    }
    registerReset();
    return entry;
}

void qeFxEmitterDiscard(int id, FxEmitterEntry* entry) {
    if (entry->node) entry->node->remove();
    if (entry->nozzleMesh) entry->nozzleMesh->drop();
    qeIdTableRemove(table(), id);
    std::free(entry);
}

int qeFxEmitterFinish(int id, FxEmitterEntry* entry, const char* image) {
    if (setupMaterial(entry, image) != 0) {
        qeLogError(2, "failed to setup material image");
        qeFxEmitterDiscard(id, entry);
        return -1;
    }
    return 0;
}

FxEmitterEntry* qeFxEmitterCreate(int id, const char* image, float x, float y, float z) {
    FxEmitterEntry* entry = qeFxEmitterNewEntry(id, 0, x, y, z);
    if (!entry) return nullptr;
    IQeManager* manager = getQeManager();
    IQeSceneManager* scenes = manager ? manager->getSceneManager() : nullptr;
    entry->node = scenes ? scenes->createParticleSystemSceneNode(nullptr, -1) : nullptr;
    if (!entry->node) {
        qeLogError(-1, "failed to create FxEmitter node");
        qeFxEmitterDiscard(id, entry);
        return nullptr;
    }
    IQeFxEmitter* emitter = emitterOf(entry);
    emitter->setLifeTime(entry->lifeTime, entry->lifeTime / 10.0f);
    emitter->setNozzleSize(x, y, z);
    emitter->setExplosion(0.0f);
    emitter->setBirthRate(0.0f);
    return qeFxEmitterFinish(id, entry, image) == 0 ? entry : nullptr;
}

void qeFxEmitterSetNozzleMesh(FxEmitterEntry* entry, scene::IMesh* mesh, u32 kind) {
    if (mesh) mesh->grab();
    emitterOf(entry)->setNozzleType(kind);
    emitterOf(entry)->setNozzleMesh(mesh);
    if (entry->nozzleMesh) entry->nozzleMesh->drop();
    entry->nozzleMesh = mesh;
}

int qeIrrlichtMakeFxEmitterBox(int id, const char* image, float x, float y, float z) {
    return qeFxEmitterCreate(id, image, x, y, z) ? 0 : -1;
}

int qeIrrlichtMakeFxEmitterSphere(int id, const char* image, float x, float y, float z) {
    FxEmitterEntry* entry = qeFxEmitterCreate(id, image, x, y, z);
    if (!entry) return -1;
    emitterOf(entry)->setNozzleType(1);
    return 0;
}

int qeIrrlichtFxEmitterExist(int id) { return qeApiFind(table(), id) ? 1 : 0; }

FxEmitterEntry* qeIrrlichtGetFxEmitterEntry(int id) { return static_cast<FxEmitterEntry*>(qeApiFind(table(), id)); }

void qeIrrlichtShowFxEmitter(int id) {
    if (FxEmitterEntry* entry = lookup(id)) entry->node->setVisible(true);
}

void qeIrrlichtHideFxEmitter(int id) {
    if (FxEmitterEntry* entry = lookup(id)) entry->node->setVisible(false);
}

void qeIrrlichtDeleteFxEmitter(int id) {
    if (FxEmitterEntry* entry = qeIrrlichtGetFxEmitterEntry(id)) qeFxEmitterDiscard(id, entry);
}

void qeIrrlichtLockFxEmitterOn(int id) {
    FxEmitterEntry* entry = lookup(id);
    scene::ISceneManager* smgr = qeIrrlichtGetContext()->smgr;
    scene::ICameraSceneNode* camera = smgr ? smgr->getActiveCamera() : nullptr;
    if (entry && camera) entry->node->setParent(camera);
}

void qeIrrlichtLockFxEmitterOff(int id) {
    // back under the scene root with its relative position and rotation: the node stays in the scene
    FxEmitterEntry* entry = lookup(id);
    scene::ISceneManager* smgr = qeIrrlichtGetContext()->smgr;
    if (entry && smgr) entry->node->setParent(smgr->getRootSceneNode());
}

void qeIrrlichtPositionFxEmitter(int id, float x, float y, float z) {
    if (FxEmitterEntry* entry = lookup(id)) entry->node->setPosition(core::vector3df(x, y, z));
}

void qeIrrlichtRotateFxEmitter(int id, float x, float y, float z) {
    if (FxEmitterEntry* entry = lookup(id)) entry->node->setRotation(core::vector3df(x, y, z));
}

void qeIrrlichtSetFxEmitterParticleSize(int id, float size) {
    if (FxEmitterEntry* entry = lookup(id)) entry->block.size = 2.0f * size;
}

void qeIrrlichtSetFxEmitterVelocity(int id, float x, float y, float z) {
    if (FxEmitterEntry* entry = lookupMoving(id)) emitterOf(entry)->setVelocity(x, y, z);
}

void qeIrrlichtSetFxEmitterParentMotion(int id, float share) {
    if (FxEmitterEntry* entry = lookupMoving(id)) emitterOf(entry)->setParentMotion(share);
}

void qeIrrlichtSetFxEmitterGravity(int id, float x, float y, float z) {
    if (FxEmitterEntry* entry = lookupMoving(id)) emitterOf(entry)->setGravity(x, y, z);
}

void qeIrrlichtSetFxEmitterBirthRate(int id, float rate) {
    if (FxEmitterEntry* entry = lookupMoving(id)) emitterOf(entry)->setBirthRate(rate);
}

void qeIrrlichtSetFxEmitterLifeTime(int id, float seconds, float variation) {
    FxEmitterEntry* entry = lookup(id);
    if (!entry) return;
    entry->lifeTime = seconds;
    emitterOf(entry)->setLifeTime(seconds, variation);
}

void qeIrrlichtSetFxEmitterExplosion(int id, float speed) {
    FxEmitterEntry* entry = lookup(id);
    if (!entry) return;
    entry->explosion = speed;
    emitterOf(entry)->setExplosion(speed);
}

void qeIrrlichtSetFxEmitterWeight(int id, float weight) {
    if (FxEmitterEntry* entry = lookupMoving(id)) emitterOf(entry)->setWeight(weight, 0.0f);
}

void qeIrrlichtSetFxEmitterResistance(int id, float resistance) {
    if (FxEmitterEntry* entry = lookupMoving(id)) emitterOf(entry)->setResistance(resistance, 0.0f);
}

void qeIrrlichtSetFxEmitterVibration(int id, float vibration) {
    if (FxEmitterEntry* entry = lookupMoving(id)) emitterOf(entry)->setVibration(vibration, 0.0f);
}

void qeIrrlichtSetFxEmitterParticleLimit(int id, int limit) {
    if (FxEmitterEntry* entry = lookupMoving(id)) emitterOf(entry)->setParticleLimit(static_cast<u32>(limit));
}

void qeIrrlichtFxResetEmitter(int id) {
    if (FxEmitterEntry* entry = lookupMoving(id)) emitterOf(entry)->resetEmitter();
}

void qeIrrlichtFxResetEmitterEmittedCount(int id) {
    if (FxEmitterEntry* entry = lookupMoving(id)) emitterOf(entry)->resetEmittedCount();
}

void qeIrrlichtSetFxEmitterBlendMode(int id, int mode) {
    FxEmitterEntry* entry = lookup(id);
    if (!entry) return;
    scene::ISceneNode* node = entry->node;
    u8 depthSort = 0;
    switch (mode) {
        case 1:
            entry->block.blendKind = 0;
            node->setMaterialType(video::EMT_TRANSPARENT_ALPHA_CHANNEL);
            depthSort = 1;
            break;
        case 2:
            entry->block.blendKind = 1;
            node->setMaterialType(video::EMT_TRANSPARENT_ADD_COLOR);
            break;
        case 3: {
            entry->block.blendKind = 2;
            node->setMaterialType(video::EMT_ONETEXTURE_BLEND);
            // zero, one minus source colour, modulate 1, alpha from the texture
            node->getMaterial(0).MaterialTypeParam = video::pack_textureBlendFunc(
                video::EBF_ZERO, video::EBF_ONE_MINUS_SRC_COLOR, video::EMFN_MODULATE_1X, video::EAS_TEXTURE);
            break;
        }
        default:
            entry->block.blendKind = 1;
            node->setMaterialType(video::EMT_TRANSPARENT_VERTEX_ALPHA);
            break;
    }
    emitterOf(entry)->setBlendMode(depthSort);
    qeIrrlichtParticleShaderApply(node, &entry->block);
}

void qeIrrlichtSetFxEmitterUseImageColor(int id) {
    FxEmitterEntry* entry = lookup(id);
    if (!entry) return;
    entry->block.useImageColor = 1;
    for (float& c : entry->block.color) c = 1.0f;
    qeIrrlichtParticleShaderApply(entry->node, &entry->block);
}

void qeIrrlichtSetFxEmitterColor(int id, uint32_t rgb) {
    FxEmitterEntry* entry = lookup(id);
    if (!entry) return;
    entry->block.useImageColor = 0;
    entry->block.color[0] = static_cast<float>((rgb >> 16) & 0xFF) / 255.0f;
    entry->block.color[1] = static_cast<float>((rgb >> 8) & 0xFF) / 255.0f;
    entry->block.color[2] = static_cast<float>(rgb & 0xFF) / 255.0f;
    entry->block.color[3] = 1.0f;
    qeIrrlichtParticleShaderApply(entry->node, &entry->block);
}

void qeIrrlichtSetFxEmitterRotation(int id, float rotation) {
    FxEmitterEntry* entry = lookup(id);
    if (!entry) return;
    entry->block.rotation = rotation;
    qeIrrlichtParticleShaderApply(entry->node, &entry->block);
}

namespace {

// Gradient keys are records of five floats: the key parameter, then r, g, b, a (colour) or the size.
// At most 8 are kept; the count selects the gradient permutation.
void setGradient(int id, int n, const float* keys, bool colour) {
    FxEmitterEntry* entry = lookup(id);
    if (!entry) return;
    ParticleShaderBlock& block = entry->block;
    const int count = !keys || n < 0 ? 0 : n > 8 ? 8 : n;
    for (int k = 0; k < count; ++k) {
        const float* key = keys + 5 * k;
        if (colour) {
            block.colorKeys[k] = key[0];
            for (int c = 0; c < 4; ++c) block.colorKeyValues[k][c] = key[1 + c];
        } else {
            block.sizeKeys[k] = key[0];
            block.sizeKeyValues[k] = key[1];
        }
    }
    (colour ? block.colorKeyCount : block.sizeKeyCount) = count;
    qeIrrlichtParticleShaderApply(entry->node, &block);
}

}  // namespace

void qeIrrlichtSetFxEmitterColorGradient(int id, int n, const float* keys) { setGradient(id, n, keys, true); }

void qeIrrlichtSetFxEmitterSizeGradient(int id, int n, const float* keys) { setGradient(id, n, keys, false); }

int qeIrrlichtFxEmitterInit() { return qeIrrlichtParticleShaderInit(); }

void qeIrrlichtFxEmittersReset() {
    IdTable* emitters = table();
    if (!emitters) return;
    for (int id = 0; id < emitters->capacity; ++id) {
        FxEmitterEntry* entry = static_cast<FxEmitterEntry*>(emitters->slots[id]);
        if (!entry) continue;
        // the nodes go with the scene manager
        if (entry->nozzleMesh) entry->nozzleMesh->drop();
        std::free(entry);
        emitters->slots[id] = nullptr;
    }
}
