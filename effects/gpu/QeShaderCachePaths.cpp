// Recorded source paths of the cache (see QeShaderCachePaths.h).
#include "gpu/QeShaderCachePaths.h"

#include <cctype>
#include <cstring>

using irr::core::stringc;

namespace {

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool isFullPath(const std::string& path) {
    return (path.size() >= 2 && path[1] == ':') || (!path.empty() && (path[0] == '/' || path[0] == '\\'));
}

std::string withSlashes(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

}  // namespace

std::vector<std::string> cachePathParts(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("/\\", start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == ".." && !parts.empty() && parts.back() != "..")
            parts.pop_back();
        else if (!part.empty() && part != ".")
            parts.push_back(part);
        start = end + 1;
    }
    return parts;
}

std::string cacheSourcePath(const std::string& source, const std::string& folder) {
    const std::vector<std::string> from = cachePathParts(folder);
    const std::vector<std::string> to = cachePathParts(source);
    size_t common = 0;
    while (common < from.size() && common < to.size() && _stricmp(from[common].c_str(), to[common].c_str()) == 0)
        ++common;
    if (common == 0 || (source[0] == '/' || source[0] == '\\') != (folder[0] == '/' || folder[0] == '\\'))
        return withSlashes(source);
    std::string path;
    for (size_t i = common; i < from.size(); ++i) path += "../";
    for (size_t i = common; i < to.size(); ++i) path += to[i] + (i + 1 < to.size() ? "/" : "");
    return path;
}

std::string cacheSourceFullPath(const std::string& recorded, const std::string& folder) {
    const std::string path = isFullPath(recorded) ? recorded : folder + "/" + recorded;
    const bool rooted = !path.empty() && (path[0] == '/' || path[0] == '\\');
    std::string full = rooted ? "/" : "";
    const std::vector<std::string> parts = cachePathParts(path);
    for (size_t i = 0; i < parts.size(); ++i) full += parts[i] + (i + 1 < parts.size() ? "/" : "");
    return full;
}

bool sameCacheSource(const std::string& a, const std::string& b) {
    return lowerCase(withSlashes(a)) == lowerCase(withSlashes(b));
}


bool listsCacheSource(const SCacheInfo& info, const std::string& source) {
    for (const std::string& known : info.sources)
        if (sameCacheSource(known, source)) return true;
    return false;
}

std::string cacheFullPathOf(irr::io::IFileSystem* fs, const stringc& path) {
    const stringc full = fs->getAbsolutePath(path);
    return full.empty() ? withSlashes(path.c_str()) : std::string(full.c_str());
}
