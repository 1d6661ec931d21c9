// Small .x files for the loader tests and the fuzzer's seeds: a skinned cube in text form (two frames, a
// cube on two materials whose top corners hang from the bone, a two-key animation of that bone), a writer
// of binary files' tokens, and a quad with a second texture-coordinate set in text and binary form.
#ifndef QIRN_TESTS_X_SAMPLES_H
#define QIRN_TESTS_X_SAMPLES_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace qetest {

inline uint32_t floatBits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

// Writes the tokens of a binary .x file, its floats four bytes wide or, when asked, eight.
class BinaryX {
public:
    explicit BinaryX(bool wideFloats = false) : wide_(wideFloats) {
        if (wide_) bytes = "xof 0303bin 0064";
    }
    BinaryX& name(const std::string& n) {
        put<uint16_t>(1).put(static_cast<uint32_t>(n.size())).bytes += n;
        return *this;
    }
    // A string token and the separator token after it.
    BinaryX& string(const std::string& s) {
        put<uint16_t>(2).put(static_cast<uint32_t>(s.size())).bytes += s;
        return put<uint16_t>(0x14);
    }
    BinaryX& guid() {
        put<uint16_t>(5).bytes += std::string(16, '\x11');
        return *this;
    }
    BinaryX& open() { return put<uint16_t>(0x0a); }
    BinaryX& close() { return put<uint16_t>(0x0b); }
    BinaryX& ints(const std::vector<uint32_t>& values) {
        put<uint16_t>(6).put(static_cast<uint32_t>(values.size()));
        for (uint32_t v : values) put(v);
        return *this;
    }
    BinaryX& floats(const std::vector<float>& values) {
        put<uint16_t>(7).put(static_cast<uint32_t>(values.size()));
        for (float v : values) {
            if (wide_) put(static_cast<double>(v));
            else put(floatBits(v));
        }
        return *this;
    }
    template <typename T>
    BinaryX& put(T value) {
        bytes.append(reinterpret_cast<const char*>(&value), sizeof(value));
        return *this;
    }
    std::string bytes = "xof 0303bin 0032";

private:
    bool wide_;
};

// The quad every test mesh is made of: four corners, two triangles, first UVs at the corners.
const std::vector<float> kPositions = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
const std::vector<uint32_t> kFaces = {2, 3, 0, 1, 2, 3, 0, 2, 3};
const std::vector<float> kUV1 = {0, 0, 1, 0, 1, 1, 0, 1};

// A binary quad whose FVFData holds the given format and floats.
inline std::string binaryQuad(uint32_t fvfFormat, const std::vector<float>& fvf) {
    BinaryX x;
    x.name("Mesh").name("quad").open().ints({4}).floats(kPositions).ints(kFaces);
    x.name("MeshTextureCoords").open().ints({4}).floats(kUV1).close();
    std::vector<uint32_t> data = {fvfFormat, static_cast<uint32_t>(fvf.size())};
    for (float f : fvf) data.push_back(floatBits(f));
    x.name("FVFData").open().ints(data).close();
    x.close();
    return x.bytes;
}

// The same quad as a text file.
inline std::string textQuad(uint32_t fvfFormat, const std::vector<float>& fvf) {
    std::string t = "xof 0303txt 0032\r\n// a quad\r\nMesh quad {\r\n 4;\r\n";
    t += " 0.0;0.0;0.0;, 1.0;0.0;0.0;, 1.0;1.0;0.0;, 0.0;1.0;0.0;;\r\n";
    t += " 2;\r\n 3;0,1,2;, 3;0,2,3;;\r\n";
    t += " MeshTextureCoords {\r\n  4;\r\n  0.0;0.0;, 1.0;0.0;, 1.0;1.0;, 0.0;1.0;;\r\n }\r\n";
    t += " FVFData {\r\n  " + std::to_string(fvfFormat) + ";\r\n  " + std::to_string(fvf.size()) + ";\r\n  ";
    for (size_t i = 0; i < fvf.size(); ++i) t += (i ? "," : "") + std::to_string(floatBits(fvf[i]));
    t += ";\r\n }\r\n}\r\n";
    return t;
}

// A binary file of every object kind the loader reads besides skinning: a template, a frame with its
// matrix around a quad with normals, texture coordinates, vertex colours, a material list whose material
// names a texture, and an animation of the frame.
inline std::string binaryFramedQuad(bool wideFloats) {
    BinaryX x(wideFloats);
    x.name("template").name("Vector").open().guid().close();
    x.name("Frame").name("Root").open();
    x.name("FrameTransformMatrix").open().floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 2, 0, 1}).close();
    x.name("Mesh").name("quad").open().ints({4}).floats(kPositions).ints(kFaces);
    x.name("MeshNormals").open().ints({1}).floats({0, 0, -1}).ints({2, 3, 0, 0, 0, 3, 0, 0, 0}).close();
    x.name("MeshTextureCoords").open().ints({4}).floats(kUV1).close();
    x.name("MeshVertexColors").open().ints({1}).ints({0}).floats({1, 0.5f, 0.25f, 1}).close();
    x.name("MeshMaterialList").open().ints({1, 2, 0, 0});
    x.name("Material").name("skin").open().floats({1, 1, 1, 1, 8, 0.5f, 0.5f, 0.5f, 0, 0, 0});
    x.name("TextureFilename").open().string("quad.png").close();
    x.close().close();
    x.close().close();
    x.name("AnimationSet").open().name("Animation").open().open().name("Root").close();
    x.name("AnimationKey").open().ints({2, 2, 0, 3}).floats({0, 0, 0}).ints({30, 3}).floats({0, 1, 0}).close();
    x.close().close();
    return x.bytes;
}

inline std::string skinnedCubeX() {
    return
        "xof 0303txt 0032\n"
        "Frame Root {\n"
        " FrameTransformMatrix { 1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0;; }\n"
        " Frame Bone {\n"
        "  FrameTransformMatrix { 1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,1.0,0.0,1.0;; }\n"
        " }\n"
        " Mesh cube {\n"
        "  8;\n"
        "  -1.0000;-1.0000;-1.0000;,\n"
        "  1.0000;-1.0000;-1.0000;,\n"
        "  1.0000;1.0000;-1.0000;,\n"
        "  -1.0000;1.0000;-1.0000;,\n"
        "  -1.0000;-1.0000;1.0000;,\n"
        "  1.0000;-1.0000;1.0000;,\n"
        "  1.0000;1.0000;1.0000;,\n"
        "  -1.0000;1.0000;1.0000;;\n"
        "  6;\n"
        "  4;0,1,2,3;,\n"
        "  4;7,6,5,4;,\n"
        "  4;0,4,5,1;,\n"
        "  4;1,5,6,2;,\n"
        "  4;2,6,7,3;,\n"
        "  4;3,7,4,0;;\n"
        "  MeshMaterialList {\n"
        "   2;\n"
        "   6;\n"
        "   0,0,0,1,1,1;;\n"
        "   Material { 1.0;0.0;0.0;1.0;; 10.0; 1.0;1.0;1.0;; 0.0;0.0;0.0;; }\n"
        "   Material { 0.0;1.0;0.0;1.0;; 10.0; 1.0;1.0;1.0;; 0.0;0.0;0.0;; }\n"
        "  }\n"
        "  XSkinMeshHeader { 1; 3; 1; }\n"
        "  SkinWeights {\n"
        "   \"Bone\";\n"
        "   4;\n"
        "   2,3,6,7;\n"
        "   1.0,1.0,1.0,1.0;\n"
        "   1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,-1.0,0.0,1.0;;\n"
        "  }\n"
        " }\n"
        "}\n"
        "AnimationSet Move {\n"
        " Animation {\n"
        "  { Bone }\n"
        "  AnimationKey {\n"
        "   2;\n"
        "   2;\n"
        "   0;3;0.0,1.0,0.0;;,\n"
        "   10;3;0.0,2.0,0.0;;;\n"
        "  }\n"
        " }\n"
        "}\n";
}

}  // namespace qetest

#endif
