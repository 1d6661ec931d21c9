// Box down-scale by two. Define DS_HALF_PIXEL (the target's half-pixel semantic) and DS_SAMPLES (the
// semantic of the four source offsets, two per register) before including this.
#include "PostCommon.h"
float2 DS_HALF_PIXEL;
float4 DS_SAMPLES[2];
sampler2D Source : register(s0);

PostVsOut vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0) { return postVertex(pos, uv, DS_HALF_PIXEL); }

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 {
    float4 sum = postTap(Source, uv + DS_SAMPLES[0].xy) + postTap(Source, uv + DS_SAMPLES[0].zw) +
                 postTap(Source, uv + DS_SAMPLES[1].xy) + postTap(Source, uv + DS_SAMPLES[1].zw);
    return sum * 0.25;
}
