// Terrains on the null driver: the height encoding, the file names, raw maps of both sizes and the
// fallback to the BMP map, the flipped rows, and terrains as objects.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <string>

#include "file_fixtures.h"
#include "object_fixtures.h"
#include "shell_fixtures.h"
#include "terrain.h"

using namespace irr;

namespace {

std::string encoded(uint16_t sample) {
    uint8_t rgb[3];
    qeIrrlichtTerrainEncodeHeight(sample, rgb);
    return std::to_string(rgb[0]) + "," + std::to_string(rgb[1]) + "," + std::to_string(rgb[2]);
}

TEST(TerrainNames, EncodingAndBaseName) {
    EXPECT_EQ("250,250,250", encoded(65535));
    EXPECT_EQ("125,125,125", encoded(32768));  // 125.0019: below 0.06
    EXPECT_EQ("11,10,12", encoded(2752));      // 10.498: at least 0.47
    EXPECT_EQ("13,10,10", encoded(2870));      // 10.948: at least 0.86
    EXPECT_EQ("4,4,4", encoded(1036));         // 3.952: at least 0.95
    EXPECT_EQ("10,11,12", encoded(2830));      // 10.796: at least 0.76

    char base[64];
    qeIrrlichtTerrainBaseName("hill.terrain.layer1.x", base, sizeof(base));
    EXPECT_STREQ("hill.terrain", base);
    qeIrrlichtTerrainBaseName("dir\\hill.terrain.x", base, sizeof(base));
    EXPECT_STREQ("dir\\hill.terrain.x", base);
    EXPECT_EQ(1, qeIrrlichtObjIsTerrainName("a.terrain.x"));
    EXPECT_EQ(0, qeIrrlichtObjIsTerrainName("terrain.x"));
}

struct Terrain : qetest::NullEngine {
    qetest::TempDir dir{"terrain"};
    // A raw map of n x n samples whose row y holds the value y * 100 (the first sample of row 0 is 7).
    std::string writeRaw(const char* name, int n, size_t bytes = 0) {
        std::string data(bytes ? bytes : size_t(n) * n * 2, '\0');
        for (int y = 0; y < n && !bytes; ++y)
            for (int x = 0; x < n; ++x) {
                const uint16_t v = uint16_t(x == 0 && y == 0 ? 7 : y * 100);
                data[2 * (y * n + x)] = char(v & 0xFF);
                data[2 * (y * n + x) + 1] = char(v >> 8);
            }
        return dir.write(name, data);
    }
    void writeBmp(const char* name, int size) {
        video::IImage* image = driver->createImage(video::ECF_R8G8B8, core::dimension2du(size, size));
        image->fill(video::SColor(255, 40, 40, 40));
        driver->writeImageToFile(image, (dir.path() + name).c_str());
        image->drop();
    }
};

TEST_F(Terrain, RawMapsGiveRowsFlippedAndTheirSize) {
    for (int n : {257, 513}) {
        const std::string raw = writeRaw(n == 257 ? "a_height.raw" : "b_height.raw", n);
        int width = 0, height = 0;
        io::IReadFile* file = openHeightMapFileRaw(raw.c_str(), &width, &height);
        ASSERT_NE(nullptr, file);
        EXPECT_EQ(n, width);
        EXPECT_EQ(n, height);
        EXPECT_STREQ("heightmap", file->getFileName().c_str());
        video::IImage* image = driver->createImageFromFile(file);
        file->drop();
        ASSERT_NE(nullptr, image);
        uint8_t first[3], last[3];
        qeIrrlichtTerrainEncodeHeight(7, first);
        qeIrrlichtTerrainEncodeHeight(uint16_t((n - 1) * 100), last);
        EXPECT_EQ(video::SColor(255, first[0], first[1], first[2]), image->getPixel(0, n - 1));
        EXPECT_EQ(video::SColor(255, last[0], last[1], last[2]), image->getPixel(5, 0));
        image->drop();
    }
}

TEST_F(Terrain, TerrainObjectsFromRawThenBmpMaps) {
    qetest::BoxRecorder boxes;
    writeRaw("hill.terrain_height.raw", 257);
    const std::string hill = dir.path() + "hill.terrain.layer1.x";
    qeIrrlichtLoadObject(hill.c_str(), 1);
    scene::ITerrainSceneNode* node = qeIrrlichtGetObjectTerrainNode(1);
    ASSERT_NE(nullptr, node);
    EXPECT_EQ(node, qeIrrlichtGetObjectNode(1));
    EXPECT_EQ(1, node->getID());
    EXPECT_EQ(core::vector3df(7680.0f / 257, 8.0f, 7680.0f / 257), node->getScale());
    EXPECT_EQ(core::vector3df(0, -180.0f, 0), node->getRotation());
    EXPECT_FALSE(node->getMaterial(0).Lighting);
    EXPECT_EQ(0, qeIrrlichtObjectIsStaticMesh(1));
    EXPECT_EQ(1, qeIrrlichtTotalObjectFrames(1));
    EXPECT_FLOAT_EQ(0.0f, qeIrrlichtGetObjectRadius(1));

    // A raw file of the wrong size is refused and the BMP map is taken.
    writeRaw("dale.terrain_height.raw", 0, 131072);
    writeBmp("dale.terrain_height.bmp", 64);
    const std::string dale = dir.path() + "dale.terrain.layer2.x";
    qeIrrlichtLoadObject(dale.c_str(), 2);
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("height map raw file '" + dir.path() + "dale.terrain_height.raw' is not 257 or 513 size", boxes.text(0));
    ASSERT_NE(nullptr, qeIrrlichtGetObjectTerrainNode(2));
    EXPECT_FLOAT_EQ(7680.0f / 64, qeIrrlichtGetObjectTerrainNode(2)->getScale().X);

    // Terrains are not instanced; a missing map fails the load.
    int arg = 0;
    qeIrrlichtInstanceObject(3, 1);
    EXPECT_EQ("Terrain not supported", lastError(&arg));
    EXPECT_EQ(2, arg);
    EXPECT_EQ(0, qeIrrlichtObjectExist(3));
    const std::string none = dir.path() + "none.terrain.x";
    qeIrrlichtLoadObject(none.c_str(), 4);
    EXPECT_EQ("Failed to load terrain '" + none + "'", lastError(&arg));
    EXPECT_EQ("Cannot load height map file '" + dir.path() + "none.terrain.x_height.bmp'", boxes.text(1));
    EXPECT_EQ(0, qeIrrlichtObjectExist(4));

    qeIrrlichtPositionObject(1, 5, 5, 5);  // ignored for a terrain
    EXPECT_EQ(core::vector3df(0, 0, 0), node->getPosition());
    qeIrrlichtDeleteObject(1);
    EXPECT_EQ(std::vector<int>({2}), std::vector<int>({qeIrrlichtGetVisibleObjectId(0)}));
}

}  // namespace
