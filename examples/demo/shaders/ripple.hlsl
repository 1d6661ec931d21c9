// The example demo's camera effect: the frame seen through slow circular ripples, brightened at their
// crests. Layer 0 holds the frame.
//[QIRN_BEGIN]
//function vertexMain : vsMain
//function pixelMain : psMain
//texture 0 SourceRTT preset
//float Clock : Time0_X : pixel
//float Strength : 0.012 : pixel
//[QIRN_END]

float Clock;
float Strength;
sampler2D Source : register(s0);

struct VsOut {
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
};

VsOut vsMain(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    VsOut o;
    o.position = position;
    o.uv = uv;
    return o;
}

float4 psMain(float2 uv : TEXCOORD0) : COLOR0
{
    float2 d = uv - 0.5;
    float r = length(d);
    float wave = sin(r * 60.0 - Clock * 6.0);
    float2 offset = d / max(r, 0.001) * wave * Strength;
    float4 colour = tex2D(Source, uv + offset);
    return float4(colour.rgb * (1.0 + 0.15 * wave), 1.0);
}
