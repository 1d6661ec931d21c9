//[QIRN_BEGIN]
//title LppLightPass
//subject One light of the light pre-pass, added into the light target (shadowed spot and directional variants)
//function vertexMain : vsMain
//function pixelMain : psMain
//config baseMaterial : transparent_one_one
//floatN WorldViewProjection : 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1 : vertex
//floatN FrustrumFarCorners : FrustrumFarCorners : pixel
//float2 PixelSize : PixelSize : pixel
//float3 LightColor : 1,1,1 : pixel
//QIRN_PP:U:POINT://float3 LightDirection : 0,0,1 : pixel
//QIRN_PP:U:DISTANT://float3 LightPosition : 0,0,0 : pixel
//QIRN_PP:U:DISTANT://float InvLightRadiusSqr : 0 : pixel
//QIRN_PP:D:SPOTLIGHT://float2 SpotlightAngles : 0.9,0.8 : pixel
//QIRN_PP:D:SHADOW://floatN ShadowWorldViewProj : 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1 : pixel
//QIRN_PP:D:SHADOW://float ShadowMaxD : 5000 : pixel
//QIRN_PP:D:SHADOW://float3 ShadowColor : 0,0,0 : pixel
//QIRN_PP:D:SHADOW://float ShadowEpsilon : 0.00005 : pixel
//[QIRN_END]

// Layers: s0 depthRTT, s1 normalRTT, s2 the shadow map, s3 the random rotations (repeating).
// Light values are in view space. WorldViewProjection is set by name from the engine's matrix (identity
// for the full-screen quad, the light volume's transform otherwise); ShadowWorldViewProj takes a view-space
// position to the light's clip space.
#include "LppCommon.h"

float4x4 WorldViewProjection;
float3 FrustrumFarCorners[4];
float2 PixelSize;
float3 LightColor;
float3 LightDirection;
float3 LightPosition;
float InvLightRadiusSqr;
float2 SpotlightAngles;
float4x4 ShadowWorldViewProj;
float ShadowMaxD;
float3 ShadowColor;
float ShadowEpsilon;

sampler2D DepthRTT : register(s0);
sampler2D NormalRTT : register(s1);
sampler2D ShadowMap : register(s2);
sampler2D RandRot : register(s3);

float4 vsMain(float4 pos : POSITION) : POSITION { return mul(pos, WorldViewProjection); }

#ifdef USE_SHADOW
#if defined(USE_SH8)
#define SHADOW_TAPS 16
#define SHADOW_WIDTH 8.0
#elif defined(USE_SH4)
#define SHADOW_TAPS 12
#define SHADOW_WIDTH 4.0
#elif defined(USE_SH2)
#define SHADOW_TAPS 8
#define SHADOW_WIDTH 2.0
#elif defined(USE_SH1)
#define SHADOW_TAPS 4
#define SHADOW_WIDTH 1.0
#else
#define SHADOW_TAPS 1
#define SHADOW_WIDTH 0.0
#endif

static const float2 kTaps[16] = {
    float2(0.0, 0.0),      float2(0.7, 0.7),     float2(-0.7, 0.7),    float2(0.0, -1.0),
    float2(1.0, 0.0),      float2(-1.0, 0.0),    float2(0.35, -0.35),  float2(-0.35, -0.35),
    float2(0.5, 0.2),      float2(-0.2, 0.5),    float2(-0.5, -0.2),   float2(0.2, -0.6),
    float2(0.85, -0.45),   float2(-0.85, 0.45),  float2(0.45, 0.85),   float2(-0.45, -0.85)};

// The lit fraction of a view-space position: 1 outside the shadow map, 0 fully shadowed.
float shadowLit(float3 viewPos, float2 vpos) {
    float4 clip = mul(float4(viewPos, 1.0), ShadowWorldViewProj);
#ifdef USE_DISTANT
    // orthographic: z runs from the near value 0.01 to the shadow range
    float depth = (clip.z * (ShadowMaxD - 0.01) + 0.01) / ShadowMaxD;
#else
    float depth = clip.w / ShadowMaxD;
#endif
    float2 uv = clip.xy / clip.w * float2(0.5, -0.5) + 0.5;
    float2 rot = (tex2Dgrad(RandRot, vpos / 64.0, float2(0, 0), float2(0, 0)).rg - 0.5) * 2.0;
    float2 scale = SHADOW_WIDTH / 1024.0;
    float lit = 0.0;
    [unroll] for (int i = 0; i < SHADOW_TAPS; ++i) {
        float2 o = kTaps[i];
        float2 d = float2(o.x * rot.x - o.y * rot.y, o.x * rot.y + o.y * rot.x) * scale;
        float stored = tex2Dgrad(ShadowMap, uv + d, float2(0, 0), float2(0, 0)).r;
        lit += step(depth - ShadowEpsilon, stored);
    }
    lit /= SHADOW_TAPS;
    float inside = step(0.0, uv.x) * step(uv.x, 1.0) * step(0.0, uv.y) * step(uv.y, 1.0) * step(depth, 1.0) *
                   step(0.0, clip.w);
    return lerp(1.0, lit, inside);
}
#endif

float4 psMain(float2 vpos : VPOS) : COLOR0 {
    float2 uv = lppScreenUv(vpos, PixelSize);
    float depth = tex2D(DepthRTT, uv).r;
    float4 stored = tex2D(NormalRTT, uv);
    float3 n = lppDecodeNormal(stored.rgb);
    float3 p = lppFarRay(uv, FrustrumFarCorners[0], FrustrumFarCorners[1], FrustrumFarCorners[2],
                         FrustrumFarCorners[3]) * depth;

#ifdef USE_DISTANT
    float3 l = -normalize(LightDirection);
    float attenuation = 1.0;
#else
    float3 toLight = LightPosition - p;
    float distSqr = dot(toLight, toLight);
    float3 l = toLight * rsqrt(max(distSqr, 1e-8));
    float attenuation = saturate(1.0 - distSqr * InvLightRadiusSqr);
#ifdef USE_SPOTLIGHT
    float cosAngle = dot(-l, normalize(LightDirection));
    attenuation *= smoothstep(SpotlightAngles.y, max(SpotlightAngles.x, SpotlightAngles.y + 0.0001), cosAngle);
#endif
#endif
    attenuation *= step(depth, 0.99999);  // no surface, no light

    float nDotL = saturate(dot(n, l));
    float3 h = normalize(l - normalize(p));
    float specular = pow(saturate(dot(n, h)), lppSpecularPower(stored.a)) * step(0.00001, nDotL);
    float3 shadow = float3(1.0, 1.0, 1.0);
#ifdef USE_SHADOW
    shadow = lerp(ShadowColor, float3(1.0, 1.0, 1.0), shadowLit(p, vpos));
#endif
    float3 diffuse = LightColor * nDotL * attenuation * shadow;
    float specularLight = specular * attenuation * dot(LightColor * shadow, float3(0.3333, 0.3333, 0.3334));
    return float4(diffuse, specularLight);
}
