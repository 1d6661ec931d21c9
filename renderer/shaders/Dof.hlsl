//[QIRN_BEGIN]
//title Dof
//subject Depth of field: the frame blurred by each pixel's distance from the focal plane
//function vertexMain : vsMain
//function pixelMain : psMain
//float2 HalfPixelSize : HalfPixelSize : vertex
//float2 PixelSize : PixelSize : pixel
//float ZFarValue : ZFarValue : pixel
//float FocalDistance : FocalDistance : pixel
//float FocalRange : FocalRange : pixel
//float DofMaxCoc : DofMaxCoc : pixel
//[QIRN_END]
// Layers: s0 the frame, s1 depthRTT (view depth over the far value).
#include "PostCommon.h"
float2 HalfPixelSize;
float2 PixelSize;
float ZFarValue;
float FocalDistance;
float FocalRange;
float DofMaxCoc;
sampler2D Source : register(s0);
sampler2D DepthRTT : register(s1);

static const float2 kDisc[8] = {float2(1, 0), float2(0.707, 0.707), float2(0, 1), float2(-0.707, 0.707),
                                float2(-1, 0), float2(-0.707, -0.707), float2(0, -1), float2(0.707, -0.707)};

PostVsOut vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0) { return postVertex(pos, uv, HalfPixelSize); }

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 {
    float depth = tex2D(DepthRTT, uv).r * ZFarValue;
    // circle of confusion in pixels, up to DofMaxCoc of a hundredth of the screen
    float coc = saturate(abs(depth - FocalDistance) * FocalRange);
    float2 radius = coc * DofMaxCoc * 100.0 * PixelSize;
    float4 centre = tex2D(Source, uv);
    float4 sum = centre;
    [unroll] for (int i = 0; i < 8; ++i) sum += postTap(Source, uv + kDisc[i] * radius);
    return float4((sum / 9.0).rgb, centre.a);
}
