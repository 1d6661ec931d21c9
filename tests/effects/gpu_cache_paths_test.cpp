// How the compiled-shader cache records the sources that use a blob, looks them up and finds them gone.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "file_fixtures.h"
#include "gpu/QeShaderCachePaths.h"

namespace {

// Sources are recorded relative to the cache folder on its drive or share, whole elsewhere; a path on a
// share keeps its server and share in every step (record, compare, look up).
TEST(GpuCachePaths, SourcePathsKeepTheirDriveOrShareWhole) {
    std::string rest;
    EXPECT_EQ("C:", cachePathRoot("C:\\a\\b.hlsl", &rest));
    EXPECT_EQ("\\a\\b.hlsl", rest);
    EXPECT_EQ("//server/share", cachePathRoot("\\\\server\\share\\demo\\fx.hlsl", &rest));
    EXPECT_EQ("\\demo\\fx.hlsl", rest);
    EXPECT_EQ("/", cachePathRoot("/a/b.hlsl"));
    EXPECT_EQ("", cachePathRoot("a/b.hlsl"));

    const struct {
        const char *source, *folder, *recorded;
    } cases[] = {
        {"C:/demo/shaders/fx.hlsl", "C:/qirn/shadersCache", "../../demo/shaders/fx.hlsl"},
        {"D:/demo/fx.hlsl", "C:/qirn/shadersCache", "D:/demo/fx.hlsl"},
        {"\\\\server\\share\\demo\\shaders\\fx.hlsl", "C:/qirn/shadersCache", "//server/share/demo/shaders/fx.hlsl"},
        {"//server/share/demo/shaders/fx.hlsl", "//server/share/qirn/shadersCache", "../../demo/shaders/fx.hlsl"},
        {"//server/other/fx.hlsl", "//server/share/qirn/shadersCache", "//server/other/fx.hlsl"},
        {"C:/demo/fx.hlsl", "//server/share/qirn/shadersCache", "C:/demo/fx.hlsl"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.recorded, cacheSourcePath(c.source, c.folder)) << c.source;
        // looked up where it was: the same file as the source
        const std::string full = cacheSourceFullPath(c.recorded, c.folder);
        EXPECT_TRUE(sameCacheSource(c.source, full)) << c.source << " " << full;
    }
    EXPECT_TRUE(sameCacheSource("\\\\SERVER\\share\\x.hlsl", "//server/share/x.hlsl"));
    EXPECT_FALSE(sameCacheSource("//server/share/x.hlsl", "/server/share/x.hlsl"));
    // nothing lies above a drive or share
    EXPECT_EQ("C:/x.hlsl", cacheSourceFullPath("../../../x.hlsl", "C:/a"));
    EXPECT_EQ("//server/share/x.hlsl", cacheSourceFullPath("../../../x.hlsl", "//server/share/a"));

    // a share that cannot be reached, a drive that is not there, and a path without a root are never gone
    EXPECT_FALSE(isCacheSourceGone("//qirn-nowhere/share/demo/fx.hlsl"));
    EXPECT_FALSE(isCacheSourceGone("relative/fx.hlsl"));
    const DWORD drives = GetLogicalDrives();
    for (char letter = 'Q'; letter <= 'Y'; ++letter)
        if (!(drives & (1u << (letter - 'A'))))
            EXPECT_FALSE(isCacheSourceGone(std::string(1, letter) + ":/demo/fx.hlsl")) << letter;
    // on a drive that is there: a missing file, and a file of a missing folder, are gone
    qetest::TempDir dir("gpugonetest");
    const std::string there = dir.write("fx.hlsl", "x");
    EXPECT_FALSE(isCacheSourceGone(there));
    EXPECT_TRUE(isCacheSourceGone(dir.path() + "none.hlsl"));
    EXPECT_TRUE(isCacheSourceGone(dir.path() + "none\\shaders\\fx.hlsl"));
}

}  // namespace
