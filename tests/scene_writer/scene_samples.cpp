#include "scene_samples.h"

// A scene with every item kind, every property kind and channels for most bindings, at 25 frames per
// second over frames 0 to 49.
const char* qeSceneSampleDescription() {
    return R"(
SCEN { NAME "Sample" FNAM "sample.lws"
  PRPS { PROP int frameStart 0  PROP int frameEnd 49  PROP float framesPerSecond 25  PROP int renderOpts 5
         PROP string loadAudio "music.mp3"  PROP float audioStartTime 1.5 }
  CHAN { NAME "SceneChannel" TYPE 0 VALS { VRUN 50 1 } } }
BKDR { PRPS { PROP int type 2  PROP float3 zenith 0.1 0.2 0.3  PROP float3 sky 0.4 0.5 0.6
              PROP float3 ground 0.7 0.8 0.9  PROP float3 nadir 1 0.5 0  PROP float2 squeeze 2 3 } }
PROC {
  PRPS { PROP int LimitDynamicRange 1  PROP int DitherIntensity 2  PROP int AnimatedDither 3
         PROP float ColorSaturation 0.5  PROP int GlowEffect 1  PROP float GlowIntensity 0.25  PROP float GlowRadius 8 }
  IMFL { NAME "QirnRenderSettings"
         PRPS { PROP int CH_STREAK_ENABLE 1  PROP float CH_STREAK_GLOWMIN 0.1  PROP float3 CH_STREAK_COLORKEY 1 0 0
                PROP float CH_STREAK_ANGLE 1.5707963  PROP int CH_SSAO_ENABLE 1  PROP float CH_SSAO_DISTANCEREACH 3
                PROP int CH_CAMERARANGE_ENABLE 1  PROP float CH_CAMERARANGE_MIN 0.5  PROP float CH_CAMERARANGE_MAX 500
                PROP int CH_BLOOM_ENABLE 1  PROP float CH_BLOOM_COMPOSE 0.7  PROP int CH_SHADOW_ENABLE 1
                PROP float CH_SHADOW_EPSILON 0.01  PROP int CH_DOF_ADVANCED_ENABLE 1  PROP float CH_DOF_RADIUSSCALE 2 } }
  IMFL { NAME "QirnPostProc"
         PRPS { PROP string filename "blur.hlsl"  PROP int useframe 1  PROP int startframe 10  PROP int endframe 20 }
         SHAD { FNAM "blur.hlsl" PRPS { PROP float3 Tint 1 1 1  PROP float Amount 0.5  PROP int Ignored 3 } } }
  IMFL { NAME "Other" PRPS { PROP int CH_SSAO_ENABLE 0  PROP string filename "x.hlsl" } } }
OBJE { NAME "ship:Layer3" FNAM "ship.lwo"
       PRPS { PROP int numPoints 8  PROP int numPolygons 6  PROP int shadowOpts 7  PROP int flags 4  PROP int layer 0
              PROP float range 5 } }
OBJE { NAME "null" FNAM "null.lwo" PRPS { PROP int numPoints 0  PROP int layer 2 } }
LIGH { NAME "Key"
       PRPS { PROP float3 ambient 0.1 0.1 0.1  PROP int type 2  PROP int shadowType 2  PROP float2 coneAngles 0.5 0.1
              PROP int flags 9  PROP float range 10  PROP int falloff 1  PROP float3 rawColor 1 0.5 0.25
              PROP float intensity 1.5  PROP float3 shadowColor 0 0 0.5  PROP int shadMapSize 1024
              PROP float shadMapFuzz 2 } }
LIGH { NAME "Fill" PRPS { PROP int flags 3  PROP float intensity 0.5 } }
CAME { NAME "Cam"
       PRPS { PROP float zoomFactor 3.2  PROP float focalLength 24  PROP float focalDistance 5  PROP float fStop 4
              PROP float blurLength 0.5  PROP float2 fovAngles 1 0.75  PROP int flags 9  PROP int2 resolution 640 480
              PROP float pixelAspect 1  PROP float separation 0.06  PROP float convergencePoint 3
              PROP int usingConvergencePoint 1 } }
CAME { NAME "Cam2" PRPS { PROP float2 fovAngles 0.5 0.25 } }
SOBJ { NAME "ship" FNAM "ship.lwo"
  SURF { NAME "Hull"
         PRPS { PROP float3 BaseColor 0.2 0.4 0.6  PROP float Transparency 0.3  PROP float Translucency 0.1
                PROP int Sidedness 2  PROP string BaseColor_tex_image "hull.png"  PROP int Luminosity_tex_proj 3
                PROP float Diffuse 0.8 }
         SSHA { PRPS { PROP string filename "metal.hlsl" }
                SHAD { PRPS { PROP float3 Color 1 0 0  PROP int Count 4 } } } }
  SURF { NAME "Glass" PRPS { PROP float Transparency 0.9 } } }
FXEM { NAME "Sparks"
  PRPS { PROP int FxEmitterType 0  PROP float3 GeneratorSize 1 2 3  PROP int ParticleLimit 500
         PROP float3 Velocity 0 1 0  PROP float ParentMotion 0.5  PROP float PositionBlur 0.2
         PROP float3 Gravity 0 -9.8 0  PROP float BirthRate 100  PROP int Nozzle 1  PROP float2 LifeTime 50 25
         PROP float Explosion 2  PROP float VelocityP 2  PROP int StartFrame 10  PROP int Fixed 1
         PROP float2 Weight 1 0.5  PROP float2 Resistance 0.3 0.1  PROP float Vibration 0.4  PROP float2 Size 0.2 0.1
         PROP float HyperVoxelParticleSize 0.7  PROP string HyperVoxelImage "spark.png"
         PROP float HV.ParticleSize 0  PROP float3 HV.VColor 1 0.5 0  PROP int HV.HVClipFlags 2
         PROP int HV.HVClipAlpha 4  PROP float HV.HVClipRotation 45  PROP string HV.ClipFilename "clip.png"
         PROP int HV.numGrads 20
         PROP int HV.Grad.0.Channel 1  PROP int HV.Grad.0.nKeys 2  PROP string HV.Grad.0.KeyFloats "0 1 0 0 0 1 2"
         PROP int HV.Grad.3.Channel 35  PROP float HV.Grad.3.GradEnd 9  PROP int HV.Grad.3.nKeys 99
         PROP string HV.Grad.3.KeyFloats "0  0.5 1"  PROP float HV.Grad.9.GradEnd 7 }
  HVSH { PRPS { PROP string filename "hv.hlsl" } SHAD { PRPS { PROP float Glow 0.5 } } } }
CGRP { NAME "MC" CHAN { NAME "CameraSelector" VALS { VRUN 25 0 VRUN 25 1 } } }
CGRP { NAME "Global" CHAN { NAME "GlowIntensity" VALS { VDAT 3 0 1 2 } }
       CHAN { NAME "AmbientColor.R" VALS { VRUN 50 2 } } CHAN { NAME "AmbientColor.G" VALS { VRUN 50 0.5 } }
       CHAN { NAME "AmbientColor.B" VALS { VRUN 50 -1 } } }
CGRP { NAME "Qirn"
       CGRP { NAME "QirnRenderSettings" CHAN { NAME "CH_SSAO_DISTANCEREACH" VALS { VRUN 50 4 } } }
       CGRP { NAME "QirnPostProc"
              CGRP { NAME "blur.hlsl" CHAN { NAME "Amount" VALS { VRUN 50 0.75 } }
                     CHAN { NAME "Tint.R" VALS { VRUN 50 0.1 } } CHAN { NAME "Tint.G" VALS { VRUN 50 0.2 } }
                     CHAN { NAME "Tint.B" VALS { VRUN 50 0.3 } } } } }
CGRP { NAME "Qirn.World:ship:Layer3"
       CHAN { NAME "Position.X" VALS { VDAT 4 0 10 20 30 } } CHAN { NAME "Position.Y" VALS { VRUN 50 1 } }
       CHAN { NAME "Position.Z" VALS { VRUN 50 2 } } CHAN { NAME "Rotation.H" VALS { VDAT 2 0 1.5707963 } }
       CHAN { NAME "Scale.X" VALS { VRUN 50 3 } } }
CGRP { NAME "Qirn.World:Key" CHAN { NAME "Position.X" VALS { VRUN 50 5 } } }
CGRP { NAME "Key" CHAN { NAME "Range" VALS { VRUN 50 -3 } } CHAN { NAME "Intensity" VALS { VRUN 50 2 } }
       CHAN { NAME "ConeAngle" VALS { VRUN 50 1 } } }
CGRP { NAME "Fill" CHAN { NAME "Intensity" VALS { VRUN 50 0.9 } } }
CGRP { NAME "Qirn.World:Cam" CHAN { NAME "Position.Z" VALS { VRUN 50 -10 } } }
CGRP { NAME "Cam" CHAN { NAME "ZoomFactor" VALS { VRUN 50 1 } } CHAN { NAME "FStop" VALS { VRUN 50 8 } } }
CGRP { NAME "Surfaces"
  CGRP { NAME "ship"
    CGRP { NAME "Hull"
           CHAN { NAME "Color.R" VALS { VRUN 50 0.9 } } CHAN { NAME "Color.G" VALS { VRUN 50 0.8 } }
           CHAN { NAME "Color.B" VALS { VRUN 50 0.7 } } CHAN { NAME "Diffuse" VALS { VDAT 2 0 1 } }
           CGRP { NAME "QirnShader"
                  CGRP { NAME "metal.hlsl" CHAN { NAME "Color.X" VALS { VRUN 50 0.3 } }
                         CHAN { NAME "Color.Y" VALS { VRUN 50 0.4 } } CHAN { NAME "Color.Z" VALS { VRUN 50 0.5 } } } } }
    CGRP { NAME "Glass"
           CGRP { NAME "Nodes" CGRP { NAME "Shader:node.hlsl extra" } CGRP { NAME "ShaderVertexFunction:vs_main" }
                  CGRP { NAME "ShaderPixelFunction:ps_main" }
                  CGRP { NAME "ShaderParam:Shine" CHAN { NAME "Scalar" VALS { VRUN 50 0.6 } } } } } } }
CGRP { NAME "Qirn.World:Sparks" CHAN { NAME "Position.Y" VALS { VRUN 50 4 } }
       CGRP { NAME "QirnHVShader" CGRP { NAME "hv.hlsl" CHAN { NAME "Glow" VALS { VRUN 50 0.9 } } } } }
CGRP { NAME "Sparks" CGRP { NAME "particlefx" CHAN { NAME "birthrate" VALS { VRUN 50 -5 } }
                            CHAN { NAME "lifetime" VALS { VRUN 50 75 } } } }
)";
}
