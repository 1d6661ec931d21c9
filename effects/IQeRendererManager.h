#ifndef QIRN_EFFECTS_IQERENDERERMANAGER_H
#define QIRN_EFFECTS_IQERENDERERMANAGER_H

#include <irrlicht.h>

// A slot for renderers of the effect library; it holds none.
class IQeRendererManager {
public:
    virtual ~IQeRendererManager() {}
    virtual void* queryRenderer(irr::u32 id) = 0;
};

#endif
