//[QIRN_BEGIN]
//title ssao
//subject Screen-space ambient occlusion from linear depth and random vectors (white: open, dark: occluded)
//function vertexMain : vsMain
//function pixelMain : psMain
//float2 HalfPixelSize : HalfPixelSize : vertex
//float2 ScreenSize : ScreenSize : pixel
//float SSAO_REACH : 0.005 : pixel
//float MAX_DEPTH_DECLINE : 0.2 : pixel
//float DEPTH_ALIASING_EPISILON : 0.0002 : pixel
//float SSAO_OUTPUT_MULTIPLIER : 1.5 : pixel
//[QIRN_END]
// Layers: s0 depthRTT (view depth over the far value), s1 randVec (repeating, 512 x 512).
#include "PostCommon.h"
float2 HalfPixelSize;
float2 ScreenSize;
float SSAO_REACH;
float MAX_DEPTH_DECLINE;
float DEPTH_ALIASING_EPISILON;
float SSAO_OUTPUT_MULTIPLIER;
sampler2D DepthRTT : register(s0);
sampler2D RandVec : register(s1);

static const float3 kKernel[8] = {float3(0.53, 0.18, 0.25),  float3(-0.37, 0.62, 0.40), float3(0.21, -0.71, 0.33),
                                  float3(-0.66, -0.29, 0.52), float3(0.81, 0.42, 0.11),  float3(-0.14, 0.23, 0.93),
                                  float3(0.38, -0.12, 0.77),  float3(-0.48, -0.69, 0.19)};

PostVsOut vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0) { return postVertex(pos, uv, HalfPixelSize); }

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 {
    float depth = tex2D(DepthRTT, uv).r;
    float3 random = tex2D(RandVec, uv * ScreenSize / 512.0).rgb * 2.0 - 1.0;
    float reach = SSAO_REACH / max(depth, 0.01);
    float occlusion = 0.0;
    [unroll] for (int i = 0; i < 8; ++i) {
        float3 ray = reflect(kKernel[i], random) * reach;
        float sampleDepth = postTap(DepthRTT, uv + ray.xy).r;
        float difference = depth - sampleDepth;
        // a closer sample occludes, unless it is so much closer that it stands apart
        occlusion += step(DEPTH_ALIASING_EPISILON, difference) * (1.0 - smoothstep(0.0, MAX_DEPTH_DECLINE, difference));
    }
    float open = saturate(1.0 - occlusion / 8.0 * SSAO_OUTPUT_MULTIPLIER);
    open = lerp(open, 1.0, step(0.99999, depth));  // the backdrop is open
    return float4(open, open, open, 1.0);
}
