//[QIRN_BEGIN]
//title ssaoCombine
//subject The frame darkened by the blurred occlusion
//function vertexMain : vsMain
//function pixelMain : psMain
//float2 HalfPixelSize : HalfPixelSize : vertex
//[QIRN_END]
// Layers: s0 the frame, s1 the blurred occlusion (half size).
#include "PostCommon.h"
float2 HalfPixelSize;
sampler2D Source : register(s0);
sampler2D Occlusion : register(s1);

PostVsOut vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0) { return postVertex(pos, uv, HalfPixelSize); }

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 {
    float4 c = tex2D(Source, uv);
    return float4(c.rgb * tex2D(Occlusion, uv).r, c.a);
}
