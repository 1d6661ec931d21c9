#include "camera_animator.h"

#include <gtest/gtest.h>

#include "shell_fixtures.h"

namespace {

// A cursor that stays where the test puts it.
struct FakeCursor : irr::gui::ICursorControl {
    irr::core::vector2df relative{0.5f, 0.5f};
    irr::core::position2di absolute{320, 240};
    int recentred = 0;
    void setVisible(bool) override {}
    bool isVisible() const override { return true; }
    void setPosition(const irr::core::position2d<irr::f32>& p) override { setPosition(p.X, p.Y); }
    void setPosition(irr::f32 x, irr::f32 y) override {
        relative.set(x, y);
        if (x == 0.5f && y == 0.5f) ++recentred;
    }
    void setPosition(const irr::core::position2d<irr::s32>& p) override { absolute = p; }
    void setPosition(irr::s32 x, irr::s32 y) override { absolute.set(x, y); }
    const irr::core::position2d<irr::s32>& getPosition() override { return absolute; }
    irr::core::position2d<irr::f32> getRelativePosition() override { return relative; }
    void setReferenceRect(irr::core::rect<irr::s32>*) override {}
};

using qetest::keyEvent;
using qetest::mouseEvent;

// The null device with one camera carrying the animator, driven with explicit times.
struct Animator : testing::Test {
    irr::IrrlichtDevice* device = irr::createDevice(irr::video::EDT_NULL);
    irr::scene::ICameraSceneNode* camera = device->getSceneManager()->addCameraSceneNode();
    FakeCursor* cursor = new FakeCursor;
    CSceneNodeAnimatorCameraQIRN* animator =
        new CSceneNodeAnimatorCameraQIRN(device, cursor, 100.0f, 0.01f, 0.0f, nullptr, 0, false, false);

    Animator() { camera->addAnimator(animator); }
    ~Animator() override {
        animator->drop();
        cursor->drop();
        device->drop();
    }
    // Free flight from the origin looking along +z.
    void startFlight(int mode, irr::u32 t) {
        animator->setPosition(0.0f, 0.0f, 0.0f);
        animator->setRotation(0.0f, 0.0f, 0.0f);
        animator->setMode(2);
        camera->OnAnimate(t);
        animator->setMode(mode);
        camera->OnAnimate(t);
    }
    void press(irr::EKEY_CODE code, bool down = true) { EXPECT_TRUE(animator->OnEvent(keyEvent(code, down))); }
    irr::core::vector3df rotation() {
        return (camera->getTarget() - camera->getAbsolutePosition()).getHorizontalAngle();
    }
};

TEST_F(Animator, KeyMapsDecideWhatIsConsumedAndClonesKeepThem) {
    // The default map: arrows and right control, the mouse's moves and left button; nothing else.
    EXPECT_TRUE(animator->OnEvent(keyEvent(irr::KEY_RCONTROL, true)));
    EXPECT_FALSE(animator->OnEvent(keyEvent(irr::KEY_KEY_J, true)));
    EXPECT_FALSE(animator->OnEvent(mouseEvent(irr::EMIE_RMOUSE_PRESSED_DOWN)));

    // A new map replaces the old one and skips unknown actions; a clone starts idle with the same map.
    const SCamKeyMap map[] = {{5, irr::KEY_KEY_A}, {0, irr::KEY_KEY_W}, {-1, irr::KEY_KEY_S}};
    animator->setKeyMap(map, 3);
    animator->setMode(3);
    irr::scene::ISceneNodeAnimator* cloned = animator->createClone(camera);
    CSceneNodeAnimatorCameraQIRN* clone = static_cast<CSceneNodeAnimatorCameraQIRN*>(cloned);
    for (CSceneNodeAnimatorCameraQIRN* a : {animator, clone}) {
        EXPECT_FALSE(a->OnEvent(keyEvent(irr::KEY_KEY_A, true)));
        EXPECT_TRUE(a->OnEvent(keyEvent(irr::KEY_KEY_W, true)));
        EXPECT_FALSE(a->OnEvent(keyEvent(irr::KEY_UP, true)));
    }
    EXPECT_EQ(0, clone->getMode());
    cloned->drop();
}

TEST_F(Animator, PlacementModes) {
    animator->setPosition(1.0f, 2.0f, 3.0f);
    animator->setRotation(0.0f, 90.0f, 0.0f);
    camera->OnAnimate(10);  // mode 0 does nothing
    EXPECT_EQ(irr::core::vector3df(0, 0, 0), camera->getPosition());
    animator->setMode(2);
    camera->OnAnimate(30);
    EXPECT_EQ(irr::core::vector3df(1, 2, 3), camera->getPosition());
    EXPECT_TRUE(camera->getTarget().equals(irr::core::vector3df(2, 2, 3), 1e-4f));
    // Roll turns the up vector away from +y and leaves the view direction.
    animator->setRotation(0.0f, 0.0f, 90.0f);
    camera->OnAnimate(40);
    EXPECT_TRUE(camera->getTarget().equals(irr::core::vector3df(1, 2, 4), 1e-4f));
    EXPECT_NEAR(0.0f, camera->getUpVector().Y, 1e-4f);

    // Switching to free flight applies the stored placement once.
    animator->setPosition(5.0f, 6.0f, 7.0f);
    animator->setMode(4);
    camera->OnAnimate(1000);
    animator->setPosition(50.0f, 60.0f, 70.0f);
    camera->OnAnimate(1016);
    EXPECT_EQ(irr::core::vector3df(5, 6, 7), camera->getPosition()) << "the stored position waits for the next switch";
    irr::scene::ISceneNode* empty = device->getSceneManager()->addEmptySceneNode();
    animator->animateNode(empty, 1032);  // other node types are left alone
    EXPECT_EQ(irr::core::vector3df(0, 0, 0), empty->getPosition());
}

TEST_F(Animator, MovementRampsUpOverTheAccelerationTime) {
    startFlight(4, 1000);
    press(irr::KEY_UP);
    camera->OnAnimate(1000);  // movement starts now; no time has passed
    // 50 ms in: k = 3, no carried velocity, ramp 0.5: 50 * 0.01 * 0.15 * 0.5.
    camera->OnAnimate(1050);
    EXPECT_NEAR(0.0375f, camera->getPosition().Z, 1e-5f);
    // 100 ms in: full ramp, plus the previous velocity kept at 0.85 per 60-Hz frame.
    camera->OnAnimate(1100);
    EXPECT_NEAR(0.0375f + 0.0375f * 0.85f + 0.075f, camera->getPosition().Z, 1e-5f);
    // A frame of 5 ms (k = 0.3) ignores the previous velocity: only its own step counts.
    const float before = camera->getPosition().Z;
    camera->OnAnimate(1105);
    EXPECT_NEAR(before + 5 * 0.01f * 0.15f, camera->getPosition().Z, 1e-5f);
    // Releasing the key lets the camera coast, slowing down.
    press(irr::KEY_UP, false);
    const float atRelease = camera->getPosition().Z;
    camera->OnAnimate(1155);
    EXPECT_NEAR(0.0075f * 0.85f, camera->getPosition().Z - atRelease, 1e-5f);
}

TEST_F(Animator, PitchIsLimitedTo88DegreesEitherWay) {
    animator->setRotateSpeed(1000.0f);
    startFlight(3, 1000);
    ASSERT_NEAR(0.0f, rotation().X, 1e-3f);

    // Cursor offset 1/3 below centre: D.x = 333.3, times (1 - 0.7) = a pitch of 100.
    cursor->relative.set(0.5f, 0.5f + 1.0f / 3.0f);
    animator->OnEvent(mouseEvent(irr::EMIE_MOUSE_MOVED));
    camera->OnAnimate(1005);
    EXPECT_NEAR(88.0f, rotation().X, 1e-2f);
    EXPECT_EQ(irr::core::vector2df(0.5f, 0.5f), cursor->relative) << "the cursor goes back to the centre";

    // From 0 again: a pitch of 200 becomes 272 (88 above the horizon).
    startFlight(3, 2000);
    cursor->relative.set(0.5f, 0.5f + 2.0f / 3.0f);
    animator->OnEvent(mouseEvent(irr::EMIE_MOUSE_MOVED));
    camera->OnAnimate(2005);
    EXPECT_NEAR(272.0f, rotation().X, 1e-2f);
}

TEST_F(Animator, DragLookTurnsOnlyWhileTheLeftButtonIsHeld) {
    startFlight(4, 1000);
    const int recentredAtStart = cursor->recentred;
    cursor->relative.set(0.9f, 0.2f);  // without the button the view stays put
    animator->OnEvent(mouseEvent(irr::EMIE_MOUSE_MOVED));
    camera->OnAnimate(1100);
    EXPECT_NEAR(0.0f, rotation().Y, 1e-3f);
    // Pressing the button anchors the drag; moving then turns by the motion since the anchor.
    animator->OnEvent(mouseEvent(irr::EMIE_LMOUSE_PRESSED_DOWN));
    camera->OnAnimate(1103);
    cursor->relative.set(1.0f, 0.2f);  // 0.1 to the right: yaw D.y = 10
    animator->OnEvent(mouseEvent(irr::EMIE_MOUSE_MOVED));
    camera->OnAnimate(1106);
    EXPECT_NEAR(3.0f, rotation().Y, 1e-3f);
    EXPECT_EQ(recentredAtStart, cursor->recentred) << "drag look never recentres the cursor";
}

}  // namespace
