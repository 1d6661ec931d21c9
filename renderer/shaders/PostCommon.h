// Full-screen post passes: the quad's clip-space corners pass through; uv gets half a pixel of the target
// (the quad's uv has no shift of its own).
#ifndef POST_COMMON_H
#define POST_COMMON_H

struct PostVsOut {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
};

PostVsOut postVertex(float4 pos, float2 uv, float2 halfPixel) {
    PostVsOut o;
    o.pos = float4(pos.xyz, 1.0);
    o.uv = uv + halfPixel;
    return o;
}

// Level 0 of a render target (they have one level; no gradients needed inside unrolled loops).
float4 postTap(sampler2D s, float2 uv) { return tex2Dgrad(s, uv, float2(0, 0), float2(0, 0)); }

float postLuminance(float3 c) { return dot(c, float3(0.299, 0.587, 0.114)); }

// The light streak passes add up far more than one per channel (a bright seed gathers its neighbours
// pass after pass) in 8-bit targets. They keep each value v as v / (1 + v): exact near zero, unbounded
// above. Clamped at one instead, the first direction's passes would burn out and the way back would
// spread only what was left of them, leaving the first arm brighter and longer than the second.
float3 postStreakEncode(float3 v) { return v / (1.0 + v); }
float3 postStreakDecode(float3 e) { return e / max(1.0 - e, 1.0 / 255.0); }

#endif
