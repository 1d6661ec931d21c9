//[QIRN_BEGIN]
//title GlowAlphaMul
//subject Glow source: the frame's colour weighted by its glow mask (alpha)
//function vertexMain : vsMain
//function pixelMain : psMain
//float2 HalfScreenHalfPixelSize : HalfScreenHalfPixelSize : vertex
//[QIRN_END]
#include "PostCommon.h"
float2 HalfScreenHalfPixelSize;
sampler2D Source : register(s0);

PostVsOut vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0) { return postVertex(pos, uv, HalfScreenHalfPixelSize); }

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 {
    float4 c = tex2D(Source, uv);
    return float4(c.rgb * c.a, c.a);
}
