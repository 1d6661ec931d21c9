#ifndef QIRN_API_CAMERA_EFFECTS_H
#define QIRN_API_CAMERA_EFFECTS_H

#include <cstdint>

struct ShaderObject;
struct ShaderValuesRecord;
namespace irr { namespace video { class ITexture; } }

enum { QE_CAMERA_EFFECT_SLOTS = 10 };

// A full-screen post shader under its ID with the textures its header declares. The camera-effect table
// of the engine record points to it; the module creates and frees it.
struct CameraEffectEntry {
    ShaderObject* shader;  // owned
    int32_t hasTextures;
    irr::video::ITexture* texture[QE_CAMERA_EFFECT_SLOTS];  // null for undeclared, preset or missing
    int32_t preset[QE_CAMERA_EFFECT_SLOTS];  // the post-processing chain binds one of its own textures
    int32_t repeat[QE_CAMERA_EFFECT_SLOTS];
    int32_t mipMaps[QE_CAMERA_EFFECT_SLOTS];
    int32_t filterPoint[QE_CAMERA_EFFECT_SLOTS];
    int32_t enabled;  // in the enabled list
};

// Commands.
void qeIrrlichtMakeCameraEffectFromFile(int id, const char* file);
int qeIrrlichtCameraEffectExist(int id);
void qeIrrlichtDeleteCameraEffect(int id);
void qeIrrlichtShowCameraEffect(int id);
void qeIrrlichtHideCameraEffect(int id);

// Scene slots and the demo sequencer: the effect's time (the scene time) and its literal parameters.
void qeIrrlichtCameraEffectSetParams(int id, const ShaderValuesRecord* record);

// The post-processing chain: the enabled effects in the order they were shown.
int qeIrrlichtGetEnabledCameraEffectCount();
int GetEnabled(int index);  // the ID at that place, or -1
ShaderObject* qeIrrlichtGetCameraEffectShader(int id);
int qeIrrlichtCameraEffectHasTextures(int id);
// Slots 0 to 9.
irr::video::ITexture* qeIrrlichtGetCameraEffectTexture(int id, int slot);
int qeIrrlichtCameraEffectSlotPreset(int id, int slot);
int qeIrrlichtCameraEffectSlotRepeat(int id, int slot);
int qeIrrlichtCameraEffectSlotFilterPoint(int id, int slot);
const char* qeIrrlichtGetCameraEffectTextureName(int id, int slot);

// Engine stop: frees every effect and the enabled list.
void qeIrrlichtCameraEffectsReset();

#endif
