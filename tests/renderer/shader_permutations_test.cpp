// Every permutation the engine can ask of a shader file compiles: each file of the "shaders" folder next
// to qirn.exe with a define list, both entry points of its header, through the D3DX compiler alone (no
// device). Compiles are slow under emulation: list a representative sample of each file's permutations.
#include <d3dx9shader.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "file_fixtures.h"
#include "shader_object.h"

namespace {

struct Permutation {
    const char* file;
    std::vector<const char*> defines;  // macro names as the engine gives them (without "USE_")
};

std::ostream& operator<<(std::ostream& out, const Permutation& p) {
    out << p.file;
    for (const char* d : p.defines) out << " " << d;
    return out;
}

// Shader files add their permutations here.
const std::vector<Permutation> kPermutations = {
    // Particle.hlsl: each colour source, each blend, both gradients and the rotation
    {"Particle.hlsl", {"BLEND_ALPHA"}},
    {"Particle.hlsl", {"TEX_COLOR", "BLEND_ADD"}},
    {"Particle.hlsl", {"COLOR_GRADIENT", "SIZE_GRADIENT", "ROTATION", "BLEND_SUB"}},
    {"Particle.hlsl", {"TEX_COLOR", "SIZE_GRADIENT", "ROTATION", "BLEND_ALPHA"}},
    {"Particle.hlsl", {"COLOR_GRADIENT", "BLEND_ADD"}},
    // The uber shader: the plainest, the colour-and-transparency surface, every texture at once, the
    // tangent frame computed or carried with the second UV set, both reflection kinds, lone channels.
    {"UberShader.hlsl", {"TRANSPARENT", "DOF"}},
    {"UberShader.hlsl", {"TEX_COLOR", "TRANSPARENT", "DOF"}},
    {"UberShader.hlsl", {"TEX_COLOR", "TEX_LUMINOSITY", "TEX_DIFFUSE", "TEX_SPECULAR", "TEX_GLOSSINESS",
                         "TEX_REFLECIMG", "TEX_REFLECTIVITY", "TEX_TRANSPARENCY", "TEX_NORMAL", "TRANSPARENT",
                         "TEX_REFLECCUBE", "UV2INTEX2", "DOF"}},
    {"UberShader.hlsl", {"TEX_NORMAL", "TRANSPARENT", "COMPTANGENT", "DOF"}},
    {"UberShader.hlsl", {"TEX_LUMINOSITY", "TEX_NORMAL", "TRANSPARENT", "UV2INTEX2", "DOF"}},
    {"UberShader.hlsl", {"TEX_REFLECIMG", "TEX_REFLECTIVITY", "TEX_TRANSPARENCY", "TRANSPARENT"}},
    {"UberShader.hlsl", {"TEX_DIFFUSE", "TEX_SPECULAR", "TEX_GLOSSINESS", "TRANSPARENT", "DOF"}},
    // The light pre-pass: both clears, the shadow depth, every depth pass, each light type with and
    // without shadows and each filter width, the plain final pass, every texture and both tangent
    // sources of the reflective one, both reflection kinds.
    {"LppDepthClear.hlsl", {}},
    {"LppLightClear.hlsl", {}},
    {"LppShadowDepth.hlsl", {}},
    {"LppDepthPass.hlsl", {}},
    {"LppDepthPass.hlsl", {"TEX_NORMAL"}},
    {"LppDepthPass.hlsl", {"TEX_GLOSSINESS"}},
    {"LppDepthPass.hlsl", {"TEX_NORMAL", "TEX_GLOSSINESS"}},
    {"LppDepthPass.hlsl", {"TEX_NORMAL", "COMPTANGENT"}},
    {"LppDepthPass.hlsl", {"TEX_NORMAL", "TEX_GLOSSINESS", "COMPTANGENT"}},
    {"LppLightPass.hlsl", {"DISTANT"}},
    {"LppLightPass.hlsl", {"POINT"}},
    {"LppLightPass.hlsl", {"SPOTLIGHT"}},
    {"LppLightPass.hlsl", {"DISTANT", "SHADOW", "SH0"}},
    {"LppLightPass.hlsl", {"DISTANT", "SHADOW", "SH8"}},
    {"LppLightPass.hlsl", {"SPOTLIGHT", "SHADOW", "SH1"}},
    {"LppLightPass.hlsl", {"SPOTLIGHT", "SHADOW", "SH2"}},
    {"LppLightPass.hlsl", {"SPOTLIGHT", "SHADOW", "SH4"}},
    {"LppFinalPass.hlsl", {}},
    {"LppFinalPass.hlsl", {"TEX_COLOR"}},
    {"LppFinalPass.hlsl", {"TEX_COLOR", "TEX_LUMINOSITY", "TEX_DIFFUSE", "TEX_SPECULAR", "UV2INTEX2"}},
    {"LppFinalPass.hlsl", {"TEX_REFLECIMG"}},
    {"LppFinalPass.hlsl", {"TEX_REFLECIMG", "TEX_COLOR", "TEX_LUMINOSITY", "TEX_DIFFUSE", "TEX_SPECULAR",
                           "TEX_REFLECTIVITY", "TEX_NORMAL", "TEX_REFLECCUBE", "UV2INTEX2"}},
    {"LppFinalPass.hlsl", {"TEX_REFLECIMG", "TEX_SPECULAR", "TEX_NORMAL", "COMPTANGENT"}},
    {"LppFinalPass.hlsl", {"TEX_REFLECIMG", "TEX_REFLECTIVITY", "TEX_REFLECCUBE"}},
    // The post shaders take no defines.
    {"DownScale4x4.hlsl", {}},
    {"DownScale2x2.hlsl", {}},
    {"DownScale2x2-HalfScreen.hlsl", {}},
    {"GlowAlphaMul.hlsl", {}},
    {"GlowHVBlur.hlsl", {}},
    {"GlowHBlur.hlsl", {}},
    {"GlowVBlur.hlsl", {}},
    {"GlowCompose.hlsl", {}},
    {"LightStreakMaxInt.hlsl", {}},
    {"LightStreakDraw.hlsl", {}},
    {"LightStreakCompose.hlsl", {}},
    {"Dof.hlsl", {}},
    {"DofAdvanced.hlsl", {}},
    {"ssao.hlsl", {}},
    {"ssaoHBlur.hlsl", {}},
    {"ssaoVBlur.hlsl", {}},
    {"ssaoCombine.hlsl", {}},
    {"MLAA-ColorEdgeDetection.fx", {}},
    {"MLAA-BlendWeightCalculation.fx", {}},
    {"MLAA-NeighborhoodBlending.fx", {}},
};

typedef HRESULT(WINAPI* CompileFromFile)(LPCSTR, const D3DXMACRO*, LPD3DXINCLUDE, LPCSTR, LPCSTR, DWORD,
                                          LPD3DXBUFFER*, LPD3DXBUFFER*, LPD3DXCONSTANTTABLE*);

CompileFromFile compiler() {
    static CompileFromFile compile = [] {
        HMODULE d3dx = LoadLibraryA(("d3dx9_" + std::to_string(D3DX_SDK_VERSION) + ".dll").c_str());
        return d3dx ? reinterpret_cast<CompileFromFile>(
                          reinterpret_cast<void*>(GetProcAddress(d3dx, "D3DXCompileShaderFromFileA"))) : nullptr;
    }();
    return compile;
}

// Compiles both entry points the file's header names with "USE_" + each define: "" when both compile,
// else what went wrong.
std::string compilePermutation(const std::string& path, std::vector<const char*> defines) {
    CompileFromFile compile = compiler();
    if (!compile) return "no D3DX compiler";
    std::vector<std::string> names;
    for (const char* d : defines) names.push_back(std::string("USE_") + d);
    std::vector<D3DXMACRO> macros;
    for (const std::string& n : names) macros.push_back({n.c_str(), ""});
    macros.push_back({nullptr, nullptr});
    defines.push_back(nullptr);
    ShaderFileContent* content = loadShaderFileContent(path.c_str(), defines.data());
    if (!content) return qeIrrShaderGetError();
    std::string report;
    const std::pair<const char*, const char*> stages[2] = {{content->vertexEntry, "vs_3_0"},
                                                           {content->pixelEntry, "ps_3_0"}};
    for (const auto& stage : stages) {
        ID3DXBuffer* code = nullptr;
        ID3DXBuffer* errors = nullptr;
        if (FAILED(compile(path.c_str(), macros.data(), nullptr, stage.first, stage.second, 0, &code, &errors,
                           nullptr))) {
            report += std::string(stage.second) + " " + stage.first + ": ";
            report += errors ? std::string(static_cast<const char*>(errors->GetBufferPointer()),
                                           errors->GetBufferSize())
                             : std::string("failed");
        }
        if (code) code->Release();
        if (errors) errors->Release();
    }
    qeIrrShaderFreeContent(content);
    return report;
}

class ShaderPermutations : public testing::TestWithParam<Permutation> {};

TEST_P(ShaderPermutations, Compiles) {
    const Permutation& p = GetParam();
    EXPECT_EQ("", compilePermutation(std::string(QIRN_OUTPUT_DIR) + "shaders/" + p.file, p.defines));
}

INSTANTIATE_TEST_SUITE_P(ShaderFiles, ShaderPermutations, testing::ValuesIn(kPermutations));
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ShaderPermutations);

TEST(ShaderPermutationHarness, CompilesTheHeadersEntryPointsWithTheDefines) {
    qetest::TempDir dir("permutations");
    const std::string path = dir.write(
        "fixture.hlsl",
        "//[QIRN_BEGIN]\n//function vertexMain : vsMain\n//function pixelMain : psMain\n"
        "//QIRN_PP:D:OTHER://function pixelMain : psMissing\n//[QIRN_END]\n"
        "float4 vsMain(float4 p : POSITION) : POSITION { return p; }\n"
        "float4 psMain() : COLOR {\n#ifdef USE_BROKEN\n  return undeclared;\n#endif\n  return 1;\n}\n");
    EXPECT_EQ("", compilePermutation(path, {}));
    EXPECT_NE(std::string::npos, compilePermutation(path, {"BROKEN"}).find("ps_3_0 psMain: "));
    EXPECT_EQ(0u, compilePermutation(path, {"OTHER"}).find("ps_3_0 psMissing: "));
}

}  // namespace
