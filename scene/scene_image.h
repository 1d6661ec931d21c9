#ifndef QIRN_SCENE_SCENE_IMAGE_H
#define QIRN_SCENE_SCENE_IMAGE_H

// The scene image: one loaded scene file as records, one list per kind of item. Text fields point into
// the file buffer, which the image keeps open; shader texts are copied into fixed 64-byte fields.
// A channel reference is the body offset of a channel's VALS chunk, 0 for none.

#include <cstdint>
#include <vector>

#include "scene_reader.h"

typedef uint32_t ChannelRef;

struct AnimatedFloat {
    float value;
    ChannelRef channel;
};

struct AnimatedColor {
    float value[3];
    ChannelRef channel[3];
};

struct ChannelRecord {
    const char* name;
    uint32_t type;
    ChannelRef values;
};

struct ChannelGroup {
    const char* name;
    std::vector<ChannelRecord> channels;
    std::vector<ChannelGroup> children;
};

enum { QE_SHADER_TEXT = 64, QE_SHADER_PARAM_FLOAT3 = 0, QE_SHADER_PARAM_FLOAT = 1 };

struct ShaderParamRecord {
    char name[QE_SHADER_TEXT];
    int32_t kind;          // 0 three floats, 1 one float (value[0], channel[0])
    float value[3];
    ChannelRef channel[3];
};

struct ShaderBlock {
    char fileName[QE_SHADER_TEXT];
    char vertexFunction[QE_SHADER_TEXT];
    char pixelFunction[QE_SHADER_TEXT];
    std::vector<ShaderParamRecord> params;
};

struct SceneSettingsRecord {
    const char* name;
    const char* fileName;
    int32_t firstFrame;
    int32_t lastFrame;
    float fps;
    int32_t renderOptions;
    ChannelRecord sceneChannel;
    ChannelRef cameraSelector;
    const char* audioFile;
    float audioStartTime;
};

struct BackdropRecord {
    int32_t type;
    float zenith[3];
    float sky[3];
    float ground[3];
    float nadir[3];
    float squeeze[2];
};

enum { QE_FILTER_OTHER = 0, QE_FILTER_POSTPROC = 1, QE_FILTER_RENDERSETTINGS = 2 };

struct ImageFilterRecord {
    const char* name;
    int32_t kind;
    int32_t useFrame;
    int32_t startFrame;
    int32_t endFrame;
    ShaderBlock shader;
};

struct RenderSettingsRecord {
    int32_t streakOn;
    AnimatedFloat streakGlowMin;
    AnimatedColor streakColorKey;
    AnimatedFloat streakColorKeyMatch;
    AnimatedColor streakColorize;
    AnimatedFloat streakAttenuation;
    AnimatedFloat streakAngle;
    AnimatedFloat streakCompose;
    int32_t bloomOn;
    AnimatedFloat bloomSpecularMin;
    AnimatedFloat bloomCompose;
    int32_t advancedDofOn;
    AnimatedFloat dofMinFocusDist;
    AnimatedFloat dofMaxFocusDist;
    AnimatedFloat dofRadiusScale;
    int32_t ssaoOn;
    AnimatedFloat ssaoDistanceReach;
    AnimatedFloat ssaoMaxDepthDecline;
    AnimatedFloat ssaoDepthAliasingEpsilon;
    AnimatedFloat ssaoOutputMultiplier;
    int32_t shadowOn;
    AnimatedFloat shadowEpsilon;
    int32_t cameraRangeOn;
    float cameraRangeMin;
    float cameraRangeMax;
};

struct ProcessingRecord {
    int32_t limitDynamicRange;
    int32_t ditherIntensity;
    int32_t animatedDither;
    AnimatedFloat colorSaturation;
    int32_t glowEffect;
    AnimatedFloat glowIntensity;
    AnimatedFloat glowRadius;
    std::vector<ImageFilterRecord> filters;
    RenderSettingsRecord render;
};

// Motion channels in this order: Position.X/Y/Z, Rotation.H/P/B, Scale.X/Y/Z.
enum { QE_MOTION_POSITION = 0, QE_MOTION_ROTATION = 3, QE_MOTION_SCALE = 6, QE_MOTION_CHANNELS = 9 };

struct SceneObjectRecord;

struct ObjectRecord {
    const char* name;
    const char* fileName;
    int32_t numPoints;
    int32_t numPolygons;
    int32_t shadowOpts;
    int32_t flags;
    int32_t layer;
    SceneObjectRecord* sceneObject;
    ChannelGroup* motionGroup;
    ChannelRef motion[QE_MOTION_CHANNELS];
};

struct LightRecord {
    const char* name;
    AnimatedColor ambient;
    int32_t type;
    int32_t shadowType;
    float coneAngles[2];
    ChannelRef coneChannels[2];
    int32_t flags;
    AnimatedFloat range;
    int32_t falloff;
    AnimatedColor rawColor;
    AnimatedFloat intensity;
    float shadowColor[3];
    int32_t shadowMapSize;
    float shadowMapFuzz;
    ChannelGroup* group;
    ChannelRef motion[QE_MOTION_CHANNELS];
};

struct CameraRecord {
    const char* name;
    AnimatedFloat zoomFactor;
    float focalLength;
    AnimatedFloat focalDistance;
    AnimatedFloat fStop;
    float blurLength;
    float fovAngles[2];
    int32_t flags;
    int32_t resolution[2];
    float pixelAspect;
    AnimatedFloat separation;
    AnimatedFloat convergencePoint;
    int32_t usingConvergencePoint;
    ChannelGroup* group;
    ChannelRef motion[QE_MOTION_CHANNELS];
};

// Surface channel slots, in the order of the LightWave surface channel indices.
enum {
    QE_SURF_BASECOLOR = 0, QE_SURF_LUMINOSITY, QE_SURF_DIFFUSE, QE_SURF_SPECULARITY, QE_SURF_REFLECTIVITY,
    QE_SURF_TRANSPARENCY, QE_SURF_TRANSLUCENCY, QE_SURF_IOR, QE_SURF_BUMP, QE_SURF_GLOSSINESS,
    QE_SURF_SPECIALBUFFER1, QE_SURF_SPECIALBUFFER2, QE_SURF_SPECIALBUFFER3, QE_SURF_SPECIALBUFFER4,
    QE_SURF_DIFFUSESHARPNESS, QE_SURF_BUMPDROPOFF, QE_SURF_SMOOTHINGANGLE, QE_SURF_REFLECTIONSEAMANGLE,
    QE_SURF_REFRACTIONSEAMANGLE, QE_SURF_REFLECTIONBLURRING, QE_SURF_REFRACTIONBLURRING, QE_SURF_COLORFILTER,
    QE_SURF_COLORHIGHLIGHTS, QE_SURF_ADDITIVETRANSPARENCY, QE_SURF_ALPHAVALUE, QE_SURF_GLOWVALUE,
    QE_SURF_LINECOLOR, QE_SURF_LINESIZE, QE_SURF_ALPHAOPTIONS, QE_SURF_REFLECTIONOPTIONS,
    QE_SURF_REFRACTIONOPTIONS, QE_SURF_SIDEDNESS, QE_SURF_EXCLUDEFROMVSTACK, QE_SURF_GLOW,
    QE_SURF_RENDEROUTLINES, QE_SURF_REFLECTIONIMAGE, QE_SURF_REFRACTIONIMAGE, QE_SURF_VERTEXCOLORING,
    QE_SURF_VERTEXNORMAL,
    QE_SURF_SLOTS  // 39
};

enum { QE_SLOT_COLOR = 0, QE_SLOT_FLOAT = 1, QE_SLOT_INT = 2 };

struct SurfaceSlot {
    int32_t kind;
    float value[3];        // colour: r, g, b; float: value[0]
    ChannelRef channel[3]; // colour: three channels; float: channel[0]
    int32_t intValue;      // integer slots
    int32_t texProjection;
    const char* texImage;
};

struct SurfaceRecord {
    const char* name;
    SurfaceSlot slots[QE_SURF_SLOTS];
    int32_t nodeShader;
    ShaderBlock shader;
    ChannelGroup* nodesGroup;
    ChannelGroup* group;
};

struct SceneObjectRecord {
    const char* name;
    const char* fileName;
    std::vector<SurfaceRecord> surfaces;
};

enum { QE_HV_GRADIENTS = 8, QE_HV_GRADIENT_KEYS = 8, QE_HV_KEY_FLOATS = 40 };

struct GradientRecord {
    int32_t channel;
    const char* paramName;
    float start;
    float end;
    float repeat;
    int32_t keyCount;  // at most 8 keys of five floats
    float keyFloats[QE_HV_KEY_FLOATS];
};

struct HyperVoxelBlock {
    float particleSize;
    float color[3];
    float luminosity;
    float opacity;
    float density;
    int32_t clipFlags;
    int32_t clipAlpha;
    float clipThreshold;
    float clipRotation;
    int32_t clipFrameOffset;
    const char* clipFileName;
    const char* clipFileExt;
    int32_t gradientCount;  // at most 8
    GradientRecord gradients[QE_HV_GRADIENTS];
};

struct FxEmitterRecord {
    int32_t emitterType;
    const char* name;
    float generatorSize[3];
    float centerPosition[3];
    int32_t particleLimit;
    float velocity[3];
    float parentMotion;
    float positionBlur;
    float gravity[3];
    AnimatedFloat birthRate;
    int32_t nozzle;
    float lifeTime[2];
    ChannelRef lifeTimeChannel;
    AnimatedFloat explosion;
    AnimatedFloat velocityPercent;
    int32_t startFrame;
    int32_t fixed;
    float weight[2];
    ChannelRef weightChannel;
    float resistance[2];
    ChannelRef resistanceChannel;
    AnimatedFloat vibration;
    float threshold[2];
    float size[2];
    ChannelRef sizeChannel;
    float vibrationMin;
    float maxSpeed;
    float hyperVoxelParticleSize;
    const char* hyperVoxelImage;
    HyperVoxelBlock hv;
    ShaderBlock hvShader;
    ChannelGroup* motionGroup;
    ChannelRef motion[QE_MOTION_CHANNELS];
};

struct SceneImage {
    SceneMemoryFile* file;
    SceneSettingsRecord scene;
    BackdropRecord backdrop;
    ProcessingRecord processing;
    std::vector<ObjectRecord> objects;
    std::vector<LightRecord> lights;
    std::vector<CameraRecord> cameras;
    std::vector<SceneObjectRecord> sceneObjects;
    std::vector<FxEmitterRecord> fxEmitters;
    std::vector<ChannelGroup> groups;
};

// Loads a scene file / a buffer into a new image (channels not yet bound); none when the file cannot be
// read or the walk refuses it (the reason is on the standard error stream).
SceneImage* qeSceneImageLoad(const char* name);
SceneImage* qeSceneImageLoadBuffer(const void* data, size_t size);
// Loads from an open memory file, which the image then owns (closed on failure too).
SceneImage* qeSceneImageLoadFile(SceneMemoryFile* file);
void qeSceneImageFree(SceneImage* image);

// The chunk callback of the loader (user: the loader's walk state).
int qeSceneImageOnChunk(SceneMemoryFile* file, int depth, uint32_t parentId, uint32_t id, uint32_t bodyOffset,
                        uint32_t bodyLength, void* user);

#endif
