//[QIRN_BEGIN]
//title UberShader
//subject Transparent LightWave surfaces: every permutation of their channel textures, lit by the forward lights
//function vertexMain : vsMain
//function pixelMain : psMain
//config baseMaterial : transparent
//QIRN_PP:D:TEX_NORMAL://QIRN_PP:U:COMPTANGENT://config tangents
//
// Textures bind by channel name to the surface's own loaded textures. Slots follow the order below, so
// the sampler registers further down count the defines in the same order. Only slots 0 to 7 are bound:
// with all nine textures Reflectivity (the last) is not bound, its constant value stands alone, and the
// engine says so in its log.
//QIRN_PP:D:TEX_COLOR://texture Color
//QIRN_PP:D:TEX_LUMINOSITY://texture Luminosity
//QIRN_PP:D:TEX_DIFFUSE://texture Diffuse
//QIRN_PP:D:TEX_SPECULAR://texture Specularity
//QIRN_PP:D:TEX_GLOSSINESS://texture Glossiness
//QIRN_PP:D:TEX_TRANSPARENCY://texture Transparency
//QIRN_PP:D:TEX_NORMAL://texture Bump
//QIRN_PP:D:TEX_REFLECIMG://texture ReflectionImage
//QIRN_PP:D:TEX_REFLECTIVITY://texture Reflectivity
//
//float4x4 WorldViewProjection : WorldViewProjection
//float4x4 World : World
//float4x4 WorldView : WorldView
//float4 ViewPosition : ViewPosition : pixel
//float ZFarValue : ZFarValue
//float3 Surface_BaseColor : Surface_BaseColor : pixel
//float3 Surface_Luminosity : Surface_Luminosity : pixel
//float3 Surface_Diffuse : Surface_Diffuse : pixel
//float3 Surface_Specularity : Surface_Specularity : pixel
//float3 Surface_Reflectivity : Surface_Reflectivity : pixel
//float3 Surface_Transparency : Surface_Transparency : pixel
//float Surface_Roughness : Surface_Roughness : pixel
//float3 LightsIni : LightsIni : pixel
//float3 LightsNum : LightsNum : pixel
//float3 LightParams : LightParams : pixel
//float4 LightAmbient0 : LightAmbient0 : pixel
//[QIRN_END]

// ---- sampler registers: register n is header slot n, counted over the active defines in slot order ----
#include "SurfaceTextureFlags.h"

#define N_LUM (F_COLOR)
#define N_DIFF (N_LUM + F_LUM)
#define N_SPEC (N_DIFF + F_DIFF)
#define N_GLOSS (N_SPEC + F_SPEC)
#define N_TRANSP (N_GLOSS + F_GLOSS)
#define N_NORMAL (N_TRANSP + F_TRANSP)
#define N_REFLIMG (N_NORMAL + F_NORMAL)
#define N_REFLECT (N_REFLIMG + F_REFLIMG)

#ifdef USE_TEX_COLOR
sampler2D ColorMap : register(s0);
#endif

#ifdef USE_TEX_LUMINOSITY
#if N_LUM == 0
sampler2D LuminosityMap : register(s0);
#else
sampler2D LuminosityMap : register(s1);
#endif
#endif

#ifdef USE_TEX_DIFFUSE
#if N_DIFF == 0
sampler2D DiffuseMap : register(s0);
#elif N_DIFF == 1
sampler2D DiffuseMap : register(s1);
#else
sampler2D DiffuseMap : register(s2);
#endif
#endif

#ifdef USE_TEX_SPECULAR
#if N_SPEC == 0
sampler2D SpecularMap : register(s0);
#elif N_SPEC == 1
sampler2D SpecularMap : register(s1);
#elif N_SPEC == 2
sampler2D SpecularMap : register(s2);
#else
sampler2D SpecularMap : register(s3);
#endif
#endif

#ifdef USE_TEX_GLOSSINESS
#if N_GLOSS == 0
sampler2D GlossinessMap : register(s0);
#elif N_GLOSS == 1
sampler2D GlossinessMap : register(s1);
#elif N_GLOSS == 2
sampler2D GlossinessMap : register(s2);
#elif N_GLOSS == 3
sampler2D GlossinessMap : register(s3);
#else
sampler2D GlossinessMap : register(s4);
#endif
#endif

#ifdef USE_TEX_TRANSPARENCY
#if N_TRANSP == 0
sampler2D TransparencyMap : register(s0);
#elif N_TRANSP == 1
sampler2D TransparencyMap : register(s1);
#elif N_TRANSP == 2
sampler2D TransparencyMap : register(s2);
#elif N_TRANSP == 3
sampler2D TransparencyMap : register(s3);
#elif N_TRANSP == 4
sampler2D TransparencyMap : register(s4);
#else
sampler2D TransparencyMap : register(s5);
#endif
#endif

#ifdef USE_TEX_NORMAL
#if N_NORMAL == 0
sampler2D NormalMap : register(s0);
#elif N_NORMAL == 1
sampler2D NormalMap : register(s1);
#elif N_NORMAL == 2
sampler2D NormalMap : register(s2);
#elif N_NORMAL == 3
sampler2D NormalMap : register(s3);
#elif N_NORMAL == 4
sampler2D NormalMap : register(s4);
#elif N_NORMAL == 5
sampler2D NormalMap : register(s5);
#else
sampler2D NormalMap : register(s6);
#endif
#endif

#ifdef USE_TEX_REFLECIMG
#ifdef USE_TEX_REFLECCUBE
#define REFL_SAMPLER samplerCUBE
#else
#define REFL_SAMPLER sampler2D
#endif
#if N_REFLIMG == 0
REFL_SAMPLER ReflectionMap : register(s0);
#elif N_REFLIMG == 1
REFL_SAMPLER ReflectionMap : register(s1);
#elif N_REFLIMG == 2
REFL_SAMPLER ReflectionMap : register(s2);
#elif N_REFLIMG == 3
REFL_SAMPLER ReflectionMap : register(s3);
#elif N_REFLIMG == 4
REFL_SAMPLER ReflectionMap : register(s4);
#elif N_REFLIMG == 5
REFL_SAMPLER ReflectionMap : register(s5);
#elif N_REFLIMG == 6
REFL_SAMPLER ReflectionMap : register(s6);
#else
REFL_SAMPLER ReflectionMap : register(s7);
#endif
#endif

// Reflectivity comes last; in slot 8 it is not bound and its constant value stands alone.
#if defined(USE_TEX_REFLECTIVITY) && N_REFLECT < 8
#define HAS_REFLECTIVITY_MAP
#if N_REFLECT == 1
sampler2D ReflectivityMap : register(s1);
#elif N_REFLECT == 2
sampler2D ReflectivityMap : register(s2);
#elif N_REFLECT == 3
sampler2D ReflectivityMap : register(s3);
#elif N_REFLECT == 4
sampler2D ReflectivityMap : register(s4);
#elif N_REFLECT == 5
sampler2D ReflectivityMap : register(s5);
#elif N_REFLECT == 6
sampler2D ReflectivityMap : register(s6);
#else
sampler2D ReflectivityMap : register(s7);
#endif
#endif

// ---- constants ----
float4x4 WorldViewProjection;
float4x4 World;
float4x4 WorldView;
float4 ViewPosition;
float ZFarValue;
float3 Surface_BaseColor;
// Float channels arrive as (value, 0, 0); read as scalars they share temporaries under Wine.
float Surface_Luminosity;
float Surface_Diffuse;
float Surface_Specularity;
float Surface_Reflectivity;
float Surface_Transparency;
float Surface_Roughness;

struct LightGroups { float LightDirsIni; float LightPointsIni; float LightSpotsIni; };
struct LightCounts { float LightDirsNum; float LightPointsNum; float LightSpotsNum; };
struct LightParam {
    float3 LightColor;
    float3 LightPosition;
    float3 LightDirection;
    float InvLightRadiusSqr;
    float2 SpotlightAngles;  // cosines of the inner and the outer cone
};
LightGroups LightsIni;
LightCounts LightsNum;
LightParam LightParams[5];
float4 LightAmbient0;

// ---- vertex program ----
struct VsIn {
    float4 pos : POSITION;
    float3 normal : NORMAL;
    float2 uv : TEXCOORD0;
#if defined(USE_TEX_NORMAL) && !defined(USE_COMPTANGENT)
    float3 tangent : TEXCOORD1;
#endif
#if defined(USE_UV2INTEX2) || (defined(USE_TEX_NORMAL) && !defined(USE_COMPTANGENT))
    float3 binormal : TEXCOORD2;  // the second UV set in x, y when it travels there
#endif
};

struct VsOut {
    float4 pos : POSITION;
    float4 uv : TEXCOORD0;  // xy first UV set, zw the second (or the first again)
    float4 worldPos : TEXCOORD1;  // w: view depth over the far value
    float3 normal : TEXCOORD2;
#if defined(USE_TEX_NORMAL) && !defined(USE_COMPTANGENT)
    float3 tangent : TEXCOORD3;
    float3 binormal : TEXCOORD4;
#endif
};

// The matrices arrive as the light pre-pass shaders take them: matrix first.
VsOut vsMain(VsIn input) {
    VsOut o;
    o.pos = mul(WorldViewProjection, input.pos);
    o.worldPos.xyz = mul(World, input.pos).xyz;
    o.worldPos.w = mul(WorldView, input.pos).z / ZFarValue;
    o.normal = mul((float3x3)World, input.normal);
#ifdef USE_UV2INTEX2
    o.uv = float4(input.uv, input.binormal.xy);
#else
    o.uv = float4(input.uv, input.uv);
#endif
#if defined(USE_TEX_NORMAL) && !defined(USE_COMPTANGENT)
    o.tangent = mul((float3x3)World, input.tangent);
#ifdef USE_UV2INTEX2
    // the binormal carries the second UV set: rebuild it from the normal and the tangent
    o.binormal = cross(o.normal, o.tangent);
#else
    o.binormal = mul((float3x3)World, input.binormal);
#endif
#endif
    return o;
}

// ---- pixel program ----
struct PsOut {
    float4 colour : COLOR0;
#ifdef USE_DOF
    float4 depth : COLOR1;
#endif
};

// 1 when index i falls into the group [first, first + count).
float inGroup(float i, float first, float count) { return step(first, i) * step(i + 1.0, first + count); }

// Unused table entries are all zeros: a plain normalize of them would spread NaN through the sum.
float3 safeNormalize(float3 x) { return x * rsqrt(max(dot(x, x), 1e-12)); }

// The light of table entry K at the point p, added to the diffuse and specular sums. A macro rather than a
// function taking the entry: copies of the entry for each call run the compiler out of temporaries.
#define ADD_LIGHT(K)                                                                                        \
    {                                                                                                      \
        float fk = K;                                                                                      \
        float isDir = inGroup(fk, LightsIni.LightDirsIni, LightsNum.LightDirsNum);                         \
        float isSpot = inGroup(fk, LightsIni.LightSpotsIni, LightsNum.LightSpotsNum);                      \
        float on = isDir + isSpot + inGroup(fk, LightsIni.LightPointsIni, LightsNum.LightPointsNum);       \
        float3 toLight = LightParams[K].LightPosition - p;                                                 \
        float3 along = safeNormalize(LightParams[K].LightDirection);                                       \
        float3 l = lerp(safeNormalize(toLight), -along, isDir);                                            \
        on *= lerp(saturate(1.0 - dot(toLight, toLight) * LightParams[K].InvLightRadiusSqr), 1.0, isDir);  \
        float2 cones = LightParams[K].SpotlightAngles;                                                     \
        on *= lerp(1.0, saturate((dot(-l, along) - cones.y) / max(cones.x - cones.y, 1e-4)), isSpot);      \
        float nl = saturate(dot(n, l));                                                                    \
        float3 lit = LightParams[K].LightColor * on;                                                       \
        diffuse += lit * nl;                                                                               \
        specular += lit * pow(saturate(dot(n, safeNormalize(l + v))) + 1e-6, shininess) * step(1e-6, nl); \
    }

PsOut psMain(VsOut input) {
    float2 uv = input.uv.xy;
    float3 n = normalize(input.normal);

#ifdef USE_TEX_NORMAL
    float3 bump = tex2D(NormalMap, uv).xyz * 2.0 - 1.0;
#ifdef USE_COMPTANGENT
    // tangent frame from the screen-space derivatives of the position and the UVs
    float3 dp1 = ddx(input.worldPos.xyz);
    float3 dp2 = ddy(input.worldPos.xyz);
    float2 duv1 = ddx(uv);
    float2 duv2 = ddy(uv);
    float3 dp2perp = cross(dp2, n);
    float3 dp1perp = cross(n, dp1);
    float3 t = dp2perp * duv1.x + dp1perp * duv2.x;
    float3 b = dp2perp * duv1.y + dp1perp * duv2.y;
    float scale = rsqrt(max(max(dot(t, t), dot(b, b)), 1e-20));
    n = normalize(t * scale * bump.x + b * scale * bump.y + n * bump.z);
#else
    n = normalize(normalize(input.tangent) * bump.x + normalize(input.binormal) * bump.y + n * bump.z);
#endif
#endif

    // The surface first, folded into few values: under Wine every constant is copied into a temporary that
    // lives until its last use, and the light table alone takes most of the 32 temporaries.
    float3 base = Surface_BaseColor;
#ifdef USE_TEX_COLOR
    base *= tex2D(ColorMap, uv).rgb;
#endif
    float3 diffuseColour = base * Surface_Diffuse;
#ifdef USE_TEX_DIFFUSE
    diffuseColour *= tex2D(DiffuseMap, uv).r;
#endif
#ifdef USE_TEX_LUMINOSITY
    float3 emissive = Surface_Luminosity * tex2D(LuminosityMap, input.uv.zw).rgb;
#else
    float3 emissive = Surface_Luminosity * base;
#endif
    float specularLevel = Surface_Specularity;
#ifdef USE_TEX_SPECULAR
    specularLevel *= tex2D(SpecularMap, uv).r;
#endif
    float transparency = Surface_Transparency;
#ifdef USE_TEX_TRANSPARENCY
    transparency *= tex2D(TransparencyMap, uv).r;
#endif
#ifdef USE_TEX_REFLECIMG
    float reflectivity = Surface_Reflectivity;
#ifdef HAS_REFLECTIVITY_MAP
    reflectivity *= tex2D(ReflectivityMap, uv).r;
#endif
#endif
    float shininess = Surface_Roughness;
#ifdef USE_TEX_GLOSSINESS
    shininess = exp2(10.0 * tex2D(GlossinessMap, uv).r + 2.0);
#endif

    float3 p = input.worldPos.xyz;
    float3 v = normalize(ViewPosition.xyz - p);
    float3 diffuse = LightAmbient0.rgb;
    float3 specular = 0;
    // The five table entries, each in at most one group, indexed by literals: an index the compiler
    // cannot resolve makes the light array read zeros under Wine.
    ADD_LIGHT(0)
    ADD_LIGHT(1)
    ADD_LIGHT(2)
    ADD_LIGHT(3)
    ADD_LIGHT(4)
    float3 colour = diffuseColour * diffuse + specular * specularLevel + emissive;

#ifdef USE_TEX_REFLECIMG
    float3 r = reflect(-v, n);
#ifdef USE_TEX_REFLECCUBE
    float3 reflected = texCUBE(ReflectionMap, r).rgb;
#else
    float m = 2.0 * sqrt(r.x * r.x + r.y * r.y + (r.z + 1.0) * (r.z + 1.0));
    float3 reflected = tex2D(ReflectionMap, r.xy / m + 0.5).rgb;
#endif
    colour = lerp(colour, reflected, saturate(reflectivity));
#endif

    PsOut o;
    o.colour = float4(colour, 1.0 - saturate(transparency));
#ifdef USE_DOF
    o.depth = float4(input.worldPos.w, input.worldPos.w, input.worldPos.w, 1.0);
#endif
    return o;
}
