//[QIRN_BEGIN]
//title anaglyph
//subject One eye's image into the anaglyph: the left eye replaces the back buffer, the right eye adds to it
//function vertexMain : vsMain
//function pixelMain : psMain
//QIRN_PP:D:LEFT://config baseMaterial : solid
//QIRN_PP:D:RIGHT://config baseMaterial : transparent_add_color
//float2 HalfPixelSize : HalfPixelSize : vertex
//[QIRN_END]

// Built with one mode define (ANAGLYPH_TRUE, _GRAY, _COLOR, _HALFCOLOR, _OPTIMIZED) and LEFT or RIGHT.
// Sampler 0 is the eye image. The two eyes write disjoint channels, so adding the right eye is exact.

float2 HalfPixelSize;
sampler2D EyeImage : register(s0);

struct VsOut {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
};

VsOut vsMain(float4 pos : POSITION) {
    VsOut o;
    o.pos = float4(pos.xy, 0.0, 1.0);
    o.uv = float2(pos.x * 0.5 + 0.5, 1.0 - (pos.y * 0.5 + 0.5)) + HalfPixelSize;
    return o;
}

float4 psMain(float2 uv : TEXCOORD0) : COLOR0 {
    float4 c = tex2D(EyeImage, uv);
    float v = dot(c.rgb, float3(0.299, 0.587, 0.114));
#ifdef USE_LEFT
#if defined(USE_ANAGLYPH_COLOR)
    return float4(c.r, 0.0, 0.0, 1.0);
#elif defined(USE_ANAGLYPH_OPTIMIZED)
    return float4(0.7 * c.g + 0.3 * c.b, 0.0, 0.0, 1.0);
#else
    return float4(v, 0.0, 0.0, 1.0);
#endif
#else
#if defined(USE_ANAGLYPH_TRUE)
    return float4(0.0, 0.0, v, 1.0);
#elif defined(USE_ANAGLYPH_GRAY)
    return float4(0.0, v, v, 1.0);
#else
    return float4(0.0, c.g, c.b, 1.0);
#endif
#endif
}
