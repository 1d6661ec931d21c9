//[QIRN_BEGIN]
//title LppDepthPass
//subject Geometry pass of the light pre-pass: view-space normals with glossiness, and linear depth
//function vertexMain : vsMain
//function pixelMain : psMain
//float4x4 WorldViewProjection : WorldViewProjection : vertex
//float4x4 WorldView : WorldView : vertex
//float ZFarValue : ZFarValue : vertex
//float Surface_Glossiness : Surface_Glossiness : pixel
//QIRN_PP:D:TEX_NORMAL://float Surface_Bump : Surface_Bump : pixel
//[QIRN_END]

// Samplers in the renderer's layer order: the normal map, the glossiness map, then the best-fit table.
#include "LppCommon.h"
#include "SurfaceTextureFlags.h"

float4x4 WorldViewProjection;
float4x4 WorldView;
float ZFarValue;
float Surface_Glossiness;
float Surface_Bump;

#ifdef USE_TEX_NORMAL
sampler2D NormalMap : register(s0);
#endif
#define LPP_AT F_NORMAL
#include "LppRegister.h"
#ifdef USE_TEX_GLOSSINESS
sampler2D GlossinessMap : LPP_REGISTER_HERE;
#endif
#undef LPP_AT
#define LPP_AT (F_NORMAL + F_GLOSS)
#include "LppRegister.h"
sampler2D BestFitNormals : LPP_REGISTER_HERE;

struct VsOut {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
    float3 normal : TEXCOORD1;
    float4 viewPos : TEXCOORD2;  // xyz view space, w depth over the far value
#ifdef LPP_TANGENT_INPUT
    float3 tangent : TEXCOORD3;
    float3 binormal : TEXCOORD4;
#endif
};

struct PsOut {
    float4 normal : COLOR0;
    float4 depth : COLOR1;
};

VsOut vsMain(LppMeshIn input) {
    VsOut o;
    o.pos = mul(WorldViewProjection, input.pos);
    o.uv = input.uv;
    o.normal = mul((float3x3)WorldView, input.normal);
    o.viewPos.xyz = mul(WorldView, input.pos).xyz;
    o.viewPos.w = o.viewPos.z / ZFarValue;
#ifdef LPP_TANGENT_INPUT
    o.tangent = mul((float3x3)WorldView, input.tangent);
    o.binormal = mul((float3x3)WorldView, input.binormal);
#endif
    return o;
}

PsOut psMain(VsOut input) {
    float3 n;
    LPP_SURFACE_NORMAL(input, NormalMap, Surface_Bump, n);
    float gloss = Surface_Glossiness;
#ifdef USE_TEX_GLOSSINESS
    gloss *= tex2D(GlossinessMap, input.uv).r;
#endif
    PsOut o;
    o.normal = float4(lppEncodeNormal(n, BestFitNormals), saturate(gloss));
    o.depth = float4(input.viewPos.w, 0.0, 0.0, 1.0);
    return o;
}
