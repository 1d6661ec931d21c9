// The engine's file system on paths past MAX_PATH: a file in a folder whose full path is longer than 260
// characters is written, found, read back, and loaded as a texture and as a mesh; a name that the system
// refuses for its length is named in the message that says so.
#include <gtest/gtest.h>
#include <irrSystemPaths.h>
#include <irrlicht.h>

#include <cstdio>
#include <string>

#include "file_fixtures.h"
#include "x_samples.h"

using namespace irr;

namespace {

class LongPaths : public testing::Test {
protected:
    ~LongPaths() override { device->drop(); }

    // A folder below the temporary one whose full path passes 300 characters.
    std::string deepFolder() {
        std::string relative;
        for (char part = 'a'; part <= 'e'; ++part) relative += std::string(60, part) + "\\";
        relative.pop_back();
        const std::string folder = dir.mkdir(relative);
        EXPECT_GT(folder.size(), 300u);
        return folder;
    }

    // What the engine printed while `run` ran.
    template <typename F>
    std::string printedBy(F run) {
        testing::internal::CaptureStdout();
        run();
        std::fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }

    IrrlichtDevice* device = createDevice(video::EDT_NULL, core::dimension2du(64, 64));
    io::IFileSystem* fs = device->getFileSystem();
    qetest::TempDir dir{"long-paths"};
};

TEST_F(LongPaths, FilesPastMaxPathAreWrittenFoundReadAndLoaded) {
    const std::string folder = deepFolder();
    const std::string name = folder + "data.bin";
    ASSERT_GT(name.size(), 300u);

    io::IWriteFile* out = fs->createAndWriteFile(name.c_str());
    ASSERT_NE(nullptr, out);
    EXPECT_EQ(5, out->write("12345", 5));
    out->drop();
    EXPECT_TRUE(fs->existFile(name.c_str()));
    EXPECT_FALSE(fs->existFile((folder + "none.bin").c_str()));
    // the full path of a name past MAX_PATH, as the file system gives full paths
    std::string slashed = name;
    for (char& c : slashed)
        if (c == '\\') c = '/';
    EXPECT_EQ(slashed, fs->getAbsolutePath(name.c_str()).c_str());
    EXPECT_FALSE(io::isPathTooLong(name.c_str()));

    io::IReadFile* in = fs->createAndOpenFile(name.c_str());
    ASSERT_NE(nullptr, in);
    char back[8] = {};
    EXPECT_EQ(5, in->read(back, sizeof back));
    EXPECT_STREQ("12345", back);
    in->drop();

    // a texture and a mesh there load
    video::IVideoDriver* driver = device->getVideoDriver();
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
    image->fill(video::SColor(255, 10, 20, 30));
    ASSERT_TRUE(driver->writeImageToFile(image, (folder + "tex.png").c_str()));
    image->drop();
    EXPECT_NE(nullptr, driver->getTexture((folder + "tex.png").c_str()));
    dir.write(folder.substr(dir.path().size()) + "quad.x", qetest::textQuad(0x102, {0.5f, 0.25f, 0.75f, 0.25f, 0.75f, 0.5f, 0.5f, 0.5f}));
    EXPECT_NE(nullptr, device->getSceneManager()->getMesh((folder + "quad.x").c_str()));
}

TEST_F(LongPaths, ANameTooLongForTheSystemIsNamedInItsMessage) {
    const std::string name = dir.path() + std::string(300, 'x') + ".png";
    EXPECT_TRUE(io::isPathTooLong(name.c_str()));
    EXPECT_FALSE(io::isPathTooLong((dir.path() + "short.png").c_str()));
    const std::string printed = printedBy([&] { EXPECT_EQ(nullptr, fs->createAndOpenFile(name.c_str())); });
    EXPECT_NE(std::string::npos, printed.find("Could not open file, its path is too long: " + name)) << printed;
    const std::string written = printedBy([&] { EXPECT_EQ(nullptr, fs->createAndWriteFile(name.c_str())); });
    EXPECT_NE(std::string::npos, written.find("Could not write file, its path is too long: " + name)) << written;
    // a file that is merely missing says nothing of its length
    const std::string missing =
        printedBy([&] { EXPECT_EQ(nullptr, fs->createAndOpenFile((dir.path() + "none.png").c_str())); });
    EXPECT_EQ(std::string::npos, missing.find("too long")) << missing;
}

}  // namespace
