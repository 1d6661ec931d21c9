#ifndef QIRN_EFFECTS_SURFACES_CQESURFACEMANAGER_H
#define QIRN_EFFECTS_SURFACES_CQESURFACEMANAGER_H

#include "IQeSurfaceManager.h"

class CQeSurfaceManager : public IQeSurfaceManager {
public:
    explicit CQeSurfaceManager(irr::IrrlichtDevice* device) : Device(device) {}
    IQeSurface* createSurface(const char* typeName) override;
    IQeSurface* createSurfaceByType(irr::u32 type) override;

private:
    irr::IrrlichtDevice* Device;  // not grabbed
};

#endif
