//[QIRN_BEGIN]
//title DownScale2x2-HalfScreen
//subject Box down-scale by two of a half-size target into a quarter-size one
//function vertexMain : vsMain
//function pixelMain : psMain
//float2 QuarterScreenHalfPixelSize : QuarterScreenHalfPixelSize : vertex
//floatN HalfDownScale2x2Samples : HalfDownScale2x2Samples : pixel
//[QIRN_END]
#include "PostCommon.h"
float2 QuarterScreenHalfPixelSize;
float4 HalfDownScale2x2Samples[2];  // four (x, y) offsets
sampler2D Source : register(s0);

PostVsOut vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0) { return postVertex(pos, uv, QuarterScreenHalfPixelSize); }

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 {
    float4 sum = postTap(Source, uv + HalfDownScale2x2Samples[0].xy) + postTap(Source, uv + HalfDownScale2x2Samples[0].zw) +
                 postTap(Source, uv + HalfDownScale2x2Samples[1].xy) + postTap(Source, uv + HalfDownScale2x2Samples[1].zw);
    return sum * 0.25;
}
