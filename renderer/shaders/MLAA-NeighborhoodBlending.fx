//[QIRN_BEGIN]
//title MLAA-NeighborhoodBlending
//subject Anti-aliasing, pass 3: each edge pixel blended with its neighbours by the weights
//function vertexMain : vsMain
//function pixelMain : psMain
//float2 PixelSize : PixelSize : pixel
//[QIRN_END]
// Layers: s0 the frame copy (point), s1 the blend weights (point).
#include "PostCommon.h"
float2 PixelSize;
sampler2D Source : register(s0);
sampler2D Weights : register(s1);

PostVsOut vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0) { return postVertex(pos, uv, float2(0, 0)); }

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 {
    float4 own = tex2D(Weights, uv);
    // top, bottom, left, right
    float4 a = float4(own.r, postTap(Weights, uv + float2(0, PixelSize.y)).g, own.b,
                      postTap(Weights, uv + float2(PixelSize.x, 0)).a);
    float total = dot(a, 1.0);
    float4 c = tex2D(Source, uv);
    float4 result = c * saturate(1.0 - total);
    result += postTap(Source, uv - float2(0, PixelSize.y)) * a.x;
    result += postTap(Source, uv + float2(0, PixelSize.y)) * a.y;
    result += postTap(Source, uv - float2(PixelSize.x, 0)) * a.z;
    result += postTap(Source, uv + float2(PixelSize.x, 0)) * a.w;
    return result / max(1.0, total);
}
