#ifndef QIRN_API_LIGHTS_H
#define QIRN_API_LIGHTS_H

#include <cstdint>

namespace irr { namespace scene { class ILightSceneNode; } }

// One light under its ID: the engine's light node with the raw colour and intensity its diffuse colour
// comes from, and the shadow settings the light pass reads. The light table of the engine record points
// to it; the module creates and frees it.
struct LightEntry {
    irr::scene::ILightSceneNode* node;
    uint8_t visible;  // 1 while in the visible-light list
    float raw[3];     // colour before intensity
    float intensity;
    int32_t shadowOn;
    float shadowColor[3];
    int32_t shadowMapSize;
    float shadowFuzz;
    LightEntry* prev;  // visible-light list
    LightEntry* next;
};

// Commands.
void qeIrrlichtMakeLight(int id);
int qeIrrlichtLightExist(int id);
int qeIrrlichtLightVisible(int id);
void qeIrrlichtShowLight(int id);
void qeIrrlichtHideLight(int id);
void qeIrrlichtDeleteLight(int id);
void qeIrrlichtSetPointLight(int id, float x, float y, float z);
void qeIrrlichtSetSpotLight(int id, float inner, float outer);
void qeIrrlichtSetDirectionalLight(int id, float x, float y, float z);
void qeIrrlichtPositionLight(int id, float x, float y, float z);
void qeIrrlichtRotateLight(int id, float x, float y, float z);
void qeIrrlichtSetLightRange(int id, float range);
void qeIrrlichtColorLight(int id, uint32_t rgb);
void qeIrrlichtSetLightRawColor(int id, float r, float g, float b);
void qeIrrlichtSetLightIntensity(int id, float intensity);
void qeIrrlichtColorAmbientLight(uint32_t rgb);
void qeIrrlichtSetLightShadow(int id, int on);
void qeIrrlichtColorLightShadow(int id, uint32_t rgb);
void qeIrrlichtSetShadowMapSize(int id, int size);
void qeIrrlichtSetShadowMapFuzz(int id, float fuzz);

// For the renderer, without messages: the visible light n (from 0) and the values of the light with an ID
// (0, or null, when there is none). qeIrrlichtGetVisibleLight is declared in lookups.h.
float qeIrrlichtGetLightIntensity(int id);
int qeIrrlichtGetLightShadow(int id);
float qeIrrlichtGetLightShadowFuzz(int id);
const float* qeIrrlichtGetLightShadowColor(int id);
int qeIrrlichtGetLightShadowMapSize(int id);

// A channel value as the engine's float-to-byte colour conversion leaves it: times 255, truncated, the
// low 8 bits kept (2.0 gives 254/255), back to 0..1.
float qeIrrlichtLightColourByte(float value);

// Engine stop: frees every light entry and empties the visible-light list (the nodes go with the scene).
void qeIrrlichtLightsReset();

#endif
