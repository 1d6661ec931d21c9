//[QIRN_BEGIN]
//title Particle
//subject Camera-facing particle quads of the fx emitters
//function vertexMain : vsMain
//function pixelMain : psMain
//QIRN_PP:D:BLEND_ALPHA://config baseMaterial : transparent_alpha_channel
//QIRN_PP:D:BLEND_ADD://config baseMaterial : transparent_add_color
//QIRN_PP:D:BLEND_SUB://config baseMaterial : transparent_sub_color
//float4x4 View : View : vertex
//float4x4 Projection : Projection : vertex
//float ParticleSize : ParticleSize : vertex
//float ParticleTimeNow : ParticleTimeNow : vertex
//QIRN_PP:U:TEX_COLOR://QIRN_PP:U:COLOR_GRADIENT://float4 ParticleColor : ParticleColor : vertex
//QIRN_PP:D:ROTATION://float ParticleRotation : ParticleRotation : vertex
//QIRN_PP:D:COLOR_GRADIENT://float ParticleGradColorNum : ParticleGradColorNum : vertex
//QIRN_PP:D:COLOR_GRADIENT://floatN ParticleGradColorKeyParams : ParticleGradColorKeyParams : vertex
//QIRN_PP:D:COLOR_GRADIENT://floatN ParticleGradColorKeyValues : ParticleGradColorKeyValues : vertex
//QIRN_PP:D:SIZE_GRADIENT://float ParticleGradSizeNum : ParticleGradSizeNum : vertex
//QIRN_PP:D:SIZE_GRADIENT://floatN ParticleGradSizeKeyParams : ParticleGradSizeKeyParams : vertex
//QIRN_PP:D:SIZE_GRADIENT://floatN ParticleGradSizeKeyValues : ParticleGradSizeKeyValues : vertex
//[QIRN_END]

// Vertex input of the particle nodes: the quad corner (0 or 1 in x and y), the particle's world position
// (the world transform is the identity) and (birth, death, 0) in seconds of the engine clock.
// Sampler 0 is the particle image. The colour is worked out per particle in the vertex program.
//
// Gradients hold up to 8 keys (parameter in 0..1 of the particle's life, value). They are read with
// constant indices only: the loops below unroll, and a key past the key count does not count.

float4x4 View;
float4x4 Projection;
float ParticleSize;
float ParticleTimeNow;
float4 ParticleColor;
float ParticleRotation;
float ParticleGradColorNum;
float ParticleGradColorKeyParams[8];
float4 ParticleGradColorKeyValues[9];
float ParticleGradSizeNum;
float ParticleGradSizeKeyParams[8];
float ParticleGradSizeKeyValues[9];

sampler2D ParticleImage : register(s0);

struct VsOut {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
    float4 colour : TEXCOORD1;
};

#ifdef USE_COLOR_GRADIENT
// The colour at life fraction t: the first key's value before it, the last key's after it, linear between.
float4 colourGradient(float t) {
    float4 result = ParticleGradColorKeyValues[0];
    [unroll] for (int k = 1; k < 8; ++k) {
        float live = step((float)k + 0.5, ParticleGradColorNum);
        float from = ParticleGradColorKeyParams[k - 1];
        float to = ParticleGradColorKeyParams[k];
        float span = max(to - from, 0.00001);
        float f = saturate((t - from) / span);
        float4 next = lerp(ParticleGradColorKeyValues[k - 1], ParticleGradColorKeyValues[k], f);
        result = lerp(result, next, live * step(from, t));
    }
    return result;
}
#endif

#ifdef USE_SIZE_GRADIENT
float sizeGradient(float t) {
    float result = ParticleGradSizeKeyValues[0];
    [unroll] for (int k = 1; k < 8; ++k) {
        float live = step((float)k + 0.5, ParticleGradSizeNum);
        float from = ParticleGradSizeKeyParams[k - 1];
        float to = ParticleGradSizeKeyParams[k];
        float span = max(to - from, 0.00001);
        float f = saturate((t - from) / span);
        float next = lerp(ParticleGradSizeKeyValues[k - 1], ParticleGradSizeKeyValues[k], f);
        result = lerp(result, next, live * step(from, t));
    }
    return result;
}
#endif

VsOut vsMain(float2 corner : TEXCOORD0, float3 position : POSITION0, float3 times : NORMAL0) {
    VsOut o;
    float life = max(times.y - times.x, 0.00001);
    float age = ParticleTimeNow - times.x;
    float t = saturate(age / life);
    // a particle outside its life collapses to a point
    float alive = step(times.x, ParticleTimeNow) * step(ParticleTimeNow, times.y);

    float size = ParticleSize;
#ifdef USE_SIZE_GRADIENT
    size *= sizeGradient(t);
#endif
    // corner (0, 0) is the top left: the quad's triangles wind clockwise on screen (front-facing)
    float2 offset = float2(corner.x - 0.5, 0.5 - corner.y) * size * alive;
#ifdef USE_ROTATION
    // the quad turns at ParticleRotation radians per second of the particle's age
    float angle = ParticleRotation * age;
    float s = sin(angle);
    float c = cos(angle);
    offset = float2(offset.x * c - offset.y * s, offset.x * s + offset.y * c);
#endif
    // semantic matrices arrive transposed: the matrix comes first
    float4 viewPos = mul(View, float4(position, 1.0));
    viewPos.xy += offset;
    o.pos = mul(Projection, viewPos);
    o.uv = corner;

#if defined(USE_TEX_COLOR)
    o.colour = float4(1.0, 1.0, 1.0, 1.0);
#elif defined(USE_COLOR_GRADIENT)
    o.colour = colourGradient(t);
#else
    o.colour = ParticleColor;
#endif
    return o;
}

float4 psMain(float2 uv : TEXCOORD0, float4 colour : TEXCOORD1) : COLOR0 {
    float4 image = tex2D(ParticleImage, uv);
#ifdef USE_TEX_COLOR
    float4 result = image;
#else
    float4 result = float4(colour.rgb, image.a * colour.a);
#endif
#ifdef USE_BLEND_ALPHA
    return result;
#else
    // added or taken away in proportion to the coverage
    return float4(result.rgb * result.a, result.a);
#endif
}
