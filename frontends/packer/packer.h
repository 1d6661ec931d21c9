#ifndef QIRN_FRONTENDS_PACKER_PACKER_H
#define QIRN_FRONTENDS_PACKER_PACKER_H

// The stand-alone demo packer and the packed-demo run mode. A packed demo is a copy of qirn.exe that
// carries the demo's files as cabinet resources of type "CAB": 500 the demo data (scenes, images and
// shaders of every scene folder, the shaders directory, the *.demo.ini), 501 the music, 502 "loading.png",
// 503 the default data (the shader, shader-cache and texture folders next to qirn.exe). The cabinets are
// made by the cabinet tool "cabarc.exe" next to qirn.exe; the packed executable expands them into folders
// of its own under the temporary folder and plays the demo from there.

#include <windows.h>

#include <string>
#include <vector>

struct DemoDescription;

enum {
    QE_CAB_DATA = 500,
    QE_CAB_MUSIC = 501,
    QE_CAB_LOADING = 502,
    QE_CAB_DEFAULT_DATA = 503,
    QE_PACKER_MAX_FOLDERS = 255,
    QE_EXTRACT_SLOTS = 10,
    QE_EXTRACT_PATH_SIZE = 2048,
    // The longest command line a process can be started with (characters, without the closing zero).
    QE_PACKER_COMMAND_MAX = 32766,
};

// Error codes of the extraction (otherwise the system's error number of the cabinet expansion).
enum {
    QE_EXTRACT_NOT_FOUND = -10,
    QE_EXTRACT_NOT_LOADED = -20,
    QE_EXTRACT_NOT_LOCKED = -30,
    QE_EXTRACT_NOT_CREATED = -40,
    QE_EXTRACT_NOT_WRITTEN = -50,
    QE_EXTRACT_FAILED = -60,  // the expansion failed without telling why
};

// The name of the folder that the packed run expands into for an extraction slot ("TheDemoExtractDir.1");
// the slot's folder is that name in the run's own folder under the temporary folder (the names of the
// packed shader cache's blobs of a shader beside the .demo.ini take it).
std::string qeDemoExtractFolderName(int slot);

// ---- Packing ----

// The items handed to the cabinet tool, each a folder, "\" and a pattern or file name, or a bare pattern
// for the cabinet's base folder itself (an empty folder).
typedef std::vector<std::string> DemoFileList;

void qeDemoListSceneFiles(DemoFileList* list, const char* folder);
void qeDemoListImageFiles(DemoFileList* list, const char* folder);
void qeDemoListShaderFiles(DemoFileList* list, const char* folder);
void qeDemoListShaderCacheFiles(DemoFileList* list, const char* folder);
// The items as one text, each followed by a blank (how the failure messages show them).
std::string qeDemoFileListText(const DemoFileList& list);

// True when `folder` (relative to the demo's folder) stays inside the demo's folder: no ".." component, no
// drive and no leading separator. An empty folder is the demo's folder itself. The packed run tests the
// names that a cabinet stores in the same way (qeDemoExtractTarget).
bool qeDemoFolderInsideDemo(const char* folder);
// The music and shaders directories and the folders of every part and extra must stay inside the demo's
// folder: the packed demo holds nothing else. 0, or -1 after a message box naming the part and the folder.
int qeDemoCheckFolders(const DemoDescription* demo);
// Every scene file that a part or an extra names (its folder and file name, relative to `demoFolder`) and
// the loading screen "loading.png" beside the description are there. 0, or -1 after a message box naming
// the part and the file.
int qeDemoCheckFiles(const DemoDescription* demo, const char* demoFolder);
// The data cabinet holds every scene file that a part or an extra names. 0, or -1 after a message box
// naming the part and the file.
int qeDemoCheckPackedScenes(const DemoDescription* demo, const char* cabinet);
// The scene folders of the parts and their extras in order, each once whatever its letter case. An empty
// folder is the demo's own folder, listed as "" when a part or an extra has its scene there. -1 after "Reached max directories\n" when there are more than QE_PACKER_MAX_FOLDERS.
int qeDemoGatherFolders(const DemoDescription* demo, std::vector<std::string>* folders);
// The lists of the four cabinets. A music or shaders directory left out is the demo's own folder: its
// patterns are bare, relative to the cabinet's base folder like the rest.
// The data list ends with the includes of the packed shaders (qeDemoGatherShaderIncludes) and the
// description's file name.
DemoFileList qeDemoDataList(const DemoDescription* demo, const std::vector<std::string>& folders,
                            const char* demoFileName, const std::vector<std::string>& includes = {});
// The files that the shaders of the data cabinet include (relative to `demoFolder`), as the compiler
// finds them, with what those include in turn and what the compiled-shader cache's content key of a
// shader reads, without those that the data list's patterns take already. 0, or -1 after a message box
// naming the shader and the include, when the compiler surely reads an include that is missing or lies
// outside the demo's folder (one under a condition that depends on the shader's macros is taken when it
// is there, and left out otherwise).
int qeDemoGatherShaderIncludes(const DemoDescription* demo, const char* demoFolder,
                               const std::vector<std::string>& folders, std::vector<std::string>* includes);
DemoFileList qeDemoMusicList(const DemoDescription* demo);
DemoFileList qeDemoDefaultDataList();

// Packs with the running executable (qeDemoPackExecutable, in frontends.h) or with `program`: the
// executable copied to `outExe`, whose folder holds the cabinet tool and the default data. 0, or -1 after
// a message box, with no copy of the program left behind. The copy is made and filled under the temporary
// name qeDemoPackTemporaryName(outExe) and takes the output's name only once it is complete: a pack
// stopped at any point leaves nothing under the output's name (a previous output is removed once the demo
// has passed its checks), and the next pack of that output removes the temporary file it left.
int qeDemoPackExecutableFrom(const char* program, const char* outExe, const char* demoIni);
std::string qeDemoPackTemporaryName(const std::string& outExe);
// Called as a pack reaches each of its steps, before taking it: "copy" (the program to the temporary
// file), "cabinet <id>" (the tool's run for the cabinet and its storing), "rename" (the temporary file to
// the output's name). A pack stopped there leaves what is on disk at that moment. NULL: none.
typedef void (*QeDemoPackStepHook)(const char* step);
void qeDemoSetPackStepHook(QeDemoPackStepHook hook);
// Runs "<programFolder>\cabarc.exe -p n <cabinet> <items>" in `baseFolder` (the cabinet of the ID and the
// tool's output "out-<id>.txt" in the current folder) and stores the cabinet as resource `id` of
// `outExe`. 0, or -1 after a message box; when the tool fails and `toolError` is given, the error line of
// the tool's output goes there instead of the box, for the caller to tell (no line: the box as usual).
int qeDemoBuildCabResource(const char* programFolder, const char* outExe, int id, const char* baseFolder,
                           const DemoFileList& list, std::string* toolError = nullptr);
// The message for a cabinet tool's error line ("Error: cannot add intro\intro.qirn (...)", "Error: no
// files to add", ...) met while making cabinet `id` from `baseFolder`: it names the part, extra or setup
// folder that the file or the list belongs to, and the file or folder.
std::string qeDemoCabToolFailure(const DemoDescription* demo, const char* demoFileName, int id,
                                 const char* baseFolder, const std::string& toolLine);
// The cabinet file's bytes as resource ("CAB", id, language neutral) of `outExe`. 0, or -1 after a message
// box, with the executable unchanged.
int qeDemoStoreCabResource(const char* outExe, const char* cabinet, int id);
// The command line that qeDemoBuildCabResource runs: every path and item quoted.
std::string qeDemoCabCommand(const char* program, const char* cabinet, const DemoFileList& list);
// The temporary cabinet's name for a resource ID.
const char* qeDemoCabFileName(int id);

// ---- Packed demos ----

// 1 when `module` (NULL: the running executable) carries the resources 500, 501 and 502.
int qeDemoModuleHasCabResources(HMODULE module);
int qeDemoCabResourceExists(int id);

// The run's own folder, "TheDemoRun.<8 hexadecimal digits>" in the temporary folder: the extraction slots'
// folders and a pack's gathered default data lie in it, so that packed demos and packs started at any
// moment never meet in a folder. It is made on the first hold and held open while the process uses it
// (without sharing deletion): no other run can remove it until the process ends, however it ends. Each
// hold is matched by a release; the last one removes the folder. Making and removing it clear the
// leftovers of killed runs (qeDemoClearLeftovers). NULL when it cannot be made.
const char* qeDemoHoldRunFolder();
void qeDemoReleaseRunFolder();
const char* qeDemoGetRunFolder();  // NULL while not held
// Why the last hold failed: a system error number (ERROR_FILENAME_EXCED_RANGE for a temporary folder too
// long for a run's folders), 0 when it did not.
int qeDemoRunFolderError();
// The run folder is marked as a run's own ("~qirn-run.txt"). Removes the run folders in the temporary
// folder that no process holds and that are surely a run's: of the run folder's name form, holding only
// what runs and packs write there, and marked, or, made before runs marked their folders, not written to
// within the last minute. Removes the extraction folders of the earlier layout ("TheDemoExtractDir.0", ".1"
// and ".2" in the temporary folder itself, which packed demos made before kept no hold on) that hold only
// what their expansions wrote, when none of them is any process's current folder and none was written to
// within the last minute. Nothing else is removed, nor anything marked read-only. The number of folders
// removed.
int qeDemoClearLeftovers();
// The words for an expansion's or a hold's error number that tells a fault of the temporary folder (full,
// cannot be written, missing, too long a path), naming the folder; "" for any other number.
std::string qeDemoTemporaryFolderFault(int code);
// The folder in a pack's own folder where it gathers the default data ("tmp_demo_defdata").
const char* qeDemoStagingFolderName();

// Extraction slots: each a folder "TheDemoExtractDir.<slot>" in the run's own folder. Opening one gives 0,
// -1 for a bad slot, the hold's error number when the run's folder cannot be made, or the expansion's code
// (after which nothing of it stays).
int qeDemoOpenCabResource(int slot, int id);
// The same from the resources of `module` (NULL: the running executable).
int qeDemoOpenCabResourceFrom(HMODULE module, int slot, int id);
int qeDemoEnterExtractDir(int slot);
const char* qeDemoGetExtractDir(int slot);  // NULL when the slot is not in use
int qeDemoRemoveExtractDir(int slot);
int qeDemoRemoveExtractDirs();

// Expands resource `id` into `folder`, read where the resource lies, at any length: 0 or an error code
// above. Each file is written whole or the expansion fails with the system's reason (ERROR_DISK_FULL for a
// file that did not fit); a failure leaves in `folder` what was written so far.
int qeDemoExtractCabResource(int id, const char* folder);
int qeDemoExtractCabResourceFrom(HMODULE module, int id, const char* folder);
// The file a stored name expands to: `folder`, "\" and the name, in `target` (`size` bytes). False for a
// name that does not fit, is absolute or climbs out of the folder ("..").
bool qeDemoExtractTarget(const char* folder, const char* name, char* target, size_t size);

#endif
