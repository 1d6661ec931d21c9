// The compiled-shader cache's names: the macro key text, the hashed part of an ".inf" and the blob names.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include "gpu/QeShaderCacheInfo.h"
#include "gpu_fixture.h"

using namespace irr;

namespace {

using qetest::macroList;

class GpuCacheInfo : public qetest::DeviceTest {};

TEST_F(GpuCacheInfo, BlobNamesHashTheSortedMacrosAndTheContentKey) {
    // the hash in a name is that of the info text: the macros, a line feed and the source's content key
    const core::stringc content = "ABCDEFGHJKMNPQRSTUVWXYZ123456789";
    EXPECT_STREQ("\nABCDEFGHJKMNPQRSTUVWXYZ123456789", cacheInfoText(macroList({}), content).c_str());
    EXPECT_STREQ("shaders!LppDepthPass!vertexMain!G5YXWYHZV81VJDZHQXNTZGH9BF67PPWV.vso",
                 makeCacheFileName(fs, "D:/data/shaders/LppDepthPass.hlsl", "vertexMain", macroList({}), true, content)
                     .c_str());
    // the key text is sorted: any order of the same macros gives the same name; other content another
    const SShaderMacroList one = macroList({{"USE_FOG", "1"}, {"A", ""}});
    const SShaderMacroList other = macroList({{"A", ""}, {"USE_FOG", "1"}});
    EXPECT_STREQ("A ~USE_FOG 1~", macroKeyText(one).c_str());
    const core::stringc name = makeCacheFileName(fs, "C:\\a\\b\\y.fx", "main", one, false, content);
    EXPECT_EQ(name, makeCacheFileName(fs, "C:\\a\\b\\y.fx", "main", other, false, content));
    EXPECT_NE(name, makeCacheFileName(fs, "C:\\a\\b\\y.fx", "main", one, false, core::stringc("Z") + content.subString(1, 31)));
    EXPECT_EQ(0, name.find("b!y!main!"));
    EXPECT_EQ(core::stringc(".pso"), name.subString(name.size() - 4, 4));
    // a bare file name has "." as its folder; no entry point leaves that part empty
    EXPECT_EQ(0, makeCacheFileName(fs, "x.hlsl", nullptr, one, false, content).find(".!x!!"));
}


}  // namespace
