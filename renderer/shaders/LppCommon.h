// Conventions shared by the light pre-pass shaders.
//
// depthRTT (R32F): linear view-space depth divided by the camera's far value; 1.0 where no surface was
//   drawn. A pixel's view-space position is its far-plane corner ray times that depth.
// normalRTT (A8R8G8B8): rgb = view-space normal scaled by the best-fit length (NormalsFittingTexture),
//   stored as n * 0.5 + 0.5 (no surface: 0.5 grey, a zero vector); a = glossiness (0..1).
// lightRTT (A8R8G8B8): rgb = accumulated diffuse light, a = accumulated specular intensity.
// Specular power from glossiness: 2^(10 g + 2), as the surfaces' roughness value.
#ifndef LPP_COMMON_H
#define LPP_COMMON_H

// Mesh vertices of the geometry and final passes: tangent (TEXCOORD1) and binormal (TEXCOORD2) are read
// when a normal map uses the carried tangents, or when the binormals carry the second uv set.
#if (defined(USE_TEX_NORMAL) && !defined(USE_COMPTANGENT)) || defined(USE_UV2INTEX2)
#define LPP_TANGENT_INPUT 1
#endif

struct LppMeshIn {
    float4 pos : POSITION;
    float3 normal : NORMAL;
    float2 uv : TEXCOORD0;
#ifdef LPP_TANGENT_INPUT
    float3 tangent : TEXCOORD1;
    float3 binormal : TEXCOORD2;
#endif
};

// Screen uv (0..1, top left) of a pixel from its VPOS position.
float2 lppScreenUv(float2 vpos, float2 pixelSize) { return (vpos + 0.5) * pixelSize; }

// The far-plane ray through screen uv from the four corners (left up, right up, left down, right down).
float3 lppFarRay(float2 uv, float3 c0, float3 c1, float3 c2, float3 c3) {
    return lerp(lerp(c0, c1, uv.x), lerp(c2, c3, uv.x), uv.y);
}

float3 lppDecodeNormal(float3 stored) {
    float3 n = stored * 2.0 - 1.0;
    return n * rsqrt(max(dot(n, n), 1e-8));
}

float lppSpecularPower(float gloss) { return exp2(10.0 * gloss + 2.0); }

// The normal scaled so that its 8-bit quantisation points closest to it: the largest component goes to
// 1, the two smaller ones (divided by it) index the best-fit length table.
float3 lppEncodeNormal(float3 n, sampler2D bestFit) {
    float3 a = abs(n);
    float major = max(a.x, max(a.y, a.z));
    float2 minor = a.x >= major ? a.yz : (a.y >= major ? a.xz : a.xy);
    float2 uv = minor / major;
    float len = tex2Dgrad(bestFit, uv, float2(0, 0), float2(0, 0)).r;
    return n / major * len * 0.5 + 0.5;
}

// A tangent frame from the screen-space derivatives of the view position and the uv.
void lppDerivativeFrame(float3 n, float3 viewPos, float2 uv, out float3 t, out float3 b) {
    float3 dp1 = ddx(viewPos);
    float3 dp2 = ddy(viewPos);
    float2 duv1 = ddx(uv);
    float2 duv2 = ddy(uv);
    float3 dp2perp = cross(dp2, n);
    float3 dp1perp = cross(n, dp1);
    t = dp2perp * duv1.x + dp1perp * duv2.x;
    b = dp2perp * duv1.y + dp1perp * duv2.y;
    float scale = rsqrt(max(max(dot(t, t), dot(b, b)), 1e-12));
    t *= scale;
    b *= scale;
}

// The normal bent by a normal-map texel (0..1 per channel) in the frame, its slopes scaled by bump.
float3 lppBumpedNormal(float3 n, float3 t, float3 b, float3 texel, float bump) {
    float3 m = texel * 2.0 - 1.0;
    m.xy *= bump;
    return normalize(m.x * t + m.y * b + m.z * n);
}

// The surface normal of a pixel into n: the interpolated one, bent by the normal map MAP when the
// surface has one (with the carried tangents, or a frame from derivatives under COMPTANGENT). IN is the
// pixel input (normal, viewPos, uv and, when carried, tangent and binormal). A macro: the sampler exists
// only with its define.
#if defined(USE_TEX_NORMAL) && defined(USE_COMPTANGENT)
#define LPP_SURFACE_NORMAL(IN, MAP, BUMP, n)                                       \
    {                                                                              \
        float3 t_, b_;                                                             \
        n = normalize(IN.normal);                                                  \
        lppDerivativeFrame(n, IN.viewPos.xyz, IN.uv, t_, b_);                      \
        n = lppBumpedNormal(n, t_, b_, tex2D(MAP, IN.uv).xyz, BUMP);               \
    }
#elif defined(USE_TEX_NORMAL)
#define LPP_SURFACE_NORMAL(IN, MAP, BUMP, n) \
    n = lppBumpedNormal(normalize(IN.normal), IN.tangent, IN.binormal, tex2D(MAP, IN.uv).xyz, BUMP)
#else
#define LPP_SURFACE_NORMAL(IN, MAP, BUMP, n) n = normalize(IN.normal)
#endif

#endif
