//[QIRN_BEGIN]
//title LightStreakMaxInt
//subject Light streak seeds: glow pixels whose mask lies in limitalpha or whose colour matches the colour key
//function vertexMain : vsMain
//function pixelMain : psMain
//float2 QuarterScreenHalfPixelSize : QuarterScreenHalfPixelSize : vertex
//float2 limitalpha : 0,1 : pixel
//float2 limitcolor : 0,1 : pixel
//float3 colorkey : 1,1,1 : pixel
//[QIRN_END]
#include "PostCommon.h"
float2 QuarterScreenHalfPixelSize;
float2 limitalpha;
float2 limitcolor;
float3 colorkey;
sampler2D Source : register(s0);

PostVsOut vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0) { return postVertex(pos, uv, QuarterScreenHalfPixelSize); }

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 {
    float4 c = tex2D(Source, uv);
    float byAlpha = step(limitalpha.x, c.a) * step(c.a, limitalpha.y);
    // the key matches when the colour's distance from it lies within limitcolor's range
    float match = 1.0 - length(c.rgb - colorkey) * 0.57735;
    float byColour = step(limitcolor.x, match) * step(match, limitcolor.y);
    return float4(postStreakEncode(c.rgb * max(byAlpha, byColour)), 1.0);
}
