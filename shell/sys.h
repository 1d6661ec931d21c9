#ifndef QIRN_SHELL_SYS_H
#define QIRN_SHELL_SYS_H

#include "log.h"

// Win32 utilities: start-up, paths of the executable, dialogs and boxes, the debug print behind the log,
// and file watches.

int qeSysInit(int argc, char** argv);
const char* qeSysGetExePath();
const char* qeSysGetExeDir();
int qeSysGetArgCount();
char** qeSysGetArgs();
const char* qeSysDirOfPath(const char* name);

const char* qeSysFileRequester(const char* title, const char* filter);
int qeSysMessageBox(const char* format, ...) QE_PRINTF(1, 2);
void qeSysDebugPrint(const char* format, ...) QE_PRINTF(1, 2);
void qeSysFileOperationProblem(const char* message, const char* file);

void qeSysFileWatchCreate(const char* path, int id);
int qeSysFileWatchChanged(int id);
int qeSysFileWatchWait(int id, int timeoutMs);
void qeSysFileWatchReset(int id);

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
