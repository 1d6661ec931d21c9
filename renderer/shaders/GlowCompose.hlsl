//[QIRN_BEGIN]
//title GlowCompose
//subject Adds the blurred glow to the frame
//function vertexMain : vsMain
//function pixelMain : psMain
//config baseMaterial : transparent_one_one
//float2 HalfPixelSize : HalfPixelSize : vertex
//float GlowIntensity : 1 : pixel
//[QIRN_END]
#include "PostCommon.h"
float2 HalfPixelSize;
float GlowIntensity;
sampler2D Glow : register(s0);

PostVsOut vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0) { return postVertex(pos, uv, HalfPixelSize); }

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 { return float4(tex2D(Glow, uv).rgb * GlowIntensity, 0.0); }
