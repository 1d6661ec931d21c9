//[QIRN_BEGIN]
//title LppShadowDepth
//subject Light-view depth over the shadow range, into the shadow map
//function vertexMain : vsMain
//function pixelMain : psMain
//float4x4 WorldViewProjection : WorldViewProjection : vertex
//float4x4 WorldView : WorldView : vertex
//float MaxD : 5000 : vertex
//[QIRN_END]

// Drawn with the light's view and projection as the driver's transforms: WorldView gives the light-view
// depth. The light pass compares the same value.
float4x4 WorldViewProjection;
float4x4 WorldView;
float MaxD;

struct VsOut {
    float4 pos : POSITION;
    float depth : TEXCOORD0;
};

VsOut vsMain(float4 pos : POSITION) {
    VsOut o;
    o.pos = mul(WorldViewProjection, pos);
    o.depth = mul(WorldView, pos).z / MaxD;
    return o;
}

float4 psMain(float depth : TEXCOORD0) : COLOR0 { return float4(depth, depth, depth, 1.0); }
