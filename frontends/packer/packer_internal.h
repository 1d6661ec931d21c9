#ifndef QIRN_FRONTENDS_PACKER_PACKER_INTERNAL_H
#define QIRN_FRONTENDS_PACKER_PACKER_INTERNAL_H

// What the packer's files share: path helpers, the error box and the pack's unfinished output,
// the engine's shader folders, and the steps of a cabinet's making that a pack takes with its output.

#include <windows.h>

#include <string>
#include <vector>

#include "log.h"
#include "packer.h"

struct DemoDescription;

// ---- paths ----

// `folder` and `name` joined by exactly one separator.
std::string qePackJoinPath(const char* folder, const char* name);
// Every file of a pack is reached by its full path in the long form (sysfile.h): paths of any length.
std::wstring qePackLongPath(const std::string& path);
bool qePackIsSeparator(char c);
// The folder part of a path with its closing separator, "" when it has none.
std::string qePackFolderOfPath(const std::string& path);
// The folder part of a stored item ("intro" of "intro\intro.qirn"), or "".
std::string qePackFolderOfItem(const std::string& item);
// The last component of a list item ("*.hlsl" of "intro\*.hlsl").
std::string qePackNameOfItem(const std::string& item);
// A relative path as a key that compares the way the file system does: lower case, one kind of
// separator, no empty or "." components.
std::string qePackPathKey(const std::string& path);
// Whether two names are the same for the file system (letter case aside).
bool qePackSameName(const std::string& a, const std::string& b);
bool qePackIsFile(const std::string& path);
bool qePackExists(const std::string& path);

// ---- the error box and the unfinished output ----

std::string qePackFormatted(const char* format, ...) QE_PRINTF(1, 2);
// The packer's error box; -1.
int qePackBox(const char* format, ...) QE_PRINTF(1, 2);

// The output of a pack under way (the copy of the program under its temporary name), until it is
// complete. A failure box of the pack removes it before it shows: a pack stopped on its box (a run that
// nobody answers) leaves no half-made demo that looks like a finished one. Unless kept, it is removed at
// the end of the scope too. One made without a path stands for no output: its failures only show the box.
class UnfinishedOutput {
public:
    UnfinishedOutput() = default;
    explicit UnfinishedOutput(const std::string& path) : path_(path) {}
    ~UnfinishedOutput() { remove(); }
    UnfinishedOutput(const UnfinishedOutput&) = delete;
    UnfinishedOutput& operator=(const UnfinishedOutput&) = delete;
    // The output is complete: it stays.
    void keep() { path_.clear(); }
    // The packer's error box, the output removed first; -1.
    int fail(const char* format, ...) QE_PRINTF(2, 3);

private:
    void remove();
    std::string path_;
};

// ---- lists ----

// The engine's own shader folders next to the program.
extern const char* const kQePackEngineShaderFolders[5];

// ---- the steps a pack takes with its output (the public functions take them without one) ----

// qeDemoCheckPackedScenes.
int qePackCheckPackedScenes(const DemoDescription* demo, const char* cabinet, UnfinishedOutput& output);
// qeDemoBuildCabResource.
int qePackBuildCabinet(const char* programFolder, const char* outExe, int id, const char* baseFolder,
                       const DemoFileList& list, std::string* toolError, UnfinishedOutput& output);
// qeDemoStoreCabResource.
int qePackStoreCabinet(const char* outExe, const char* cabinet, int id, UnfinishedOutput& output);
// The failure message's word for a cabinet ("data", "music", "loading", "default data").
const char* qePackCabinetWord(int id);

// ---- the default data ----

// Holds the pack's own folder (qeDemoHoldRunFolder) while the pack runs, with the folder in it where the
// default data is gathered for its cabinet, and removes that at its end, however it ends.
class StagingFolder {
public:
    StagingFolder();
    ~StagingFolder();
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    // Empty when the pack's own folder cannot be made.
    const std::string& path() const { return path_; }
    const std::string& runFolder() const { return run_; }

private:
    std::string run_, path_;
};

// Gathers in the staging folder what the default data cabinet holds: the files of the program folder that
// its items name, but of the compiled-shader cache only the blobs that the packed shaders can use (not
// those of other demos' shaders, nor those compiled from an older content of a source), which lie in
// `demoFolder` and its scene `folders`. 0, or -1 after the output's failure box.
int qePackStageDefaultData(const std::string& programFolder, const std::string& staging, const DemoFileList& items,
                           const std::string& demoFolder, const DemoDescription* demo,
                           const std::vector<std::string>& folders, UnfinishedOutput& output);

#endif
