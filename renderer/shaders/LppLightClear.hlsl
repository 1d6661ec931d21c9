//[QIRN_BEGIN]
//title LppLightClear
//subject Clears the light target of the light pre-pass (ambient light comes with the final pass)
//function vertexMain : vsMain
//function pixelMain : psMain
//[QIRN_END]

float4 vsMain(float4 pos : POSITION) : POSITION { return float4(pos.xyz, 1.0); }

float4 psMain() : COLOR0 { return float4(0.0, 0.0, 0.0, 0.0); }
