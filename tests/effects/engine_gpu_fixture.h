// GPU programming services for device tests: shader materials from the engine's HLSL compile of the
// two files, constant registers and sampler indices from the compiler's constant tables of the same
// sources.
#ifndef QIRN_TESTS_EFFECTS_ENGINE_GPU_FIXTURE_H
#define QIRN_TESTS_EFFECTS_ENGINE_GPU_FIXTURE_H

#include <irrlicht.h>

#include <d3dx9core.h>
#include <d3dx9shader.h>
#include <windows.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "IQeGPUProgrammingServices.h"

namespace qetest {

using namespace irr;

typedef HRESULT(WINAPI* CompileShaderFn)(LPCSTR, UINT, const D3DXMACRO*, LPD3DXINCLUDE, LPCSTR, LPCSTR, DWORD,
                                         LPD3DXBUFFER*, LPD3DXBUFFER*, LPD3DXCONSTANTTABLE*);

inline std::string readFile(const core::stringc& name) {
    std::ifstream in(name.c_str(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

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

}  // namespace qetest

#endif
