#ifndef QIRN_API_CAMERA_ANIMATOR_H
#define QIRN_API_CAMERA_ANIMATOR_H

#include <irrlicht.h>

// The free-camera animator of the one camera node.
//
// Modes: 0 idle; 1 places the camera at the stored position and rotation; 2 places it at the stored
// position looking along the stored rotation; 3 free flight with centred mouse look; 4 free flight
// looking around while the left button drags. Free flight smooths rotation and movement per 60-Hz frame
// and ramps movement up over the acceleration time after a movement key is pressed.

// A key-map entry: action 0 forward, 1 backward, 2 strafe left, 3 strafe right, 4 jump; the engine's
// key code.
struct SCamKeyMap {
    irr::s32 action;
    irr::s32 keyCode;
};

enum {
    QE_CAMERA_ACTION_FORWARD = 0,
    QE_CAMERA_ACTION_BACKWARD = 1,
    QE_CAMERA_ACTION_STRAFE_LEFT = 2,
    QE_CAMERA_ACTION_STRAFE_RIGHT = 3,
    QE_CAMERA_ACTION_JUMP = 4,
    QE_CAMERA_ACTION_COUNT = 5,
};

// Animator type of the free camera.
const irr::scene::ESCENE_NODE_ANIMATOR_TYPE QE_ANIMATOR_CAMERA_QIRN =
    static_cast<irr::scene::ESCENE_NODE_ANIMATOR_TYPE>(10001);

class ISceneNodeAnimatorCameraQIRN : public irr::scene::ISceneNodeAnimator {
public:
    virtual irr::f32 getMoveSpeed() const = 0;
    virtual void setMoveSpeed(irr::f32 speed) = 0;
    virtual irr::f32 getRotateSpeed() const = 0;
    virtual void setRotateSpeed(irr::f32 speed) = 0;
    virtual irr::f32 getJumpSpeed() const = 0;
    virtual void setJumpSpeed(irr::f32 speed) = 0;
    virtual void setKeyMap(const SCamKeyMap* map, irr::u32 count) = 0;
    virtual void setVerticalMovement(bool allow) = 0;
    virtual void setInvertMouse(bool invert) = 0;
    virtual void setMode(irr::s32 mode) = 0;
    virtual irr::s32 getMode() const = 0;
    virtual void setPosition(irr::f32 x, irr::f32 y, irr::f32 z) = 0;
    virtual void setRotation(irr::f32 x, irr::f32 y, irr::f32 z) = 0;
};

class CSceneNodeAnimatorCameraQIRN : public ISceneNodeAnimatorCameraQIRN {
public:
    CSceneNodeAnimatorCameraQIRN(irr::IrrlichtDevice* device, irr::gui::ICursorControl* cursorControl,
                                 irr::f32 rotateSpeed = 100.0f, irr::f32 moveSpeed = 0.01f, irr::f32 jumpSpeed = 0.0f,
                                 const SCamKeyMap* keyMap = nullptr, irr::u32 keyMapSize = 0,
                                 bool noVerticalMovement = false, bool invertY = false);
    ~CSceneNodeAnimatorCameraQIRN() override;

    void serializeAttributes(irr::io::IAttributes*, irr::io::SAttributeReadWriteOptions*) const override {}
    void deserializeAttributes(irr::io::IAttributes*, irr::io::SAttributeReadWriteOptions*) override {}
    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    bool isEventReceiverEnabled() const override { return true; }
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override { return QE_ANIMATOR_CAMERA_QIRN; }
    bool hasFinished() const override { return false; }

    irr::f32 getMoveSpeed() const override { return moveSpeed_; }
    void setMoveSpeed(irr::f32 speed) override { moveSpeed_ = speed; }
    irr::f32 getRotateSpeed() const override { return rotateSpeed_; }
    void setRotateSpeed(irr::f32 speed) override { rotateSpeed_ = speed; }
    irr::f32 getJumpSpeed() const override { return jumpSpeed_; }
    void setJumpSpeed(irr::f32 speed) override { jumpSpeed_ = speed; }
    void setKeyMap(const SCamKeyMap* map, irr::u32 count) override;
    void setVerticalMovement(bool allow) override { noVerticalMovement_ = !allow; }
    void setInvertMouse(bool invert) override { mouseYDirection_ = invert ? -1.0f : 1.0f; }
    void setMode(irr::s32 mode) override;
    irr::s32 getMode() const override { return mode_; }
    void setPosition(irr::f32 x, irr::f32 y, irr::f32 z) override { storedPosition_.set(x, y, z); }
    void setRotation(irr::f32 x, irr::f32 y, irr::f32 z) override { storedRotation_.set(x, y, z); }

    bool OnEvent(const irr::SEvent& event) override;

private:
    void allKeysUp();
    void recentreCursor();
    void freeFlight(irr::scene::ICameraSceneNode* camera, irr::u32 timeMs);

    irr::IrrlichtDevice* device_;
    irr::gui::ICursorControl* cursorControl_;
    irr::f32 maxVerticalAngle_;
    irr::f32 moveSpeed_;
    irr::f32 rotateSpeed_;
    irr::f32 jumpSpeed_;
    irr::f32 mouseYDirection_;
    irr::u32 lastAnimationTime_;
    irr::core::array<SCamKeyMap> keyMap_;
    irr::core::vector2df centerCursor_;
    irr::core::vector2df cursorPos_;
    bool keyFlags_[6];
    bool leftButtonHeld_;
    bool firstUpdate_;
    bool noVerticalMovement_;
    irr::s32 mode_;
    bool windowWasInactive_;
    bool placementPending_;
    bool dragTracking_;
    irr::f32 movementSmoothing_;
    irr::f32 rotationSmoothing_;
    irr::u32 movementStartTime_;
    bool movementHeld_;
    irr::u32 accelerationTime_;
    irr::core::vector3df movementVelocity_;
    irr::core::vector3df rotationVelocity_;
    irr::core::vector3df storedRotation_;
    irr::core::vector3df storedPosition_;
};

#endif
