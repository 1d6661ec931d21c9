// What a pack takes of the compiled-shader cache (see IQeGPUProgrammingServices.h).
#include <cstring>
#include <string>
#include <vector>

#include "IQeGPUProgrammingServices.h"
#include "gpu/QeShaderCacheFiles.h"
#include "gpu/QeShaderCacheInfo.h"
#include "gpu/QeShaderCachePaths.h"
#include "gpu/QeShaderSources.h"

using irr::core::stringc;

namespace {

// A path's components joined with '/' (".." kept where nothing comes before it).
std::string joinedParts(const std::string& path) {
    std::string joined;
    for (const std::string& part : cachePathParts(path)) joined += (joined.empty() ? "" : "/") + part;
    return joined;
}

}  // namespace

void listPackableCacheFiles(irr::io::IFileSystem* fs, const stringc& folder,
                            const std::vector<SQePackedShaderFolder>& sourceFolders,
                            std::vector<SQePackedCacheFile>* files) {
    if (!fs || folder.empty() || !files) return;
    // The sources, each with the start of its blobs' names here and where the packed demo has it, and
    // the line that records it in the packed cache.
    struct Source {
        std::string path, prefix, packedPrefix, packedLine;
    };
    std::vector<Source> sources;
    for (const SQePackedShaderFolder& sourceFolder : sourceFolders) {
        const std::vector<std::string> parts = cachePathParts(sourceFolder.path);
        if (parts.empty()) continue;
        const std::string dir = cacheSourceFullPath(sourceFolder.path, "");
        for (const std::string& file : cacheFilesIn(dir.c_str(), "*")) {
            const std::string path = dir + "/" + file;
            const std::string base = fs->getFileBasename(path.c_str(), false).c_str();
            sources.push_back({path, parts.back() + "!" + base + "!", sourceFolder.packedName + "!" + base + "!",
                               joinedParts(sourceFolder.packedPath + "/" + file)});
        }
    }
    SShaderFileMemo memo;
    memo.keepStatuses = true;  // one look at each source however many blobs name it
    const std::string base = std::string(folder.c_str()) + "/";
    // Each packed blob once, with every packed source of its content (one content in two packed folders
    // of one name is one blob there, as it is here).
    struct Packed {
        std::string name, packedName;
        irr::s64 newest;
        SCacheInfo info;
    };
    std::vector<Packed> taken;
    for (const char* pattern : {"*.vso", "*.pso"}) {
        for (const std::string& name : cacheFilesIn(folder.c_str(), pattern)) {
            std::string text;
            SCacheInfo info;
            if (!isCacheFileName(name) || !readCacheInfoText(fs, base + name + ".inf", &text) ||
                !isCurrentCacheInfo(name, text) || !parseCacheInfo(text, &info))
                continue;
            for (const Source& source : sources) {
                // the rest of the name is the entry point, "!", the hash and the extension
                if (name.size() <= source.prefix.size() ||
                    _strnicmp(name.c_str(), source.prefix.c_str(), source.prefix.size()) != 0)
                    continue;
                const std::string rest = name.substr(source.prefix.size());
                if (rest.find('!') != rest.rfind('!')) continue;
                const std::string key = shaderSourceKeyKeepingStatuses(fs, memo, source.path.c_str()).c_str();
                if (key != info.sourceKey) continue;
                const std::string packed = source.packedPrefix + rest;
                Packed* entry = nullptr;
                for (Packed& other : taken)
                    if (_stricmp(other.packedName.c_str(), packed.c_str()) == 0) entry = &other;
                if (!entry) {
                    taken.push_back({name, packed, 0, info});
                    entry = &taken.back();
                    entry->info.sources.clear();
                }
                if (listsCacheSource(entry->info, source.packedLine)) continue;
                entry->info.sources.push_back(source.packedLine);
                const irr::s64 newest = newestShaderSourceTime(fs, source.path.c_str(), &memo);
                if (newest > entry->newest) entry->newest = newest;
            }
        }
    }
    for (const Packed& entry : taken) {
        files->push_back({entry.name, entry.packedName, entry.newest, std::string()});
        files->push_back({entry.name + ".inf", entry.packedName + ".inf", entry.newest, cacheInfoFileText(entry.info)});
    }
}
