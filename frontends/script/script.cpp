// Lua scripts cannot be run yet: the script host says so.
#include "frontends.h"
#include "sys.h"

int qeScriptRun(const char* script, int) {
    qeSysMessageBox("Cannot run '%s': the script host is not available in this version", script);
    return -1;
}
