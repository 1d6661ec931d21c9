//[QIRN_BEGIN]
//title LightStreakCompose
//subject Adds the light streaks to the blurred glow
//function vertexMain : vsMain
//function pixelMain : psMain
//config baseMaterial : transparent_one_one
//float2 HalfScreenHalfPixelSize : HalfScreenHalfPixelSize : vertex
//float GlowIntensity : 1 : pixel
//[QIRN_END]
#include "PostCommon.h"
float2 HalfScreenHalfPixelSize;
float GlowIntensity;
sampler2D Streaks : register(s0);

PostVsOut vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0) { return postVertex(pos, uv, HalfScreenHalfPixelSize); }

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 { return float4(postStreakDecode(tex2D(Streaks, uv).rgb) * GlowIntensity, 0.0); }
