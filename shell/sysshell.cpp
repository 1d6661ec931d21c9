// The shell's file operations (declared in sys.h).
#include "sys.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

namespace {

// The shell's file operations take lists of paths, each ended by a zero and the whole by a second one.
std::vector<char> shellPathList(const char* path) {
    std::vector<char> list(path, path + std::strlen(path));
    list.push_back(0);
    list.push_back(0);
    return list;
}

int shellOperation(UINT operation, const char* from, const char* to, FILEOP_FLAGS flags) {
    std::vector<char> source = shellPathList(from);
    std::vector<char> destination = shellPathList(to ? to : "");
    SHFILEOPSTRUCTA op;
    std::memset(&op, 0, sizeof(op));
    op.wFunc = operation;
    op.pFrom = source.data();
    op.pTo = to ? destination.data() : nullptr;
    // No dialog of any kind: the programs that use them are not there to be answered.
    op.fFlags = static_cast<FILEOP_FLAGS>(flags | FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI |
                                          FOF_NOCONFIRMMKDIR);
    return SHFileOperationA(&op) == 0 && !op.fAnyOperationsAborted ? 0 : -1;
}

}  // namespace

int qeSysCopyFile(const char* source, const char* destination) {
    if (!source || !destination) return -1;
    return shellOperation(FO_COPY, source, destination, 0);
}

int qeSysDeleteFolder(const char* path, int permanently) {
    if (!path || !path[0]) return 0;
    return shellOperation(FO_DELETE, path, nullptr, permanently ? 0 : FOF_ALLOWUNDO) == 0 ? 1 : 0;
}
