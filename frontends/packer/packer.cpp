// The stand-alone demo packer: copies the running executable and writes the demo's files into the copy as
// four cabinet resources, made by the cabinet tool next to the executable. The steps of a pack.
#include "packer.h"

#include <cstdlib>

#include "demo/demo.h"
#include "frontends.h"
#include "packer_internal.h"
#include "sys.h"
#include "sysfile.h"

namespace {

QeDemoPackStepHook g_stepHook = nullptr;

void packStep(const char* step) {
    if (g_stepHook) g_stepHook(step);
}

// What the steps of a pack share: the demo, where its files and the program's lie, and the output under
// its temporary name while it is unfinished.
struct Pack {
    const DemoDescription* demo;
    std::string programFolder;
    std::string demoFolder;
    std::string demoFileName;  // the description's, relative to the demo's folder
    const std::vector<std::string>& folders;   // the scene folders
    const std::vector<std::string>& includes;  // the shaders' includes that the data takes
    std::string temporary;
    UnfinishedOutput& output;
};

// Makes cabinet `id` of `list` with the tool run in `from` and stores it in the output; the failures name
// `named`, the folder its files come from. 0, or -1 after the output's failure box.
int storeCabinet(const Pack& pack, int id, const DemoFileList& list, const std::string& named,
                 const std::string& from) {
    std::string toolError;
    if (qePackBuildCabinet(pack.programFolder.c_str(), pack.temporary.c_str(), id, from.c_str(), list, &toolError,
                           pack.output) == 0)
        return 0;
    // The tool said which file or list it failed on: name it, and the part or folder it belongs to.
    if (!toolError.empty())
        return pack.output.fail(
            "%s", qeDemoCabToolFailure(pack.demo, pack.demoFileName.c_str(), id, named.c_str(), toolError).c_str());
    return pack.output.fail("Failed to add %s to cab base_dir='%s' dirlist='%s'\n", qePackCabinetWord(id),
                            named.c_str(), qeDemoFileListText(list).c_str());
}

// A scene file that did not go in (moved away while the tool ran) would leave a demo that cannot play. The
// cabinet functions take a cabinet's path in 256 characters: a longer one is read from a copy in the pack's
// own folder.
int checkStoredScenes(const Pack& pack, const StagingFolder& staging) {
    std::string cabinet = qeSysFullPath(qeDemoCabFileName(QE_CAB_DATA));
    if (cabinet.size() >= 256 && !staging.runFolder().empty()) {
        const std::string copy = staging.runFolder() + "\\" + qeDemoCabFileName(QE_CAB_DATA);
        if (CopyFileW(qePackLongPath(cabinet).c_str(), qePackLongPath(copy).c_str(), FALSE)) cabinet = copy;
    }
    const int checked = qePackCheckPackedScenes(pack.demo, cabinet.c_str(), pack.output);
    if (cabinet.compare(0, staging.runFolder().size(), staging.runFolder()) == 0 && !staging.runFolder().empty())
        DeleteFileW(qePackLongPath(cabinet).c_str());
    return checked;
}

void cabinetStep(int id) { packStep(qePackFormatted("cabinet %d", id).c_str()); }

// Writes the four cabinets into the output.
int packCabinets(const Pack& pack) {
    // The program folder's default data goes in as gathered in a folder of its own, in the temporary folder,
    // where the cabinet tool also writes its work files: a temporary folder that cannot take them is told
    // before any cabinet is made.
    StagingFolder staging;
    if (staging.path().empty()) {
        const std::string fault = qeDemoTemporaryFolderFault(qeDemoRunFolderError());
        return pack.output.fail("Failed to make a folder of the pack's own in the temporary folder: %s\n",
                                fault.empty() ? qePackFormatted("error %d", qeDemoRunFolderError()).c_str()
                                              : fault.c_str());
    }
    // The demo's data, its scenes checked in the stored cabinet.
    cabinetStep(QE_CAB_DATA);
    const DemoFileList data = qeDemoDataList(pack.demo, pack.folders, pack.demoFileName.c_str(), pack.includes);
    if (storeCabinet(pack, QE_CAB_DATA, data, pack.demoFolder, pack.demoFolder) != 0 ||
        checkStoredScenes(pack, staging) != 0)
        return -1;
    // The music.
    cabinetStep(QE_CAB_MUSIC);
    if (storeCabinet(pack, QE_CAB_MUSIC, qeDemoMusicList(pack.demo), pack.demoFolder, pack.demoFolder) != 0)
        return -1;
    // The loading screen beside the description.
    cabinetStep(QE_CAB_LOADING);
    if (storeCabinet(pack, QE_CAB_LOADING, DemoFileList{"loading.png"}, pack.demoFolder, pack.demoFolder) != 0)
        return -1;
    // The default data, made from what is gathered from the program's folder; the failures name that folder.
    cabinetStep(QE_CAB_DEFAULT_DATA);
    const DemoFileList defaults = qeDemoDefaultDataList();
    if (qePackStageDefaultData(pack.programFolder, staging.path(), defaults, pack.demoFolder, pack.demo,
                               pack.folders, pack.output) != 0)
        return -1;
    return storeCabinet(pack, QE_CAB_DEFAULT_DATA, defaults, pack.programFolder, staging.path());
}

int packInto(const std::string& program, const char* outExe, const char* demoIni, DemoDescription* demo) {
    // A pack of this output that was killed before its end left its temporary file.
    const std::string leftover = qeDemoPackTemporaryName(qeSysFullPath(outExe));
    if (!leftover.empty()) DeleteFileW(qePackLongPath(leftover).c_str());
    if (qeDemoParseIni(demo, demoIni) != 0) {
        if (qeSysPathTooLong(demoIni))
            qeSysMessageBox("Failed to load ini file %s: its path is too long for the system (%d characters)\n",
                            demoIni, static_cast<int>(qeSysFullPath(demoIni).size()));
        else
            qeSysMessageBox("Failed to load ini file %s\n", demoIni);
        return -1;
    }
    if (qeDemoCheckFolders(demo) != 0) return -1;
    const std::string demoFolder = qePackFolderOfPath(qeSysFullPath(demoIni));
    if (qeDemoCheckFiles(demo, demoFolder.c_str()) != 0) return -1;
    std::vector<std::string> folders;
    if (qeDemoGatherFolders(demo, &folders) != 0) return -1;
    std::vector<std::string> includes;
    if (qeDemoGatherShaderIncludes(demo, demoFolder.c_str(), folders, &includes) != 0) return -1;

    // The program is never its own output: the copy would fail, and removing a failed output would take
    // the program with it. An output that is a folder would get the copy inside it.
    const std::string output = qeSysFullPath(outExe);
    const DWORD outputAttributes = GetFileAttributesW(qePackLongPath(output).c_str());
    if (program.empty() || output.empty() || qeSysStrCaseCmp(output.c_str(), program.c_str()) == 0 ||
        (outputAttributes != INVALID_FILE_ATTRIBUTES && (outputAttributes & FILE_ATTRIBUTE_DIRECTORY)))
        return qePackBox("Failed to copy %s to %s\n", program.c_str(), outExe);
    // Nothing lies under the output's name until the pack is complete: a plain or partial copy of the
    // program is no demo to ship, and neither is an earlier pack of the output once this one has begun.
    // The copy is filled under a temporary name that no one would start, and renamed at the end.
    const std::string temporary = qeDemoPackTemporaryName(output);
    if (qePackExists(output) && !DeleteFileW(qePackLongPath(output).c_str()))
        return qePackBox("Failed to copy %s to %s\n", program.c_str(), outExe);
    UnfinishedOutput unfinished(temporary);
    packStep("copy");
    if (!CopyFileW(qePackLongPath(program).c_str(), qePackLongPath(temporary).c_str(), FALSE))
        return unfinished.fail("Failed to copy %s to %s\n", program.c_str(), outExe);
    const std::string programFolder = qePackFolderOfPath(qeSysFullPath(program.c_str()));
    const std::string demoFileName = qeSysFullPath(demoIni).substr(demoFolder.size());
    const Pack pack = {demo, programFolder, demoFolder, demoFileName, folders, includes, temporary, unfinished};
    if (packCabinets(pack) != 0) return -1;
    packStep("rename");
    if (!MoveFileExW(qePackLongPath(temporary).c_str(), qePackLongPath(output).c_str(), MOVEFILE_REPLACE_EXISTING))
        return unfinished.fail("Failed to rename %s to %s\n", temporary.c_str(), output.c_str());
    unfinished.keep();
    return 0;
}

}  // namespace

int qeDemoPackExecutableFrom(const char* program, const char* outExe, const char* demoIni) {
    if (!outExe || !demoIni) return -1;
    DemoDescription* demo = static_cast<DemoDescription*>(std::calloc(1, sizeof(DemoDescription)));
    if (!demo) {
        qeSysMessageBox("Alloc failure %d bytes", static_cast<int>(sizeof(DemoDescription)));
        return -1;
    }
    const int result = packInto(program ? program : "", outExe, demoIni, demo);
    std::free(demo);
    return result;
}

std::string qeDemoPackTemporaryName(const std::string& outExe) {
    return outExe.empty() ? std::string() : outExe + ".packing";
}

void qeDemoSetPackStepHook(QeDemoPackStepHook hook) { g_stepHook = hook; }

// "-demodat" packs in the same way as "-demoexe". The running executable's path is the system's, not the
// command line's (which may name it without its folder or its extension).
int qeDemoPackExecutable(const char* outExe, const char* demoIni, int) {
    return qeDemoPackExecutableFrom(qeSysGetExePath(), outExe, demoIni);
}
