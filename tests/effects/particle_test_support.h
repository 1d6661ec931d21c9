#ifndef QIRN_TESTS_EFFECTS_PARTICLE_TEST_SUPPORT_H
#define QIRN_TESTS_EFFECTS_PARTICLE_TEST_SUPPORT_H

#include <irrlicht.h>

#include <string>
#include <vector>

// A 3D engine logger that keeps every line with its level.
class CaptureLogger : public irr::ILogger {
public:
    struct Line {
        irr::ELOG_LEVEL level;
        std::string text;
    };
    std::vector<Line> lines;
    irr::ELOG_LEVEL getLogLevel() const override { return irr::ELL_DEBUG; }
    void setLogLevel(irr::ELOG_LEVEL) override {}
    void log(const irr::c8* text, irr::ELOG_LEVEL ll) override { lines.push_back({ll, text ? text : ""}); }
    void log(const irr::c8* text, const irr::c8* hint, irr::ELOG_LEVEL ll) override {
        lines.push_back({ll, std::string(text ? text : "") + ": " + (hint ? hint : "")});
    }
    void log(const irr::c8* text, const wchar_t*, irr::ELOG_LEVEL ll) override { log(text, ll); }
    void log(const wchar_t*, const wchar_t*, irr::ELOG_LEVEL ll) override { lines.push_back({ll, "(wide)"}); }
    void log(const wchar_t*, irr::ELOG_LEVEL ll) override { lines.push_back({ll, "(wide)"}); }
    int count(const std::string& text, irr::ELOG_LEVEL level) const {
        int n = 0;
        for (const Line& l : lines)
            if (l.text == text && l.level == level) ++n;
        return n;
    }
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

#endif
