// Writes the engine fuzzers' first inputs: the loader tests' sample files, DDS files of each layout, a
// shader header and a COLLADA effect.
#include <cstdio>
#include <string>

#include "dds_writer.h"
#include "lwo_writer.h"
#include "x_samples.h"

static void put(const std::string& path, const std::string& bytes) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

int main(int argc, char** argv) {
    if (argc != 6) return 2;
    const std::string x = argv[1], lwo = argv[2], dds = argv[3], header = argv[4], collada = argv[5];
    put(x + "/skinned.x", qetest::skinnedCubeX());
    put(lwo + "/cube-lwob.lwo", qetest::lwobCube());
    put(lwo + "/concave-lwob.lwo", qetest::lwobCube(true));
    put(lwo + "/wide-gloss-lwob.lwo", qetest::lwobCube(false, true));
    put(lwo + "/cube-lwo2.lwo", qetest::lwo2Cube());
    put(lwo + "/patches-lwo2.lwo", qetest::lwo2Cube("PTCH"));
    qetest::DdsLayout l;
    put(dds + "/rgb32.dds", std::string(128 + 64, '\x40'));  // not a header: a start for the mutations
    const std::vector<uint8_t> texels(4 * 4 * 4, 0x5A);
    auto ddsPut = [&](const char* name, const qetest::DdsLayout& layout, size_t bytes) {
        const std::vector<uint8_t> f = qetest::ddsFile(layout, std::vector<uint8_t>(texels.begin(), texels.begin() + bytes));
        put(dds + "/" + name, std::string(f.begin(), f.end()));
    };
    ddsPut("x8r8g8b8.dds", l, 64);
    l.bits = 24;
    ddsPut("r8g8b8.dds", l, 48);
    l.bits = 32;
    l.pfFlags = 0x4;
    l.width = 5;
    l.height = 3;
    for (const char* fourCC : {"DXT1", "DXT3", "DXT5"}) {
        l.fourCC = fourCC;
        ddsPut((std::string(fourCC) + ".dds").c_str(), l, fourCC[3] == '1' ? 16 : 32);
    }
    put(header + "/glow.hlsl",
        "// [QIRN_BEGIN]\n//title Glow\n//function pixelMain psGlow\n//config tangents\n//texture Diffuse\n"
        "//texture 4 noise.png repeat filterPoint\n//float3 Tint : 1,0.5,0 color pixel\n//bool On : 1 vertex\n"
        "// [QIRN_END]\nfloat4 psGlow() : COLOR { return 0; }\n");
    put(collada + "/glow.dae",
        "<?xml version=\"1.0\"?>\n<COLLADA version=\"1.5.0\"><library_effects><effect id=\"glow\">"
        "<newparam sid=\"Tint\"><semantic>DIFFUSE</semantic><float3>1 0.5 0</float3></newparam>"
        "<newparam sid=\"Map\"><sampler2D><instance_image url=\"#img\"/><wrap_s>WRAP</wrap_s></sampler2D></newparam>"
        "<profile_CG><technique sid=\"t\"><pass sid=\"p\"><states><blend_enable value=\"true\"/></states>"
        "<program><shader stage=\"FRAGMENT\"><sources entry=\"ps\"><inline><![CDATA[float4 ps() : COLOR { return 1; }]]>"
        "</inline></sources><compiler platform=\"PC\" target=\"ps_3_0\"/><bind_uniform symbol=\"tint\">"
        "<param ref=\"Tint\"/></bind_uniform></shader></program></pass></technique></profile_CG></effect>"
        "</library_effects></COLLADA>\n");
    return 0;
}
