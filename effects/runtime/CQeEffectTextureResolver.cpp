#include "runtime/CQeEffectTextureResolver.h"

#include <cstring>

#include "defs/IQeEffectDef.h"
#include "runtime/CQePassProgram.h"

using irr::core::stringc;

bool CQeEffectTextureResolver::findFile(stringc& path, const stringc& effectDir,
                                        const irr::core::array<stringc>& searchDirs) const {
    irr::io::IFileSystem* fs = Device->getFileSystem();
    if (fs->existFile(path)) return true;
    stringc candidate = qeJoinPath(effectDir, path);
    if (fs->existFile(candidate)) {
        path = candidate;
        return true;
    }
    for (irr::u32 i = 0; i < searchDirs.size(); ++i) {
        candidate = qeJoinPath(searchDirs[i], path);
        if (fs->existFile(candidate)) {
            path = candidate;
            return true;
        }
    }
    return false;
}

irr::video::ITexture* CQeEffectTextureResolver::resolveTexture(irr::u32 type, const irr::c8* semantic,
                                                               const irr::c8* url, const stringc& effectDir,
                                                               const irr::core::array<stringc>& searchDirs,
                                                               bool* failed) {
    *failed = false;
    // A parameter with a semantic gets its texture elsewhere.
    if (semantic && *semantic) return nullptr;
    if (!url || !*url) return nullptr;
    const char* scheme = std::strstr(url, "file://");
    stringc path = scheme ? scheme + 7 : url;
    if (path.empty()) return nullptr;
    if (!findFile(path, effectDir, searchDirs)) {
        *failed = true;
        return nullptr;
    }
    irr::video::ITexture* texture = nullptr;
    switch (type) {
    case EQEPT_SAMPLER1D:
    case EQEPT_SAMPLER2D:
    case EQEPT_SAMPLER3D:
        texture = Textures ? Textures->getTexture(path) : nullptr;
        break;
    case EQEPT_SAMPLERCUBE:
        texture = Textures ? Textures->loadCubeTexture(path) : nullptr;
        break;
    default:
        return nullptr;
    }
    if (!texture) *failed = true;
    return texture;
}
