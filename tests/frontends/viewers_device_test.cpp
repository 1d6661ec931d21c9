// The viewers on a started engine. A run ends when a helper thread closes the engine window (never by
// Escape, whose latch would end every later loop of the program); the engine is started again for each
// case. Scenes are written at test time.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "device_check.h"
#include "engine.h"
#include "engine_context.h"
#include "facade.h"
#include "frame.h"
#include "file_fixtures.h"
#include "frontends.h"
#include "launch.h"
#include "lights.h"
#include "objects.h"
#include "overlay.h"
#include "scene_slots.h"
#include "scene_writer.h"
#include "shader_engine.h"
#include "shell_fixtures.h"
#include "stdout_capture.h"
#include "viewers/viewer_controls.h"
#include "viewers/viewers.h"

namespace {

std::string sceneText(int lightType, int glow, const char* glowIntensity = "1") {
    return R"(
SCEN { NAME "V" FNAM "v.lws" PRPS { PROP int frameStart 0  PROP int frameEnd 49  PROP float framesPerSecond 25 } }
PROC { PRPS { PROP int GlowEffect )" + std::to_string(glow) + R"(  PROP float GlowIntensity )" + glowIntensity + R"( } }
OBJE { NAME "cube:Layer1" FNAM "cube.lwo" PRPS { PROP int numPoints 8  PROP int numPolygons 6  PROP int layer 1 } }
LIGH { NAME "Key" PRPS { PROP int type )" + std::to_string(lightType) + R"(  PROP float intensity 1 } }
CAME { NAME "Cam" PRPS { PROP float2 fovAngles 1 0.75 } }
)";
}

// Waits up to `seconds` for the condition, polling every 50 ms.
bool waitFor(const std::function<bool()>& condition, int seconds) {
    for (int i = 0; i < seconds * 20; ++i) {
        if (condition()) return true;
        Sleep(50);
    }
    return condition();
}

class Viewers : public testing::Test {
protected:
    static void SetUpTestSuite() {
        files = new qetest::TempDir("viewers");
        std::ifstream cube(std::string(QIRN_EXAMPLES_DIR) + "cube.x", std::ios::binary);
        std::stringstream text;
        text << cube.rdbuf();
        files->write("cube.layer1.x", text.str());
        files->write("cube.x", text.str());
    }
    static void TearDownTestSuite() {
        SetCurrentDirectoryA(QIRN_OUTPUT_DIR);
        delete files;
    }
    void TearDown() override {
        if (closer.joinable()) closer.join();
        qeIrrlichtTerm();
        SetCurrentDirectoryA(QIRN_OUTPUT_DIR);
    }
    void start() { ASSERT_EQ(0, qetest::startShaderEngine(QIRN_OUTPUT_DIR, files->mkdir("cache"))); }
    static HWND engineWindow() {
        return static_cast<HWND>(qeIrrlichtGetContext()->driver->getExposedVideoData().D3D9.HWnd);
    }
    // Closes the engine window once `ready` holds (after `seconds` at most), running `work` first.
    void closeWhen(std::function<bool()> ready, std::function<void()> work = nullptr) {
        HWND window = engineWindow();
        closer = std::thread([=] {
            waitFor(ready, 120);
            if (work) work();
            PostMessageA(window, WM_CLOSE, 0, 0);
        });
    }
    // The scene file as `text` describes it, under `name` (the first `keep` bytes only when given).
    static void writeScene(const std::string& text, const char* name = "v.qirn", size_t keep = 0) {
        std::string error;
        std::vector<uint8_t> bytes = qeSceneWriteDescription(text, &error);
        ASSERT_FALSE(bytes.empty()) << error;
        if (keep) bytes.resize(keep);
        ASSERT_TRUE(qeSceneWriteFile(files->path() + name, bytes));
    }
    static qetest::TempDir* files;
    std::thread closer;
};
qetest::TempDir* Viewers::files = nullptr;

TEST_F(Viewers, ObjectViewerLightsAndPlacesTheObjectAndFailsOnMissingFiles) {
    start();
    {
        qetest::BoxRecorder boxes;
        EXPECT_EQ(-1, qeViewerRunObject((files->path() + "missing.x").c_str()));
        ASSERT_EQ(1u, boxes.boxes().size());
        EXPECT_EQ("Failed to load object " + files->path() + "missing.x\n", boxes.text(0));
    }
    const std::string cube = files->path() + "cube.x";
    qeIrrlichtLoadObject(cube.c_str(), 5);
    float r = qeIrrlichtGetObjectRadius(5);
    if (r == 0.0f) r = 20.0f;
    qeIrrlichtDeleteObject(5);

    closeWhen([] { return qeIrrlichtObjectExist(1) && qeIrrlichtLightExist(1); }, [] { Sleep(1500); });
    EXPECT_EQ(0, qeViewerRunObject(cube.c_str()));
    EXPECT_EQ(0, qeIrrlichtObjectExist(1));
    EXPECT_EQ(1, qeIrrlichtLightExist(1));
    EXPECT_EQ(0x113366u, qeIrrlichtGetBackdropColor() & 0xFFFFFFu);
    float x, y, z;
    qeIrrlichtGetCameraPosition(&x, &y, &z);
    EXPECT_FLOAT_EQ(-1.5f * r, z);
}

// The viewer's light falls on the object: its front face, square to the light, shows its own colour;
// turned by 45 degrees the face darkens to cos 45 of it.
TEST_F(Viewers, ObjectViewerLightsTheObject) {
    start();
    ObjectView view;
    ASSERT_EQ(0, qeViewerObjectStart((files->path() + "cube.x").c_str(), &view));
    EXPECT_FLOAT_EQ(-30.0f, view.cameraZ);  // the cube is 20 deep
    EngineContext* ctx = qeIrrlichtGetContext();
    irr::video::ITexture* target = ctx->driver->addRenderTargetTexture(irr::core::dimension2d<irr::u32>(160, 120),
                                                                       "viewer-target", irr::video::ECF_A8R8G8B8);
    ASSERT_NE(nullptr, target);
    auto draw = [&] {
        ASSERT_TRUE(qeIrrlichtSyncToTarget(target, true));
        EXPECT_TRUE(qeIrrlichtBeginScene(ctx));
        EXPECT_TRUE(qeIrrlichtSync());
    };
    draw();
    const irr::video::SColor front(qetest::centrePixel(target));
    EXPECT_NEAR(230, int(front.getRed()), 8);  // the face's vertex colour 0.9, 0.3, 0.2
    EXPECT_NEAR(77, int(front.getGreen()), 8);
    qeIrrlichtRotateObject(1, 0.0f, 45.0f, 0.0f);
    draw();
    int darkened = 0;
    for (irr::u32 x : {60u, 100u}) {
        const irr::video::SColor turned(qetest::pixelAt(target, x, 60));
        darkened += std::abs(int(turned.getRed()) - int(front.getRed() * 0.7071f)) <= 10 &&
                    std::abs(int(turned.getGreen()) - int(front.getGreen() * 0.7071f)) <= 10;
    }
    EXPECT_EQ(1, darkened);
    qeIrrlichtDeleteObject(1);
}

// Paused at a start frame: the scene shows that frame's time until the window closes; then the slot is
// free again. Without a music asked for, none is looked for.
TEST_F(Viewers, SceneViewerPlaysPausedFromAStartFrameAndFreesItsSlot) {
    start();
    writeScene(sceneText(1, 0));
    LaunchOptions options;
    qeLaunchDefaults(&options);
    options.flags = QE_LAUNCH_PAUSED | QE_LAUNCH_START_FRAME;
    options.startFrame = 10;
    qetest::BoxRecorder boxes;
    closeWhen([] { return qeIrrlichtGetSceneTime() == 400; }, [] { Sleep(500); });
    EXPECT_EQ(0, qeViewerRunScene((files->path() + "v.qirn").c_str(), &options));
    EXPECT_EQ(400, qeIrrlichtGetSceneTime());
    EXPECT_EQ(0, qeSceneGetSlot(1)->inUse);
    EXPECT_EQ(0, qeIrrlichtObjectExist(1));
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front();

    // A scene that cannot be read ends the mode with its box.
    EXPECT_EQ(-1, qeViewerRunScene((files->path() + "missing.qirn").c_str(), &options));
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("Failed to load scene", boxes.text(0));
}

// The tool form without an engine reads the scene, writes its binary form (a binary scene has nothing
// to write) and makes no entity.
TEST_F(Viewers, BinaryConversionWithoutAnEngineMakesNothing) {
    writeScene(sceneText(1, 0));
    ASSERT_EQ(0, qeIrrlichtIsSetup());
    LaunchOptions options;
    qeLaunchDefaults(&options);
    options.flags = QE_LAUNCH_WRITE_BINARY | QE_LAUNCH_EXIT_AFTER_CONVERT | QE_LAUNCH_MUSIC;
    qetest::BoxRecorder boxes;
    EXPECT_EQ(0, qeViewerRunScene((files->path() + "v.qirn").c_str(), &options));
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front();
    EXPECT_EQ(0, qeSceneGetSlot(1)->inUse);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((files->path() + "v.qirn.bin").c_str()));
    EXPECT_EQ(-1, qeViewerRunScene((files->path() + "missing.qirn").c_str(), &options));
    EXPECT_EQ(1u, boxes.boxes().size());
}

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

// Hot reload: a rewrite of the scene is taken over while the viewer runs (the new scene's glow reaches
// the render settings at once, paused as it is); so is a save that writes a temporary file and renames it
// over the scene, once. A truncated rewrite keeps the scene shown and puts the failure on the screen; a
// rewrite held locked past 3 s is reported; a received frame number moves the paused scene. Without a
// Layout window the viewer keeps itself on top.
TEST_F(Viewers, SceneViewerReloadsTheRewrittenScene) {
    start();
    writeScene(sceneText(1, 0));
    LaunchOptions options;
    qeLaunchDefaults(&options);
    options.flags = QE_LAUNCH_PAUSED | QE_LAUNCH_HOT_RELOAD | QE_LAUNCH_START_FRAME;
    options.startFrame = 20;  // the scene time that tells the loop runs (and its watch is on)
    std::atomic<int> topmost{-1};
    std::atomic<bool> failureShown{false};
    std::string text;
    int result = -1;
    {
        qetest::StdoutCapture out(files->path() + "stdout.txt");
        const std::string scene = files->path() + "v.qirn";
        HWND window = engineWindow();
        closeWhen([] { return qeIrrlichtGetSceneTime() == 800; }, [&] {
            topmost = (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) ? 1 : 0;
            Sleep(1000);
            writeScene(sceneText(2, 1));
            waitFor([&] { return out.text().find("Update Scene...\n") != std::string::npos; }, 120);
            Sleep(1000);
            writeScene(sceneText(2, 1, "0.25"), "v.qirn.tmp");
            Sleep(500);
            MoveFileExA((scene + ".tmp").c_str(), scene.c_str(), MOVEFILE_REPLACE_EXISTING);
            waitFor([&] { return count(out.text(), "Update Scene...\n") == 2; }, 120);
            Sleep(1000);
            writeScene(sceneText(1, 0), "v.qirn", 40);
            waitFor([&] { return out.text().find("ERROR : UPDATE SCENE FAILED\n") != std::string::npos; }, 120);
            // The overlay's first text of each pass is the failure while it stands.
            failureShown = waitFor(
                [] {
                    return std::string(qeIrrlichtOverlayQueue()->texts[0]).rfind("UPDATE SCENE FAILED: cannot read",
                                                                                  0) == 0;
                },
                60);
            // Rewritten and then held open: the viewer cannot read it in time.
            HANDLE held =
                CreateFileA(scene.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            DWORD written = 0;
            WriteFile(held, "FORM", 4, &written, nullptr);
            waitFor([&] { return out.text().find("Cannot read file") != std::string::npos; }, 120);
            CloseHandle(held);
            // A frame number from the animation package: the paused scene shows frame 35.
            PostMessageA(window, WM_USER, 0x7000, 35);
            waitFor([] { return qeIrrlichtGetSceneTime() == 1400; }, 120);
        });
        qeIrrlichtGetContext()->render.glowOn = 0;
        result = qeViewerRunScene(scene.c_str(), &options);
        closer.join();
        std::fflush(stdout);
        text = out.text();
    }
    EXPECT_EQ(0, result);
    EXPECT_EQ(3u, count(text, "Update Scene...\n")) << text;  // the rewrite, the rename, the truncated file
    EXPECT_EQ(1u, count(text, "ERROR : UPDATE SCENE FAILED\n")) << text;
    EXPECT_TRUE(failureShown.load());
    EXPECT_NE(std::string::npos, text.find("ERROR : UPDATE SCENE FAILED; Cannot read file\n")) << text;
    // The renamed scene's values; the truncated one changed nothing.
    EXPECT_EQ(1, qeIrrlichtGetContext()->render.glowOn);
    EXPECT_FLOAT_EQ(0.25f, qeIrrlichtGetContext()->render.glowIntensity);
    EXPECT_EQ(1400, qeIrrlichtGetSceneTime());
    EXPECT_EQ(1, topmost.load());
}

TEST_F(Viewers, LayoutWindowBecomesTheOwner) {
    start();
    HWND engine = engineWindow();
    HWND other = CreateWindowA("STATIC", "LightWave NewTek Layout.exe", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                               nullptr, nullptr, nullptr);
    EXPECT_EQ(-1, qeViewerAttachToLayoutWindow());
    HWND layout = CreateWindowA("STATIC", "LightWave 3D 2020 NewTek Layout", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, layout);
    EXPECT_EQ(0, qeViewerAttachToLayoutWindow());
    EXPECT_EQ(layout, GetWindow(engine, GW_OWNER));
    EXPECT_NE(0, GetWindowLongA(engine, GWL_STYLE) & WS_MINIMIZEBOX);
    SetWindowLongA(engine, GWL_HWNDPARENT, 0);  // the engine window must outlive its owner
    DestroyWindow(layout);
    DestroyWindow(other);
}

}  // namespace
