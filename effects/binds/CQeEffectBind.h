#ifndef QIRN_EFFECTS_BINDS_CQEEFFECTBIND_H
#define QIRN_EFFECTS_BINDS_CQEEFFECTBIND_H

#include "IQeEffectBind.h"

// The generic bind: it feeds every bool, int and float constant of a vertex or pixel shader from the
// parameter's own value, whatever its semantic. It stays the last of the bind list.
class CQeEffectBind : public IQeEffectBind {
public:
    bool onSetMaterial(const SQeNodeExtMaterial*, irr::s32) override { return true; }
    BindSetter getBindFunction(const SQeFxConstBind* record, irr::u32* userData) override;

private:
    bool setIntByName(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                      const irr::u32* userData);
    bool setIntByRegister(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                          const irr::u32* userData);
    bool setFloatsByName(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                         const irr::u32* userData);
    bool setFloatsByRegister(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                             const irr::u32* userData);
};

#endif
