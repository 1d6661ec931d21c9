// Shared by the effect-library tests: a logger that keeps its lines, the particle generator replayed,
// a null device, and a Direct3D 9 device with render-target read-back.
#ifndef QIRN_TESTS_EFFECTS_FIXTURE_H
#define QIRN_TESTS_EFFECTS_FIXTURE_H

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "QeLog.h"

namespace qetest {

// Keeps every line with its level; installed as the library's logger while it lives.
class LogCapture : public irr::ILogger {
public:
    LogCapture() { qeLibSetLogger(this); }
    ~LogCapture() override { qeLibSetLogger(nullptr); }
    irr::ELOG_LEVEL getLogLevel() const override { return level; }
    void setLogLevel(irr::ELOG_LEVEL ll) override { level = ll; }
    void log(const irr::c8* text, irr::ELOG_LEVEL ll) override { lines.emplace_back(ll, text ? text : ""); }
    void log(const irr::c8* text, const irr::c8* hint, irr::ELOG_LEVEL ll) override {
        lines.emplace_back(ll, std::string(text ? text : "") + ": " + (hint ? hint : ""));
    }
    void log(const irr::c8* text, const wchar_t*, irr::ELOG_LEVEL ll) override { log(text, ll); }
    void log(const wchar_t*, const wchar_t*, irr::ELOG_LEVEL ll) override { lines.emplace_back(ll, "(wide)"); }
    void log(const wchar_t*, irr::ELOG_LEVEL ll) override { lines.emplace_back(ll, "(wide)"); }
    // True when a line at that level holds the text.
    bool has(int ll, const std::string& text) const {
        for (const auto& l : lines)
            if (l.first == ll && l.second.find(text) != std::string::npos) return true;
        return false;
    }
    // Lines equal to the text at that level.
    int count(const std::string& text, int ll = irr::ELL_DEBUG) const {
        int n = 0;
        for (const auto& l : lines) n += l.first == ll && l.second == text;
        return n;
    }
    int countStarting(const std::string& prefix) const {
        int n = 0;
        for (const auto& l : lines) n += l.second.compare(0, prefix.size(), prefix) == 0;
        return n;
    }
    irr::ELOG_LEVEL level = irr::ELL_DEBUG;
    std::vector<std::pair<int, std::string>> lines;
};

// The particle generator, replayed from a captured state.
struct ReplayRandom {
    irr::u32 state;
    irr::u32 next() {
        state = state * 214013u + 2531011u;
        return (state >> 16) & 0x7FFF;
    }
    irr::f32 u() { return static_cast<irr::f32>(next()) / 32767.0f; }
};

// True when two A8R8G8B8 colours differ by at most tolerance in each channel.
inline bool colourNear(irr::u32 a, irr::u32 b, int tolerance = 8) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance) return false;
    }
    return true;
}

// A device of the given driver, dropped (and closed, for a window) at the end.
class DeviceTest : public testing::Test {
protected:
    explicit DeviceTest(irr::video::E_DRIVER_TYPE type = irr::video::EDT_NULL, irr::u32 width = 320,
                        irr::u32 height = 240) {
        irr::SIrrlichtCreationParameters params;
        params.DriverType = type;
        params.WindowSize = irr::core::dimension2d<irr::u32>(width, height);
        params.Bits = 32;
        device = irr::createDeviceEx(params);
        if (!device) return;
        driver = device->getVideoDriver();
        smgr = device->getSceneManager();
        fs = device->getFileSystem();
    }
    ~DeviceTest() override {
        if (!device) return;
        if (driver->getDriverType() != irr::video::EDT_NULL) {
            device->closeDevice();
            device->run();
        }
        device->drop();
    }
    void SetUp() override { ASSERT_NE(nullptr, device) << "no device"; }

    // Every pixel of a render target, row after row.
    static std::vector<irr::u32> readBack(irr::video::ITexture* target) {
        std::vector<irr::u32> pixels;
        const irr::core::dimension2du size = target->getSize();
        const irr::u8* data = static_cast<const irr::u8*>(target->lock(irr::video::ETLM_READ_ONLY));
        if (!data) return pixels;
        pixels.resize(size.Width * size.Height);
        for (irr::u32 y = 0; y < size.Height; ++y)
            std::memcpy(&pixels[y * size.Width], data + y * target->getPitch(), size.Width * 4);
        target->unlock();
        return pixels;
    }
    // Draws into the render target cleared to the colour and reads its pixels back (none on failure).
    std::vector<irr::u32> drawInto(irr::video::ITexture* target, irr::u32 clear, const std::function<void()>& draw) {
        if (!target || !device->run() || !driver->beginScene(true, true, irr::video::SColor(0xFF000000))) return {};
        driver->setRenderTarget(target, true, true, irr::video::SColor(clear));
        draw();
        driver->setRenderTarget(0, false, false);
        driver->endScene();
        return readBack(target);
    }
    // Writes an 8×8 image filled with one colour.
    void writeImage(const std::string& path, irr::u32 colour) {
        irr::video::IImage* image = driver->createImage(irr::video::ECF_A8R8G8B8, irr::core::dimension2du(8, 8));
        image->fill(irr::video::SColor(colour));
        ASSERT_TRUE(driver->writeImageToFile(image, path.c_str())) << path;
        image->drop();
    }

    irr::IrrlichtDevice* device = nullptr;
    irr::video::IVideoDriver* driver = nullptr;
    irr::scene::ISceneManager* smgr = nullptr;
    irr::io::IFileSystem* fs = nullptr;
};

class D3D9Test : public DeviceTest {
protected:
    explicit D3D9Test(irr::u32 width = 320, irr::u32 height = 240)
        : DeviceTest(irr::video::EDT_DIRECT3D9, width, height) {}
};

}  // namespace qetest

#endif
