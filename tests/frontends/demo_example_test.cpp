// The bundled example demo: each committed scene file is what the scene writer makes of its committed
// description (QIRN_UPDATE_EXAMPLES=1 rewrites them), and the description reads as the demo it means to be.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "demo/demo.h"
#include "file_fixtures.h"
#include "scene_writer.h"
#include "shell_fixtures.h"

namespace {

const std::string kDemo = std::string(QIRN_EXAMPLES_DIR) + "demo/";

using qetest::readFile;

TEST(ExampleDemo, SceneFilesAreWrittenFromTheirDescriptions) {
    const bool update = std::getenv("QIRN_UPDATE_EXAMPLES") != nullptr;
    for (const char* scene : {"intro/intro", "intro/orbit", "logo/logo", "gem/gem"}) {
        const std::string description = readFile(kDemo + scene + ".scene");
        ASSERT_FALSE(description.empty()) << scene;
        std::string error;
        const std::vector<uint8_t> bytes = qeSceneWriteDescription(description, &error);
        ASSERT_FALSE(bytes.empty()) << scene << ": " << error;
        const std::string file = kDemo + scene + ".qirn";
        if (update) {
            ASSERT_TRUE(qeSceneWriteFile(file, bytes)) << file;
        }
        const std::string committed = readFile(file);
        EXPECT_TRUE(committed == std::string(bytes.begin(), bytes.end()))
            << file << " differs from its description: QIRN_UPDATE_EXAMPLES=1 scripts/test.sh -R demo_example";
    }
}

TEST(ExampleDemo, DescriptionNamesItsPartsCuesAndFolders) {
    qetest::BoxRecorder boxes;
    DemoDescription* demo = new DemoDescription();
    ASSERT_EQ(0, qeDemoParseIni(demo, (kDemo + "example.demo.ini").c_str()));
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_STREQ("music", demo->musicDirectory);
    EXPECT_STREQ("shaders", demo->shadersDirectory);
    ASSERT_EQ(4, demo->partCount);
    const DemoPart& intro = demo->parts[0];
    EXPECT_STREQ("theme.mp3", intro.music);
    EXPECT_EQ(1, intro.extraCount);
    EXPECT_EQ(0, intro.faders[0].fadeOut);
    EXPECT_FLOAT_EQ(500.0f, intro.cameraFar);
    EXPECT_EQ(-1, demo->parts[1].time);  // the music gives it
    EXPECT_EQ(1, demo->parts[1].scene.flushObjects);
    EXPECT_STREQ("RIPPLE.HLSL", demo->parts[2].shaders[0].name);
    EXPECT_EQ(1, demo->parts[2].faders[0].fadeOut);
    EXPECT_STREQ("", demo->parts[3].fileName);
    for (const DemoPart* part = demo->parts; part < demo->parts + 3; ++part) {
        const std::string scene = kDemo + part->directory + "/" + part->fileName;
        EXPECT_FALSE(readFile(scene).empty()) << scene;
    }
    delete demo;
}

}  // namespace
