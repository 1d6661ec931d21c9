// Shader compilation to tokens (macros, includes through a callback), materials built from the tokens and
// their constant tables, on the real Direct3D 9 device.
#include <d3dx9shader.h>
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstring>
#include <string>
#include <vector>

#include "device_check.h"

using namespace irr;
using namespace irr::video;

namespace {

// Serves one included file (none when its text is empty) and records what the compiler asked for.
class TableIncludes : public IIncludeCallback {
public:
    std::string text;
    std::vector<std::string> opened;
    std::vector<const void*> handedOut, closed;
    bool Open(const c8* fileName, const void** data, u32* size) override {
        opened.push_back(fileName);
        if (text.empty()) return false;
        *data = text.data();
        *size = static_cast<u32>(text.size());
        handedOut.push_back(*data);
        return true;
    }
    bool Close(const void* data) override {
        closed.push_back(data);
        return true;
    }
};

const char* kVertexSource =
    "float4 vsMain(float4 pos : POSITION) : POSITION { return pos; }\n";

// The colour comes from an included file whose values come from macros; "tint" is a constant.
const char* kPixelSource =
    "#include \"colour.hlsl\"\n"
    "float4 tint;\n"
    "float4 psMain() : COLOR0 { return float4(RED, GREEN, BLUE, 1) * tint; }\n";

const char* kColourInclude =
    "#define RED (MACRO_R / 255.0)\n"
    "#define GREEN (MACRO_G / 255.0)\n"
    "#define BLUE (MACRO_B / 255.0)\n";

class TintOne : public IShaderConstantSetCallBack {
public:
    void OnSetConstants(IMaterialRendererServices* services, s32 userData) override {
        lastUserData = userData;
        const f32 one[4] = {1, 1, 1, 1};
        services->setPixelShaderConstant("tint", one, 4);
    }
    s32 lastUserData = 0;
};

class ShaderCompile : public testing::Test {
protected:
    qetest::D3D9Device d3d;
    IVideoDriver* driver = d3d.driver;
    IGPUProgrammingServices* gpu = nullptr;
    TableIncludes includes;
    ITexture* target = nullptr;

    void SetUp() override {
        ASSERT_NE(nullptr, driver) << "no Direct3D 9 device";
        gpu = driver->getGPUProgrammingServices();
        includes.text = kColourInclude;
        target = driver->addRenderTargetTextureEx(core::dimension2du(16, 16), "target", ECF_A8R8G8B8);
    }

    s32 tokenMaterial(const SShaderCodeBuffer* vs, const SShaderCodeBuffer* ps, IShaderConstantSetCallBack* cb,
                      s32 userData = 0) {
        return gpu->addHighLevelShaderMaterial(vs ? reinterpret_cast<const u32*>(vs->Data) : nullptr,
                                               ps ? reinterpret_cast<const u32*>(ps->Data) : nullptr, nullptr,
                                               scene::EPT_TRIANGLES, scene::EPT_TRIANGLE_STRIP, 0, cb, EMT_SOLID,
                                               userData);
    }
};

TEST_F(ShaderCompile, MacrosAndIncludesCompileIntoATokenMaterialThatDrawsTheirColour) {
    SShaderCodeBuffer vs, ps;
    ASSERT_TRUE(gpu->compileVertexShader(kVertexSource, "vsMain", EVST_VS_3_0, nullptr, nullptr, vs));
    // Forty macros: lists of any length are taken, the last ones decide the colour.
    std::vector<std::string> text;
    for (int i = 0; i < 37; ++i) text.insert(text.end(), {"UNUSED_" + std::to_string(i), std::to_string(i)});
    text.insert(text.end(), {"MACRO_R", "255", "MACRO_G", "128", "MACRO_B", "0"});
    std::vector<const c8*> macros;
    for (const std::string& t : text) macros.push_back(t.c_str());
    macros.insert(macros.end(), {nullptr, nullptr});
    ASSERT_TRUE(gpu->compilePixelShader(kPixelSource, "psMain", EPST_PS_3_0, macros.data(), &includes, ps));
    EXPECT_EQ(std::vector<std::string>{"colour.hlsl"}, includes.opened);
    EXPECT_EQ(includes.handedOut, includes.closed);  // every text handed out was given back

    TintOne* tint = new TintOne();
    const s32 material = tokenMaterial(&vs, &ps, tint, 77);
    ASSERT_GE(material, 0);

    ID3DXConstantTable* vertexTable = nullptr;
    ID3DXConstantTable* pixelTable = nullptr;
    void* other = reinterpret_cast<void*>(1);
    ASSERT_TRUE(gpu->getMaterialTypeConstantTables(material, &vertexTable, &pixelTable, &other));
    EXPECT_EQ(nullptr, other);
    ASSERT_NE(nullptr, pixelTable);
    EXPECT_NE(nullptr, vertexTable);
    EXPECT_NE(nullptr, pixelTable->GetConstantByName(nullptr, "tint"));

    const u32 pixel = qetest::drawAndReadCentre(driver, target, qetest::quadMaterial(material));
    EXPECT_PRED3(qeColourNear, 0xFFFF8000u, pixel, 2) << std::hex << pixel;
    EXPECT_EQ(77, tint->lastUserData);
    tint->drop();
}

TEST_F(ShaderCompile, BadTargetsSourcesAndIncludesFailAndLeaveTheBufferAlone) {
    SShaderCodeBuffer code;
    const char old[4] = {1, 2, 3, 4};
    code.set(old, 4);
    EXPECT_FALSE(gpu->compileVertexShader(kVertexSource, "vsMain", EVST_COUNT, nullptr, nullptr, code));
    EXPECT_FALSE(gpu->compilePixelShader(kPixelSource, "psMain", EPST_COUNT, nullptr, &includes, code));
    EXPECT_FALSE(gpu->compileVertexShader("float4 vsMain( { broken", "vsMain", EVST_VS_3_0, nullptr, nullptr, code));
    // the include is refused by the callback
    TableIncludes none;
    const c8* macros[] = {"MACRO_R", "1", "MACRO_G", "1", "MACRO_B", "1", nullptr, nullptr};
    EXPECT_FALSE(gpu->compilePixelShader(kPixelSource, "psMain", EPST_PS_3_0, macros, &none, code));
    EXPECT_EQ(1u, none.opened.size());
    // no include callback at all
    EXPECT_FALSE(gpu->compilePixelShader(kPixelSource, "psMain", EPST_PS_3_0, macros, nullptr, code));
    ASSERT_EQ(4u, code.Size);
    EXPECT_EQ(0, std::memcmp(old, code.Data, 4));

    // A list whose first name is null passes no macros.
    const c8* empty[] = {nullptr, nullptr};
    EXPECT_TRUE(gpu->compileVertexShader(kVertexSource, "vsMain", EVST_VS_2_0, empty, nullptr, code));
}

TEST_F(ShaderCompile, ConstantTablesAnswerOnlyForHlslMaterialTypes) {
    ID3DXConstantTable* vt = nullptr;
    ID3DXConstantTable* pt = nullptr;
    EXPECT_FALSE(gpu->getMaterialTypeConstantTables(-1, &vt, &pt, nullptr));
    EXPECT_FALSE(gpu->getMaterialTypeConstantTables(static_cast<s32>(driver->getMaterialRendererCount()), &vt, &pt,
                                                    nullptr));
    EXPECT_FALSE(gpu->getMaterialTypeConstantTables(EMT_SOLID, &vt, &pt, nullptr));

    // vertex-only token material: no pixel table; no tokens at all: a material type setting no shader
    SShaderCodeBuffer vs;
    ASSERT_TRUE(gpu->compileVertexShader(kVertexSource, "vsMain", EVST_VS_3_0, nullptr, nullptr, vs));
    const s32 vertexOnly = tokenMaterial(&vs, nullptr, nullptr);
    ASSERT_GE(vertexOnly, 0);
    pt = reinterpret_cast<ID3DXConstantTable*>(1);
    ASSERT_TRUE(gpu->getMaterialTypeConstantTables(vertexOnly, &vt, &pt, nullptr));
    EXPECT_NE(nullptr, vt);
    EXPECT_EQ(nullptr, pt);
    EXPECT_GE(tokenMaterial(nullptr, nullptr, nullptr), 0);

    // tokens that are no shader are refused
    const u32 garbage[8] = {0xFFFE0300u, 0x12345678u, 0x9ABCDEF0u, 0, 0, 0, 0, 0x0000FFFFu};
    const u32 before = driver->getMaterialRendererCount();
    EXPECT_EQ(-1, gpu->addHighLevelShaderMaterial(nullptr, garbage, nullptr, scene::EPT_TRIANGLES,
                                                  scene::EPT_TRIANGLE_STRIP, 0, nullptr, EMT_SOLID, 0));
    EXPECT_EQ(before, driver->getMaterialRendererCount());
}

}  // namespace
