// Writes the engine fuzzers' first inputs, small files of every form each reader takes: .x files in text,
// binary (four- and eight-byte floats) and compressed form (refused); LightWave objects in both formats
// with every chunk and surface sub-chunk kind the loader knows; DDS files of every pixel format, a volume
// and rows padded by their pitch; shader headers and COLLADA effects.
#include <cstdio>
#include <string>
#include <vector>

#include "dds_writer.h"
#include "lwo_writer.h"
#include "x_samples.h"

namespace {

void put(const std::string& path, const std::string& bytes) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

using qetest::IffBytes;

const float kCorners[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
const int kQuads[6][4] = {{0, 1, 2, 3}, {7, 6, 5, 4}, {0, 4, 5, 1}, {1, 5, 6, 2}, {2, 6, 7, 3}, {3, 7, 4, 0}};

IffBytes corners() {
    IffBytes pnts;
    for (const auto& p : kCorners) pnts.vec(p[0], p[1], p[2]);
    return pnts;
}

// An old-format cube whose surface carries the old sub-chunks lwobCube leaves out: envelope-free values
// (VDIF, VLUM, VSPC, VRFL, VTRN), the reflection and edge settings, and one texture of each channel with
// every texture parameter.
std::string lwobEveryOldSubChunk() {
    IffBytes pols;
    for (const auto& q : kQuads) pols.u16(4).u16(q[0]).u16(q[1]).u16(q[2]).u16(q[3]).u16(1);
    IffBytes surf;
    surf.str("Old");
    surf.sub("COLR", IffBytes().u8(10).u8(20).u8(30).u8(0));
    surf.sub("FLAG", IffBytes().u16(0x1FF));
    for (const char* v : {"LUMI", "DIFF", "SPEC", "REFL", "TRAN"}) surf.sub(v, IffBytes().u16(100));
    for (const char* v : {"VLUM", "VDIF", "VSPC", "VRFL", "VTRN"}) surf.sub(v, IffBytes().f32(0.5f));
    surf.sub("GLOS", IffBytes().u16(32));
    surf.sub("RFLT", IffBytes().u16(1));
    surf.sub("RIMG", IffBytes().str("sky.png"));
    surf.sub("RSAN", IffBytes().f32(0.5f));
    surf.sub("RIND", IffBytes().f32(1.3f));
    surf.sub("EDGE", IffBytes().f32(0.2f));
    surf.sub("SMAN", IffBytes().f32(1.0f));
    for (const char* tex : {"CTEX", "DTEX", "STEX", "RTEX", "TTEX", "LTEX", "BTEX"}) {
        surf.sub(tex, IffBytes().str("Planar Image Map"));
        surf.sub("TIMG", IffBytes().str("map.png"));
        surf.sub("TALP", IffBytes().str("alpha.png"));
        surf.sub("TFLG", IffBytes().u16(0x7F));
        surf.sub("TWRP", IffBytes().u16(1).u16(2));
        surf.sub("TSIZ", IffBytes().vec(1, 2, 3));
        surf.sub("TCTR", IffBytes().vec(0.5f, 0.5f, 0.5f));
        surf.sub("TFAL", IffBytes().vec(0, 0, 0));
        surf.sub("TVEL", IffBytes().vec(0, 0, 0));
        surf.sub("TCLR", IffBytes().u8(1).u8(2).u8(3).u8(0));
        surf.sub("TVAL", IffBytes().u16(128));
        surf.sub("TAMP", IffBytes().f32(1.0f));
        surf.sub("TFRQ", IffBytes().u16(2));
        for (const char* p : {"TFP0", "TFP1", "TFP2"}) surf.sub(p, IffBytes().f32(0.25f));
        for (const char* p : {"TSP0", "TSP1", "TSP2"}) surf.sub(p, IffBytes().f32(0.75f));
        for (const char* p : {"TIP0", "TIP1", "TIP2"}) surf.sub(p, IffBytes().u16(3));
        surf.sub("TAAS", IffBytes().f32(0.1f));
        surf.sub("TOPC", IffBytes().f32(1.0f));
    }
    IffBytes chunks;
    chunks.chunk("PNTS", corners()).chunk("SRFS", IffBytes().str("Old")).chunk("POLS", pols).chunk("SURF", surf);
    return qetest::lwoForm("LWOB", chunks);
}

// A new-format cube with every chunk kind the loader knows (layer, points, bounding box, vertex maps,
// faces, tag mapping, discontinuous map, clip, description, text, icon, patches and curves) and a surface
// with every sub-chunk kind, among them a texture block with its header and mapping sub-chunks.
std::string lwo2EveryChunk() {
    IffBytes pols;
    pols.raw("FACE");
    for (const auto& q : kQuads) pols.u16(4).u16(q[0]).u16(q[1]).u16(q[2]).u16(q[3]);
    IffBytes ptag;
    ptag.raw("SURF");
    for (int i = 0; i < 6; ++i) ptag.u16(i).u16(0);
    IffBytes vmap;
    vmap.raw("TXUV").u16(2).str("uv");
    for (int i = 0; i < 8; ++i) vmap.u16(i).f32(kCorners[i][0]).f32(kCorners[i][1]);
    IffBytes vmad;
    vmad.raw("TXUV").u16(2).str("uv");
    for (int i = 0; i < 4; ++i) vmad.u16(kQuads[0][i]).u16(0).f32(0.5f).f32(0.5f);
    IffBytes rgba;
    rgba.raw("RGBA").u16(4).str("paint");
    for (int i = 0; i < 8; ++i) rgba.u16(i).f32(1).f32(0.5f).f32(0.25f).f32(1);

    IffBytes surf;
    surf.str("Every").str("");
    surf.sub("COLR", IffBytes().vec(0.8f, 0.4f, 0.2f).u16(0));
    for (const char* v : {"DIFF", "LUMI", "SPEC", "REFL", "TRAN", "TRNL", "GLOS", "SHRP", "BUMP", "RSAN", "RBLR",
                          "RIND", "TBLR", "CLRH", "CLRF", "ADTR", "GVAL"})
        surf.sub(v, IffBytes().f32(0.5f).u16(0));
    surf.sub("SIDE", IffBytes().u16(3));
    surf.sub("SMAN", IffBytes().f32(1.2f));
    surf.sub("RFOP", IffBytes().u16(2));
    surf.sub("RIMG", IffBytes().u16(1));
    surf.sub("TROP", IffBytes().u16(1));
    surf.sub("TIMG", IffBytes().u16(1));
    surf.sub("GLOW", IffBytes().u16(0).f32(1.0f).u16(0).f32(0.5f).u16(0));
    surf.sub("LINE", IffBytes().u16(1).f32(1.0f).u16(0).vec(1, 1, 1).u16(0));
    surf.sub("ALPH", IffBytes().u16(1).f32(0.5f));
    surf.sub("VCOL", IffBytes().f32(1.0f).u16(0).raw("RGBA").str("paint"));
    IffBytes block;
    IffBytes header;
    header.str("\x80");
    header.sub("CHAN", IffBytes().raw("COLR"));
    header.sub("ENAB", IffBytes().u16(1));
    header.sub("OPAC", IffBytes().u16(0).f32(1.0f).u16(0));
    header.sub("AXIS", IffBytes().u16(2));
    block.sub("IMAP", header);
    IffBytes tmap;
    tmap.sub("CNTR", IffBytes().vec(0, 0, 0).u16(0));
    tmap.sub("SIZE", IffBytes().vec(1, 1, 1).u16(0));
    tmap.sub("ROTA", IffBytes().vec(0, 0, 0).u16(0));
    tmap.sub("OREF", IffBytes().str("(none)"));
    tmap.sub("FALL", IffBytes().u16(0).vec(0, 0, 0).u16(0));
    tmap.sub("CSYS", IffBytes().u16(0));
    block.sub("TMAP", tmap);
    block.sub("PROJ", IffBytes().u16(5));
    block.sub("AXIS", IffBytes().u16(2));
    block.sub("IMAG", IffBytes().u16(1));
    block.sub("WRAP", IffBytes().u16(1).u16(1));
    block.sub("WRPW", IffBytes().f32(1.0f).u16(0));
    block.sub("WRPH", IffBytes().f32(1.0f).u16(0));
    block.sub("VMAP", IffBytes().str("uv"));
    block.sub("AAST", IffBytes().u16(1).f32(0.5f));
    block.sub("TAMP", IffBytes().f32(1.0f).u16(0));
    surf.sub("BLOK", block);

    IffBytes clip;
    clip.u32(1).sub("STIL", IffBytes().str("images/skin.png"));
    IffBytes icon;
    icon.u16(0).u16(2).raw(std::string(4, '\x7F'));
    IffBytes chunks;
    chunks.chunk("TAGS", IffBytes().str("Every"))
        .chunk("LAYR", IffBytes().u16(0).u16(0).vec(0, 0, 0).str("layer").u16(0xFFFF))
        .chunk("PNTS", corners())
        .chunk("BBOX", IffBytes().vec(0, 0, 0).vec(1, 1, 1))
        .chunk("VMAP", vmap)
        .chunk("VMAP", rgba)
        .chunk("POLS", pols)
        .chunk("PTAG", ptag)
        .chunk("VMAD", vmad)
        .chunk("CLIP", clip)
        .chunk("ENVL", IffBytes().u16(1).sub("TYPE", IffBytes().u8(0).u8(0)))
        .chunk("DESC", IffBytes().str("a cube"))
        .chunk("TEXT", IffBytes().str("made for the fuzzer"))
        .chunk("ICON", icon)
        .chunk("PCHS", IffBytes().u16(0))
        .chunk("CRVS", IffBytes().u16(0))
        .chunk("SURF", surf);
    return qetest::lwoForm("LWO2", chunks);
}

void ddsSeeds(const std::string& dir) {
    auto ddsPut = [&](const std::string& name, const qetest::DdsLayout& layout, size_t bytes) {
        const std::vector<uint8_t> f = qetest::ddsFile(layout, std::vector<uint8_t>(bytes, 0x5A));
        put(dir + "/" + name, std::string(f.begin(), f.end()));
    };
    put(dir + "/not-a-header.dds", std::string(128 + 64, '\x40'));  // a start for the mutations
    struct Rgb {
        const char* name;
        uint32_t bits, red, green, blue, alpha;
    };
    const Rgb rgb[] = {
        {"r5g6b5", 16, 0xF800, 0x07E0, 0x001F, 0},       {"a1r5g5b5", 16, 0x7C00, 0x03E0, 0x001F, 0x8000},
        {"a4r4g4b4", 16, 0x0F00, 0x00F0, 0x000F, 0xF000}, {"r8g8b8", 24, 0xFF0000, 0xFF00, 0xFF, 0},
        {"x8r8g8b8", 32, 0xFF0000, 0xFF00, 0xFF, 0},      {"a8r8g8b8", 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
        {"x8b8g8r8", 32, 0xFF, 0xFF00, 0xFF0000, 0},      {"a8b8g8r8", 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},
    };
    for (const Rgb& f : rgb) {
        qetest::DdsLayout l;
        l.bits = f.bits;
        l.red = f.red;
        l.green = f.green;
        l.blue = f.blue;
        l.alpha = f.alpha;
        if (f.alpha) l.pfFlags |= 0x1;
        ddsPut(std::string(f.name) + ".dds", l, 4 * 4 * f.bits / 8);
        // rows padded by the pitch, and a volume of two slices
        l.flags |= 0x8;
        l.pitch = 4 * f.bits / 8 + 4;
        ddsPut(std::string(f.name) + "-pitch.dds", l, 4 * l.pitch);
        l.flags = (l.flags & ~0x8u) | 0x800000;
        l.pitch = 0;
        l.depth = 2;
        ddsPut(std::string(f.name) + "-volume.dds", l, 2 * 4 * 4 * f.bits / 8);
    }
    qetest::DdsLayout l;
    l.pfFlags = 0x4;
    l.width = 5;
    l.height = 3;
    for (const char* fourCC : {"DXT1", "DXT2", "DXT3", "DXT4", "DXT5"}) {
        l.fourCC = fourCC;
        ddsPut(std::string(fourCC) + ".dds", l, fourCC[3] == '1' ? 16 : 32);
    }
    l.fourCC = "DXT5";
    l.flags |= 0x800000;
    l.depth = 3;
    ddsPut("DXT5-volume.dds", l, 3 * 32);
    qetest::DdsLayout lum;
    lum.pfFlags = 0x20000;
    lum.bits = 8;
    lum.red = 0xFF;
    lum.green = lum.blue = 0;
    ddsPut("l8.dds", lum, 16);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) return 2;
    const std::string x = argv[1], lwo = argv[2], dds = argv[3], header = argv[4], collada = argv[5];
    put(x + "/skinned.x", qetest::skinnedCubeX());
    const std::vector<float> uv2 = {0.5f, 0.25f, 0.75f, 0.25f, 0.75f, 0.5f, 0.5f, 0.5f};
    put(x + "/quad-text.x", qetest::textQuad(0x102, uv2));
    put(x + "/quad-binary.x", qetest::binaryQuad(0x102, uv2));
    put(x + "/framed-binary32.x", qetest::binaryFramedQuad(false));
    put(x + "/framed-binary64.x", qetest::binaryFramedQuad(true));
    // compressed files are refused at their header; their bodies give the mutations binary tokens to find
    std::string zipped = qetest::binaryQuad(0x102, uv2);
    put(x + "/quad-tzip.x", zipped.replace(8, 4, "tzip"));
    put(x + "/quad-bzip.x", zipped.replace(8, 4, "bzip"));

    put(lwo + "/cube-lwob.lwo", qetest::lwobCube());
    put(lwo + "/concave-lwob.lwo", qetest::lwobCube(true));
    put(lwo + "/wide-gloss-lwob.lwo", qetest::lwobCube(false, true));
    put(lwo + "/every-sub-chunk-lwob.lwo", lwobEveryOldSubChunk());
    put(lwo + "/cube-lwo2.lwo", qetest::lwo2Cube());
    put(lwo + "/patches-lwo2.lwo", qetest::lwo2Cube("PTCH"));
    put(lwo + "/every-chunk-lwo2.lwo", lwo2EveryChunk());

    ddsSeeds(dds);

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
    // every header line kind: names, functions, configs, textures with their options, each value type
    put(header + "/every-line.fx",
        "// [QIRN_BEGIN]\n//title Every\n//subject Post\n//comments all the lines\n//function vertexMain vsMain\n"
        "//function pixelMain psMain\n//config tangents\n//config baseMaterial transparent_add_color\n"
        "//config render lpp\n//texture Diffuse preset\n//texture 2 env.dds cube repeat noMipMap\n"
        "//texture 3 depth.dds filterPoint r32f mipmap\n//texture LightRTT\n//float4x4 WVP : WorldViewProjection\n"
        "//matrix W : World vertex\n//float3 Tint : 1,0.5,0 color pixel\n//float R : Surface_Roughness percent both\n"
        "//float2 Half : HalfPixelSize;\n//float4 F4 : 1,2,3,4\n//int Count : 3\n//integer N : 4\n//bool On : true\n"
        "//floatN T : Time0_X\n//floatNRef S : Surface_Glow\n// [QIRN_END]\nfloat4 psMain() : COLOR { return 0; }\n");
    // a GLSL profile, every sampler kind, annotations, states and the evaluate records
    put(collada + "/every-kind.dae",
        "<?xml version=\"1.0\"?>\n<COLLADA version=\"1.5.0\"><asset><title>t</title></asset><library_effects>"
        "<effect id=\"e\" name=\"E\"><annotate name=\"A\"><string>s</string></annotate>"
        "<newparam sid=\"B\"><bool>1</bool></newparam><newparam sid=\"I\"><int>3</int></newparam>"
        "<newparam sid=\"F\"><float>1</float></newparam><newparam sid=\"F2\"><float2>1 2</float2></newparam>"
        "<newparam sid=\"F4\"><float4>1 2 3 4</float4></newparam>"
        "<newparam sid=\"M\"><semantic>WORLD</semantic><float4x4>1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1</float4x4></newparam>"
        "<newparam sid=\"S1\"><sampler1D><instance_image url=\"#a\"/></sampler1D></newparam>"
        "<newparam sid=\"S3\"><sampler3D><instance_image url=\"#b\"/><wrap_p>MIRROR</wrap_p></sampler3D></newparam>"
        "<newparam sid=\"SC\"><samplerCube><instance_image url=\"#c\"/><minfilter>LINEAR</minfilter></samplerCube></newparam>"
        "<newparam sid=\"SR\"><samplerRect><instance_image url=\"#d\"/><magfilter>POINT</magfilter></samplerRect></newparam>"
        "<newparam sid=\"SD\"><samplerDepth><instance_image url=\"#e\"/><mipfilter>NONE</mipfilter></samplerDepth></newparam>"
        "<newparam sid=\"U\"><usertype/></newparam><newparam sid=\"T\"><string>x</string></newparam>"
        "<profile_GLSL><include sid=\"src\" url=\"e.glsl\"/><technique sid=\"t\"><pass sid=\"p\">"
        "<states><blend_func><src value=\"ONE\"/><dest value=\"ZERO\" param=\"D\" index=\"1\"/></blend_func>"
        "<depth_mask><value>false</value></depth_mask></states><evaluate>"
        "<color_target index=\"1\"><param ref=\"SC\"/></color_target><depth_target><param ref=\"SD\"/></depth_target>"
        "<stencil_target/><color_clear>0 0 0 1</color_clear><depth_clear>1</depth_clear><stencil_clear>0</stencil_clear>"
        "<draw>SCENE_GEOMETRY</draw></evaluate><program>"
        "<shader stage=\"VERTEX\"><sources entry=\"v\"><import ref=\"src\"/></sources>"
        "<compiler platform=\"PC\" target=\"vs_2_0\"/><bind_uniform symbol=\"m\"><param ref=\"M\"/></bind_uniform></shader>"
        "<shader stage=\"GEOMETRY\"><sources entry=\"g\"><inline>x</inline></sources></shader>"
        "<shader stage=\"TESSELATION\"><sources entry=\"h\"><inline>y</inline></sources></shader>"
        "<shader stage=\"FRAGMENT\"><sources entry=\"f\"><inline><![CDATA[void f() {}]]></inline></sources>"
        "<compiler platform=\"PC\" target=\"ps_1_1\"/></shader></program></pass></technique></profile_GLSL>"
        "</effect></library_effects></COLLADA>\n");
    return 0;
}
