#ifndef QIRN_FRONTENDS_PACKER_PACKED_RUN_INTERNAL_H
#define QIRN_FRONTENDS_PACKER_PACKED_RUN_INTERNAL_H

// What the packed run's files share: the names of the folders a run writes in the temporary folder and of
// its mark, and the steps of taking and removing a run's folder that its release shares with the clearing
// of leftovers.

#include <windows.h>

#include <cstddef>
#include <string>

// An extraction slot's folder is this, "." and the slot's digit.
const char kQeRunExtractDirName[] = "TheDemoExtractDir";
// The folder of a run's own in the temporary folder: this, then eight hexadecimal digits.
const char kQeRunFolderPrefix[] = "TheDemoRun.";
const size_t kQeRunFolderDigits = 8;
// What a run writes into its folder as soon as it holds it, and only a run: a folder of the run's name form
// that holds this file with this text is a run's own.
const char kQeRunMarkName[] = "~qirn-run.txt";
const char kQeRunMarkText[] = "Qirn: a packed demo or a pack keeps its files here while it runs, and removes them at its end.\r\n";

// The temporary folder, with its closing separator; "" when it cannot be had.
std::string qeRunTemporaryFolder();
// A folder that is some process's current folder cannot be deleted: ours moves to the temporary folder.
void qeRunLeaveFolder(const char* folder);
// Opens a folder. A run holds its own folder with read access, sharing reading and writing but not
// deletion; a clearing takes a folder with deletion access and no sharing, which fails while any process
// holds it in any way, as a run its own folder, or as its current folder (Windows and Wine keep the current
// folder open without sharing deletion).
HANDLE qeRunOpenFolder(const std::string& path, bool exclusive);
// True when every entry of a run's folder is one that runs and packs write there: its mark, the slots'
// folders, the folder where a pack gathers the default data, the copy of a data cabinet that a pack reads.
// In a folder without the mark (made by a run before runs marked their folders) the slots are those runs
// used, and each holds only what an expansion writes.
bool qeRunHoldsOnlyRunEntries(const std::string& folder, bool marked);
// Removes the folder that `handle` opened exclusively (no process held it then), with its content and its
// mark last; 1 when it is gone. The handle is closed first: the folder's listing needs it. A run that takes
// the folder meanwhile (only one that has just made it, under a new name) keeps it: its hold refuses the
// removal.
int qeRunRemoveHeldFolder(const std::string& path, HANDLE handle);

#endif
