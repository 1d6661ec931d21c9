// A runtime effect on a real Direct3D 9 device: a shader-header effect file compiled through the
// engine, its constants' registers taken from the compiler's constant table, and a mesh drawn with
// the values the effect holds.
#include <irrlicht.h>

#include <d3dx9core.h>
#include <d3dx9shader.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "device_check.h"
#include "file_fixtures.h"
#include "runtime/CQeEffectManager.h"

using namespace irr;

namespace {

const char* kEffect =
    "// [QIRN_BEGIN]\n"
    "//title Tinted cube\n"
    "//float4x4 wvp : 0 vertex\n"
    "//float4 tint : 0.25,0.5,0.75,1 pixel\n"
    "//bool useTint : 1 pixel\n"
    "//int twice : 2 pixel\n"
    "// [QIRN_END]\n"
    "float4x4 wvp;\n"
    "float4 tint;\n"
    "float useTint;\n"
    "float twice;\n"
    "float4 vs_main(float4 pos : POSITION) : POSITION { return mul(pos, wvp); }\n"
    "float4 ps_main() : COLOR0 { return tint * useTint * (twice * 0.5); }\n";

typedef HRESULT(WINAPI* CompileShaderFn)(LPCSTR, UINT, const D3DXMACRO*, LPD3DXINCLUDE, LPCSTR, LPCSTR, DWORD,
                                         LPD3DXBUFFER*, LPD3DXBUFFER*, LPD3DXCONSTANTTABLE*);

std::string readFile(const core::stringc& name) {
    std::ifstream in(name.c_str(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// GPU programming services for the test: materials from the engine's HLSL compile of the two files,
// constant registers and sampler indices from the compiler's constant tables of the same sources.
class EngineGpu : public IQeGPUProgrammingServices {
public:
    explicit EngineGpu(video::IVideoDriver* driver) : Driver(driver) {
        const std::string dll = "d3dx9_" + std::to_string(D3DX_SDK_VERSION) + ".dll";
        D3dx = LoadLibraryA(dll.c_str());
        if (D3dx) Compile = reinterpret_cast<CompileShaderFn>(
                                reinterpret_cast<void (*)()>(GetProcAddress(D3dx, "D3DXCompileShader")));
    }
    ~EngineGpu() override {
        if (D3dx) FreeLibrary(D3dx);
    }
    void setShaderCache(const core::stringc&, u32) override {}
    s32 getShaderMaterial(const core::stringc& vf, const char* ve, video::E_VERTEX_SHADER_TYPE vt,
                          const core::stringc& pf, const char* pe, video::E_PIXEL_SHADER_TYPE pt,
                          video::IShaderConstantSetCallBack* cb, video::E_MATERIAL_TYPE base, s32 userData,
                          const SQeMacro*) override {
        const std::string vs = readFile(vf), ps = readFile(pf);
        const s32 material = Driver->getGPUProgrammingServices()->addHighLevelShaderMaterial(
            vs.c_str(), ve, vt, ps.c_str(), pe, pt, cb, base, userData);
        if (material < 0) return -1;
        Tables& t = Materials[material];
        if (!table(vs, ve, vt == video::EVST_VS_3_0 ? "vs_3_0" : "vs_2_0", t.vertex, t.vertexSamplers) ||
            !table(ps, pe, pt == video::EPST_PS_3_0 ? "ps_3_0" : "ps_2_0", t.pixel, t.pixelSamplers))
            return -1;
        return material;
    }
    bool getPixelShaderConstantRegister(s32 m, const char* name, s32* index) override {
        return find(Materials[m].pixel, name, index);
    }
    bool getVertexShaderConstantRegister(s32 m, const char* name, s32* index) override {
        return find(Materials[m].vertex, name, index);
    }
    bool getPixelShaderSamplerIndex(s32 m, const char* name, s32* index) override {
        return find(Materials[m].pixelSamplers, name, index);
    }
    bool getVertexShaderSamplerIndex(s32 m, const char* name, s32* index) override {
        return find(Materials[m].vertexSamplers, name, index);
    }
    bool printConstants(s32) override { return false; }

    struct Tables {
        std::map<std::string, s32> vertex, pixel, vertexSamplers, pixelSamplers;
    };
    std::map<s32, Tables> Materials;

private:
    static bool find(const std::map<std::string, s32>& table, const char* name, s32* index) {
        auto it = table.find(name);
        if (it == table.end()) return false;
        *index = it->second;
        return true;
    }
    bool table(const std::string& source, const char* entry, const char* profile, std::map<std::string, s32>& constants,
               std::map<std::string, s32>& samplers) {
        if (!Compile) return false;
        LPD3DXBUFFER code = nullptr, errors = nullptr;
        LPD3DXCONSTANTTABLE constantTable = nullptr;
        HRESULT hr = Compile(source.c_str(), static_cast<UINT>(source.size()), nullptr, nullptr, entry, profile, 0,
                             &code, &errors, &constantTable);
        if (code) code->Release();
        if (errors) errors->Release();
        if (FAILED(hr) || !constantTable) return false;
        D3DXCONSTANTTABLE_DESC desc;
        constantTable->GetDesc(&desc);
        for (UINT i = 0; i < desc.Constants; ++i) {
            D3DXHANDLE handle = constantTable->GetConstant(nullptr, i);
            D3DXCONSTANT_DESC constant;
            UINT count = 1;
            constantTable->GetConstantDesc(handle, &constant, &count);
            if (constant.RegisterSet == D3DXRS_SAMPLER)
                samplers[constant.Name] = static_cast<s32>(constantTable->GetSamplerIndex(handle));
            else
                constants[constant.Name] = static_cast<s32>(constant.RegisterIndex);
        }
        constantTable->Release();
        return true;
    }

    video::IVideoDriver* Driver;
    HMODULE D3dx = nullptr;
    CompileShaderFn Compile = nullptr;
};

unsigned readCentreAndCorner(video::ITexture* target, unsigned& corner) {
    const u8* pixels = static_cast<const u8*>(target->lock(video::ETLM_READ_ONLY));
    if (!pixels) return 0;
    const u32 pitch = target->getPitch();
    unsigned centre;
    std::memcpy(&centre, pixels + 32 * pitch + 32 * 4, 4);
    std::memcpy(&corner, pixels + 1 * pitch + 1 * 4, 4);
    target->unlock();
    return centre;
}

TEST(RuntimeEffectDevice, DrawsAMeshWithTheEffectsConstants) {
    SIrrlichtCreationParameters params;
    params.DriverType = video::EDT_DIRECT3D9;
    params.WindowSize = core::dimension2d<u32>(160, 120);
    IrrlichtDevice* device = createDeviceEx(params);
    ASSERT_NE(device, nullptr);
    video::IVideoDriver* driver = device->getVideoDriver();
    scene::ISceneManager* smgr = device->getSceneManager();
    qetest::TempDir dir("effect-device");
    const std::string file = dir.write("tinted.hlsl", kEffect);
    {
        EngineGpu gpu(driver);
        CQeEffectManager manager(device, &gpu, nullptr, nullptr, nullptr);
        IQeEffect* effect = manager.createEffect(file.c_str(), -1, nullptr, nullptr);
        ASSERT_NE(effect, nullptr) << manager.getLastError();

        // every constant of the compiled pair is bound at the register the compiler gave it
        const SQeFxPass& pass = static_cast<CQeEffect*>(effect)->getTechniques()[0].passes[0];
        const EngineGpu::Tables& tables = gpu.Materials[pass.material.MaterialType];
        ASSERT_EQ(pass.shaders.size(), 2u);
        ASSERT_EQ(pass.shaders[0].constBinds.size(), 1u);
        ASSERT_EQ(pass.shaders[1].constBinds.size(), 3u);
        EXPECT_EQ(pass.shaders[0].constBinds[0].reg, tables.vertex.at("wvp"));
        for (u32 i = 0; i < 3; ++i) {
            const SQeFxConstBind& bind = pass.shaders[1].constBinds[i];
            EXPECT_EQ(bind.reg, tables.pixel.at(bind.name.c_str())) << bind.name.c_str();
        }
        EXPECT_NE(tables.pixel.at("tint"), tables.pixel.at("twice"));

        // the matrix flattens the cube onto the screen plane (symmetric, so its packing does not matter)
        const f32 flat[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
        ASSERT_TRUE(effect->setValueFloats(effect->getParameterByName(nullptr, "wvp"), flat, 16));

        scene::IMeshSceneNode* cube = smgr->addCubeSceneNode(1.0f);
        video::SMaterial& material = cube->getMaterial(0);
        ASSERT_TRUE(effect->setMaterial(0, 0, material));
        material.Lighting = false;
        SQeNodeExtMaterial record;
        record.activeEffect = effect;
        qeMaterialSetRecord(material, &record);
        smgr->addCameraSceneNode(0, core::vector3df(0, 0, -5), core::vector3df(0, 0, 0));

        video::ITexture* target = driver->addRenderTargetTexture(core::dimension2d<u32>(64, 64), "effect-target",
                                                                 video::ECF_A8R8G8B8);
        ASSERT_NE(target, nullptr);
        auto frame = [&]() {
            ASSERT_TRUE(driver->beginScene(true, true, video::SColor(255, 0, 0, 0)));
            driver->setRenderTarget(target, true, true, video::SColor(kDeviceCheckClearColour));
            smgr->drawAll();
            driver->setRenderTarget(0, false, false);
            driver->endScene();
        };
        frame();
        unsigned corner = 0;
        unsigned centre = readCentreAndCorner(target, corner);
        EXPECT_TRUE(qeColourNear(centre, 0xFF4080BF, 3)) << std::hex << centre;
        EXPECT_TRUE(qeColourNear(corner, kDeviceCheckClearColour, 3)) << std::hex << corner;

        // a changed bool and colour reach the shader at the next draw
        effect->setValueBool(effect->getParameterByName(nullptr, "useTint"), false);
        frame();
        centre = readCentreAndCorner(target, corner);
        EXPECT_EQ(centre & 0x00FFFFFFu, 0u) << std::hex << centre;
        const f32 green[4] = {0, 1, 0, 1};
        effect->setValueBool(effect->getParameterByName(nullptr, "useTint"), true);
        effect->setValueFloats(effect->getParameterByName(nullptr, "tint"), green, 4);
        frame();
        centre = readCentreAndCorner(target, corner);
        EXPECT_TRUE(qeColourNear(centre, 0xFF00FF00, 3)) << std::hex << centre;

        smgr->clear();
        effect->drop();
    }
    device->closeDevice();
    device->run();
    device->drop();
}

}  // namespace
