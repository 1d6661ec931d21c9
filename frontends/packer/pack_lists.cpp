// What a pack takes: the patterns of each kind of file, the lists of the four cabinets, the scene folders
// of a demo and the includes of its shaders.
#include "packer_internal.h"

#include <algorithm>
#include <iterator>

#include "demo/demo.h"
#include "frame.h"
#include "sysfile.h"

const char* const kQePackEngineShaderFolders[5] = {"shaders", "shadersPP", "shadersSURF", "shadersSURF2", "shadersHV"};

namespace {

const char* const kScenePatterns[] = {"*.x", "*.lws.ini.bin", "*.qirn"};
const char* const kImagePatterns[] = {"*.jpg", "*.png", "*.jpeg", "*.bmp", "*.tga", "*.gif", "*.raw", "*.dds"};
const char* const kShaderPatterns[] = {"*.hlsl", "*.vsh", "*.psh"};
const char* const kCachePatterns[] = {"*.vso", "*.pso", "*.vso.inf", "*.pso.inf"};
const char* const kShaderDirPatterns[] = {"*.dbs", "*.fx", "*.hlsl"};
// The engine's own shader folders also hold the effect files and the headers its shaders include: without
// them the renderer of a packed demo cannot be created.
const char* const kEngineShaderExtras[] = {"*.fx", "*.h"};
const char* const kMusicPatterns[] = {"*.mp3", "*.mpg", "*.mpeg"};

template <size_t N>
void appendPatterns(DemoFileList* list, const char* folder, const char* const (&patterns)[N]) {
    for (const char* pattern : patterns) list->push_back(std::string(folder ? folder : "") + "\\" + pattern);
}

// The patterns of a folder relative to the cabinet's base folder; an empty folder is the base folder itself.
template <size_t N>
void appendFolderPatterns(DemoFileList* list, const char* folder, const char* const (&patterns)[N]) {
    if (folder && folder[0])
        appendPatterns(list, folder, patterns);
    else
        list->insert(list->end(), std::begin(patterns), std::end(patterns));
}

// Adds the folder of a part or an extra. An empty folder is the demo's own folder: it counts when a scene
// lies there, not for a part without a scene (the end of the demo).
int addFolder(std::vector<std::string>* folders, const char* folder, const char* sceneFile) {
    if (!folder[0] && !sceneFile[0]) return 0;
    for (const std::string& known : *folders)
        if (qePackSameName(known, folder)) return 0;
    if (folders->size() >= QE_PACKER_MAX_FOLDERS) return qePackBox("Reached max directories\n");
    folders->push_back(folder);
    return 0;
}

// Whether a data list item is a pattern of shader files ("intro\*.hlsl", "*.fx").
bool isShaderPattern(const std::string& item) {
    const std::string name = qePackNameOfItem(item);
    const auto named = [&name](const char* pattern) { return qePackSameName(name, pattern); };
    return std::any_of(std::begin(kShaderPatterns), std::end(kShaderPatterns), named) ||
           std::any_of(std::begin(kShaderDirPatterns), std::end(kShaderDirPatterns), named);
}

// Appends the full paths of the files that a pattern matches.
void filesMatching(const std::string& pattern, std::vector<std::string>* files) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(qePackLongPath(qeSysFullPath(pattern.c_str())).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    const std::string folder = qePackFolderOfPath(qeSysFullPath(pattern.c_str()));
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files->push_back(folder + qeSysAnsiText(found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// A full path relative to the full path of a folder that holds it; the path itself when it lies outside.
std::string insideFolder(const std::string& folder, const std::string& path) {
    std::string base = folder;
    if (!base.empty() && !qePackIsSeparator(base.back())) base += '\\';
    if (path.size() > base.size() && qeSysStrCaseCmp(path.substr(0, base.size()).c_str(), base.c_str()) == 0)
        return path.substr(base.size());
    return path;
}

// Whether a data list item (a file, or a folder and a pattern "*.<extension>") takes the file `file`,
// both relative to the data's folder.
bool takes(const std::string& item, const std::string& file) {
    if (qePackPathKey(item) == qePackPathKey(file)) return true;
    const std::string pattern = qePackNameOfItem(item);
    if (pattern.compare(0, 2, "*.") != 0 ||
        qePackPathKey(qePackFolderOfItem(item)) != qePackPathKey(qePackFolderOfItem(file)))
        return false;
    const std::string name = qePackPathKey(qePackNameOfItem(file)), extension = qePackPathKey(pattern.substr(1));
    return name.size() > extension.size() && name.compare(name.size() - extension.size(), extension.size(), extension) == 0;
}

}  // namespace

void qeDemoListSceneFiles(DemoFileList* list, const char* folder) { appendFolderPatterns(list, folder, kScenePatterns); }
void qeDemoListImageFiles(DemoFileList* list, const char* folder) { appendFolderPatterns(list, folder, kImagePatterns); }
void qeDemoListShaderFiles(DemoFileList* list, const char* folder) {
    appendFolderPatterns(list, folder, kShaderPatterns);
}
void qeDemoListShaderCacheFiles(DemoFileList* list, const char* folder) {
    appendFolderPatterns(list, folder, kCachePatterns);
}

std::string qeDemoFileListText(const DemoFileList& list) {
    std::string text;
    for (const std::string& item : list) text += item + " ";
    return text;
}

int qeDemoGatherFolders(const DemoDescription* demo, std::vector<std::string>* folders) {
    folders->clear();
    for (int p = 0; p < demo->partCount; ++p) {
        const DemoPart* part = &demo->parts[p];
        if (addFolder(folders, part->directory, part->fileName) != 0) return -1;
        for (int e = 0; e < part->extraCount; ++e)
            if (addFolder(folders, part->extras[e].directory, part->extras[e].fileName) != 0) return -1;
    }
    return 0;
}

DemoFileList qeDemoDataList(const DemoDescription* demo, const std::vector<std::string>& folders,
                            const char* demoFileName, const std::vector<std::string>& includes) {
    DemoFileList list;
    for (const std::string& folder : folders) {
        qeDemoListSceneFiles(&list, folder.c_str());
        qeDemoListImageFiles(&list, folder.c_str());
        qeDemoListShaderFiles(&list, folder.c_str());
    }
    // The shaders directory (an empty one is the demo's own folder), without what a scene folder of the
    // same name has listed already.
    DemoFileList shaders;
    appendFolderPatterns(&shaders, demo->shadersDirectory, kShaderDirPatterns);
    for (const std::string& item : shaders) {
        const std::string key = qePackPathKey(item);
        const auto listed = [&key](const std::string& known) { return qePackPathKey(known) == key; };
        if (std::none_of(list.begin(), list.end(), listed)) list.push_back(item);
    }
    list.insert(list.end(), includes.begin(), includes.end());
    list.push_back(demoFileName);
    return list;
}

int qeDemoGatherShaderIncludes(const DemoDescription* demo, const char* demoFolder,
                               const std::vector<std::string>& folders, std::vector<std::string>* includes) {
    includes->clear();
    const DemoFileList patterns = qeDemoDataList(demo, folders, "");
    std::vector<std::string> sources;
    for (const std::string& item : patterns)
        if (isShaderPattern(item)) filesMatching(qePackJoinPath(demoFolder, item.c_str()), &sources);
    std::vector<SQeShaderInclude> found;
    qeIrrlichtShaderIncludes(sources, &found);
    const std::string demoPath = qeSysFullPath(demoFolder);
    for (const SQeShaderInclude& include : found) {
        const std::string shader = insideFolder(demoPath, include.source);
        const std::string includer = insideFolder(demoPath, qeSysFullPath(include.includer.c_str()));
        const std::string through =
            qePackPathKey(includer) == qePackPathKey(shader) ? std::string() : " (named in '" + includer + "')";
        if (include.path.empty()) {
            if (!include.certain) continue;
            return qePackBox("The shader '%s' includes '%s'%s, which is missing: the compiler finds it neither beside "
                             "the file that names it nor beside an include found before\n",
                             shader.c_str(), include.name.c_str(), through.c_str());
        }
        const std::string full = qeSysFullPath(include.path.c_str());
        const std::string file = insideFolder(demoPath, full);
        if (file == full) {
            if (!include.certain) continue;
            return qePackBox("The shader '%s' includes '%s'%s, which lies outside the demo's folder ('%s'): a packed "
                             "demo can only hold files inside it\n",
                             shader.c_str(), include.name.c_str(), through.c_str(), full.c_str());
        }
        const auto taken = [&file](const std::string& item) { return takes(item, file); };
        if (std::none_of(patterns.begin(), patterns.end(), taken) && std::none_of(includes->begin(), includes->end(), taken))
            includes->push_back(file);
    }
    return 0;
}

// An empty music directory is the demo's own folder, where the player then looks for the music.
DemoFileList qeDemoMusicList(const DemoDescription* demo) {
    DemoFileList list;
    appendFolderPatterns(&list, demo->musicDirectory, kMusicPatterns);
    return list;
}

DemoFileList qeDemoDefaultDataList() {
    DemoFileList list;
    for (const char* folder : kQePackEngineShaderFolders) {
        qeDemoListShaderFiles(&list, folder);
        appendPatterns(&list, folder, kEngineShaderExtras);
    }
    qeDemoListShaderCacheFiles(&list, "shadersCache");
    qeDemoListImageFiles(&list, "textures");
    return list;
}
