//[QIRN_BEGIN]
//title DofAdvanced
//subject Depth of field with a sharp focal range: pixels outside [DofFocalRangeMin, DofFocalRangeMax] blur with distance
//function vertexMain : vsMain
//function pixelMain : psMain
//float2 HalfPixelSize : HalfPixelSize : vertex
//float2 PixelSize : PixelSize : pixel
//float ZFarValue : ZFarValue : pixel
//float DofFocalRangeMin : DofFocalRangeMin : pixel
//float DofFocalRangeMax : DofFocalRangeMax : pixel
//float DofRadiusScale : DofRadiusScale : pixel
//[QIRN_END]
// Layers: s0 the frame, s1 depthRTT (view depth over the far value).
#include "PostCommon.h"
float2 HalfPixelSize;
float2 PixelSize;
float ZFarValue;
float DofFocalRangeMin;
float DofFocalRangeMax;
float DofRadiusScale;
sampler2D Source : register(s0);
sampler2D DepthRTT : register(s1);

static const float2 kTaps[12] = {float2(-0.326, -0.406), float2(-0.840, -0.074), float2(-0.696, 0.457),
                                 float2(-0.203, 0.621),  float2(0.962, -0.195),  float2(0.473, -0.480),
                                 float2(0.519, 0.767),   float2(0.185, -0.893),  float2(0.507, 0.064),
                                 float2(0.896, 0.412),   float2(-0.322, -0.933), float2(-0.792, -0.598)};

PostVsOut vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0) { return postVertex(pos, uv, HalfPixelSize); }

float blurOf(float depth) {
    float outside = max(DofFocalRangeMin - depth, depth - DofFocalRangeMax);
    return saturate(outside / max(DofFocalRangeMax - DofFocalRangeMin, 0.001));
}

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 {
    float blur = blurOf(tex2D(DepthRTT, uv).r * ZFarValue);
    float2 radius = blur * DofRadiusScale * PixelSize;
    float4 centre = tex2D(Source, uv);
    float3 sum = centre.rgb;
    float weights = 1.0;
    [unroll] for (int i = 0; i < 12; ++i) {
        float2 tapUv = uv + kTaps[i] * radius;
        // sharp foreground pixels do not bleed into blurred ones behind them
        float w = blurOf(postTap(DepthRTT, tapUv).r * ZFarValue);
        sum += postTap(Source, tapUv).rgb * w;
        weights += w;
    }
    return float4(sum / weights, centre.a);
}
