#ifndef QIRN_FRONTENDS_FRONTENDS_H
#define QIRN_FRONTENDS_FRONTENDS_H

struct LaunchOptions;

// The run modes and tools the entry point hands over to.
int qeViewerRunObject(const char* file);
int qeViewerRunScene(const char* file, LaunchOptions* options);
int qeDemoRun(const char* demoIni);
int qeDemoRunPacked();
int qeScriptRun(const char* script, int flag);
int qeDemoPackExecutable(const char* outExe, const char* demoIni, int flag);
// 1 when the running executable carries resources of type "CAB" with the IDs 500, 501 and 502.
int qeDemoHasCabResources();

#endif
