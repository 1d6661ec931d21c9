//[QIRN_BEGIN]
//title MLAA-ColorEdgeDetection
//subject Anti-aliasing, pass 1: edges where the luminance steps against the left (red) and top (green) neighbour
//function vertexMain : vsMain
//function pixelMain : psMain
//float2 PixelSize : PixelSize : pixel
//[QIRN_END]
// The quad is already shifted by half a pixel. Layer 0: the frame, point filtered. Pixels without an
// edge are clipped, so the stencil marks only edge pixels for the next passes.
#include "PostCommon.h"
float2 PixelSize;
sampler2D Source : register(s0);

static const float kThreshold = 0.1;

PostVsOut vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0) { return postVertex(pos, uv, float2(0, 0)); }

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 {
    float l = postLuminance(tex2D(Source, uv).rgb);
    float left = postLuminance(postTap(Source, uv - float2(PixelSize.x, 0.0)).rgb);
    float top = postLuminance(postTap(Source, uv - float2(0.0, PixelSize.y)).rgb);
    float2 edges = step(kThreshold, abs(l - float2(left, top)));
    // a clip() of one component kills every pixel on the test platform: test all four alike
    clip((edges.x + edges.y - 0.5).xxxx);
    return float4(edges, 0.0, 1.0);
}
