// The shader services on a Direct3D 9 device: the cost of one more material type as the material cache
// grows (16 and 1,024 entries); a warm and a cold disk-cache pass over 16 materials with includes
// against a floor that reads the 32 cached blobs and creates the shaders from them; and the same warm
// and cold passes over the renderer's own shader files, as a demo start asks for them.
#include <irrlicht.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bench_common.h"
#include "file_fixtures.h"
#include "gpu/CQeGPUProgrammingServices.h"
#include "gpu/QeShaderCacheFiles.h"
#include "gpu/QeShaderCacheInfo.h"
#include "gpu/QeShaderSources.h"
#include "lpp_internal.h"
#include "particle_shader.h"
#include "shader_header.h"
#include "shader_object.h"
#include "sys.h"
#include "uber_shader.h"

using namespace irr;

namespace {

const char* kVertex =
    "#include \"common/colour.hlsl\"\n"
    "float4 offset;\n"
    "float4 vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0, out float2 oUv : TEXCOORD0,\n"
    "              out float4 oTint : COLOR0) : POSITION {\n"
    "  oUv = uv; oTint = COLOUR + detail(uv) * 0.01 * VARIANT; return pos + offset; }\n";
const char* kPixel =
    "#include \"common/colour.hlsl\"\n"
    "float4 tint; sampler2D decal;\n"
    "float4 psMain(float2 uv : TEXCOORD0, float4 c : COLOR0) : COLOR0 {\n"
    "  return c * tint + (tex2D(decal, uv) + detail(uv)) * 0.001 * VARIANT; }\n";
const char* kColour = "#include \"levels.hlsl\"\n#define COLOUR float4(LEVEL(0.5), LEVEL(0.25), 0, 1)\n";
const char* kLevels =
    "#define LEVEL(x) ((x) * (VARIANT + 1) * 0.25)\n"
    "float4 detail(float2 uv) { float4 c = 0;\n"
    "  [unroll] for (int i = 0; i < 12; ++i) c += sin(c.yzwx * 1.7 + uv.xyxy * i);\n"
    "  return c; }\n";

const int kPairs = 4, kVariants = 4;

// A memo for the floors' blob names: it reads each source once for all passes, so that a floor stays
// the reading of the blobs and the making of the materials.
SShaderFileMemo namingMemo() {
    SShaderFileMemo memo;
    memo.keepStatuses = true;
    return memo;
}

struct Bench {
    IrrlichtDevice* device = nullptr;
    qetest::TempDir root{"shader-bench"};
    std::string cache;
    SShaderFileMemo names = namingMemo();  // the blobs' names take the sources' content keys
    std::vector<std::string> vertexFiles, pixelFiles;
    std::vector<std::string> variantValues;

    std::vector<SQeMacro> macros(int variant) const {
        return {{"VARIANT", variantValues[static_cast<size_t>(variant)].c_str()}, {nullptr, nullptr}};
    }

    s32 material(CQeGPUProgrammingServices& gpu, int pair, int variant, s32 userData = 0) {
        const std::vector<SQeMacro> m = macros(variant);
        return gpu.getShaderMaterial(vertexFiles[static_cast<size_t>(pair)].c_str(), "vsMain", video::EVST_VS_3_0,
                                     pixelFiles[static_cast<size_t>(pair)].c_str(), "psMain", video::EPST_PS_3_0,
                                     nullptr, video::EMT_SOLID, userData, m.data());
    }

    // The 16 materials through a new service (a new run) on the disk cache; false when one failed.
    bool pass() {
        CQeGPUProgrammingServices gpu(device);
        gpu.setShaderCache(cache.c_str(), ESCM_READ | ESCM_CHECK_DATES | ESCM_WRITE);
        for (int p = 0; p < kPairs; ++p)
            for (int v = 0; v < kVariants; ++v)
                if (material(gpu, p, v) < 0) return false;
        return true;
    }

    // The floor of a warm pass: read the 32 blobs and create the 16 materials from them.
    bool floorPass() {
        io::IFileSystem* fs = device->getFileSystem();
        video::IGPUProgrammingServices* driver = device->getVideoDriver()->getGPUProgrammingServices();
        for (int p = 0; p < kPairs; ++p)
            for (int v = 0; v < kVariants; ++v) {
                SShaderMacroList list;
                list.push_back({"VARIANT", variantValues[static_cast<size_t>(v)].c_str()});
                void* blobs[2] = {nullptr, nullptr};
                u32 sizes[2] = {0, 0};
                for (int stage = 0; stage < 2; ++stage) {
                    const std::string& file = stage ? pixelFiles[static_cast<size_t>(p)] : vertexFiles[static_cast<size_t>(p)];
                    const core::stringc blob = qeJoin(cache, "/",
                                                      makeCacheFileName(fs, file.c_str(), stage ? "psMain" : "vsMain",
                                                                        list, stage == 0,
                                                                        shaderSourceKeyForgettingStatuses(fs, names, file.c_str())));
                    if (!readWholeFile(fs, blob, false, &blobs[stage], &sizes[stage])) return false;
                }
                const s32 type = driver->addHighLevelShaderMaterial(
                    static_cast<const u32*>(blobs[0]), static_cast<const u32*>(blobs[1]), nullptr,
                    scene::EPT_TRIANGLES, scene::EPT_TRIANGLE_STRIP, 0, nullptr, video::EMT_SOLID, 0);
                std::free(blobs[0]);
                std::free(blobs[1]);
                if (type < 0) return false;
            }
        return true;
    }

    // Average milliseconds per material type for count new ones, the stages being in memory already.
    double perMaterial(int count) {
        CQeGPUProgrammingServices gpu(device);
        if (material(gpu, 0, 0, -1) < 0) std::exit(1);
        const double ms = qebench::timeMs([&] {
            for (int i = 0; i < count; ++i)
                if (material(gpu, 0, 0, i) < 0) std::exit(1);
        });
        return ms / count;
    }
};

// One material as the renderer asks the services for it (the shader object's files, entry points, base
// material and "USE_" macros).
struct Request {
    std::string vertexFile, pixelFile, vertexEntry, pixelEntry;
    video::E_MATERIAL_TYPE base = video::EMT_SOLID;
    std::vector<std::string> macros;
};

// The renderer's shader materials at a demo start: the light pre-pass renderer's own (depth clear, light
// clear, every light pass, shadow depth, the post chain), then what the first objects of a scene add:
// every depth pass, a few final passes, a few uber-shader permutations for transparent surfaces, and
// the particle shader of additive and alpha-blended emitters.
std::vector<Request> rendererRequests(const std::string& shaders) {
    std::vector<Request> requests;
    const auto add = [&](const char* file, const char* const* defines) {
        ShaderObject* shader = qeIrrShaderCreate((shaders + file).c_str(), defines);
        if (!shader) {
            qebench::detail("the renderer's shader %s was not read\n", file);
            std::exit(1);
        }
        Request r;
        r.vertexFile = shader->vertexFile.c_str();
        r.pixelFile = shader->pixelFile.c_str();
        r.vertexEntry = shader->content->vertexEntry;
        r.pixelEntry = shader->content->pixelEntry;
        r.base = qeIrrShaderGetEngineMaterialType(shader);
        for (u32 i = 0; i < shader->macros.size(); ++i) r.macros.push_back(shader->macros[i].c_str());
        qeIrrShaderDestroy(shader);
        requests.push_back(r);
    };
    const char* defines[16];
    add("LppDepthClear.hlsl", nullptr);
    add("LppLightClear.hlsl", nullptr);
    for (int i = 0; i < LPP_LIGHT_PASS_SHADERS; ++i)
        if (qeIrrlichtLppLightPassDefines(i, defines)) add("LppLightPass.hlsl", defines);
    add("LppShadowDepth.hlsl", nullptr);
    for (int i = 0; i < LPP_POST_SHADERS; ++i) add(qeIrrlichtLppPostShaderFile(i), nullptr);
    for (int i = 0; i < LPP_DEPTH_PASS_SHADERS; ++i)
        if (qeIrrlichtLppDepthPassDefines(i, defines)) add("LppDepthPass.hlsl", defines);
    for (int i : {0, 1, 3, 5, 7, 13})
        if (qeIrrlichtLppFinalPassDefines(i, false, defines)) add("LppFinalPass.hlsl", defines);
    const uint32_t masks[] = {0, QE_UBER_TEX_COLOR, QE_UBER_TEX_COLOR | QE_UBER_TEX_TRANSPARENCY,
                              QE_UBER_TEX_COLOR | QE_UBER_TEX_NORMAL | QE_UBER_COMPTANGENT};
    for (uint32_t mask : masks) {
        qeIrrlichtUberShaderDefines(mask | QE_UBER_TRANSPARENT | QE_UBER_DOF, defines);
        add("UberShader.hlsl", defines);
    }
    for (int index : {17, 1}) {
        qeIrrlichtParticleShaderDefines(index, defines);
        add("Particle.hlsl", defines);
    }
    return requests;
}

// Warm and cold passes over the renderer's requests, and the floor: reading their cached blobs and
// creating the shaders from them.
struct RendererBench {
    IrrlichtDevice* device = nullptr;
    std::vector<Request> requests;
    std::string cache;
    SShaderFileMemo names = namingMemo();

    // Every request through a new service (a new run) on the disk cache; false when one failed.
    bool pass() {
        CQeGPUProgrammingServices gpu(device);
        gpu.setShaderCache(cache.c_str(), ESCM_READ | ESCM_CHECK_DATES | ESCM_WRITE);
        for (size_t i = 0; i < requests.size(); ++i) {
            const Request& r = requests[i];
            std::vector<SQeMacro> macros;
            for (const std::string& m : r.macros) macros.push_back({m.c_str(), nullptr});
            macros.push_back({nullptr, nullptr});
            // user data: one shader object per request, as the renderer passes its own
            if (gpu.getShaderMaterial(r.vertexFile.c_str(), r.vertexEntry.c_str(), video::EVST_VS_3_0,
                                      r.pixelFile.c_str(), r.pixelEntry.c_str(), video::EPST_PS_3_0, nullptr, r.base,
                                      static_cast<s32>(i + 1), macros.data()) < 0)
                return false;
        }
        return true;
    }

    bool floorPass() {
        io::IFileSystem* fs = device->getFileSystem();
        video::IGPUProgrammingServices* driver = device->getVideoDriver()->getGPUProgrammingServices();
        for (size_t i = 0; i < requests.size(); ++i) {
            const Request& r = requests[i];
            SShaderMacroList list;
            for (const std::string& m : r.macros) list.push_back({m.c_str(), ""});
            list.sort();
            void* blobs[2] = {nullptr, nullptr};
            u32 sizes[2] = {0, 0};
            for (int stage = 0; stage < 2; ++stage) {
                const core::stringc file = (stage ? r.pixelFile : r.vertexFile).c_str();
                const core::stringc blob =
                    qeJoin(cache, "/",
                           makeCacheFileName(fs, file, (stage ? r.pixelEntry : r.vertexEntry).c_str(), list,
                                             stage == 0, shaderSourceKeyForgettingStatuses(fs, names, file)));
                if (!readWholeFile(fs, blob, false, &blobs[stage], &sizes[stage])) return false;
            }
            const s32 type = driver->addHighLevelShaderMaterial(
                static_cast<const u32*>(blobs[0]), static_cast<const u32*>(blobs[1]), nullptr, scene::EPT_TRIANGLES,
                scene::EPT_TRIANGLE_STRIP, 0, nullptr, r.base, static_cast<s32>(i + 1));
            std::free(blobs[0]);
            std::free(blobs[1]);
            if (type < 0) return false;
        }
        return true;
    }
};

}  // namespace

int main() {
    Bench b;
    b.device = createDevice(video::EDT_DIRECT3D9, core::dimension2d<u32>(64, 64), 32, false, false, false);
    if (!b.device) {
        qebench::detail("no Direct3D 9 device\n");
        return 1;
    }
    b.device->getLogger()->setLogLevel(ELL_NONE);
    b.root.mkdir("shaders/common");
    for (int p = 0; p < kPairs; ++p) {
        b.vertexFiles.push_back(b.root.write("shaders/v" + std::to_string(p) + ".hlsl", kVertex));
        b.pixelFiles.push_back(b.root.write("shaders/p" + std::to_string(p) + ".hlsl", kPixel));
    }
    b.root.write("shaders/common/colour.hlsl", kColour);
    b.root.write("shaders/common/levels.hlsl", kLevels);
    for (int v = 0; v < kVariants; ++v) b.variantValues.push_back(std::to_string(v));

    // Material cache growth: the per-material cost with 1,024 entries against that with 16.
    const int runs = 5;
    std::vector<double> small, large;
    for (int r = 0; r < runs; ++r) {
        small.push_back(b.perMaterial(16));
        large.push_back(b.perMaterial(1024));
    }
    const std::vector<double> growth = qebench::ratios(large, small);
    qebench::detail("shader materials: %.3f ms each at 16, %.3f ms each at 1024 (run ratios %.2f-%.2f)\n",
                    qebench::median(small), qebench::median(large), qebench::lowest(growth), qebench::highest(growth));

    // Disk cache: cold passes (cache removed first), warm passes and the floor, interleaved.
    std::vector<double> cold, warm, floor;
    bool ok = true;
    for (int r = 0; r < runs; ++r) {
        b.cache = b.root.path() + "shadersCache" + std::to_string(r);  // a new, empty cache
        cold.push_back(qebench::timeMs([&] { ok = b.pass() && ok; }));
        warm.push_back(qebench::timeMs([&] { ok = b.pass() && ok; }));
        floor.push_back(qebench::timeMs([&] { ok = b.floorPass() && ok; }));
        warm.push_back(qebench::timeMs([&] { ok = b.pass() && ok; }));
        floor.push_back(qebench::timeMs([&] { ok = b.floorPass() && ok; }));
    }
    if (!ok) {
        qebench::detail("a shader pass failed\n");
        return 1;
    }
    const std::vector<double> warmRatios = qebench::ratios(warm, floor);
    qebench::detail("shader disk cache, 16 materials: cold %.1f ms (%.1f-%.1f), warm %.1f ms (%.1f-%.1f), "
                    "floor %.1f ms (%.1f-%.1f); warm/floor by run %.2f-%.2f\n",
                    qebench::median(cold), qebench::lowest(cold), qebench::highest(cold), qebench::median(warm),
                    qebench::lowest(warm), qebench::highest(warm), qebench::median(floor), qebench::lowest(floor),
                    qebench::highest(floor), qebench::lowest(warmRatios), qebench::highest(warmRatios));

    // The renderer's own shaders: one cold pass (compiling them is slow), then warm passes and the floor,
    // interleaved.
    RendererBench rb;
    rb.device = b.device;
    rb.requests = rendererRequests(QIRN_OUTPUT_DIR "shaders/");
    rb.cache = b.root.path() + "shadersCacheRenderer";
    const double rendererCold = qebench::timeMs([&] { ok = rb.pass(); });
    std::vector<double> rendererWarm, rendererFloor;
    for (int r = 0; r < 3 * runs && ok; ++r) {
        rendererWarm.push_back(qebench::timeMs([&] { ok = rb.pass() && ok; }));
        rendererFloor.push_back(qebench::timeMs([&] { ok = rb.floorPass() && ok; }));
    }
    if (!ok) {
        qebench::detail("a pass over the renderer's shaders failed\n");
        return 1;
    }
    const std::vector<double> rendererRatios = qebench::ratios(rendererWarm, rendererFloor);
    qebench::detail("shader disk cache, the renderer's %u materials: cold %.1f ms, warm %.1f ms (%.1f-%.1f), "
                    "floor %.1f ms (%.1f-%.1f); warm/floor by run %.2f-%.2f; cold/warm %.1f\n",
                    static_cast<unsigned>(rb.requests.size()), rendererCold, qebench::median(rendererWarm),
                    qebench::lowest(rendererWarm), qebench::highest(rendererWarm), qebench::median(rendererFloor),
                    qebench::lowest(rendererFloor), qebench::highest(rendererFloor), qebench::lowest(rendererRatios),
                    qebench::highest(rendererRatios), rendererCold / qebench::median(rendererWarm));

    qebench::figure("shader-material-growth", qebench::median(large) / qebench::median(small));
    qebench::figure("shader-warm-vs-floor", qebench::median(warm) / qebench::median(floor));
    qebench::figure("shader-cold-vs-warm", qebench::median(cold) / qebench::median(warm));
    qebench::figure("shader-warm-vs-floor-renderer", qebench::median(rendererWarm) / qebench::median(rendererFloor));
    b.device->closeDevice();
    b.device->run();
    b.device->drop();
    qeSysWaitForDirect3DThreads(2000);  // the exit status holds only then (see sys.h)
    return 0;
}
