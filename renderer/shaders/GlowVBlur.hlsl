//[QIRN_BEGIN]
//title GlowVBlur
//subject Vertical glow blur
//function vertexMain : vsMain
//function pixelMain : psMain
//float2 HalfScreenHalfPixelSize : HalfScreenHalfPixelSize : vertex
//float sampleDist1 : 0.004 : pixel
//[QIRN_END]
#include "GlowBlur.h"
float2 HalfScreenHalfPixelSize;
float sampleDist1;
sampler2D Source : register(s0);

PostVsOut vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0) { return postVertex(pos, uv, HalfScreenHalfPixelSize); }

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 { return glowBlur(Source, uv, float2(0.0, sampleDist1)); }
