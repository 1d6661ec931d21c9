// The cabinet tool's runs and the cabinets stored as resources of the packed copy.
#include "packer_internal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sysfile.h"

namespace {

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// Runs the command line with `folder` as its current folder and the program's output into `output`;
// its exit status, or -1 when it could not run.
long runTool(const std::string& program, const std::string& command, const char* folder, const std::string& output) {
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE out = CreateFileW(qePackLongPath(output).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return -1;
    STARTUPINFOW startup;
    std::memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION process;
    std::wstring line = qeSysWideText(command.c_str());
    // the program in the long form only where the plain one is too long
    const std::wstring name = program.size() < MAX_PATH ? qeSysWideText(program.c_str()) : qePackLongPath(program);
    const BOOL started = CreateProcessW(name.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        qeSysWideText(folder).c_str(), &startup, &process);
    CloseHandle(out);
    if (!started) return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    if (!GetExitCodeProcess(process.hProcess, &status)) status = 1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long>(status);
}

// The first line of the tool's output that tells an error, without its line end; "" when there is none.
std::string toolErrorLine(const std::string& outputFile) {
    std::string found;
    FILE* f = _wfopen(qePackLongPath(outputFile).c_str(), L"rb");
    if (!f) return found;
    char line[1024];
    while (found.empty() && std::fgets(line, sizeof(line), f)) {
        if (std::strncmp(line, "Error:", 6) != 0) continue;
        found = line;
        while (!found.empty() && (found.back() == '\n' || found.back() == '\r')) found.pop_back();
    }
    std::fclose(f);
    return found;
}

}  // namespace

const char* qeDemoCabFileName(int id) {
    switch (id) {
        case QE_CAB_DATA: return "tmp_demo_data.cab";
        case QE_CAB_MUSIC: return "tmp_demo_music.cab";
        case QE_CAB_LOADING: return "tmp_demo_loading.cab";
        case QE_CAB_DEFAULT_DATA: return "tmp_demo_defdata.cab";
        default: return "tmp_cab.cab";
    }
}

std::string qeDemoCabCommand(const char* program, const char* cabinet, const DemoFileList& list) {
    std::string command = quoted(program) + " -p n " + quoted(cabinet);
    for (const std::string& item : list) command += " " + quoted(item);
    return command;
}

int qePackBuildCabinet(const char* programFolder, const char* outExe, int id, const char* baseFolder,
                       const DemoFileList& list, std::string* toolError, UnfinishedOutput& output) {
    const std::string program = qeSysFullPath(qePackJoinPath(programFolder, "cabarc.exe").c_str());
    const std::string cabinet = qeSysFullPath(qeDemoCabFileName(id));
    char outputName[32];
    std::snprintf(outputName, sizeof(outputName), "out-%d.txt", id);
    const std::string toolOutput = qeSysFullPath(outputName);
    const std::string command = qeDemoCabCommand(program.c_str(), cabinet.c_str(), list);
    if (command.size() > QE_PACKER_COMMAND_MAX)
        return output.fail("Failed to execute: the command is %d characters long, more than %d",
                           static_cast<int>(command.size()), static_cast<int>(QE_PACKER_COMMAND_MAX));
    // The tool runs in the folder: the system takes a current folder of at most MAX_PATH - 2 characters.
    std::string base = qeSysFullPath(baseFolder);
    if (base.size() > 3 && (base.back() == '\\' || base.back() == '/')) base.pop_back();
    if (base.size() + 2 > MAX_PATH)
        return output.fail("Failed to execute: the folder '%s' is too long a path (%d characters) for the cabinet "
                           "tool to run in: the system takes at most %d\n",
                           base.c_str(), static_cast<int>(base.size()), MAX_PATH - 2);
    if (runTool(program, command, baseFolder, toolOutput) != 0) {
        if (toolError && !(*toolError = toolErrorLine(toolOutput)).empty()) return -1;
        return output.fail("Failed to execute: %s", command.c_str());
    }
    return qePackStoreCabinet(outExe, cabinet.c_str(), id, output);
}

int qeDemoBuildCabResource(const char* programFolder, const char* outExe, int id, const char* baseFolder,
                           const DemoFileList& list, std::string* toolError) {
    UnfinishedOutput none;
    return qePackBuildCabinet(programFolder, outExe, id, baseFolder, list, toolError, none);
}

int qePackStoreCabinet(const char* outExe, const char* cabinet, int id, UnfinishedOutput& output) {
    FILE* f = _wfopen(qePackLongPath(cabinet).c_str(), L"rb");
    long size = 0;
    if (f && std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    if (!f || size <= 0) {
        if (f) std::fclose(f);
        return output.fail("Failed to get size of cab %s", cabinet);
    }
    void* bytes = std::malloc(static_cast<size_t>(size));
    if (!bytes) {
        std::fclose(f);
        return output.fail("Alloc failure %d bytes", static_cast<int>(size));
    }
    std::rewind(f);
    const size_t read = std::fread(bytes, 1, static_cast<size_t>(size), f);
    std::fclose(f);
    // What was not read is never written: a part of a cabinet would not expand.
    if (read != static_cast<size_t>(size)) {
        std::free(bytes);
        return output.fail("Failed to read cab %s", cabinet);
    }
    HANDLE update = BeginUpdateResourceW(qePackLongPath(outExe).c_str(), FALSE);
    if (!update) {
        std::free(bytes);
        return output.fail("Failed to BeginUpdate %s", outExe);
    }
    if (!UpdateResourceW(update, L"CAB", MAKEINTRESOURCEW(id), 0, bytes, static_cast<DWORD>(size))) {
        EndUpdateResourceW(update, TRUE);
        std::free(bytes);
        return output.fail("Failed to UpdateResource %s", outExe);
    }
    const BOOL written = EndUpdateResourceW(update, FALSE);
    std::free(bytes);
    if (!written)
        return output.fail("Failed to EndUpdate %s lastError=%d", outExe, static_cast<int>(GetLastError()));
    return 0;
}

int qeDemoStoreCabResource(const char* outExe, const char* cabinet, int id) {
    UnfinishedOutput none;
    return qePackStoreCabinet(outExe, cabinet, id, none);
}
