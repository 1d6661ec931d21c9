// The built-in loading screen: a diagonal cross of two progress bars that fill from the centre outwards.
// The same contract as a demo's own "loading.hlsl": constants "resolution" (pixels) and "progress"
// (0 at the start, 1 when loaded; 1 to 1.2 fades the picture out), entries vs_main and ps_main.

float2 resolution;
float progress;

float4 vs_main(float4 position : POSITION) : POSITION
{
    return position;
}

// 1 where value < limit, else 0.
float below(float value, float limit)
{
    return 1.0 - step(limit, value);
}

// An outlined bar with a gap in the middle.
float frameShape(float2 q)
{
    float2 a = abs(q);
    float outer = below(a.x, 0.255) * below(a.y, 0.04);
    float inner = below(a.x, 0.245) * below(a.y, 0.03);
    return outer * (1.0 - inner) * (1.0 - below(a.x, 0.03));
}

// The bar's fill, growing from the centre with the progress.
float fillShape(float2 q)
{
    float2 a = abs(q);
    float t = progress * 0.224 + 0.018;
    return (1.0 - step(a.x, 0.0)) * below(a.x, 0.235) * below(a.x, t) * below(a.y, 0.02);
}

float4 ps_main(float2 pixel : VPOS) : COLOR
{
    float2 p = pixel / resolution - 0.5;
    p.y *= resolution.y / resolution.x;
    p *= 1.5;

    const float c = 0.70710678;
    float2 right = float2(p.x * c - p.y * c, p.x * c + p.y * c);
    float2 left = float2(p.x * c + p.y * c, p.y * c - p.x * c);
    float frame = frameShape(right) + frameShape(left);
    float fill = fillShape(right) + fillShape(left);

    float p5 = progress * progress * progress * progress * progress;
    float3 fillColour = lerp(float3(0.2, 0.5, 0.8), float3(1.0, 1.0, 1.0), saturate(p5));
    float3 colour = saturate(frame.xxx + fill * fillColour);

    float fadeIn = min(1.0, progress);
    float fadeOut = max(0.0, min((progress - 1.0) * 5.0, 1.0));
    return float4(colour * fadeIn * (1.0 - fadeOut), 1.0);
}
