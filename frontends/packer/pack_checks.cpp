// The checks of a demo that a pack makes, and the messages for what the cabinet tool fails on: each
// names the part, extra or setup folder that the file or folder belongs to.
#include "packer_internal.h"

#include <setupapi.h>

#include <algorithm>
#include <cstdio>

#include "demo/demo.h"
#include "sysfile.h"

namespace {

// Calls `check`(owner, folder, scene file name) for each part and each of its extras in order, the owner
// as messages name it ("Part part1", "Part part1, extra logo.qirn"); the first non-zero result ends it.
template <typename Check>
int forEachScene(const DemoDescription* demo, Check check) {
    char owner[QE_DEMO_NAME_SIZE + QE_DEMO_STRING_SIZE + 32];
    for (int p = 0; p < demo->partCount; ++p) {
        const DemoPart* part = &demo->parts[p];
        std::snprintf(owner, sizeof(owner), "Part %s", part->name);
        if (const int result = check(owner, part->directory, part->fileName)) return result;
        for (int e = 0; e < part->extraCount; ++e) {
            const DemoExtra* extra = &part->extras[e];
            std::snprintf(owner, sizeof(owner), "Part %s, extra %s", part->name, extra->fileName);
            if (const int result = check(owner, extra->directory, extra->fileName)) return result;
        }
    }
    return 0;
}

// The message's words for a file that is not there: that its path is too long for the system, when it is.
std::string missingWord(const std::string& path) {
    if (!qeSysPathTooLong(path.c_str())) return "is missing";
    char text[128];
    std::snprintf(text, sizeof(text), "has a path too long for the system (%d characters)",
                  static_cast<int>(qeSysFullPath(path.c_str()).size()));
    return text;
}

// The message for a folder that a packed demo cannot hold; -1.
int refuseFolder(const char* owner, const char* folder) {
    return qePackBox("%s: the folder '%s' is outside the demo's folder: a packed demo can only hold folders inside "
                     "it (no \"..\", no drive, no leading separator)\n",
                     owner, folder);
}

UINT CALLBACK collectStoredName(PVOID keys, UINT notification, UINT_PTR param1, UINT_PTR) {
    if (notification != SPFILENOTIFY_FILEINCABINET) return NO_ERROR;
    static_cast<std::vector<std::string>*>(keys)->push_back(
        qePackPathKey(reinterpret_cast<FILE_IN_CABINET_INFO_A*>(param1)->NameInCabinet));
    return FILEOP_SKIP;
}

// Who names the folder of `file` (relative to the demo's folder) in the data cabinet.
std::string dataOwner(const DemoDescription* demo, const char* demoFileName, const std::string& file) {
    if (qePackPathKey(file) == qePackPathKey(demoFileName ? demoFileName : "")) return "The demo description";
    const std::string folder = qePackPathKey(qePackFolderOfItem(file));
    std::string owner;
    forEachScene(demo, [&](const char* who, const char* directory, const char* scene) {
        if ((!directory[0] && !scene[0]) || qePackPathKey(directory) != folder) return 0;
        owner = who;
        return 1;
    });
    if (!owner.empty()) return owner;
    // The shaders directory, or the demo's own folder when it is empty.
    if (qePackPathKey(demo->shadersDirectory) == folder) return "Setup shadersdirectory";
    return "The demo";
}

}  // namespace

int qeDemoCheckFolders(const DemoDescription* demo) {
    if (!qeDemoFolderInsideDemo(demo->musicDirectory)) return refuseFolder("Setup musicdirectory", demo->musicDirectory);
    if (!qeDemoFolderInsideDemo(demo->shadersDirectory))
        return refuseFolder("Setup shadersdirectory", demo->shadersDirectory);
    return forEachScene(demo, [](const char* owner, const char* folder, const char*) {
        return qeDemoFolderInsideDemo(folder) ? 0 : refuseFolder(owner, folder);
    });
}

int qeDemoCheckFiles(const DemoDescription* demo, const char* demoFolder) {
    const int result = forEachScene(demo, [demoFolder](const char* owner, const char* folder, const char* file) {
        if (!file[0]) return 0;  // no scene
        const std::string scene = qePackJoinPath(folder, file);
        const std::string path = qePackJoinPath(demoFolder, scene.c_str());
        if (qePackIsFile(path)) return 0;
        return qePackBox("%s: the scene file '%s' %s\n", owner, scene.c_str(), missingWord(path).c_str());
    });
    if (result != 0) return result;
    const std::string loading = qePackJoinPath(demoFolder, "loading.png");
    if (qeSysPathTooLong(loading.c_str()))
        return qePackBox("The demo's loading screen '%s' has a path too long for the system (%d characters)\n",
                         loading.c_str(), static_cast<int>(loading.size()));
    if (!qePackIsFile(loading))
        return qePackBox("The demo's folder has no loading screen '%s': a packed demo needs a loading.png beside its "
                         ".demo.ini\n",
                         loading.c_str());
    return 0;
}

int qePackCheckPackedScenes(const DemoDescription* demo, const char* cabinet, UnfinishedOutput& output) {
    std::vector<std::string> stored;
    SetupIterateCabinetA(cabinet, 0, collectStoredName, &stored);
    return forEachScene(demo, [&](const char* owner, const char* folder, const char* file) {
        if (!file[0]) return 0;
        const std::string scene = qePackJoinPath(folder, file);
        if (std::find(stored.begin(), stored.end(), qePackPathKey(scene)) != stored.end()) return 0;
        return output.fail("%s: the scene file '%s' is not in the packed data: it went missing while packing, or it "
                           "is not one of its folder's *.qirn, *.x or *.lws.ini.bin files\n",
                           owner, scene.c_str());
    });
}

int qeDemoCheckPackedScenes(const DemoDescription* demo, const char* cabinet) {
    UnfinishedOutput none;
    return qePackCheckPackedScenes(demo, cabinet, none);
}

const char* qePackCabinetWord(int id) {
    switch (id) {
        case QE_CAB_DATA: return "data";
        case QE_CAB_MUSIC: return "music";
        case QE_CAB_LOADING: return "loading";
        default: return "default data";
    }
}

std::string qeDemoCabToolFailure(const DemoDescription* demo, const char* demoFileName, int id,
                                 const char* baseFolder, const std::string& toolLine) {
    static const char kCannotAdd[] = "Error: cannot add ";
    static const char kMissing[] = "Error: Could not find file: ";
    static const char kTemporary[] = "Error: the temporary folder ";
    const char* folder = baseFolder ? baseFolder : "";
    auto ownerOf = [&](const std::string& file) -> std::string {
        switch (id) {
            case QE_CAB_DATA: return dataOwner(demo, demoFileName, file);
            case QE_CAB_MUSIC: return "Setup musicdirectory";
            case QE_CAB_LOADING: return "The loading screen";
            default: return "The engine's data next to the program";
        }
    };
    if (toolLine.compare(0, sizeof(kCannotAdd) - 1, kCannotAdd) == 0) {
        std::string file = toolLine.substr(sizeof(kCannotAdd) - 1);
        const size_t code = file.rfind(" (");
        if (code != std::string::npos) file.erase(code);
        return qePackFormatted("%s: the cabinet tool cannot read the file '%s' in '%s' (%s)\n", ownerOf(file).c_str(),
                               file.c_str(), folder, toolLine.c_str());
    }
    if (toolLine.compare(0, sizeof(kMissing) - 1, kMissing) == 0) {
        const std::string file = toolLine.substr(sizeof(kMissing) - 1);
        return qePackFormatted("%s: the file '%s' in '%s' went missing while packing (%s)\n", ownerOf(file).c_str(),
                               file.c_str(), folder, toolLine.c_str());
    }
    // The tool's work files go in the temporary folder.
    if (toolLine.compare(0, sizeof(kTemporary) - 1, kTemporary) == 0)
        return qePackFormatted("Failed to add %s to cab base_dir='%s': %s: the cabinet tool writes its work files "
                               "there\n",
                               qePackCabinetWord(id), folder, toolLine.substr(sizeof("Error: ") - 1).c_str());
    if (toolLine == "Error: no files to add" && id == QE_CAB_MUSIC) {
        if (demo->musicDirectory[0])
            return qePackFormatted("Setup musicdirectory: the folder '%s' holds no music file (*.mp3, *.mpg or "
                                   "*.mpeg)\n",
                                   qePackJoinPath(folder, demo->musicDirectory).c_str());
        return qePackFormatted("Setup musicdirectory: the folder '%s' holds no music file (*.mp3, *.mpg or *.mpeg): "
                               "without a musicdirectory the music lies beside the .demo.ini\n",
                               folder);
    }
    if (toolLine == "Error: no files to add")
        return qePackFormatted("%s: the cabinet tool found no file to add in '%s' (%s)\n", ownerOf("").c_str(), folder,
                               toolLine.c_str());
    return qePackFormatted("Failed to add %s to cab base_dir='%s': the cabinet tool says: %s\n", qePackCabinetWord(id),
                           folder, toolLine.c_str());
}
