//[QIRN_BEGIN]
//title GlowHVBlur
//subject Glow blur along both axes at once (the horizontal and the vertical pass summed)
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

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 { return 0.5 * (glowBlur(Source, uv, float2(sampleDist1, 0.0)) + glowBlur(Source, uv, float2(0.0, sampleDist1))); }
