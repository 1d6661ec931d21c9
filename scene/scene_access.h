#ifndef QIRN_SCENE_SCENE_ACCESS_H
#define QIRN_SCENE_SCENE_ACCESS_H

// The scene access layer: the one door through which the rest of the engine reads a loaded scene. A
// scene is opened by name into a SceneHandle; every question goes through the handle's seven query
// tables. Times are scene times in milliseconds. An index outside the matching count answers zeros
// (null texts) instead of reading outside the scene.

#include <vector3d.h>

#include "scene_image.h"

struct SceneHandle;
typedef irr::core::vector3df SceneVec3;

// Vector kinds of the position, rotation and scale queries.
enum {
    QE_VEC_ROTATION = 5,          // degrees, heading/pitch/bank
    QE_VEC_SCALE = 6,             // objects and fx emitters only
    QE_VEC_POSITION = 8,
    QE_VEC_ROTATION_SWAPPED = 25, // the rotation the engine's nodes take
};

enum { QE_SHADER_VALUES_MAX = 15 };

struct ShaderValueEntry {
    const ShaderParamRecord* param;  // its name comes first, so it serves as the parameter name
    int32_t type;                    // 0 three floats, 1 one float
    float value[3];
};

struct ShaderValuesRecord {
    const char* fileName;
    const char* vertexFunction;
    const char* pixelFunction;
    int32_t paramCount;
    ShaderValueEntry params[QE_SHADER_VALUES_MAX];
};

struct SurfaceChannelEntry {
    int32_t type;  // 0 colour, 1 float, 2 integer
    union {
        float f[3];
        int32_t i[3];
    } value;
    int32_t texProjection;
    const char* texImage;
};

struct ObjectSurfaceRecord {
    const char* name;
    SurfaceChannelEntry channels[QE_SURF_SLOTS];
    int32_t nodeShader;
    ShaderValuesRecord shader;  // filled when nodeShader is set
};

struct SceneQueryTable {
    int (*getFirstFrame)(SceneHandle*);
    int (*getLastFrame)(SceneHandle*);
    int (*getFps)(SceneHandle*);
    int (*getRenderOptions)(SceneHandle*);
    int (*getCameraIndex)(SceneHandle*, float t);
    void (*getMusic)(SceneHandle*, const char** name, float* start);
};

struct BackdropQueryTable {
    SceneVec3 (*getBackdropColor)(SceneHandle*);
    SceneVec3 (*getZenithColor)(SceneHandle*);
    SceneVec3 (*getSkyColor)(SceneHandle*);
    SceneVec3 (*getGroundColor)(SceneHandle*);
    SceneVec3 (*getNadirColor)(SceneHandle*);
};

struct ImageProcessingQueryTable {
    int (*getLimitDynamicRange)(SceneHandle*);
    int (*getDitherIntensity)(SceneHandle*);
    int (*getAnimatedDither)(SceneHandle*);
    float (*getColorSaturation)(SceneHandle*, float t);
    int (*getGlowEnable)(SceneHandle*);
    float (*getGlowIntensity)(SceneHandle*, float t);
    float (*getGlowRadius)(SceneHandle*, float t);
    int (*getImageFilterCount)(SceneHandle*);
    const char* (*getImageFilterName)(SceneHandle*, int i);
    void (*getImageFilterShader)(SceneHandle*, int i, ShaderValuesRecord* out, float t);
    int (*getCameraShaderCount)(SceneHandle*);
    int (*isCameraShaderActive)(SceneHandle*, int i, float t);
    void (*getCameraShader)(SceneHandle*, int i, ShaderValuesRecord* out, float t);
    int (*getStreakEnable)(SceneHandle*);
    void (*getStreakParams)(SceneHandle*, float* glowMin, float colorKey[3], float* colorKeyMatch, float colorize[3],
                            float* attenuation, float* angle, float* compose, float t);
    int (*getBloomEnable)(SceneHandle*);
    void (*getBloomParams)(SceneHandle*, float* specularMin, float* compose, float t);
    int (*getAdvancedDofEnable)(SceneHandle*);
    void (*getAdvancedDofParams)(SceneHandle*, float* minFocusDist, float* maxFocusDist, float* radiusScale, float t);
    int (*getSsaoEnable)(SceneHandle*);
    void (*getSsaoParams)(SceneHandle*, float* distanceReach, float* maxDepthDecline, float* depthAliasingEpsilon,
                          float* outputMultiplier, float t);
    int (*getShadowEnable)(SceneHandle*);
    void (*getShadowEpsilon)(SceneHandle*, float* epsilon, float t);
    int (*getCameraRangeEnable)(SceneHandle*);
    void (*getCameraRange)(SceneHandle*, float* min, float* max);
};

struct ObjectQueryTable {
    int (*getObjectCount)(SceneHandle*);
    const char* (*getObjectName)(SceneHandle*, int i);
    const char* (*getObjectFile)(SceneHandle*, int i);
    const char* (*getObjectGeometryFile)(SceneHandle*, int i);
    int (*isObjectEmpty)(SceneHandle*, int i);
    int (*getObjectShadowOptions)(SceneHandle*, int i);
    int (*getObjectFlags)(SceneHandle*, int i);
    void (*getObjectVector)(SceneVec3* out, SceneHandle*, int i, int kind, float t);
    int (*getObjectConstantOne)(SceneHandle*, int i);
    float (*getObjectTransparency)(SceneHandle*, int i);
    float (*getObjectTranslucency)(SceneHandle*, int i);
    int (*getObjectSurfaceCount)(SceneHandle*, int i);
    void (*getObjectSurfaces)(SceneHandle*, int i, ObjectSurfaceRecord* out, float t);
};

struct LightQueryTable {
    int (*getLightCount)(SceneHandle*);
    void (*getAmbientColor)(SceneVec3* out, SceneHandle*, float t);
    const char* (*getLightName)(SceneHandle*, int i);
    int (*getLightType)(SceneHandle*, int i);
    int (*getLightShadowType)(SceneHandle*, int i);
    void (*getLightConeAngles)(SceneHandle*, int i, float* cone, float* edge, float t);
    int (*getLightFlags)(SceneHandle*, int i);
    float (*getLightRange)(SceneHandle*, int i, float t);
    int (*hasLightRange)(SceneHandle*, int i);
    void (*getLightColor)(SceneVec3* out, SceneHandle*, int i, float t);
    float (*getLightIntensity)(SceneHandle*, int i, float t);
    void (*getLightShadowColor)(SceneVec3* out, SceneHandle*, int i);
    int (*getLightShadowMapSize)(SceneHandle*, int i);
    float (*getLightShadowMapFuzz)(SceneHandle*, int i);
    void (*getLightVector)(SceneVec3* out, SceneHandle*, int i, int kind, float t);
};

struct CameraQueryTable {
    int (*getCameraCount)(SceneHandle*);
    const char* (*getCameraName)(SceneHandle*, int i);
    void (*getCameraFov)(SceneHandle*, int i, float* horizontal, float* vertical, float t);
    void (*getCameraDof)(SceneHandle*, int i, int* enable, float* focalDistance, float* fStop, float t);
    int (*getCameraStereoEnable)(SceneHandle*, int i);
    void (*getCameraStereo)(SceneHandle*, int i, float* separation, int* useConvergence, float* convergence, float t);
    void (*getCameraVector)(SceneVec3* out, SceneHandle*, int i, int kind, float t);
};

struct FxEmitterQueryTable {
    int (*getFxEmitterCount)(SceneHandle*);
    int (*getFxEmitterKind)(SceneHandle*, int i);
    const char* (*getFxEmitterName)(SceneHandle*, int i);
    const char* (*getFxEmitterImage)(SceneHandle*, int i);
    float (*getFxEmitterParticleSize)(SceneHandle*, int i);
    void (*getFxEmitterNozzleSize)(SceneVec3* out, SceneHandle*, int i);
    void (*getFxEmitterVector)(SceneVec3* out, SceneHandle*, int i, int kind, float t);
    void (*getFxEmitterVelocity)(SceneVec3* out, SceneHandle*, int i, float t);
    float (*getFxEmitterParentMotion)(SceneHandle*, int i);
    float (*getFxEmitterPositionBlur)(SceneHandle*, int i);
    void (*getFxEmitterGravity)(SceneVec3* out, SceneHandle*, int i);
    float (*getFxEmitterBirthRate)(SceneHandle*, int i, float t);
    int (*getFxEmitterNozzleType)(SceneHandle*, int i);
    float (*getFxEmitterLifeTime)(SceneHandle*, int i, float t);
    float (*getFxEmitterLifeTimeVariation)(SceneHandle*, int i);
    float (*getFxEmitterExplosion)(SceneHandle*, int i, float t);
    float (*getFxEmitterWeight)(SceneHandle*, int i, float t);
    float (*getFxEmitterWeightVariation)(SceneHandle*, int i);
    float (*getFxEmitterResistance)(SceneHandle*, int i, float t);
    float (*getFxEmitterResistanceVariation)(SceneHandle*, int i);
    float (*getFxEmitterVibration)(SceneHandle*, int i, float t);
    int (*getFxEmitterParticleLimit)(SceneHandle*, int i);
    void (*getFxEmitterLook)(SceneHandle*, int i, int* blendMode, int* useImageColor, float color[3], float* rotation);
    int (*getFxEmitterSizeGradient)(SceneHandle*, int i, const float** keys);
    int (*getFxEmitterColorGradient)(SceneHandle*, int i, const float** keys);
    void (*getFxEmitterShader)(SceneHandle*, int i, ShaderValuesRecord* out, float t);
};

struct SceneHandle {
    SceneImage* image;
    int32_t binary;
    const SceneQueryTable* scene;
    const BackdropQueryTable* backdrop;
    const ImageProcessingQueryTable* processing;
    const ObjectQueryTable* objects;
    const LightQueryTable* lights;
    const CameraQueryTable* cameras;
    const FxEmitterQueryTable* fxEmitters;
};

// Binary scene files: load, bind the channels and wrap the image in a handle; none on failure.
SceneHandle* qeSceneOpenBinary(const char* name);
SceneHandle* qeSceneOpenBinaryBuffer(const void* data, size_t size);
void qeSceneCloseBinary(SceneHandle* handle);

// By name: ".lws.ini" names are refused, names holding ".qirn" are read as binary scene files.
SceneHandle* qeSceneFileOpen(const char* name);
void qeSceneFileClose(SceneHandle* handle);
// There is no scene writer: always -1, with a message for a valid handle.
int qeSceneFileSaveBinary(SceneHandle* handle, const char* path);

#endif
