//[QIRN_BEGIN]
//title LightStreakDraw
//subject One pass of a directional light streak: four taps along the direction, spaced 4^(passn-1) pixels
//function vertexMain : vsMain
//function pixelMain : psMain
//float2 QuarterScreenHalfPixelSize : QuarterScreenHalfPixelSize : both
//float2 direction : 1,0 : pixel
//float3 colorize : 1,1,1 : pixel
//float attenuation : 0.9 : pixel
//float passn : 1 : pixel
//[QIRN_END]
#include "PostCommon.h"
float2 QuarterScreenHalfPixelSize;
float2 direction;
float3 colorize;
float attenuation;
float passn;
sampler2D Source : register(s0);

PostVsOut vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0) { return postVertex(pos, uv, QuarterScreenHalfPixelSize); }

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 {
    float spacing = pow(4.0, passn - 1.0);
    float2 pixelUv = direction * QuarterScreenHalfPixelSize * 2.0;
    // pixels from here to the target's last pixel along the direction
    float2 room = (lerp(uv, 1.0 - uv, step(0.0, direction)) - QuarterScreenHalfPixelSize) / max(abs(pixelUv), 1e-6);
    float inside = max(0.0, min(room.x, room.y));
    float3 sum = 0;
    [unroll] for (int i = 0; i < 4; ++i) {
        // A streak that runs off the target goes on fading beyond it: a tap out there reads the last
        // pixel on its way, faded by the distance past it, so that the passes of the other direction
        // bring back what left the target as they would inside it (an edge read as such would count
        // the streak there again and again, and one read as black would lose it).
        float distance = spacing * i;
        float past = max(0.0, distance - inside);
        float3 tap = postStreakDecode(postTap(Source, uv + pixelUv * (distance - past)).rgb);
        sum += tap * pow(attenuation, distance + past);
    }
    float3 tint = lerp(float3(1.0, 1.0, 1.0), colorize, step(1.5, passn));
    return float4(postStreakEncode(sum * tint), 1.0);
}
