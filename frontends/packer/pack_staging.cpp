// The default data of a pack, gathered from the program's folder in a folder of the pack's own, with the
// blobs of the compiled-shader cache that the packed shaders can use.
#include "packer_internal.h"

#include <string>
#include <vector>

#include "demo/demo.h"
#include "frame.h"
#include "sysfile.h"

namespace {

// The folder, in the pack's own folder under the temporary folder (qeDemoHoldRunFolder), where the default
// data is gathered for its cabinet: no folder of the user's is ever used or removed, and a pack killed
// midway leaves it to the next run or pack to remove.
const char kDefaultDataStaging[] = "tmp_demo_defdata";
const char kCacheFolder[] = "shadersCache";

// ": " and the words for a failure to write into the pack's own folder that lies in the temporary folder
// (full, cannot be written), or "".
std::string stagingFault(DWORD error) {
    const std::string fault = qeDemoTemporaryFolderFault(static_cast<int>(error));
    return fault.empty() ? fault : ": " + fault;
}

// Copies the file `item` (relative to `from`) to the same place under `to`, or to `renamed` there; its
// times go with it, not a read-only mark (the pack removes the copy).
int copyItem(const std::string& from, const std::string& to, const std::string& item, const std::string& renamed,
             UnfinishedOutput& output) {
    const std::string& placed = renamed.empty() ? item : renamed;
    const std::string source = qePackJoinPath(from.c_str(), item.c_str());
    const std::string target = qePackJoinPath(to.c_str(), placed.c_str());
    if (qeSysMakeFolders(qePackJoinPath(to.c_str(), qePackFolderOfItem(placed).c_str()).c_str()) &&
        CopyFileW(qePackLongPath(source).c_str(), qePackLongPath(target).c_str(), FALSE)) {
        const DWORD attributes = GetFileAttributesW(qePackLongPath(target).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesW(qePackLongPath(target).c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        return 0;
    }
    const DWORD error = GetLastError();
    DeleteFileW(qePackLongPath(target).c_str());  // a part of it
    return output.fail("Failed to copy %s to %s%s\n", source.c_str(), target.c_str(), stagingFault(error).c_str());
}

// Writes `text` as the file `item` under `to` (in place of the file `item` under `from`, which messages name).
int writeItem(const std::string& from, const std::string& to, const std::string& item, const std::string& placed,
              const std::string& text, UnfinishedOutput& output) {
    const std::string target = qePackJoinPath(to.c_str(), placed.c_str());
    DWORD error = ERROR_DISK_FULL;
    if (qeSysMakeFolders(qePackJoinPath(to.c_str(), qePackFolderOfItem(placed).c_str()).c_str())) {
        HANDLE file = CreateFileW(qePackLongPath(target).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            const bool whole = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                               written == text.size();
            if (!whole && GetLastError() != NO_ERROR) error = GetLastError();
            CloseHandle(file);
            if (whole) return 0;
            DeleteFileW(qePackLongPath(target).c_str());
        } else {
            error = GetLastError();
        }
    } else {
        error = GetLastError();
    }
    return output.fail("Failed to copy %s to %s%s\n", qePackJoinPath(from.c_str(), item.c_str()).c_str(),
                       target.c_str(), stagingFault(error).c_str());
}

// Dates the file `seconds` (since 1970) when it is older. A packed blob was compiled from what its source
// and includes hold now (its name and content key tell): dated no earlier than they are, it is not taken
// for older than them where the packed demo expands them with the dates its cabinets store, whatever
// dates they have (one in the future included).
void notOlderThan(const std::string& path, long long seconds) {
    HANDLE file = CreateFileW(qePackLongPath(path).c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    FILETIME written;
    const unsigned long long wanted = (static_cast<unsigned long long>(seconds) + 11644473600ULL) * 10000000ULL;
    if (seconds > 0 && GetFileTime(file, nullptr, nullptr, &written) && qeSysFileTimeValue(written) < wanted) {
        written.dwLowDateTime = static_cast<DWORD>(wanted);
        written.dwHighDateTime = static_cast<DWORD>(wanted >> 32);
        SetFileTime(file, nullptr, nullptr, &written);
    }
    CloseHandle(file);
}

typedef std::vector<SQePackedShaderFolder> PackedFolders;

// The last component of a folder relative to its cabinet's base folder; for the base folder itself the
// name of the folder that the packed demo expands the cabinet into.
std::string packedFolderName(const std::string& folder, const std::string& baseName) {
    std::string name = folder;
    while (!name.empty() && qePackIsSeparator(name.back())) name.pop_back();
    const size_t cut = name.find_last_of("\\/");
    if (cut != std::string::npos) name = name.substr(cut + 1);
    return name.empty() || name == "." ? baseName : name;
}

// The folders whose shaders the packed demo holds, each as its full path, the name it has where the
// packed demo expands it and its path there relative to the packed cache folder: the engine's shader
// folders lie beside that cache in the default data's folder, the demo's scene and shaders folders in the
// data's folder beside that one.
PackedFolders packedShaderFolders(const std::string& programFolder, const std::string& demoFolder,
                                  const DemoDescription* demo, const std::vector<std::string>& folders) {
    PackedFolders sources;
    auto add = [&](const std::string& base, const std::string& folder, int slot) {
        const std::string above = slot == 0 ? "../" : "../../" + qeDemoExtractFolderName(slot) + "/";
        sources.push_back({qeSysFullPath(qePackJoinPath(base.c_str(), folder.c_str()).c_str()),
                           packedFolderName(folder, qeDemoExtractFolderName(slot)), above + folder});
    };
    for (const char* folder : kQePackEngineShaderFolders) add(programFolder, folder, 0);
    for (const std::string& folder : folders) add(demoFolder, folder, 1);
    add(demoFolder, demo->shadersDirectory, 1);
    return sources;
}

}  // namespace

StagingFolder::StagingFolder() {
    if (const char* run = qeDemoHoldRunFolder()) {
        run_ = run;
        path_ = run_ + "\\" + kDefaultDataStaging;
    }
}

StagingFolder::~StagingFolder() {
    if (run_.empty()) return;
    // The cabinet tool ran in it: its current folder can still be held for a moment after its end (seen
    // under Wine). A folder that stays goes with the pack's own folder.
    for (int tries = 0; !qeSysRemoveFolderTree(path_.c_str()) && tries < 40; ++tries) Sleep(50);
    qeDemoReleaseRunFolder();
}

const char* qeDemoStagingFolderName() { return kDefaultDataStaging; }

int qePackStageDefaultData(const std::string& programFolder, const std::string& staging, const DemoFileList& items,
                           const std::string& demoFolder, const DemoDescription* demo,
                           const std::vector<std::string>& folders, UnfinishedOutput& output) {
    if (!qeSysMakeFolders(staging.c_str()))
        return output.fail("Failed to copy %s to %s%s\n", programFolder.c_str(), staging.c_str(),
                           stagingFault(GetLastError()).c_str());
    for (const std::string& item : items) {
        const std::string folder = qePackFolderOfItem(item);
        if (qePackSameName(folder, kCacheFolder)) continue;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(qePackLongPath(qePackJoinPath(programFolder.c_str(), item.c_str())).c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) continue;
        int result = 0;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                result = copyItem(programFolder, staging,
                                  qePackJoinPath(folder.c_str(), qeSysAnsiText(found.cFileName).c_str()), "", output);
        } while (result == 0 && FindNextFileW(search, &found));
        FindClose(search);
        if (result != 0) return result;
    }
    // each under the name its source asks for where the packed demo has it
    std::vector<SQePackedCacheFile> cache;
    qeIrrlichtPackableShaderCache(programFolder.c_str(), packedShaderFolders(programFolder, demoFolder, demo, folders),
                                  &cache);
    for (const SQePackedCacheFile& file : cache) {
        const std::string packed = qePackJoinPath(kCacheFolder, file.packedName.c_str());
        const std::string item = qePackJoinPath(kCacheFolder, file.name.c_str());
        // an ".inf" lists its sources as the packed demo has them
        if ((file.packedInfo.empty() ? copyItem(programFolder, staging, item, packed, output)
                                     : writeItem(programFolder, staging, item, packed, file.packedInfo, output)) != 0)
            return -1;
        notOlderThan(qePackJoinPath(staging.c_str(), packed.c_str()), file.newestSourceTime);
    }
    return 0;
}
