#ifndef QIRN_SHELL_ENGINE_CONTEXT_H
#define QIRN_SHELL_ENGINE_CONTEXT_H

#include <cstdint>

#include "idtable.h"

namespace irr {
class IrrlichtDevice;
namespace video { class IVideoDriver; }
namespace scene { class ISceneManager; class ICameraSceneNode; }
namespace gui { class IGUIEnvironment; class IGUIFont; class IGUIInOutFader; }
}  // namespace irr

class CSceneNodeAnimatorCameraQIRN;

// Post-processing values: written by the camera commands and the scene slots every frame, read by the
// renderer. Switches are i32 (0 off), values f32; every field is four bytes and they keep this order.
struct RenderSettings {
    int32_t glowOn;
    float glowIntensity;
    float glowRadius;

    int32_t dofOn;
    float dofFocalDistance;
    float dofFStop;

    int32_t advancedDofOn;
    float advancedDofMinFocus;
    float advancedDofMaxFocus;
    float advancedDofRadiusScale;

    int32_t streakOn;
    float streakGlowMin;
    float streakKeyRed;
    float streakKeyGreen;
    float streakKeyBlue;
    float streakKeyMatch;
    float streakColorRed;
    float streakColorGreen;
    float streakColorBlue;
    float streakAttenuation;
    float streakAngle;  // degrees
    float streakCompose;

    int32_t bloomOn;
    float bloomSpecularMin;
    float bloomCompose;

    int32_t ssaoOn;
    float ssaoReach;
    float ssaoMaxDepthDecline;
    float ssaoDepthEpsilon;
    float ssaoMultiplier;

    int32_t shadowOn;
    float shadowEpsilon;

    int32_t stereoCameraOn;
    float stereoEyeSeparation;
    int32_t stereoFocusOn;
    float stereoFocusDistance;
};

// Stereo modes as the setup offers them.
enum {
    QE_STEREO_OFF = 0,
    QE_STEREO_3DVISION = 1,
    QE_STEREO_ANAGLYPH_GRAY = 3,
    QE_STEREO_ANAGLYPH_COLOR = 4,
    QE_STEREO_ANAGLYPH_HALF_COLOR = 5,
};

// The one engine record of the process: 57 four-byte fields on the 32-bit target, in this order.
// Engine start clears and fills it; engine stop leaves the last values in place.
struct EngineContext {
    int32_t ready;  // 1 once device creation completed every step
    irr::IrrlichtDevice* device;
    irr::video::IVideoDriver* driver;
    irr::scene::ISceneManager* smgr;
    irr::gui::IGUIEnvironment* gui;
    irr::gui::IGUIFont* font;
    irr::gui::IGUIInOutFader* fader;  // current screen fader, owned by the fade commands
    irr::scene::ICameraSceneNode* camera;
    CSceneNodeAnimatorCameraQIRN* cameraAnimator;
    int32_t width;   // the frame's size: the window's, followed after a size change resets the device
    int32_t height;
    int32_t bits;
    uint8_t antialias;  // MLAA pass switch
    int32_t stereoMode;
    uint8_t lightPrePass;
    RenderSettings render;
    IdTable* images;         // 1000
    IdTable* objects;        // 1000
    IdTable* lights;         // 1000
    IdTable* fxEmitters;     // 1000
    IdTable* cameraEffects;  // 200
    IdTable* effects;        // 1000
};

// Capacities of the entity tables.
enum {
    QE_MAX_IMAGES = 1000,
    QE_MAX_OBJECTS = 1000,
    QE_MAX_LIGHTS = 1000,
    QE_MAX_FX_EMITTERS = 1000,
    QE_MAX_CAMERA_EFFECTS = 200,
    QE_MAX_EFFECTS = 1000,
    QE_MAX_MUSICS = 50,
    QE_MAX_FILE_WATCHES = 100,
};

// The address of the one record; valid for the whole process.
EngineContext* qeIrrlichtGetContext();

#endif
