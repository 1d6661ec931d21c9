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

// A gradient of type T at life fraction t over the key parameters KEYS, the key values VALUES and the
// key count COUNT: the first key's value before it, the last live key's after it, linear between keys.
// (A macro: the compiler takes neither array parameters nor nested loops here.)
#define GRADIENT_AT(T, KEYS, VALUES, COUNT, t, result)                             \
    {                                                                              \
        result = VALUES[0];                                                        \
        [unroll] for (int k = 1; k < 8; ++k) {                                     \
            float live = step((float)k + 0.5, COUNT);                              \
            float from = KEYS[k - 1];                                              \
            float span = max(KEYS[k] - from, 0.00001);                             \
            float f = saturate((t - from) / span);                                 \
            T next = lerp(VALUES[k - 1], VALUES[k], f);                            \
            result = lerp(result, next, live * step(from, t));                     \
        }                                                                          \
    }

VsOut vsMain(float2 corner : TEXCOORD0, float3 position : POSITION0, float3 times : NORMAL0) {
    VsOut o;
    float life = max(times.y - times.x, 0.00001);
    float age = ParticleTimeNow - times.x;
    float t = saturate(age / life);
    // a particle outside its life collapses to a point
    float alive = step(times.x, ParticleTimeNow) * step(ParticleTimeNow, times.y);

    float size = ParticleSize;
#ifdef USE_SIZE_GRADIENT
    float sizeFactor;
    GRADIENT_AT(float, ParticleGradSizeKeyParams, ParticleGradSizeKeyValues, ParticleGradSizeNum, t, sizeFactor)
    size *= sizeFactor;
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
    GRADIENT_AT(float4, ParticleGradColorKeyParams, ParticleGradColorKeyValues, ParticleGradColorNum, t, o.colour)
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
