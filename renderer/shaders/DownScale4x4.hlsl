//[QIRN_BEGIN]
//title DownScale4x4
//subject Box down-scale by four: the mean of 4 x 4 source pixels
//function vertexMain : vsMain
//function pixelMain : psMain
//float2 QuarterScreenHalfPixelSize : QuarterScreenHalfPixelSize : vertex
//floatN DownScale4x4Samples : DownScale4x4Samples : pixel
//[QIRN_END]
#include "PostCommon.h"
float2 QuarterScreenHalfPixelSize;
float4 DownScale4x4Samples[8];  // sixteen (x, y) offsets, two per register
sampler2D Source : register(s0);

PostVsOut vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0) { return postVertex(pos, uv, QuarterScreenHalfPixelSize); }

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 {
    float4 sum = 0;
    [unroll] for (int i = 0; i < 8; ++i) {
        sum += postTap(Source, uv + DownScale4x4Samples[i].xy);
        sum += postTap(Source, uv + DownScale4x4Samples[i].zw);
    }
    return sum / 16.0;
}
