#include "gpu/ShaderIncludeCallback.h"

#include <cstdint>
#include <cstdlib>

#include "QeLog.h"
#include "gpu/QeShaderCacheFiles.h"
#include "gpu/QeShaderCacheInfo.h"

ShaderIncludeCallback::ShaderIncludeCallback(irr::io::IFileSystem* fileSystem, const irr::core::stringc& firstDirectory)
    : FileSystem(fileSystem) {
    Directories.push_back(firstDirectory);
}

ShaderIncludeCallback::~ShaderIncludeCallback() {}

bool ShaderIncludeCallback::Open(const irr::c8* fileName, const void** data, irr::u32* size) {
    const char* name = fileName ? fileName : "";
    qeLibLog(irr::ELL_DEBUG, "QeGPU: ShaderIncludeCallback: FileName='%s'", name);
    if (FileSystem && data && size) {
        for (irr::u32 i = 0; i < Directories.size(); ++i) {
            const irr::core::stringc candidate = qeJoin(Directories[i], "/", name);
            void* block = nullptr;
            irr::u32 bytes = 0;
            if (!readWholeFile(FileSystem, candidate, false, &block, &bytes)) {
                qeLibLog(irr::ELL_DEBUG, "QeGPU: Include Not found: '%s'", candidate.c_str());
                continue;
            }
            qeLibLog(irr::ELL_DEBUG, "QeGPU: Include found: '%s'", candidate.c_str());
            const irr::core::stringc dir = FileSystem->getFileDir(candidate);
            // binary_search sorts the list first when it is not sorted; a new folder goes at the end
            if (Directories.binary_search(dir) < 0) Directories.push_back(dir);
            LastFound = candidate;
            *data = block;
            *size = bytes;
            return true;
        }
    }
    qeLibLog(irr::ELL_ERROR, "QeGPU: ShaderIncludeCallback:Open FileName='%s' FAILED", name);
    return false;
}

bool ShaderIncludeCallback::Close(const void* data) {
    qeLibLog(irr::ELL_DEBUG, "ShaderIncludeCallback:Close pData=0x%08x",
             static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(data)));
    if (!data) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: ShaderIncludeCallback:Close pData IS NULL!");
        return false;
    }
    std::free(const_cast<void*>(data));
    return true;
}
