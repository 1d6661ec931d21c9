#ifndef QIRN_EFFECTS_RUNTIME_SQENODEEXTMATERIAL_H
#define QIRN_EFFECTS_RUNTIME_SQENODEEXTMATERIAL_H

#include <irrlicht.h>

#include <cstring>

class IQeEffect;
class IQeSurface;

// The marker that makes a draw record valid.
const irr::u32 QE_NODE_EXT_MATERIAL_TAG = 0x123456;

// What the surface puts on a material for one technique and pass of an effect.
struct SQeNodeExtSavedMatPass {
    irr::video::SMaterial material;
};

struct SQeNodeExtSavedMatTechnique {
    irr::core::array<SQeNodeExtSavedMatPass> passes;
};

// The draw record that travels with a material drawn through a runtime effect: the material carries its
// address in MaterialTypeParam2. The effect and its callback read the first four fields only.
struct SQeNodeExtMaterial {
    irr::u32 tag = QE_NODE_EXT_MATERIAL_TAG;
    IQeEffect* activeEffect = nullptr;  // not held
    irr::u32 technique = 0;
    irr::u32 pass = 0;
    irr::scene::ISceneNode* node = nullptr;
    irr::u32 materialIndex = 0;
    IQeEffect* effect = nullptr;    // held
    IQeSurface* surface = nullptr;  // held
    irr::core::array<SQeNodeExtSavedMatTechnique> savedTechniques;
};

// The record's address lives in the material's 32-bit float field as raw bits: it is moved with memcpy,
// never through float arithmetic (a pointer's bits may read as a denormal or a NaN).
static_assert(sizeof(void*) == sizeof(irr::f32), "the draw record's address must fit the material's f32 field");

inline void qeMaterialSetRecord(irr::video::SMaterial& material, const SQeNodeExtMaterial* record) {
    std::memcpy(&material.MaterialTypeParam2, &record, sizeof(record));
}

inline const SQeNodeExtMaterial* qeMaterialGetRecord(const irr::video::SMaterial& material) {
    const SQeNodeExtMaterial* record;
    std::memcpy(&record, &material.MaterialTypeParam2, sizeof(record));
    return record;
}

#endif
