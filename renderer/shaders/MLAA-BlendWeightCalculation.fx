//[QIRN_BEGIN]
//title MLAA-BlendWeightCalculation
//subject Anti-aliasing, pass 2: blend weights of the edge pixels from the edge lengths and the area table
//function vertexMain : vsMain
//function pixelMain : psMain
//float2 PixelSize : PixelSize : pixel
//[QIRN_END]
// Layers: s0 edges (point), s1 edges (bilinear), s2 AreaMap33 (point; 5 x 5 tiles of 33 x 33 texels, tile
// by the crossing edges at both ends, texel by the distances to them). Searches run a fixed number of
// steps of two pixels each (bilinear taps read two edge pixels at once) and stop counting at the first
// gap: no real loops.
#include "PostCommon.h"
float2 PixelSize;
sampler2D EdgesPoint : register(s0);
sampler2D EdgesLinear : register(s1);
sampler2D AreaMap : register(s2);

#define MLAA_SEARCH_STEPS 8
#define MLAA_MAX_DISTANCE 33.0

PostVsOut vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0) { return postVertex(pos, uv, float2(0, 0)); }

// Pixels to the end of the edge line in one direction; channel picks the red or the green edge.
float searchDistance(float2 uv, float2 dir, float channelIsGreen) {
    float distance = 0.0;
    float searching = 1.0;
    [unroll] for (int i = 0; i < MLAA_SEARCH_STEPS; ++i) {
        float2 tapUv = uv + dir * (1.5 + 2.0 * i) * PixelSize;
        float2 e = postTap(EdgesLinear, tapUv).rg;
        float value = lerp(e.r, e.g, channelIsGreen);
        searching *= step(0.9, value);  // both pixels of the tap on the edge
        distance += 2.0 * searching;
    }
    return min(distance, MLAA_MAX_DISTANCE - 1.0);
}

float2 area(float2 distance, float e1, float e2) {
    float2 texel = float2(round(4.0 * e1), round(4.0 * e2)) * MLAA_MAX_DISTANCE + distance;
    return postTap(AreaMap, (texel + 0.5) / (5.0 * MLAA_MAX_DISTANCE)).rg;
}

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 {
    float2 e = tex2D(EdgesPoint, uv).rg;
    float4 weights = 0;
    if (e.g > 0.5) {  // top edge: a horizontal line
        float left = searchDistance(uv, float2(-1, 0), 1.0);
        float right = searchDistance(uv, float2(1, 0), 1.0);
        // crossing edges at both ends, read a quarter pixel off the line by the bilinear filter
        float e1 = postTap(EdgesLinear, uv + float2(-left, -0.25) * PixelSize).r;
        float e2 = postTap(EdgesLinear, uv + float2(right + 1.0, -0.25) * PixelSize).r;
        weights.rg = area(float2(left, right), e1, e2);
    }
    if (e.r > 0.5) {  // left edge: a vertical line
        float up = searchDistance(uv, float2(0, -1), 0.0);
        float down = searchDistance(uv, float2(0, 1), 0.0);
        float e1 = postTap(EdgesLinear, uv + float2(-0.25, -up) * PixelSize).g;
        float e2 = postTap(EdgesLinear, uv + float2(-0.25, down + 1.0) * PixelSize).g;
        weights.ba = area(float2(up, down), e1, e2);
    }
    return weights;
}
