// Fuzzes one of the effect library's definition readers (chosen at build time: QE_FUZZ_SHADER_HEADER for
// the shader header of HLSL files, QE_FUZZ_COLLADA for COLLADA FX documents) on the input as the file.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "fuzz_fakes.h"
#ifdef QE_FUZZ_COLLADA
#include "CQeEffectDefCollada.h"
typedef CQeEffectDefCollada Def;
#else
#include "CQeEffectDefQirn.h"
typedef CQeEffectDefQirn Def;
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    irr::io::FakeFiles files(data, static_cast<long>(size));
    const irr::c8* error = nullptr;
    Def* def = new Def(&files, "fuzz.fx", false, &error);
    def->drop();
    return 0;
}
