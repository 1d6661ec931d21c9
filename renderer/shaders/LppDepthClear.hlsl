//[QIRN_BEGIN]
//title LppDepthClear
//subject Clears the normal and depth targets of the light pre-pass: no surface, far depth
//function vertexMain : vsMain
//function pixelMain : psMain
//[QIRN_END]

struct PsOut {
    float4 normal : COLOR0;
    float4 depth : COLOR1;
};

float4 vsMain(float4 pos : POSITION) : POSITION { return float4(pos.xyz, 1.0); }

PsOut psMain() {
    PsOut o;
    o.normal = float4(0.5, 0.5, 0.5, 0.0);
    o.depth = float4(1.0, 1.0, 1.0, 1.0);
    return o;
}
