// Reading a *.demo.ini: which sections are parts, the keys and their defaults, the cue limits and gaps,
// and the descriptions that are refused with a message instead of being cut.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "demo/demo.h"
#include "file_fixtures.h"
#include "shell_fixtures.h"

namespace {

class DemoIni : public testing::Test {
protected:
    DemoIni() : files("demo-ini"), demo(new DemoDescription()) {}
    int parse(const std::string& text) { return qeDemoParseIni(demo.get(), files.write("d.demo.ini", text).c_str()); }
    qetest::TempDir files;
    std::unique_ptr<DemoDescription> demo;
    qetest::BoxRecorder boxes;
};

std::string numbered(const char* format, int from, int to) {
    std::string s;
    char line[160];
    for (int n = from; n < to; ++n) {
        std::snprintf(line, sizeof(line), format, n, n, n);
        s += line;
    }
    return s;
}

TEST_F(DemoIni, PartSectionsKeysAndDefaults) {
    ASSERT_EQ(0, parse("[Setup]\nmusicdirectory = tunes\nshadersdirectory = fx\n"
                       "[MyPart]\ntime = 0x10\ntimereset = 1\nmusic = a.mp3\ndirectory = d\nfilename = s.qirn\n"
                       "camerarange = 0.5 250\nreuseobjects = 1\npalette.g = 010\npalette.b = 3\n"
                       "[other]\ntime = 5\n"
                       "[partition]\ntime = 2000\ncamerarange = far\nflushobjects = 1\npalette.r = 7\n"
                       "[part.last]\n"));
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_STREQ("tunes", demo->musicDirectory);
    EXPECT_STREQ("", demo->paletteDirectory);
    EXPECT_STREQ("fx", demo->shadersDirectory);
    ASSERT_EQ(3, demo->partCount);

    const DemoPart& a = demo->parts[0];
    EXPECT_STREQ("mypart", a.name);
    EXPECT_EQ(16, a.time);  // automatic base
    EXPECT_EQ(0, a.timeOrigin);
    EXPECT_STREQ("a.mp3", a.music);
    EXPECT_STREQ("s.qirn", a.fileName);
    EXPECT_FLOAT_EQ(0.5f, a.cameraNear);
    EXPECT_FLOAT_EQ(250.0f, a.cameraFar);
    EXPECT_EQ(1, a.scene.reuseObjects);
    EXPECT_EQ(1, a.paletteChannel);  // g before b
    EXPECT_EQ(8, a.paletteValue);    // leading zero: octal

    const DemoPart& b = demo->parts[1];
    EXPECT_STREQ("partition", b.name);
    EXPECT_EQ(2000, b.timeOrigin);
    EXPECT_FLOAT_EQ(0.0f, b.cameraNear);  // no number: the camera range turns 0 into its defaults
    EXPECT_FLOAT_EQ(0.0f, b.cameraFar);
    EXPECT_EQ(1, b.scene.flushObjects);
    EXPECT_EQ(0, b.paletteChannel);
    EXPECT_EQ(7, b.paletteValue);

    const DemoPart& end = demo->parts[2];
    EXPECT_EQ(-1, end.time);
    EXPECT_EQ(-1, end.timeOrigin);
    EXPECT_EQ(-1, end.paletteChannel);
    EXPECT_FLOAT_EQ(0.1f, end.cameraNear);
    EXPECT_FLOAT_EQ(1000.0f, end.cameraFar);
    EXPECT_STREQ("", end.fileName);
}

TEST_F(DemoIni, CuesWithGapsAndLimits) {
    ASSERT_EQ(0, parse("[part1]\n"
                       "extra.0.directory = lonely\n"  // no file name: not an extra
                       "extra.2.directory = x\nextra.2.filename = x.qirn\nextra.2.time = 100\nextra.2.length = 50\n"
                       "extra.2.flushobjects = 1\n"
                       "shader.3.name = Blur.hlsl\nshader.3.time = 10\n"
                       "fader.1.time = 0\nfader.1.fadein = 0\n"
                       "fader.4.time = 500\nfader.4.color = 0xFF8000\nfader.4.length = 0\n"
                       "[part2]\n" +
                       numbered("extra.%d.directory = e%d\nextra.%d.filename = e.qirn\n", 0, 20) +
                       numbered("shader.%d.name = s%d.hlsl\nshader.%d.length = 1\n", 0, 20) +
                       numbered("fader.%d.time = %d\nfader.%d.length = 1\n", 0, 20) + "fader.19.fadein = -1\n"));
    EXPECT_TRUE(boxes.boxes().empty());
    const DemoPart& a = demo->parts[0];
    ASSERT_EQ(1, a.extraCount);
    EXPECT_STREQ("x", a.extras[0].directory);
    EXPECT_EQ(100, a.extras[0].time);
    EXPECT_EQ(50, a.extras[0].length);
    EXPECT_EQ(1, a.extras[0].scene.flushObjects);
    EXPECT_STREQ("", a.extras[1].directory);  // the lonely folder went with the skipped number
    ASSERT_EQ(1, a.shaderCount);
    EXPECT_STREQ("Blur.hlsl", a.shaders[0].name);
    EXPECT_EQ(0, a.shaders[0].length);
    ASSERT_EQ(2, a.faderCount);
    EXPECT_EQ(0, a.faders[0].fadeOut);  // fadein 0 fades in
    EXPECT_EQ(1000, a.faders[0].length);
    EXPECT_EQ(1000, a.faders[0].fadeLength);
    EXPECT_EQ(1, a.faders[1].fadeOut);  // no fadein key: fades out
    EXPECT_EQ(0xFF8000, a.faders[1].colour);
    EXPECT_EQ(0, a.faders[1].length);

    const DemoPart& b = demo->parts[1];
    EXPECT_EQ(15, b.extraCount);
    EXPECT_STREQ("e14", b.extras[14].directory);
    EXPECT_EQ(10, b.shaderCount);
    EXPECT_STREQ("s9.hlsl", b.shaders[9].name);
    EXPECT_EQ(20, b.faderCount);
    EXPECT_EQ(1, b.faders[19].fadeOut);
}

TEST_F(DemoIni, RefusedDescriptions) {
    struct Case {
        std::string text;
        const char* box;
    };
    const std::string longValue(128, 'v');
    const Case cases[] = {
        {"[setup]\nmusicdirectory = m\n[intro]\ntime = 0\n", "No parts!"},
        {numbered("[part%d]\ntime = %d\n", 0, 65), "Too many parts (max 64)"},
        // One scene slot each for the scenes of parts and extras: the 61st is refused before any loads.
        {numbered("[part%d]\ntime = %d\nfilename = s%d.qirn\n", 0, 61), "Too many scenes: a demo can hold 60"},
        {numbered("[part%d]\ntime = %d\nfilename = s%d.qirn\n", 0, 46) + "[part99]\n" +
             numbered("extra.%d.directory = e%d\nextra.%d.filename = e.qirn\n", 0, 15),
         "Too many scenes: a demo can hold 60, this one names 61"},
        {"[part1]\nfilename = " + longValue + "\n", "Value too long in part1:filename"},
        {"[setup]\nshadersdirectory = " + longValue + "\n[part1]\n", "Value too long in setup:shadersdirectory"},
        {"[part1]\nshader.7.name = " + longValue + "\n", "Value too long in part1:shader.7.name"},
    };
    for (const Case& c : cases) {
        qetest::BoxRecorder::boxes().clear();
        EXPECT_EQ(-1, parse(c.text)) << c.box;
        ASSERT_EQ(1u, boxes.boxes().size()) << c.box;
        EXPECT_NE(std::string::npos, boxes.text(0).find(c.box)) << boxes.text(0);
    }
    // 64 parts and a 127-character value fit.
    EXPECT_EQ(0, parse(numbered("[part%d]\ntime = %d\n", 0, 64) + "[part1]\nmusic = " + std::string(127, 'm') + "\n"));
    EXPECT_EQ(64, demo->partCount);
    // 60 scenes fit; a part or an extra without a file name takes no slot.
    EXPECT_EQ(0, parse(numbered("[part%d]\ntime = %d\nfilename = s%d.qirn\n", 0, 45) + "[part99]\n" +
                       numbered("extra.%d.directory = e%d\nextra.%d.filename = e.qirn\n", 0, 15) +
                       "[partend]\nextra.0.directory = e\nextra.0.filename =\n"))
        << boxes.boxes().back();
    EXPECT_EQ(47, demo->partCount);

    qetest::BoxRecorder::boxes().clear();
    EXPECT_EQ(-1, qeDemoParseIni(demo.get(), nullptr));
    EXPECT_EQ(-1, qeDemoParseIni(demo.get(), (files.path() + "missing.demo.ini").c_str()));
    ASSERT_EQ(2u, boxes.boxes().size());
    EXPECT_EQ("Fail to load (none)", boxes.text(0));
    EXPECT_EQ("Fail to parse ini", boxes.text(1));
}

TEST_F(DemoIni, LongSectionNamesAreCutInTheNameOnly) {
    const std::string section = "part" + std::string(600, 'x');
    ASSERT_EQ(0, parse("[" + section + "]\ntime = 1234\nfader.19.time = 7\n"));
    EXPECT_EQ(39u, std::string(demo->parts[0].name).size());
    EXPECT_EQ(1234, demo->parts[0].time);
    EXPECT_EQ(7, demo->parts[0].faders[0].time);
}

TEST(DemoLoadProgress, OverallPercentCountsEveryPart) {
    EXPECT_EQ(0, qeDemoOverallPercent(0, 0, 4));
    EXPECT_EQ(12, qeDemoOverallPercent(50, 0, 4));
    EXPECT_EQ(62, qeDemoOverallPercent(50, 2, 4));
    EXPECT_EQ(100, qeDemoOverallPercent(100, 3, 4));
    EXPECT_EQ(0, qeDemoOverallPercent(10, 0, 0));
}

// A music shorter than its part rests at its end: the time line goes on with the clock from there instead
// of holding the demo on that frame for ever. A music held short of its end (a stall) still holds it.
TEST(DemoMusicPosition, AMusicAtItsEndGoesOnWithTheClock) {
    DemoPlayState state;
    qeDemoPlayStart(&state, 0);
    EXPECT_EQ(1200, qeDemoMusicPosition(&state, 1200, 5000, 1000));
    EXPECT_EQ(1200, qeDemoMusicPosition(&state, 1200, 5000, 9000));  // stalled
    EXPECT_EQ(4990, qeDemoMusicPosition(&state, 4990, 5000, 10000));
    EXPECT_EQ(5490, qeDemoMusicPosition(&state, 5000, 5000, 10500));
    EXPECT_EQ(25990, qeDemoMusicPosition(&state, 5000, 5000, 31000));
    EXPECT_EQ(-1, qeDemoMusicPosition(&state, -1, 5000, 32000));
    EXPECT_EQ(0, qeDemoMusicPosition(&state, 0, 5000, 33000));  // the next music, from its start
    EXPECT_EQ(5000, qeDemoMusicPosition(&state, 5000, 5000, 40000));
    EXPECT_EQ(700, qeDemoMusicPosition(&state, 700, -1, 41000));  // no length told: the position as it is
}

// A time reset counts from when its part could start: its own time, or, when it is timed before the part
// before it, the pass it starts on. Its cues and the parts after it follow from there, through a chain of
// such parts; on a music's time line the music's part starts with the music.
TEST_F(DemoIni, ATimeResetCountsFromWhenThePartCouldStart) {
    DemoPlayState state;
    auto pass = [&](uint32_t now, int position = -1) { return qeDemoPass(demo.get(), &state, now, position); };

    ASSERT_EQ(0, parse("[p1part]\ntime = 0\ntimereset = 1\n[p2part]\ntime = 3000\n"
                       "[p3part]\ntime = 1000\ntimereset = 1\nfader.0.time = 0\nfader.0.length = 1500\n"
                       "fader.0.color = 0xffffff\n[endpart]\ntime = 5000\n"));
    qeDemoPrepare(demo.get());
    const DemoFaderCue& fader = demo->parts[2].faders[0];
    qeDemoPlayStart(&state, 10000);
    ASSERT_EQ(0, pass(10000));
    ASSERT_EQ(0, pass(13000));
    EXPECT_EQ(1, state.partIndex);
    ASSERT_EQ(0, pass(13020));
    EXPECT_EQ(2, state.partIndex);
    EXPECT_EQ(0, state.time);
    EXPECT_EQ(1, fader.active);
    ASSERT_EQ(0, pass(14519));
    EXPECT_EQ(1, fader.active);
    ASSERT_EQ(0, pass(14520));
    EXPECT_EQ(1, fader.done);
    ASSERT_EQ(0, pass(18019));
    EXPECT_EQ(1, pass(18020));

    // A part timed before the part before it, without a reset, then a reset part timed before that one.
    ASSERT_EQ(0, parse("[q1part]\ntime = 0\ntimereset = 1\n[q2part]\ntime = 3000\n[q3part]\ntime = 1000\n"
                       "[q4part]\ntime = 2000\ntimereset = 1\n[endpart]\ntime = 500\n"));
    qeDemoPrepare(demo.get());
    qeDemoPlayStart(&state, 0);
    ASSERT_EQ(0, pass(0));
    ASSERT_EQ(0, pass(3000));
    ASSERT_EQ(0, pass(3020));
    EXPECT_EQ(3020, state.time);  // q3 goes on with the time line
    ASSERT_EQ(0, pass(3040));
    EXPECT_EQ(3, state.partIndex);
    EXPECT_EQ(0, state.time);
    ASSERT_EQ(0, pass(3539));
    EXPECT_EQ(1, pass(3540));

    // m2 starts a music 10 s in; m3, 5 s into that music, is in time, and its reset on a pass 30 ms late
    // counts from when it was due.
    ASSERT_EQ(0, parse("[m1part]\ntime = 0\ntimereset = 1\n[m2part]\ntime = 10000\n"
                       "[m3part]\ntime = 5000\ntimereset = 1\n[endpart]\ntime = 1000\n"));
    qeDemoPrepare(demo.get());
    demo->parts[0].musicId = 1;
    demo->parts[1].musicId = 2;
    qeDemoPlayStart(&state, 0);
    ASSERT_EQ(0, pass(0));
    ASSERT_EQ(0, pass(10000, 10000));
    EXPECT_EQ(1, state.partIndex);
    ASSERT_EQ(0, pass(10010, 10));
    ASSERT_EQ(0, pass(15030, 5030));
    EXPECT_EQ(2, state.partIndex);
    EXPECT_EQ(30, state.time);
    ASSERT_EQ(0, pass(15999));
    EXPECT_EQ(1, pass(16000));
}

}  // namespace
