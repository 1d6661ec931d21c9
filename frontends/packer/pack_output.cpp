// The packer's error box and the pack's unfinished output.
#include "packer_internal.h"

#include <cstdarg>
#include <cstdio>

#include "sys.h"

namespace {

int showBox(const char* format, va_list args) {
    char text[1024];
    std::vsnprintf(text, sizeof(text), format, args);
    qeSysMessageBox("%s", text);
    return -1;
}

}  // namespace

std::string qePackFormatted(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    return text;
}

int qePackBox(const char* format, ...) {
    va_list args;
    va_start(args, format);
    showBox(format, args);
    va_end(args);
    return -1;
}

int UnfinishedOutput::fail(const char* format, ...) {
    remove();
    va_list args;
    va_start(args, format);
    showBox(format, args);
    va_end(args);
    return -1;
}

void UnfinishedOutput::remove() {
    if (!path_.empty()) DeleteFileW(qePackLongPath(path_).c_str());
    path_.clear();
}
