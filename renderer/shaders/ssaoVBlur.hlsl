//[QIRN_BEGIN]
//title ssaoVBlur
//subject Vertical blur of the occlusion in a half-size target
//function vertexMain : vsMain
//function pixelMain : psMain
//float2 HalfScreenHalfPixelSize : HalfScreenHalfPixelSize : both
//[QIRN_END]
#include "PostCommon.h"
float2 HalfScreenHalfPixelSize;
sampler2D Source : register(s0);

PostVsOut vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0) { return postVertex(pos, uv, HalfScreenHalfPixelSize); }

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 {
    float2 stepUv = float2(0.0, HalfScreenHalfPixelSize.y * 2.0);
    float4 sum = 0;
    [unroll] for (int i = -3; i <= 3; ++i) sum += postTap(Source, uv + stepUv * i);
    return sum / 7.0;
}
