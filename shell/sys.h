#ifndef QIRN_SHELL_SYS_H
#define QIRN_SHELL_SYS_H

#include "log.h"

// Win32 utilities: start-up, paths of the executable, dialogs and boxes, the debug print behind the log,
// and file watches.

// Keeps the executable's full path (the running module's, as the system gives it) and directory and the
// argument vector; "-console" attaches to the console of the parent process. Returns 0.
int qeSysInit(int argc, char** argv);
const char* qeSysGetExePath();
const char* qeSysGetExeDir();
int qeSysGetArgCount();
char** qeSysGetArgs();
// Drive and directory (ending with a separator) of the full path of `name`, in a static buffer.
const char* qeSysDirOfPath(const char* name);

// The open-file dialog: the chosen path (static, 260 characters) or NULL when cancelled. The current
// directory is the same afterwards whatever the user did.
const char* qeSysFileRequester(const char* title, const char* filter);
// The dialog itself goes through a hook when one is installed (tests answer in its place): it gets the
// filled-in OPENFILENAMEA and returns what GetOpenFileNameA would (non-zero when a file was chosen).
struct tagOFNA;
typedef int (*QeSysOpenFileHook)(struct tagOFNA* dialog);
void qeSysSetOpenFileHook(QeSysOpenFileHook hook);

int qeSysMessageBox(const char* format, ...) QE_PRINTF(1, 2);
void qeSysDebugPrint(const char* format, ...) QE_PRINTF(1, 2);
// The "File Operation Problem" box: the message, the file and the system's text for the calling thread's
// last error.
void qeSysFileOperationProblem(const char* message, const char* file);

// The shell's file operations, without any dialog. Copies a file or a folder with its content; 0 on success.
int qeSysCopyFile(const char* source, const char* destination);
// Deletes a folder with its content, to the recycle bin unless `permanently`; 1 on success.
int qeSysDeleteFolder(const char* path, int permanently);

// The render-system start-up error text (at most 1023 characters), reported by engine start.
void qeSysFormatError(const char* format, ...) QE_PRINTF(1, 2);
const char* qeSysGetFormatError();

// File watches (IDs 0 to 99). A watch latches once its file's last-write time moves after a change
// in its folder; Wait polls until the file opens exclusively (0) or the time-out passes (-1); Reset takes
// the file's time again and clears the latch. Term stops every watcher thread and frees the watches; it
// also runs at process exit.
void qeSysFileWatchCreate(const char* path, int id);
int qeSysFileWatchChanged(int id);
int qeSysFileWatchWait(int id, int timeoutMs);
void qeSysFileWatchReset(int id);
void qeSysFileWatchTerm();

// Under Wine, Direct3D runs each device's commands on a thread of its own, which the device's release only
// asks to end. A process that ends while such a thread is still on its way out has Wine stop that thread a
// second time: the process can then crash, or end with the thread's exit code instead of its own. A program
// therefore waits for them before it ends. Waits at most timeoutMs for every thread of this process that runs
// Wine's Direct3D library, and returns how many are still running (0 when none, as under Windows' own
// Direct3D).
int qeSysWaitForDirect3DThreads(unsigned timeoutMs);

void qeSceneSetLoadVerbose(int verbose);
int qeSceneGetLoadVerbose();

// Modal boxes go through one place. A hook, when installed, answers in their place (tests, and runs
// where nobody can click): it gets the caption, the text and the MessageBoxA type, and returns the
// button id the box would have returned.
typedef int (*QeSysBoxHook)(const char* caption, const char* text, unsigned int type);
void qeSysSetBoxHook(QeSysBoxHook hook);
QeSysBoxHook qeSysGetBoxHook();
int qeSysShowBox(const char* caption, const char* text, unsigned int type);

#endif
