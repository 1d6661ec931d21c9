// Fuzzes one of the engine's mesh loaders (chosen at build time: QE_FUZZ_X for the .x loader, QE_FUZZ_LWO
// for the LightWave object loader) on memory files, with the rest of the engine stood in for.
#include <cstddef>
#include <cstdint>

#include "CMeshManipulator.h"
#include "IReadFile.h"
#include "fuzz_support.h"
#include "fuzz_fakes.h"
#ifdef QE_FUZZ_X
#include "CXMeshFileLoader.h"
#else
#include "CLWOMeshFileLoader.h"
#endif

using namespace irr;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static video::FakeDriver driver;
    static io::FakeFiles files;
    static scene::CMeshManipulator manipulator;
    static scene::FakeScene smgr(&driver, &files, &manipulator);
#ifdef QE_FUZZ_X
    static scene::CXMeshFileLoader loader(&smgr, &files);
    const char* name = "fuzz.x";
#else
    static scene::CLWOMeshFileLoader loader(&smgr, &files);
    const char* name = "fuzz.lwo";
#endif
    io::IReadFile* file = io::createMemoryReadFile(const_cast<uint8_t*>(data), static_cast<long>(size), name, false);
    scene::IAnimatedMesh* mesh = loader.createMesh(file);
    if (mesh) {
        // Touch what a viewer would draw: every buffer's vertices and indices.
        volatile uint32_t sum = 0;
        for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
            scene::IMeshBuffer* mb = mesh->getMeshBuffer(b);
            const bool wide = mb->getIndexType() == video::EIT_32BIT;
            for (u32 i = 0; i < mb->getIndexCount(); ++i) {
                const u32 index = wide ? reinterpret_cast<const u32*>(mb->getIndices())[i] : mb->getIndices()[i];
                if (index >= mb->getVertexCount()) __builtin_trap();
                sum += index;
            }
        }
        if (mesh->getFrameCount() > 1) mesh->getMesh(1);
        mesh->drop();
    }
    file->drop();
    return 0;
}
