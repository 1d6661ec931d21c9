// Recorded source paths of the cache (see QeShaderCachePaths.h).
#include "gpu/QeShaderCachePaths.h"

#include <cctype>
#include <cstring>

#include "gpu/QeShaderCacheFiles.h"

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

std::string cachePathRoot(const std::string& path, std::string* rest) {
    auto separator = [&](size_t at) { return at < path.size() && (path[at] == '/' || path[at] == '\\'); };
    size_t end = 0;
    std::string root;
    if (path.size() >= 2 && path[1] == ':') {
        root = path.substr(0, 2);
        end = 2;
    } else if (separator(0) && separator(1)) {
        // a share: its server and share name together are the root
        const size_t server = path.find_first_of("/\\", 2);
        const size_t share = server == std::string::npos ? server : path.find_first_of("/\\", server + 1);
        end = share == std::string::npos ? path.size() : share;
        root = withSlashes(path.substr(0, end));
    } else if (separator(0)) {
        root = "/";
        end = 1;
    }
    if (rest) *rest = path.substr(end);
    return root;
}

std::string cacheSourcePath(const std::string& source, const std::string& folder) {
    std::string sourceRest, folderRest;
    const std::string root = cachePathRoot(source, &sourceRest);
    if (root.empty() || _stricmp(root.c_str(), cachePathRoot(folder, &folderRest).c_str()) != 0)
        return withSlashes(source);
    const std::vector<std::string> from = cachePathParts(folderRest);
    const std::vector<std::string> to = cachePathParts(sourceRest);
    size_t common = 0;
    while (common < from.size() && common < to.size() && _stricmp(from[common].c_str(), to[common].c_str()) == 0)
        ++common;
    std::string path;
    for (size_t i = common; i < from.size(); ++i) path += "../";
    for (size_t i = common; i < to.size(); ++i) path += to[i] + (i + 1 < to.size() ? "/" : "");
    return path;
}

std::string cacheSourceFullPath(const std::string& recorded, const std::string& folder) {
    const std::string path = isFullPath(recorded) ? recorded : folder + "/" + recorded;
    std::string rest;
    const std::string root = cachePathRoot(path, &rest);
    std::vector<std::string> parts = cachePathParts(rest);
    size_t first = 0;
    if (!root.empty())
        while (first < parts.size() && parts[first] == "..") ++first;  // nothing lies above a root
    std::string full = root.empty() || root == "/" ? root : root + "/";
    for (size_t i = first; i < parts.size(); ++i) full += parts[i] + (i + 1 < parts.size() ? "/" : "");
    return full;
}

bool isCacheSourceGone(const std::string& fullPath, std::map<std::string, bool>* roots) {
    const std::string root = cachePathRoot(fullPath);
    if (root.empty() || (root.size() > 2 && root[0] == '/' && root.find('/', 2) == std::string::npos))
        return false;  // no drive, or a server without a share: nothing to ask
    std::map<std::string, bool> once;
    if (!roots) roots = &once;
    const std::string key = lowerCase(root);
    std::map<std::string, bool>::const_iterator known = roots->find(key);
    if (known == roots->end()) known = roots->emplace(key, cacheFolderExists(root == "/" ? root : root + "/")).first;
    return known->second && cacheFileSurelyMissing(fullPath);
}

std::string cacheSourceLine(const std::string& source, const std::string& folder) {
    const std::string recorded = cacheSourcePath(source, folder);
    return isFullPath(recorded) || !isFullPath(source) ? recorded : recorded + "|" + withSlashes(source);
}

namespace {

// Where a recorded line's relative path leads from the cache folder, and its full path ("" for a part
// that the line lacks).
struct SLinePlaces {
    std::string relative, full;
};
SLinePlaces placesOf(const std::string& line, const std::string& folder) {
    const size_t mark = line.find('|');
    SLinePlaces places;
    if (mark != 0) places.relative = cacheSourceFullPath(line.substr(0, mark), folder);
    if (mark != std::string::npos && mark + 1 < line.size())
        places.full = cacheSourceFullPath(line.substr(mark + 1), folder);
    return places;
}

}  // namespace

bool recordsCacheSource(const std::string& line, const std::string& source, const std::string& folder) {
    const SLinePlaces places = placesOf(line, folder);
    if (!places.relative.empty() && sameCacheSource(places.relative, source)) return true;
    // the full path stands for the source where the relative path finds no file (the cache moved without
    // its demo); where it finds one, the line is that file's (the cache moved with its demo)
    return !places.full.empty() && sameCacheSource(places.full, source) &&
           (places.relative.empty() || !cacheFileExists(places.relative));
}

int cacheSourceIndex(const SCacheInfo& info, const std::string& source, const std::string& folder) {
    for (size_t i = 0; i < info.sources.size(); ++i)
        if (recordsCacheSource(info.sources[i], source, folder)) return static_cast<int>(i);
    return -1;
}

bool isCacheSourceLineGone(const std::string& line, const std::string& folder, std::map<std::string, bool>* roots) {
    const SLinePlaces places = placesOf(line, folder);
    bool named = false;
    for (const std::string* place : {&places.relative, &places.full}) {
        if (place->empty()) continue;
        if (!isCacheSourceGone(*place, roots)) return false;
        named = true;
    }
    return named;
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
