// The uber shader's permutation mask and define list from surface records.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "scene_access.h"
#include "uber_shader.h"

namespace {

std::string definesOf(uint32_t mask) {
    const char* defines[15];
    const int n = qeIrrlichtUberShaderDefines(mask, defines);
    std::string out;
    for (int i = 0; i < n; ++i) out += std::string(i ? " " : "") + defines[i];
    EXPECT_EQ(nullptr, defines[n]);
    return out;
}

TEST(UberShaderMask, ChannelsSelectTheirDefines) {
    ObjectSurfaceRecord r;
    std::memset(&r, 0, sizeof(r));
    r.channels[QE_SURF_REFLECTIONOPTIONS].type = 2;
    r.channels[QE_SURF_TRANSPARENCY].type = 1;
    r.channels[QE_SURF_BASECOLOR].texImage = "wood.png";
    r.channels[QE_SURF_TRANSPARENCY].value.f[0] = 0.5f;
    const uint32_t mask = qeIrrlichtUberShaderMask(&r, false, false) | QE_UBER_DOF;
    EXPECT_EQ(0x2201u, mask);
    EXPECT_EQ("TEX_COLOR TRANSPARENT DOF", definesOf(mask));

    // the reflection image counts from ReflectionOptions 2 on, and brings reflectivity and the cube with it
    r.channels[QE_SURF_REFLECTIONIMAGE].texImage = "env00.png";
    r.channels[QE_SURF_REFLECTIVITY].texImage = "mask.png";
    r.channels[QE_SURF_REFLECTIONOPTIONS].value.i[0] = 1;
    EXPECT_EQ(0x201u, qeIrrlichtUberShaderMask(&r, false, false));
    r.channels[QE_SURF_REFLECTIONOPTIONS].value.i[0] = 2;
    EXPECT_EQ(0x661u, qeIrrlichtUberShaderMask(&r, false, false));
    r.channels[QE_SURF_REFLECTIONIMAGE].texImage = "env.png";
    r.channels[QE_SURF_TRANSPARENCY].value.f[0] = 0.0f;
    r.channels[QE_SURF_BUMP].texImage = "bump.png";
    EXPECT_EQ(0x1961u, qeIrrlichtUberShaderMask(&r, true, true));
    EXPECT_EQ("TEX_COLOR TEX_REFLECIMG TEX_REFLECTIVITY TEX_NORMAL COMPTANGENT UV2INTEX2", definesOf(0x1961u));
    r.channels[QE_SURF_TRANSPARENCY].texImage = "holes.png";
    EXPECT_EQ(0x3FFFu & (0x1961u | 0x280u), qeIrrlichtUberShaderMask(&r, true, true));
}

}  // namespace
