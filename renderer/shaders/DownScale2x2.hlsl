//[QIRN_BEGIN]
//title DownScale2x2
//subject Box down-scale by two of the frame into a half-size target
//function vertexMain : vsMain
//function pixelMain : psMain
//float2 HalfScreenHalfPixelSize : HalfScreenHalfPixelSize : vertex
//floatN DownScale2x2Samples : DownScale2x2Samples : pixel
//[QIRN_END]
#include "PostCommon.h"
float2 HalfScreenHalfPixelSize;
float4 DownScale2x2Samples[2];  // four (x, y) offsets
sampler2D Source : register(s0);

PostVsOut vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0) { return postVertex(pos, uv, HalfScreenHalfPixelSize); }

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 {
    float4 sum = postTap(Source, uv + DownScale2x2Samples[0].xy) + postTap(Source, uv + DownScale2x2Samples[0].zw) +
                 postTap(Source, uv + DownScale2x2Samples[1].xy) + postTap(Source, uv + DownScale2x2Samples[1].zw);
    return sum * 0.25;
}
