// What every engine fuzzer shares: the engine's globals (defined beside its device creation, which the
// fuzzers do not build) and the engine's file functions they call.
#include <irrlicht.h>

namespace irr {
namespace io {
IReadFile* createMemoryReadFile(void* memory, long size, const io::path& fileName, bool deleteMemoryWhenDropped);
IXMLReaderUTF8* createIXMLReaderUTF8(IReadFile* file);
}
namespace core {
const matrix4 IdentityMatrix(matrix4::EM4CONST_IDENTITY);
stringc LOCALE_DECIMAL_POINTS(".");
}
namespace video {
SMaterial IdentityMaterial;
}
}  // namespace irr
