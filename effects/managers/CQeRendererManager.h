#ifndef QIRN_EFFECTS_MANAGERS_CQERENDERERMANAGER_H
#define QIRN_EFFECTS_MANAGERS_CQERENDERERMANAGER_H

#include "IQeRendererManager.h"

class CQeRendererManager : public IQeRendererManager {
public:
    explicit CQeRendererManager(irr::IrrlichtDevice* device) : Device(device) {}
    void* queryRenderer(irr::u32) override { return nullptr; }

private:
    irr::IrrlichtDevice* Device;  // not grabbed
};

#endif
