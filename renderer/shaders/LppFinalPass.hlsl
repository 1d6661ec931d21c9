//[QIRN_BEGIN]
//title LppFinalPass
//subject Final pass of the light pre-pass: opaque surfaces shaded with the accumulated light, glow in alpha
//function vertexMain : vsMain
//function pixelMain : psMain
//QIRN_PP:D:TEX_NORMAL://QIRN_PP:U:COMPTANGENT://config tangents
//float4x4 WorldViewProjection : WorldViewProjection : vertex
//float4x4 WorldView : WorldView : vertex
//float ZFarValue : ZFarValue : vertex
//float2 PixelSize : PixelSize : pixel
//float4 LightAmbient0 : LightAmbient0 : pixel
//float3 Surface_BaseColor : Surface_BaseColor : pixel
//float3 Surface_Luminosity : Surface_Luminosity : pixel
//float3 Surface_Diffuse : Surface_Diffuse : pixel
//float3 Surface_Specularity : Surface_Specularity : pixel
//float3 Surface_GlowValue : Surface_GlowValue : pixel
//float BloomSpecMin : BloomSpecMin : pixel
//float BloomThreshold : BloomThreshold : pixel
//QIRN_PP:D:TEX_REFLECIMG://float3 Surface_Reflectivity : Surface_Reflectivity : pixel
//QIRN_PP:D:TEX_REFLECIMG://float4x4 ViewInverse : ViewInverse : pixel
//QIRN_PP:D:TEX_NORMAL://float3 Surface_Bump : Surface_Bump : pixel
//[QIRN_END]

// Layers in the renderer's order, one per texture in use: colour, luminosity, diffuse, specular, then
// for reflective surfaces the reflection image, reflectivity and the normal map; lightRTT comes last.
#include "LppCommon.h"

#include "SurfaceTextureFlags.h"

float4x4 WorldViewProjection;
float4x4 WorldView;
float ZFarValue;
float2 PixelSize;
float4 LightAmbient0;
float3 Surface_BaseColor;
float3 Surface_Luminosity;
float3 Surface_Diffuse;
float3 Surface_Specularity;
float3 Surface_GlowValue;
float BloomSpecMin;
float BloomThreshold;
float3 Surface_Reflectivity;
float4x4 ViewInverse;
float3 Surface_Bump;

#ifdef USE_TEX_COLOR
sampler2D ColorMap : register(s0);
#endif
#define LPP_AT F_COLOR
#include "LppRegister.h"
#ifdef USE_TEX_LUMINOSITY
sampler2D LuminosityMap : LPP_REGISTER_HERE;
#endif
#undef LPP_AT
#define LPP_AT (F_COLOR + F_LUM)
#include "LppRegister.h"
#ifdef USE_TEX_DIFFUSE
sampler2D DiffuseMap : LPP_REGISTER_HERE;
#endif
#undef LPP_AT
#define LPP_AT (F_COLOR + F_LUM + F_DIFF)
#include "LppRegister.h"
#ifdef USE_TEX_SPECULAR
sampler2D SpecularMap : LPP_REGISTER_HERE;
#endif
#undef LPP_AT
#define LPP_AT (F_COLOR + F_LUM + F_DIFF + F_SPEC)
#include "LppRegister.h"
#ifdef USE_TEX_REFLECIMG
#ifdef USE_TEX_REFLECCUBE
samplerCUBE ReflectionMap : LPP_REGISTER_HERE;
#else
sampler2D ReflectionMap : LPP_REGISTER_HERE;
#endif
#endif
#undef LPP_AT
#define LPP_AT (F_COLOR + F_LUM + F_DIFF + F_SPEC + F_REFLIMG)
#include "LppRegister.h"
#ifdef USE_TEX_REFLECTIVITY
sampler2D ReflectivityMap : LPP_REGISTER_HERE;
#endif
#undef LPP_AT
#define LPP_AT (F_COLOR + F_LUM + F_DIFF + F_SPEC + F_REFLIMG + F_REFLECTIVITY)
#include "LppRegister.h"
#ifdef USE_TEX_NORMAL
sampler2D NormalMap : LPP_REGISTER_HERE;
#endif
#undef LPP_AT
#define LPP_AT (F_COLOR + F_LUM + F_DIFF + F_SPEC + F_REFLIMG + F_REFLECTIVITY + F_NORMAL)
#include "LppRegister.h"
sampler2D LightRTT : LPP_REGISTER_HERE;

struct VsOut {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
    float4 viewPos : TEXCOORD1;  // xyz view space, w depth over the far value
    float3 normal : TEXCOORD2;
#ifdef USE_UV2INTEX2
    float2 uv2 : TEXCOORD3;  // the second uv set
#endif
#ifdef LPP_TANGENT_INPUT
    float3 tangent : TEXCOORD4;
    float3 binormal : TEXCOORD5;
#endif
};

struct PsOut {
    float4 colour : COLOR0;
    float4 depth : COLOR1;
};

VsOut vsMain(LppMeshIn input) {
    VsOut o;
    o.pos = mul(WorldViewProjection, input.pos);
    o.uv = input.uv;
    o.viewPos.xyz = mul(WorldView, input.pos).xyz;
    o.viewPos.w = o.viewPos.z / ZFarValue;
    o.normal = mul((float3x3)WorldView, input.normal);
#ifdef LPP_TANGENT_INPUT
    o.tangent = mul((float3x3)WorldView, input.tangent);
#ifdef USE_UV2INTEX2
    // the binormals carry the second uv set
    o.uv2 = input.binormal.xy;
    o.binormal = cross(o.normal, o.tangent);
#else
    o.binormal = mul((float3x3)WorldView, input.binormal);
#endif
#endif
    return o;
}

PsOut psMain(VsOut input, float2 vpos : VPOS) {
    float3 base = Surface_BaseColor;
#ifdef USE_TEX_COLOR
    base *= tex2D(ColorMap, input.uv).rgb;
#endif
    float luminosity = Surface_Luminosity.x;
#ifdef USE_TEX_LUMINOSITY
#ifdef USE_UV2INTEX2
    luminosity *= tex2D(LuminosityMap, input.uv2).r;
#else
    luminosity *= tex2D(LuminosityMap, input.uv).r;
#endif
#endif
    float diffuse = Surface_Diffuse.x;
#ifdef USE_TEX_DIFFUSE
    diffuse *= tex2D(DiffuseMap, input.uv).r;
#endif
    float specularity = Surface_Specularity.x;
#ifdef USE_TEX_SPECULAR
    specularity *= tex2D(SpecularMap, input.uv).r;
#endif
    float4 light = tex2D(LightRTT, lppScreenUv(vpos, PixelSize));
    float specular = specularity * light.a;
    float3 colour = base * (light.rgb * diffuse + LightAmbient0.rgb + luminosity) + specular;

#ifdef USE_TEX_REFLECIMG
    float3 n;
    LPP_SURFACE_NORMAL(input, NormalMap, Surface_Bump.x, n);
    float3 r = mul((float3x3)ViewInverse, reflect(normalize(input.viewPos.xyz), n));
#ifdef USE_TEX_REFLECCUBE
    float3 environment = texCUBE(ReflectionMap, r).rgb;
#else
    // latitude-longitude image
    float2 ruv = float2(atan2(r.x, r.z) * 0.15915494 + 0.5, acos(clamp(r.y, -1.0, 1.0)) * 0.31830989);
    float3 environment = tex2Dgrad(ReflectionMap, ruv, float2(0, 0), float2(0, 0)).rgb;
#endif
    float reflectivity = Surface_Reflectivity.x;
#ifdef USE_TEX_REFLECTIVITY
    reflectivity *= tex2D(ReflectivityMap, input.uv).r;
#endif
    colour = lerp(colour, environment, saturate(reflectivity));
#endif

    // glow mask: the surface's glow, and bloom from specular light above its threshold
    float bloom = step(BloomSpecMin, specular) * (1.0 - BloomThreshold);
    PsOut o;
    o.colour = float4(colour, saturate(Surface_GlowValue.x + bloom));
    o.depth = float4(input.viewPos.w, 0.0, 0.0, 1.0);
    return o;
}
