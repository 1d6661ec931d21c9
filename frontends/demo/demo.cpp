// Demos cannot be played yet: the demo player says so.
#include "frontends.h"
#include "sys.h"

int qeDemoRun(const char* demoIni) {
    qeSysMessageBox("Cannot play '%s': the demo player is not available in this version", demoIni);
    return -1;
}
