#include "camera_animator.h"

using irr::f32;
using irr::u32;
using irr::core::vector2df;
using irr::core::vector3df;

namespace {
const f32 SIXTY_HZ_FRAME_SECONDS = 0.016666668f;
}

CSceneNodeAnimatorCameraQIRN::CSceneNodeAnimatorCameraQIRN(irr::IrrlichtDevice* device,
                                                           irr::gui::ICursorControl* cursorControl, f32 rotateSpeed,
                                                           f32 moveSpeed, f32 jumpSpeed, const SCamKeyMap* keyMap,
                                                           u32 keyMapSize, bool noVerticalMovement, bool invertY)
    : device_(device),
      cursorControl_(cursorControl),
      maxVerticalAngle_(88.0f),
      moveSpeed_(moveSpeed),
      rotateSpeed_(rotateSpeed),
      jumpSpeed_(jumpSpeed),
      mouseYDirection_(invertY ? -1.0f : 1.0f),
      lastAnimationTime_(0),
      centerCursor_(0.0f, 0.0f),
      cursorPos_(0.0f, 0.0f),
      leftButtonHeld_(false),
      firstUpdate_(true),
      noVerticalMovement_(noVerticalMovement),
      mode_(0),
      windowWasInactive_(false),
      placementPending_(false),
      dragTracking_(false),
      movementSmoothing_(0.85f),
      rotationSmoothing_(0.7f),
      movementStartTime_(0),
      movementHeld_(false),
      accelerationTime_(100),
      movementVelocity_(0.0f, 0.0f, 0.0f),
      rotationVelocity_(0.0f, 0.0f, 0.0f),
      storedRotation_(0.0f, 0.0f, 0.0f),
      storedPosition_(0.0f, 0.0f, 0.0f) {
    if (cursorControl_) cursorControl_->grab();
    allKeysUp();
    if (keyMap && keyMapSize) {
        setKeyMap(keyMap, keyMapSize);
    } else {
        const SCamKeyMap defaults[] = {
            {QE_CAMERA_ACTION_FORWARD, irr::KEY_UP},
            {QE_CAMERA_ACTION_BACKWARD, irr::KEY_DOWN},
            {QE_CAMERA_ACTION_STRAFE_LEFT, irr::KEY_LEFT},
            {QE_CAMERA_ACTION_STRAFE_RIGHT, irr::KEY_RIGHT},
            {QE_CAMERA_ACTION_JUMP, irr::KEY_RCONTROL},
        };
        setKeyMap(defaults, sizeof(defaults) / sizeof(defaults[0]));
    }
}

CSceneNodeAnimatorCameraQIRN::~CSceneNodeAnimatorCameraQIRN() {
    if (cursorControl_) cursorControl_->drop();
}

void CSceneNodeAnimatorCameraQIRN::allKeysUp() {
    for (bool& flag : keyFlags_) flag = false;
}

void CSceneNodeAnimatorCameraQIRN::setKeyMap(const SCamKeyMap* map, u32 count) {
    keyMap_.clear();
    if (!map) return;
    for (u32 i = 0; i < count; ++i)
        if (map[i].action >= 0 && map[i].action < QE_CAMERA_ACTION_COUNT) keyMap_.push_back(map[i]);
}

void CSceneNodeAnimatorCameraQIRN::setMode(irr::s32 mode) {
    mode_ = mode;
    if (mode == 3 || mode == 4) placementPending_ = true;
}

bool CSceneNodeAnimatorCameraQIRN::OnEvent(const irr::SEvent& event) {
    switch (event.EventType) {
    case irr::EET_MOUSE_INPUT_EVENT:
        switch (event.MouseInput.Event) {
        case irr::EMIE_LMOUSE_PRESSED_DOWN:
            leftButtonHeld_ = true;
            return true;
        case irr::EMIE_LMOUSE_LEFT_UP:
            leftButtonHeld_ = false;
            return true;
        case irr::EMIE_MOUSE_MOVED:
            if (cursorControl_) cursorPos_ = cursorControl_->getRelativePosition();
            return true;
        default:
            break;
        }
        break;
    case irr::EET_KEY_INPUT_EVENT:
        for (u32 i = 0; i < keyMap_.size(); ++i) {
            if (keyMap_[i].keyCode == static_cast<irr::s32>(event.KeyInput.Key)) {
                keyFlags_[keyMap_[i].action] = event.KeyInput.PressedDown;
                return true;
            }
        }
        break;
    default:
        break;
    }
    return false;
}

irr::scene::ISceneNodeAnimator* CSceneNodeAnimatorCameraQIRN::createClone(irr::scene::ISceneNode*,
                                                                          irr::scene::ISceneManager*) {
    CSceneNodeAnimatorCameraQIRN* clone = new CSceneNodeAnimatorCameraQIRN(
        device_, cursorControl_, rotateSpeed_, moveSpeed_, jumpSpeed_, nullptr, 0, noVerticalMovement_, false);
    clone->keyMap_ = keyMap_;
    return clone;
}

void CSceneNodeAnimatorCameraQIRN::animateNode(irr::scene::ISceneNode* node, u32 timeMs) {
    if (!node || node->getType() != irr::scene::ESNT_CAMERA) return;
    irr::scene::ICameraSceneNode* camera = static_cast<irr::scene::ICameraSceneNode*>(node);

    switch (mode_) {
    case 1:
        camera->setPosition(storedPosition_);
        camera->setRotation(storedRotation_);
        break;
    case 2: {
        irr::core::matrix4 m;
        m.setRotationDegrees(storedRotation_);
        vector3df up(0.0f, 1.0f, 0.0f);
        vector3df forward(0.0f, 0.0f, 1.0f);
        m.rotateVect(up);
        m.rotateVect(forward);
        camera->setPosition(storedPosition_);
        camera->setUpVector(up);
        camera->setTarget(storedPosition_ + forward);
        break;
    }
    case 3:
    case 4:
        freeFlight(camera, timeMs);
        break;
    default:
        break;
    }
}

// Puts the cursor back to the window centre and takes that as where it rests.
void CSceneNodeAnimatorCameraQIRN::recentreCursor() {
    cursorControl_->setPosition(0.5f, 0.5f);
    centerCursor_ = cursorControl_->getRelativePosition();
    cursorPos_ = centerCursor_;
}

void CSceneNodeAnimatorCameraQIRN::freeFlight(irr::scene::ICameraSceneNode* camera, u32 timeMs) {
    if (placementPending_) {
        camera->setUpVector(vector3df(0.0f, 1.0f, 0.0f));
        camera->setPosition(storedPosition_);
        camera->setRotation(storedRotation_);
        placementPending_ = false;
    }

    if (firstUpdate_) {
        camera->updateAbsolutePosition();
        if (cursorControl_) {
            if (mode_ == 3) cursorControl_->setPosition(0.5f, 0.5f);
            centerCursor_ = cursorPos_ = cursorControl_->getRelativePosition();
        }
        lastAnimationTime_ = timeMs;
        firstUpdate_ = false;
    }

    const bool active = !device_ || device_->isWindowActive();
    if (!active) {
        windowWasInactive_ = true;
        allKeysUp();
        leftButtonHeld_ = false;
        if (mode_ == 3) return;
    } else if (windowWasInactive_) {
        if (cursorControl_) centerCursor_ = cursorPos_ = cursorControl_->getRelativePosition();
        windowWasInactive_ = false;
    }

    if (!camera->isInputReceiverEnabled()) return;
    irr::scene::ISceneManager* smgr = camera->getSceneManager();
    if (smgr && smgr->getActiveCamera() != camera) return;

    const f32 dt = static_cast<f32>(timeMs - lastAnimationTime_);
    lastAnimationTime_ = timeMs;
    const bool moving = keyFlags_[QE_CAMERA_ACTION_FORWARD] || keyFlags_[QE_CAMERA_ACTION_BACKWARD] ||
                        keyFlags_[QE_CAMERA_ACTION_STRAFE_LEFT] || keyFlags_[QE_CAMERA_ACTION_STRAFE_RIGHT];
    if (moving && !movementHeld_) movementStartTime_ = timeMs;
    movementHeld_ = moving;

    vector3df pos = camera->getPosition();
    vector3df rotation = (camera->getTarget() - camera->getAbsolutePosition()).getHorizontalAngle();

    // Rotation asked by the mouse this frame: x pitch, y yaw.
    vector3df delta(0.0f, 0.0f, 0.0f);
    if (cursorControl_) {
        if (mode_ == 3) {
            if (cursorPos_ != centerCursor_) {
                delta.Y = -(0.5f - cursorPos_.X) * rotateSpeed_;
                delta.X = -(0.5f - cursorPos_.Y) * rotateSpeed_ * mouseYDirection_;
                recentreCursor();
            }
            // The cursor may have left the window before a move event came in.
            if (smgr && smgr->getVideoDriver()) {
                const irr::core::dimension2du size = smgr->getVideoDriver()->getScreenSize();
                const irr::core::position2di at = cursorControl_->getPosition();
                const irr::core::recti screen(0, 0, static_cast<irr::s32>(size.Width), static_cast<irr::s32>(size.Height));
                if (!screen.isPointInside(at)) recentreCursor();
            }
        } else {
            if (leftButtonHeld_ && !dragTracking_) {
                centerCursor_ = cursorPos_;
                dragTracking_ = true;
            } else if (leftButtonHeld_ || dragTracking_) {
                if (!leftButtonHeld_) dragTracking_ = false;
                delta.X = -(centerCursor_.Y - cursorPos_.Y) * rotateSpeed_;
                delta.Y = -(centerCursor_.X - cursorPos_.X) * rotateSpeed_ * mouseYDirection_;
                centerCursor_ = cursorPos_;
            }
        }
    }

    // Number of 60-Hz frames this call covers; velocities carry over only across whole-ish frames.
    const f32 frames = dt / 1000.0f / SIXTY_HZ_FRAME_SECONDS;

    if (frames <= 0.5f)
        rotationVelocity_.set(0.0f, 0.0f, 0.0f);
    else
        rotationVelocity_ *= rotationSmoothing_ / frames;
    delta += rotationVelocity_ * frames;
    rotationVelocity_ = delta;
    rotation.X += delta.X * (1.0f - rotationSmoothing_);
    rotation.Y += delta.Y * (1.0f - rotationSmoothing_);

    const f32 a = maxVerticalAngle_;
    if (rotation.X > a * 2.0f && rotation.X < 360.0f - a)
        rotation.X = 360.0f - a;
    else if (rotation.X > a && rotation.X < 360.0f - a)
        rotation.X = a;

    const f32 reach = irr::core::max_(1.0f, pos.getLength());
    vector3df target(0.0f, 0.0f, reach);
    irr::core::matrix4 m;
    m.setRotationDegrees(vector3df(rotation.X, rotation.Y, 0.0f));
    m.transformVect(target);
    vector3df moveDir = target;
    if (noVerticalMovement_) {
        moveDir.set(0.0f, 0.0f, reach);
        m.setRotationDegrees(vector3df(0.0f, rotation.Y, 0.0f));
        m.transformVect(moveDir);
    }
    moveDir.normalize();

    if (frames <= 0.5f)
        movementVelocity_.set(0.0f, 0.0f, 0.0f);
    else
        movementVelocity_ *= movementSmoothing_ / frames;
    vector3df velocity = movementVelocity_ * frames;
    f32 ramp = 1.0f;
    if (accelerationTime_ != 0)
        ramp = irr::core::min_(1.0f, static_cast<f32>(timeMs - movementStartTime_) / static_cast<f32>(accelerationTime_));
    const f32 step = (1.0f - movementSmoothing_) * ramp;

    if (keyFlags_[QE_CAMERA_ACTION_FORWARD]) velocity += moveDir * dt * moveSpeed_ * step;
    if (keyFlags_[QE_CAMERA_ACTION_BACKWARD]) velocity -= moveDir * dt * moveSpeed_ * step;

    vector3df strafe = target.crossProduct(camera->getUpVector());
    if (noVerticalMovement_) strafe.Y = 0.0f;
    strafe.normalize();
    if (keyFlags_[QE_CAMERA_ACTION_STRAFE_LEFT]) velocity += strafe * dt * moveSpeed_ * step;
    if (keyFlags_[QE_CAMERA_ACTION_STRAFE_RIGHT]) velocity -= strafe * dt * moveSpeed_ * step;

    pos += velocity;
    movementVelocity_ = velocity;

    if (keyFlags_[QE_CAMERA_ACTION_JUMP]) {
        const irr::scene::ISceneNodeAnimatorList& animators = camera->getAnimators();
        for (irr::scene::ISceneNodeAnimatorList::ConstIterator it = animators.begin(); it != animators.end(); ++it) {
            if ((*it)->getType() != irr::scene::ESNAT_COLLISION_RESPONSE) continue;
            irr::scene::ISceneNodeAnimatorCollisionResponse* response =
                static_cast<irr::scene::ISceneNodeAnimatorCollisionResponse*>(*it);
            if (!response->isFalling()) response->jump(jumpSpeed_);
        }
    }

    camera->setPosition(pos);
    camera->setTarget(pos + target);
}
