#include "CQeSurfaceManager.h"

#include <cstring>
#include <new>

#include "CQeSurfaceLightwave.h"
#include "CQeSurfaceLightwaveHV.h"

IQeSurface* CQeSurfaceManager::createSurface(const char* typeName) {
    if (!typeName) return nullptr;
    if (std::strcmp(typeName, "lightwave") == 0) return createSurfaceByType(EQEST_LIGHTWAVE);
    if (std::strcmp(typeName, "lightwave_hv") == 0) return createSurfaceByType(EQEST_LIGHTWAVEHV);
    return nullptr;
}

IQeSurface* CQeSurfaceManager::createSurfaceByType(irr::u32 type) {
    if (type == EQEST_LIGHTWAVE) return new (std::nothrow) CQeSurfaceLightwave();
    if (type == EQEST_LIGHTWAVEHV) return new (std::nothrow) CQeSurfaceLightwaveHV();
    return nullptr;
}
