// Nine-tap Gaussian blur along one axis of a half-size target; "sampleDist1" is the tap distance as a
// fraction of the target.
#ifndef GLOW_BLUR_H
#define GLOW_BLUR_H
#include "PostCommon.h"

static const float kGlowWeights[5] = {0.2270270, 0.1945946, 0.1216216, 0.0540541, 0.0162162};

float4 glowBlur(sampler2D source, float2 uv, float2 step) {
    float4 sum = postTap(source, uv) * kGlowWeights[0];
    [unroll] for (int i = 1; i < 5; ++i) {
        sum += postTap(source, uv + step * i) * kGlowWeights[i];
        sum += postTap(source, uv - step * i) * kGlowWeights[i];
    }
    return sum;
}
#endif
