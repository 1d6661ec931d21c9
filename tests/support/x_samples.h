// A small skinned .x file in text form: two frames, a cube on two materials whose top corners hang from
// the bone, and a two-key animation of that bone. The loader tests mutate it; the fuzzer starts from it.
#ifndef QIRN_TESTS_X_SAMPLES_H
#define QIRN_TESTS_X_SAMPLES_H

#include <string>

namespace qetest {

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
