#ifndef QIRN_EFFECTS_IQEGPUPROGRAMMINGSERVICES_H
#define QIRN_EFFECTS_IQEGPUPROGRAMMINGSERVICES_H

#include <irrlicht.h>

// GPU programming services of the effect library: shader materials from files through the on-disk
// compiled-shader cache.
class IQeGPUProgrammingServices {
public:
    virtual ~IQeGPUProgrammingServices() {}
    // The cache folder and its mode bits; no check, no result.
    virtual void setShaderCache(const irr::core::stringc& folder, irr::u32 mode) = 0;
    virtual const irr::core::stringc& getShaderCacheFolder() const = 0;
    virtual irr::u32 getShaderCacheMode() const = 0;
};

#endif
