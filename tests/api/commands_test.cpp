// The 2D drawing, text, image and joystick commands on an engine record filled by hand with the null
// device (no window, no render targets).
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <string>

#include "draw2d.h"
#include "engine.h"
#include "engine_context.h"
#include "event_receiver.h"
#include "idtable.h"
#include "images.h"
#include "joystick.h"
#include "log.h"
#include "overlay.h"
#include "shell_fixtures.h"
#include "file_fixtures.h"
#include "sysfile.h"

using namespace irr;

namespace {

const std::string kMedia = QIRN_ENGINE_MEDIA;

std::string lastError(int* argIndex = nullptr) {
    const char* text = qeLogGetLastError(argIndex);
    std::string result = text ? text : "";
    qeLogClearLastError();
    return result;
}

const OverlayCommand& lastCommand() {
    const OverlayQueue* q = qeIrrlichtOverlayQueue();
    return q->commands[q->commandCount - 1];
}

struct Commands : testing::Test {
    EngineContext* ctx = qeIrrlichtGetContext();
    IrrlichtDevice* device = nullptr;

    Commands() {
        *ctx = EngineContext{};
        device = createDevice(video::EDT_NULL);
        device->setEventReceiver(qeIrrlichtGetEventReceiver());
        ctx->device = device;
        ctx->driver = device->getVideoDriver();
        ctx->smgr = device->getSceneManager();
        ctx->gui = device->getGUIEnvironment();
        ctx->font = ctx->gui->getBuiltInFont();
        ctx->images = qeIdTableCreate(QE_MAX_IMAGES);
        ctx->effects = qeIdTableCreate(QE_MAX_EFFECTS);
        ctx->ready = 1;
        qeIrrlichtOverlayClear();
        qeLogClearLastError();
    }
    ~Commands() override {
        // What engine stop does around dropping the device.
        qeIrrlichtRunModuleResets(QE_STOP_BEFORE_DROP);
        device->drop();
        qeIrrlichtRunModuleResets(QE_STOP_AFTER_DROP);
        qeIdTableDestroy(ctx->images);
        qeIdTableDestroy(ctx->effects);
        *ctx = EngineContext{};
        qeIrrlichtOverlayClear();
    }
};

TEST_F(Commands, BoxesLinesAndTextsQueueTheirColourWords) {
    qeIrrlichtInk(0x123456);
    qeIrrlichtInkAlpha(300);  // not clamped: 300 << 24 keeps 0x2C
    ASSERT_EQ(0, qeIrrlichtBox(1, 2, 3, 4));
    EXPECT_EQ(QE_OVERLAY_BOX, lastCommand().kind);
    EXPECT_EQ(0x2C123456u, static_cast<uint32_t>(lastCommand().p[4]));
    ASSERT_EQ(0, qeIrrlichtLine(5, 6, 7, 8));
    EXPECT_EQ(QE_OVERLAY_LINE, lastCommand().kind);
    EXPECT_EQ(0x2C123456u, static_cast<uint32_t>(lastCommand().p[4]));

    qeIrrlichtSetTextColor(0xAB00FF00);
    EXPECT_EQ(0x00FF00u, qeIrrlichtTextColor());
    qeIrrlichtSetTextAlpha(300);
    EXPECT_EQ(255u, qeIrrlichtTextAlpha());
    qeIrrlichtSetTextAlpha(-4);
    EXPECT_EQ(0u, qeIrrlichtTextAlpha());
    qeIrrlichtSetTextAlpha(0x80);
    ASSERT_EQ(0, qeIrrlichtText(10, 20, "%d%%", 42));
    EXPECT_EQ(0x8000FF00u, static_cast<uint32_t>(lastCommand().p[3]));
    EXPECT_EQ(0, lastCommand().p[0]) << "no font word while the default font is in use";
    EXPECT_STREQ("42%", qeIrrlichtOverlayQueue()->texts[0]);

    // 600 characters are cut at 511 without running past the buffers.
    const std::string longText(600, 'x');
    ASSERT_EQ(0, qeIrrlichtText(0, 0, "%s", longText.c_str()));
    EXPECT_EQ(511u, std::string(qeIrrlichtOverlayQueue()->texts[1]).size());
    EXPECT_EQ(511 * qeIrrlichtTextWidth("x"), qeIrrlichtTextWidth("%s", longText.c_str()));

    EXPECT_EQ(-1, qeIrrlichtBoxWithEffect(0, 0, 1, 1, 3));
    int arg = 0;
    EXPECT_EQ("Effect ID 3 does not exist. id 3 does not exist", lastError(&arg));
    EXPECT_EQ(5, arg);
    const int queued = qeIrrlichtOverlayQueue()->commandCount;
    EXPECT_EQ(4, queued) << "the effect box queues nothing";

    // The queue full: the caller hears it with no argument number.
    while (qeIrrlichtOverlayQueue()->commandCount < QE_OVERLAY_MAX_COMMANDS) qeIrrlichtOverlayAddBox(0, 0, 1, 1, 0);
    EXPECT_EQ(-1, qeIrrlichtBox(0, 0, 1, 1));
    EXPECT_EQ("too many 2D draws in one frame", lastError(&arg));
    EXPECT_EQ(-1, arg);
    EXPECT_EQ(-1, qeIrrlichtText(0, 0, "late"));
}

TEST_F(Commands, ColourPackingKeepsTheLowEightBitsOfEachChannel) {
    EXPECT_EQ(0x000102u, qeIrrlichtRGB(256, 1, 2));
    EXPECT_EQ(0xFF8001u, qeIrrlichtRGB(-1, 128, 0x301));
    EXPECT_EQ(0xFF7F00u, qeIrrlichtRGBf(1.0f, 0.5f, 0.0f));
    EXPECT_EQ(0xFE0000u, qeIrrlichtRGBf(2.0f, 0.0f, 0.0f));
    EXPECT_EQ(0x810000u, qeIrrlichtRGBf(-0.5f, 0.0f, 0.0f));
    EXPECT_EQ(0u, qeIrrlichtRGBf(1e30f, -1e30f, 0.0f / 0.0f)) << "out of range converts to 0x80000000";
}

TEST_F(Commands, TextFontComesFromTheGuiAndAFailedLoadKeepsTheCurrentOne) {
    EXPECT_EQ(nullptr, qeIrrlichtTextFont());
    const int defaultWidth = qeIrrlichtTextWidth("Qirn %d", 2);
    const int defaultHeight = qeIrrlichtTextHeight("Qirn");
    EXPECT_GT(defaultWidth, 0);
    EXPECT_GT(defaultHeight, 0);

    const std::string font = kMedia + "/fontcourier.bmp";
    ASSERT_EQ(0, qeIrrlichtSetTextFont(font.c_str()));
    EXPECT_EQ(font, qeIrrlichtTextFont());
    EXPECT_NE(defaultHeight, qeIrrlichtTextHeight("Qirn"));
    const int courierWidth = qeIrrlichtTextWidth("Qirn 2");
    EXPECT_NE(defaultWidth, courierWidth);
    ASSERT_EQ(0, qeIrrlichtText(0, 0, "font"));
    EXPECT_NE(0, lastCommand().p[0]) << "the text font goes with the text";

    int arg = 0;
    EXPECT_EQ(-1, qeIrrlichtSetTextFont("no-such-font.bmp"));
    EXPECT_EQ("The font 'no-such-font.bmp' cannot be loaded", lastError(&arg));
    EXPECT_EQ(1, arg);
    EXPECT_EQ(font, qeIrrlichtTextFont());
    EXPECT_EQ(courierWidth, qeIrrlichtTextWidth("Qirn 2"));

    EXPECT_EQ(0, qeIrrlichtSetTextFont(nullptr));
    EXPECT_EQ(nullptr, qeIrrlichtTextFont());
    EXPECT_EQ(defaultWidth, qeIrrlichtTextWidth("Qirn 2"));
}

// The GUI environment keeps its fonts by name: one font name in two folders is two fonts.
TEST_F(Commands, OneFontNameInTwoFoldersIsTwoFonts) {
    qetest::TempDir dir("fonts");
    dir.mkdir("fa");
    dir.mkdir("fb");
    ASSERT_TRUE(CopyFileA((kMedia + "/fontcourier.bmp").c_str(), (dir.path() + "fa\\font.bmp").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((kMedia + "/fonthaettenschweiler.bmp").c_str(), (dir.path() + "fb\\font.bmp").c_str(), FALSE));
    char saved[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(MAX_PATH, saved));
    qeSysInstallWindowsFileSystem();
    int widths[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        qeSysSetDir((dir.path() + (i ? "fb" : "fa")).c_str());
        EXPECT_EQ(0, qeIrrlichtSetTextFont("font.bmp"));
        EXPECT_STREQ("font.bmp", qeIrrlichtTextFont());
        widths[i] = qeIrrlichtTextWidth("Qirn 2");
    }
    SetCurrentDirectoryA(saved);
    qeSysSetDirHooks(nullptr);
    qeSysSetPathHooks(nullptr);
    EXPECT_NE(widths[0], widths[1]);
    qeIrrlichtSetTextFont(nullptr);
}

TEST_F(Commands, AFadeReplacesTheRunningFaderAndStopFadeRemovesIt) {
    auto faders = [&] {
        int n = 0;
        for (gui::IGUIElement* e : ctx->gui->getRootGUIElement()->getChildren())
            n += e->getType() == gui::EGUIET_IN_OUT_FADER;
        return n;
    };
    qeIrrlichtFadeIn(500, 0x102030);
    ASSERT_NE(nullptr, ctx->fader);
    qeIrrlichtFadeOut(500, 0x405060);
    EXPECT_EQ(1, faders());
    ASSERT_NE(nullptr, ctx->fader);
    qeIrrlichtStopFade();
    EXPECT_EQ(0, faders());
    EXPECT_EQ(nullptr, ctx->fader);
    qeIrrlichtStopFade();
}

TEST_F(Commands, ImagesShareTheCachedTextureAndAnswerForTheirIds) {
    const std::string file = kMedia + "/fontcourier.bmp";
    ASSERT_EQ(0, qeIrrlichtLoadImage(file.c_str(), 3));
    ASSERT_EQ(0, qeIrrlichtLoadImage(file.c_str(), 4));
    const int textures = ctx->driver->getTextureCount();
    EXPECT_EQ(1, qeIrrlichtImageExist(3));
    qeIrrlichtDeleteImage(3);
    EXPECT_EQ(0, qeIrrlichtImageExist(3));
    EXPECT_EQ(1, qeIrrlichtImageExist(4));
    EXPECT_EQ(textures, static_cast<int>(ctx->driver->getTextureCount())) << "the shared texture stays";
    qeIrrlichtDeleteImage(3);  // silent

    int arg = 0;
    EXPECT_EQ(-1, qeIrrlichtLoadImage(file.c_str(), 4));
    EXPECT_EQ("invalid Image ID 4 : id 4 already exist", lastError(&arg));
    EXPECT_EQ(2, arg);
    EXPECT_EQ(-1, qeIrrlichtMakeImage(8, 8, 4));
    EXPECT_EQ(3, (lastError(&arg), arg));
    EXPECT_EQ(-1, qeIrrlichtLoadImage("missing.png", 5));
    EXPECT_EQ("Failed to load image 'missing.png'", lastError(&arg));
    EXPECT_EQ(1, arg);
    EXPECT_EQ(0, qeIrrlichtImageExist(5));
    EXPECT_EQ(-1, qeIrrlichtMakeImage(8, 8, 1000));
    EXPECT_EQ("invalid Image ID 1000 : invalid ID 1000 greater or equals than 1000", lastError());

    qeIrrlichtRenderToImage(4, 1);
    EXPECT_EQ("Image ID 4 is not renderable", lastError(&arg));
    EXPECT_EQ(1, arg);
    qeIdTableSetMessage("id 2 does not exist");  // left by an earlier call
    EXPECT_EQ(0, qeIrrlichtImageHeight(7));
    EXPECT_EQ("Image ID 7 does not exist. id 7 does not exist", lastError(&arg));
    EXPECT_EQ(-1, qeIrrlichtPasteImageWithEffect(4, 0, 0, 1, 1, 9));
    EXPECT_EQ("Effect ID 9 does not exist. id 9 does not exist", lastError(&arg));
    EXPECT_EQ(6, arg);

    // Pastes carry the module colour and alpha; the own size is -1 / -1.
    qeIrrlichtSetImageColor(0x00FF00);
    qeIrrlichtSetImageAlpha(128);
    ASSERT_EQ(0, qeIrrlichtPasteImage(4, 5, 6, 1));
    const OverlayCommand& c = lastCommand();
    EXPECT_EQ(QE_OVERLAY_IMAGE, c.kind);
    EXPECT_EQ(-1, c.p[3]);
    EXPECT_EQ(-1, c.p[4]);
    EXPECT_EQ(1, c.p[5]);
    EXPECT_EQ(0x8000FF00u, static_cast<uint32_t>(c.p[6]));
    ASSERT_EQ(0, qeIrrlichtPasteImageStretch(4, 5, 6, 70, 80, 0));
    EXPECT_EQ(70, lastCommand().p[3]);
}

TEST_F(Commands, JoystickAnswersFromPostedEventsOnlyWhileEnabled) {
    SEvent e = qetest::blankEvent(EET_JOYSTICK_INPUT_EVENT);
    e.JoystickEvent.Axis[0] = 1500;
    e.JoystickEvent.POV = 9000;
    e.JoystickEvent.ButtonStates = 0x80000001u;
    device->postEventFromUser(e);
    EXPECT_EQ(0, qeIrrlichtJoystickX()) << "off until enabled";
    EXPECT_EQ(0, qeIrrlichtJoystickFireA());
    qeIrrlichtEnableJoystick();  // enabled whatever the device answers
    EXPECT_EQ(1500, qeIrrlichtJoystickX());
    EXPECT_EQ(1, qeIrrlichtJoystickLeft()) << "90 degrees answers Left";
    EXPECT_EQ(1, qeIrrlichtJoystickFireA());
    EXPECT_EQ(1, qeIrrlichtJoystickFireX(31));
    EXPECT_EQ(0, qeIrrlichtJoystickFireX(32));
    EXPECT_EQ(0, qeIrrlichtJoystickFireX(-1));
    qeIrrlichtDisableJoystick();
    EXPECT_EQ(0, qeIrrlichtJoystickX());

    // Engine stop forgets the kept event: the hat reads centred again, not pushed up.
    qeIrrlichtRunModuleResets(QE_STOP_AFTER_DROP);
    qeIrrlichtEnableJoystick();
    EXPECT_EQ(0, qeIrrlichtJoystickUp());
    EXPECT_EQ(0, qeIrrlichtJoystickX());
}

TEST(JoystickDecisions, DeadZoneHatAndButtons) {
    EXPECT_EQ(0, qeJoystickDeadZone(1499));
    EXPECT_EQ(0, qeJoystickDeadZone(-1499));
    EXPECT_EQ(1500, qeJoystickDeadZone(1500));
    EXPECT_EQ(-1500, qeJoystickDeadZone(-1500));
    EXPECT_EQ(-32768, qeJoystickDeadZone(-32768));

    // Hat value: answers for Up (0), Left (90), Down (180), Right (270).
    const struct {
        uint16_t pov;
        int up, left, down, right;
    } hats[] = {{0, 1, 0, 0, 0},         {4500, 1, 1, 0, 0},     {9000, 0, 1, 0, 0}, {18000, 0, 0, 1, 0},
                {27000, 0, 0, 0, 1},     {31500, 1, 0, 0, 1},    {35900, 1, 0, 0, 1}, {65535, 0, 0, 0, 0}};
    for (const auto& h : hats) {
        EXPECT_EQ(h.up, qeJoystickPovTest(h.pov, 0)) << h.pov;
        EXPECT_EQ(h.left, qeJoystickPovTest(h.pov, 90)) << h.pov;
        EXPECT_EQ(h.down, qeJoystickPovTest(h.pov, 180)) << h.pov;
        EXPECT_EQ(h.right, qeJoystickPovTest(h.pov, 270)) << h.pov;
    }
    EXPECT_EQ(1, qeJoystickButtonBit(0x80000000u, 31));
    EXPECT_EQ(0, qeJoystickButtonBit(0xFFFFFFFFu, 32));
    EXPECT_EQ(0, qeJoystickButtonBit(0xFFFFFFFFu, -1));
}

}  // namespace
