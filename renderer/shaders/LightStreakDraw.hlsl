//[QIRN_BEGIN]
//title LightStreakDraw
//subject One pass of a directional light streak: four taps along the direction, spaced 4^(passn-1) pixels
//function vertexMain : vsMain
//function pixelMain : psMain
//float2 QuarterScreenHalfPixelSize : QuarterScreenHalfPixelSize : both
//float2 direction : 1,0 : pixel
//float3 colorize : 1,1,1 : pixel
//float attenuation : 0.9 : pixel
//float passn : 1 : pixel
//[QIRN_END]
#include "PostCommon.h"
float2 QuarterScreenHalfPixelSize;
float2 direction;
float3 colorize;
float attenuation;
float passn;
sampler2D Source : register(s0);

PostVsOut vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0) { return postVertex(pos, uv, QuarterScreenHalfPixelSize); }

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 {
    float spacing = pow(4.0, passn - 1.0);
    float2 stepUv = direction * spacing * QuarterScreenHalfPixelSize * 2.0;
    float3 sum = 0;
    [unroll] for (int i = 0; i < 4; ++i) {
        float weight = pow(attenuation, spacing * i);
        sum += postTap(Source, uv + stepUv * i).rgb * weight;
    }
    float3 tint = lerp(float3(1.0, 1.0, 1.0), colorize, step(1.5, passn));
    return float4(saturate(sum * tint), 1.0);
}
