// Scenes cannot be played yet: the scene viewer says so.
#include "frontends.h"
#include "sys.h"

int qeViewerRunScene(const char* file, LaunchOptions*) {
    qeSysMessageBox("Cannot play '%s': the scene viewer is not available in this version", file ? file : "");
    return -1;
}
