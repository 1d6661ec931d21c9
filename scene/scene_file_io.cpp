#include "scene_file_io.h"

#include <cstdio>
#include <cstdlib>

int qeSceneReadWholeFile(const char* name, uint8_t** data, uint32_t* size) {
    std::FILE* f = std::fopen(name, "rb");
    if (!f) return -1;
    long n = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) n = std::ftell(f);
    if (n < 0 || n > 0x7FFFFFF0L || std::fseek(f, 0, SEEK_SET) != 0) {
        std::fclose(f);
        return -1;
    }
    uint8_t* buffer = static_cast<uint8_t*>(std::malloc(n ? size_t(n) : 1));
    if (!buffer || (n && std::fread(buffer, size_t(n), 1, f) != 1)) {
        std::free(buffer);
        std::fclose(f);
        return -1;
    }
    std::fclose(f);
    *data = buffer;
    *size = uint32_t(n);
    return 0;
}
