#ifndef QIRN_EFFECTS_IQESURFACEMANAGER_H
#define QIRN_EFFECTS_IQESURFACEMANAGER_H

#include <irrlicht.h>

class IQeSurface;

// Makes surfaces by type name ("lightwave", "lightwave_hv") or type code; the caller owns the new
// surface (reference count 1). Unknown names and codes give null.
class IQeSurfaceManager {
public:
    virtual ~IQeSurfaceManager() {}
    virtual IQeSurface* createSurface(const char* typeName) = 0;
    virtual IQeSurface* createSurfaceByType(irr::u32 type) = 0;
};

#endif
