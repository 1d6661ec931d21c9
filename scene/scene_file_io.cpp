#include "scene_file_io.h"

#include <cstdlib>

#include "sysfile.h"

int qeSceneReadWholeFile(const char* name, uint8_t** data, uint32_t* size) {
    SysFile* f = qeSysFileOpen(name, "rb");
    if (!f) return -1;
    long n = -1;
    if (qeSysFileSeek(f, 0, 2) == 0) n = qeSysFileTell(f);
    if (n < 0 || n > 0x7FFFFFF0L || qeSysFileSeek(f, 0, 0) != 0) {
        qeSysFileClose(f);
        return -1;
    }
    uint8_t* buffer = static_cast<uint8_t*>(std::malloc(n ? size_t(n) : 1));
    if (!buffer || (n && qeSysFileRead(buffer, size_t(n), 1, f) != 1)) {
        std::free(buffer);
        qeSysFileClose(f);
        return -1;
    }
    qeSysFileClose(f);
    *data = buffer;
    *size = uint32_t(n);
    return 0;
}
