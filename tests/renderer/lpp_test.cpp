// The light pre-pass renderer's pure parts: permutation indexes and define lists, the size check, and
// the best-fit normals table against the quantisation it was made for.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine_context.h"
#include "lpp_internal.h"

using namespace irr;

namespace {

std::string joined(const char* const* defines) {
    std::string s;
    for (; *defines; ++defines) s += std::string(s.empty() ? "" : " ") + *defines;
    return s;
}

TEST(LppPermutations, IndexesFollowTheSurfacesTextures) {
    LppSurfaceTextures t = {};
    int reflective = -1;
    EXPECT_EQ(0, qeIrrlichtLppFinalIndexOf(t, true, false, &reflective));
    EXPECT_EQ(0, reflective);
    t.color = t.specular = true;
    EXPECT_EQ(9, qeIrrlichtLppFinalIndexOf(t, true, false, &reflective));
    // the second uv set only matters with a luminosity texture
    EXPECT_EQ(9, qeIrrlichtLppFinalIndexOf(t, true, true, &reflective));
    t.luminosity = true;
    EXPECT_EQ(11 | 32, qeIrrlichtLppFinalIndexOf(t, true, true, &reflective));
    // reflectivity and normal maps count only with a reflection image; tangents computed without them
    t = {};
    t.reflectivity = t.normal = true;
    EXPECT_EQ(0, qeIrrlichtLppFinalIndexOf(t, false, false, &reflective));
    t.reflectionImage = t.reflectionCube = true;
    EXPECT_EQ(64 | 128 | 16 | 256, qeIrrlichtLppFinalIndexOf(t, false, false, &reflective));
    EXPECT_EQ(1, reflective);
    EXPECT_EQ(64 | 128 | 256, qeIrrlichtLppFinalIndexOf(t, true, false, &reflective));

    t = {};
    t.glossiness = true;
    EXPECT_EQ(2, qeIrrlichtLppDepthIndexOf(t, false));
    t.normal = true;
    EXPECT_EQ(7, qeIrrlichtLppDepthIndexOf(t, false));
    EXPECT_EQ(3, qeIrrlichtLppDepthIndexOf(t, true));
}

TEST(LppPermutations, DefineListsAndTheSlotsThatStayEmpty) {
    const char* d[11];
    ASSERT_TRUE(qeIrrlichtLppDepthPassDefines(7, d));
    EXPECT_EQ("TEX_NORMAL TEX_GLOSSINESS COMPTANGENT", joined(d));
    EXPECT_FALSE(qeIrrlichtLppDepthPassDefines(4, d));
    EXPECT_FALSE(qeIrrlichtLppDepthPassDefines(6, d));

    int lights = 0;
    for (int i = 0; i < LPP_LIGHT_PASS_SHADERS; ++i) lights += qeIrrlichtLppLightPassDefines(i, d) ? 1 : 0;
    EXPECT_EQ(13, lights);
    for (int i = 7; i <= 11; ++i) EXPECT_FALSE(qeIrrlichtLppLightPassDefines(i, d)) << i;
    ASSERT_TRUE(qeIrrlichtLppLightPassDefines(6, d));
    EXPECT_EQ("POINT", joined(d));
    ASSERT_TRUE(qeIrrlichtLppLightPassDefines(15, d));
    EXPECT_EQ("SPOTLIGHT SHADOW SH2", joined(d));
    ASSERT_TRUE(qeIrrlichtLppLightPassDefines(5, d));
    EXPECT_EQ("DISTANT SHADOW SH8", joined(d));

    int plain = 0, reflective = 0;
    for (int i = 0; i < LPP_FINAL_PASS_SHADERS; ++i) plain += qeIrrlichtLppFinalPassDefines(i, false, d) ? 1 : 0;
    for (int i = 0; i < LPP_REFLEC_FINAL_PASS_SHADERS; ++i)
        reflective += qeIrrlichtLppFinalPassDefines(i, true, d) ? 1 : 0;
    EXPECT_EQ(24, plain);
    EXPECT_EQ(288, reflective);
    ASSERT_TRUE(qeIrrlichtLppFinalPassDefines(2 | 32, false, d));
    EXPECT_EQ("TEX_LUMINOSITY UV2INTEX2", joined(d));
    EXPECT_FALSE(qeIrrlichtLppFinalPassDefines(16, false, d));
    EXPECT_FALSE(qeIrrlichtLppFinalPassDefines(32, false, d));
    EXPECT_FALSE(qeIrrlichtLppFinalPassDefines(16, true, d));
    ASSERT_TRUE(qeIrrlichtLppFinalPassDefines(511, true, d));
    EXPECT_EQ("TEX_REFLECIMG TEX_COLOR TEX_LUMINOSITY TEX_DIFFUSE TEX_SPECULAR TEX_REFLECTIVITY TEX_NORMAL "
              "TEX_REFLECCUBE COMPTANGENT UV2INTEX2",
              joined(d));
}

TEST(LppPermutations, WithoutNonPowerOfTwoTexturesOnlyTheListedSizesPass) {
    EXPECT_FALSE(qeIrrlichtLppPowerOfTwoSize(1024, 768));
    EXPECT_TRUE(qeIrrlichtLppPowerOfTwoSize(1024, 1024));
    EXPECT_TRUE(qeIrrlichtLppPowerOfTwoSize(512, 256));
    EXPECT_FALSE(qeIrrlichtLppPowerOfTwoSize(128, 128));
}

// ---- the best-fit normals table ----

double quantised(double c) { return std::nearbyint((c * 0.5 + 0.5) * 255.0) / 255.0 * 2.0 - 1.0; }

// How closely direction (1, u, v) survives storage at length k / 255.
double cosineAt(double u, double v, int k) {
    const double t = k / 255.0;
    const double q[3] = {quantised(t), quantised(u * t), quantised(v * t)};
    const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
    if (length == 0.0) return -2.0;
    return (q[0] + q[1] * u + q[2] * v) / (length * std::sqrt(1.0 + u * u + v * v));
}

struct Table {
    IrrlichtDevice* device = createDevice(video::EDT_NULL);
    video::IImage* image = nullptr;
    Table() {
        if (device)
            image = device->getVideoDriver()->createImageFromFile(QIRN_OUTPUT_DIR "textures/NormalsFittingTexture.png");
    }
    ~Table() {
        if (image) image->drop();
        if (device) device->drop();
    }
    int at(u32 x, u32 y) const { return image->getPixel(x, y).getRed(); }
};

TEST(LppBestFitNormals, SampledTexelsHoldTheBestLengthAndBeatPlainStorage) {
    Table table;
    ASSERT_NE(nullptr, table.image);
    const u32 size = table.image->getDimension().Width;
    ASSERT_EQ(256u, size);
    for (u32 y = 3; y < size; y += 37)
        for (u32 x = 5; x < size; x += 41) {
            const double u = (x + 0.5) / size, v = (y + 0.5) / size;
            double best = -2.0;
            for (int k = 1; k < 256; ++k) best = std::max(best, cosineAt(u, v, k));
            EXPECT_NEAR(best, cosineAt(u, v, table.at(x, y)), 1e-12) << x << "," << y;
        }

    // Directions at random: the table's lengths lose less angle than storing the unit normal.
    double tableError = 0.0, plainError = 0.0;
    unsigned seed = 12345;
    auto next = [&seed] { seed = seed * 1103515245u + 12345u; return ((seed >> 8) & 0xFFFF) / 65535.0; };
    for (int i = 0; i < 2000; ++i) {
        const double u = next(), v = next();
        const u32 x = std::min<u32>(size - 1, static_cast<u32>(u * size));
        const u32 y = std::min<u32>(size - 1, static_cast<u32>(v * size));
        const double n = std::sqrt(1.0 + u * u + v * v);
        tableError += std::acos(std::min(1.0, cosineAt(u, v, table.at(x, y))));
        // plain storage: the unit vector, whose largest component is 1 / n
        const double q[3] = {quantised(1.0 / n), quantised(u / n), quantised(v / n)};
        const double ql = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
        plainError += std::acos(std::min(1.0, (q[0] + q[1] * u + q[2] * v) / (ql * n)));
    }
    EXPECT_LT(tableError * 2.0, plainError);
}

TEST(LppPost, StreakWindowsStayWithinZeroAndOne) {
    RenderSettings rs = {};
    float alpha[2], colour[2];
    rs.streakGlowMin = 0.01f;
    rs.streakKeyMatch = 0.5f;
    qeIrrlichtLppStreakLimits(rs, alpha, colour);
    EXPECT_FLOAT_EQ(0.0f, alpha[0]);
    EXPECT_NEAR(0.03f, alpha[1], 1e-6f);
    EXPECT_NEAR(0.49f, colour[0], 1e-6f);
    EXPECT_NEAR(0.51f, colour[1], 1e-6f);
    rs.streakGlowMin = 0.99f;
    rs.streakKeyMatch = 1.0f;
    qeIrrlichtLppStreakLimits(rs, alpha, colour);
    EXPECT_NEAR(0.97f, alpha[0], 1e-6f);
    EXPECT_FLOAT_EQ(1.0f, alpha[1]);
    EXPECT_FLOAT_EQ(1.0f, colour[1]);
}

}  // namespace
