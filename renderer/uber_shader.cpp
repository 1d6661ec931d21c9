#include "uber_shader.h"

#include <cstring>

#include "scene_access.h"

namespace {

const char* const kDefines[14] = {
    "TEX_COLOR",       "TEX_LUMINOSITY", "TEX_DIFFUSE", "TEX_SPECULAR",   "TEX_GLOSSINESS",
    "TEX_REFLECIMG",   "TEX_REFLECTIVITY", "TEX_TRANSPARENCY", "TEX_NORMAL", "TRANSPARENT",
    "TEX_REFLECCUBE",  "COMPTANGENT",    "UV2INTEX2",   "DOF",
};

bool hasImage(const ObjectSurfaceRecord* r, int slot) { return r->channels[slot].texImage != nullptr; }

float slotValue(const SurfaceChannelEntry& slot) {
    return slot.type == 2 ? static_cast<float>(slot.value.i[0]) : slot.value.f[0];
}

}  // namespace

uint32_t qeIrrlichtUberShaderMask(const ObjectSurfaceRecord* r, bool compTangent, bool uv2InTex2) {
    uint32_t mask = 0;
    if (hasImage(r, QE_SURF_BASECOLOR)) mask |= QE_UBER_TEX_COLOR;
    if (hasImage(r, QE_SURF_LUMINOSITY)) mask |= QE_UBER_TEX_LUMINOSITY;
    if (hasImage(r, QE_SURF_DIFFUSE)) mask |= QE_UBER_TEX_DIFFUSE;
    if (hasImage(r, QE_SURF_SPECULARITY)) mask |= QE_UBER_TEX_SPECULAR;
    if (hasImage(r, QE_SURF_GLOSSINESS)) mask |= QE_UBER_TEX_GLOSSINESS;
    const char* reflection = r->channels[QE_SURF_REFLECTIONIMAGE].texImage;
    if (reflection && slotValue(r->channels[QE_SURF_REFLECTIONOPTIONS]) >= 2.0f) {
        mask |= QE_UBER_TEX_REFLECIMG;
        if (hasImage(r, QE_SURF_REFLECTIVITY)) mask |= QE_UBER_TEX_REFLECTIVITY;
        if (std::strstr(reflection, "00.")) mask |= QE_UBER_TEX_REFLECCUBE;
    }
    if (hasImage(r, QE_SURF_TRANSPARENCY)) mask |= QE_UBER_TEX_TRANSPARENCY;
    if (hasImage(r, QE_SURF_BUMP)) mask |= QE_UBER_TEX_NORMAL;
    if (hasImage(r, QE_SURF_TRANSPARENCY) || slotValue(r->channels[QE_SURF_TRANSPARENCY]) != 0.0f)
        mask |= QE_UBER_TRANSPARENT;
    if (compTangent) mask |= QE_UBER_COMPTANGENT;
    if (uv2InTex2) mask |= QE_UBER_UV2INTEX2;
    return mask;
}

int qeIrrlichtUberShaderDefines(uint32_t mask, const char* defines[15]) {
    int n = 0;
    for (int bit = 0; bit < 14; ++bit)
        if (mask & (1u << bit)) defines[n++] = kDefines[bit];
    defines[n] = nullptr;
    return n;
}

// Nothing is cached before surfaces exist: the start always succeeds.
int qeIrrlichtUberShaderInit() { return 0; }
