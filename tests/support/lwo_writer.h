// Writes LightWave object files in memory: old-format ("LWOB") and new-format ("LWO2") IFF forms with
// big-endian fields, for the loader tests and the fuzzer's seeds. Header only, no platform code.
#ifndef QIRN_TESTS_LWO_WRITER_H
#define QIRN_TESTS_LWO_WRITER_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace qetest {

// Big-endian bytes of IFF chunks.
class IffBytes {
public:
    IffBytes& u8(uint8_t v) { return raw(std::string(1, char(v))); }
    IffBytes& u16(uint32_t v) { return u8(uint8_t(v >> 8)).u8(uint8_t(v)); }
    IffBytes& u32(uint32_t v) { return u16(v >> 16).u16(v & 0xFFFF); }
    IffBytes& f32(float f) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        return u32(u);
    }
    IffBytes& vec(float x, float y, float z) { return f32(x).f32(y).f32(z); }
    // A zero-ended string padded to an even length.
    IffBytes& str(const std::string& s) {
        raw(s).u8(0);
        return s.size() % 2 ? *this : u8(0);
    }
    IffBytes& raw(const std::string& s) {
        bytes += s;
        return *this;
    }
    // A chunk with a 32-bit length (or a sub-chunk with a 16-bit one) around the given bytes.
    IffBytes& chunk(const char* id, const IffBytes& body) {
        raw(std::string(id, 4)).u32(uint32_t(body.bytes.size()));
        return pad(body);
    }
    IffBytes& sub(const char* id, const IffBytes& body) {
        raw(std::string(id, 4)).u16(uint32_t(body.bytes.size()));
        return pad(body);
    }
    std::string bytes;

private:
    IffBytes& pad(const IffBytes& body) {
        raw(body.bytes);
        return body.bytes.size() % 2 ? u8(0) : *this;
    }
};

// The whole file: a FORM of the given kind ("LWOB" or "LWO2") around the chunks.
inline std::string lwoForm(const char* kind, const IffBytes& chunks) {
    IffBytes form;
    form.raw("FORM").u32(uint32_t(4 + chunks.bytes.size())).raw(std::string(kind, 4)).raw(chunks.bytes);
    return form.bytes;
}

// An old-format object: a unit cube's eight corners, six quads (one of them concave when asked, its
// first corner pulled inward) on one surface named "Shiny" with the common old-format sub-chunks: colour,
// flags, diffuse, specular, glossiness (two bytes, or four as some exporters write it), a reflection seam
// angle, a smoothing angle and a texture whose image is "(none)".
inline std::string lwobCube(bool concave = false, bool wideGloss = false) {
    IffBytes pnts;
    const float c[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    for (int i = 0; i < 8; ++i) pnts.vec(c[i][0], c[i][1], (concave && i == 0) ? 0.6f : c[i][2]);
    IffBytes pols;
    const int quads[6][4] = {{0, 1, 2, 3}, {7, 6, 5, 4}, {0, 4, 5, 1}, {1, 5, 6, 2}, {2, 6, 7, 3}, {3, 7, 4, 0}};
    for (const auto& q : quads) pols.u16(4).u16(q[0]).u16(q[1]).u16(q[2]).u16(q[3]).u16(1);
    IffBytes surf;
    surf.str("Shiny");
    surf.sub("COLR", IffBytes().u8(200).u8(100).u8(50).u8(0));
    surf.sub("FLAG", IffBytes().u16(4));
    surf.sub("DIFF", IffBytes().u16(256));
    surf.sub("SPEC", IffBytes().u16(128));
    surf.sub("GLOS", wideGloss ? IffBytes().f32(64) : IffBytes().u16(64));
    surf.sub("RSAN", IffBytes().f32(1.5f));
    surf.sub("SMAN", IffBytes().f32(1.56f));
    surf.sub("CTEX", IffBytes().str("Planar Image Map"));
    surf.sub("TIMG", IffBytes().str("(none)"));
    surf.sub("TFLG", IffBytes().u16(2));
    surf.sub("TSIZ", IffBytes().vec(1, 1, 1));
    IffBytes chunks;
    chunks.chunk("PNTS", pnts).chunk("SRFS", IffBytes().str("Shiny")).chunk("POLS", pols).chunk("SURF", surf);
    return lwoForm("LWOB", chunks);
}

// A new-format object: the same cube's corners as polygons of the given kind ("FACE", or "PTCH" for
// subdivision patches), tagged with one surface "Skin" whose colour sub-chunk carries an envelope index.
inline std::string lwo2Cube(const char* polygonKind = "FACE") {
    IffBytes pnts;
    const float c[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    for (const auto& p : c) pnts.vec(p[0], p[1], p[2]);
    IffBytes pols;
    pols.raw(std::string(polygonKind, 4));
    const int quads[6][4] = {{0, 1, 2, 3}, {7, 6, 5, 4}, {0, 4, 5, 1}, {1, 5, 6, 2}, {2, 6, 7, 3}, {3, 7, 4, 0}};
    for (const auto& q : quads) pols.u16(4).u16(q[0]).u16(q[1]).u16(q[2]).u16(q[3]);
    IffBytes ptag;
    ptag.raw("SURF");
    for (int i = 0; i < 6; ++i) ptag.u16(i).u16(0);
    IffBytes surf;
    surf.str("Skin").str("");
    surf.sub("COLR", IffBytes().vec(0.8f, 0.4f, 0.2f).u16(0));
    surf.sub("DIFF", IffBytes().f32(1).u16(0));
    surf.sub("GLOS", IffBytes().f32(0.4f).u16(0));
    IffBytes chunks;
    chunks.chunk("TAGS", IffBytes().str("Skin"))
        .chunk("LAYR", IffBytes().u16(0).u16(0).vec(0, 0, 0).str("layer"))
        .chunk("PNTS", pnts)
        .chunk("POLS", pols)
        .chunk("PTAG", ptag)
        .chunk("SURF", surf);
    return lwoForm("LWO2", chunks);
}

// The new-format cube with a colour texture mapped through the UV map of the given name: every corner at
// (0, 0) in the per-point map, and the four corners of polygon 0 at (0.5, 0.5) in the discontinuous
// (per-polygon) map of the same name.
inline std::string lwo2MappedCube(const std::string& mapName) {
    const std::string whole = lwo2Cube();
    IffBytes vmap;
    vmap.raw("TXUV").u16(2).str(mapName);
    for (int i = 0; i < 8; ++i) vmap.u16(i).f32(0).f32(0);
    IffBytes vmad;
    vmad.raw("TXUV").u16(2).str(mapName);
    for (int i : {0, 1, 2, 3}) vmad.u16(i).u16(0).f32(0.5f).f32(0.5f);
    IffBytes header;
    header.str("\x80").sub("CHAN", IffBytes().raw("COLR"));
    IffBytes block;
    block.sub("IMAP", header).sub("PROJ", IffBytes().u16(5)).sub("VMAP", IffBytes().str(mapName));  // 5: UV
    IffBytes surf;
    surf.str("Skin").str("").sub("BLOK", block);
    // the cube's chunks up to its surface, then the maps and the mapped surface
    const size_t surfAt = whole.find("SURF", whole.find("PTAG") + 12);  // past the tag kind "SURF"
    IffBytes chunks;
    chunks.raw(whole.substr(12, surfAt - 12)).chunk("VMAP", vmap).chunk("VMAD", vmad).chunk("SURF", surf);
    return lwoForm("LWO2", chunks);
}

}  // namespace qetest

#endif
