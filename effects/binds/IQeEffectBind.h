#ifndef QIRN_EFFECTS_BINDS_IQEEFFECTBIND_H
#define QIRN_EFFECTS_BINDS_IQEEFFECTBIND_H

#include <irrlicht.h>

struct SQeNodeExtMaterial;
struct SQeFxConstBind;
class IQeEffectBind;

// A setter chosen by a bind for one constant: a member function of the bind that answered, called on
// that bind with the services, the constant's record and the record's two user-data words. The result
// says whether the value was handed over.
typedef bool (IQeEffectBind::*BindSetter)(irr::video::IMaterialRendererServices* services,
                                          const SQeFxConstBind* record, const irr::u32* userData);

// One shader constant of a runtime effect and the bind that feeds it.
struct SQeFxConstBind {
    irr::u32 stage = 0;                // 2 vertex, 4 pixel
    irr::u32 type = 0;                 // parameter type code
    irr::core::stringc name;           // the constant's name in the shader
    const irr::c8* semantic = nullptr; // the parameter's semantic, may be null or empty
    const void* data = nullptr;        // the parameter's value storage (room for 16 floats)
    irr::s32 count = 0;                // floats of the type
    irr::s32 reg = -1;                 // first register in the compiled shader, -1: set by name
    IQeEffectBind* bind = nullptr;
    BindSetter setter = nullptr;
    irr::u32 userData[2] = {0, 0};
};

// A descriptor-table entry of the binds that answer by semantic; a table ends with a null name.
struct BindTableEntry {
    const irr::c8* name;
    BindSetter vertexSetter;
    BindSetter pixelSetter;
    irr::u32 userData[2];
};

// Connects shader constants to values of the engine. The effect builder asks the binds in list order
// for each constant; the first that answers with a setter owns it.
class IQeEffectBind : public virtual irr::IReferenceCounted {
public:
    // Called each time an effect sets its constants, before any setter of the pass; false makes the
    // effect skip all setters of that call.
    virtual bool onSetMaterial(const SQeNodeExtMaterial* record, irr::s32 userData) = 0;
    // The setter for the constant, or null when this bind does not feed it. May write the record's
    // user-data words.
    virtual BindSetter getBindFunction(const SQeFxConstBind* record, irr::u32* userData) = 0;
};

// Shared helpers of the setters: the vertex operation for stage 2, the pixel operation otherwise.
bool qeBindSetByName(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                     const irr::f32* floats, irr::s32 count);
bool qeBindSetByRegister(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                         const irr::f32* floats, irr::s32 registers);

#endif
