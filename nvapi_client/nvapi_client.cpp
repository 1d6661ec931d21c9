#include "nvapi_client.h"

#include <windows.h>

#include <atomic>
#include <cstring>

namespace {

const char kLibrary[] = "nvapi.dll";
const char kQueryExport[] = "nvapi_QueryInterface";
// The load's answer for a bind made just now.
const int kFreshBind = -14;
const int kUnloadWaits = 10;
const DWORD kUnloadWaitMs = 100;

struct NvApiClient {
    HMODULE module = nullptr;  // our own reference to the bound library
    QeNvApiQueryInterface query = nullptr;
    QeNvApiPreCallHook preHook = nullptr;
    QeNvApiPostCallHook postHook = nullptr;
    uint32_t identity = 0;  // of the module last bound
    // Once the library failed to load, the process never looks for it again.
    std::atomic<bool> absent{false};
    std::atomic<bool> unloading{false};
    std::atomic<int> callsInFlight{0};
    // The entries' driver functions, looked up on first use after a bind.
    void* setDriverMode = nullptr;
};
NvApiClient g_client;

template <typename Fn>
Fn driverFunction(void* address) {
    return reinterpret_cast<Fn>(address);
}

// The PE checksum of the mapped module, or its link time stamp when the checksum is 0: what tells one
// build of the library from another.
uint32_t identityOf(HMODULE module) {
    const unsigned char* base = reinterpret_cast<const unsigned char*>(module);
    IMAGE_DOS_HEADER dos;
    std::memcpy(&dos, base, sizeof(dos));
    if (dos.e_magic != IMAGE_DOS_SIGNATURE) return 0;
    IMAGE_NT_HEADERS32 nt;
    std::memcpy(&nt, base + dos.e_lfanew, sizeof(nt));
    if (nt.Signature != IMAGE_NT_SIGNATURE) return 0;
    return nt.OptionalHeader.CheckSum ? nt.OptionalHeader.CheckSum : nt.FileHeader.TimeDateStamp;
}

void forgetBind() {
    g_client.query = nullptr;
    g_client.preHook = nullptr;
    g_client.postHook = nullptr;
    if (g_client.module) FreeLibrary(g_client.module);
    g_client.module = nullptr;
}

// Binds the export of `module` (a reference of our own) and runs the driver's initialisation.
int bind(HMODULE module) {
    FARPROC exported = GetProcAddress(module, kQueryExport);
    if (!exported) return QE_NVAPI_ERROR;
    QeNvApiQueryInterface query = driverFunction<QeNvApiQueryInterface>(reinterpret_cast<void*>(exported));
    QeNvApiInitializeFn initialize = driverFunction<QeNvApiInitializeFn>(query(QE_NVAPI_ID_INITIALIZE));
    if (!initialize || initialize() != 0) return QE_NVAPI_ERROR;
    QeNvApiPreCallHook pre = driverFunction<QeNvApiPreCallHook>(query(QE_NVAPI_ID_PRE_CALL_HOOK));
    QeNvApiPostCallHook post = driverFunction<QeNvApiPostCallHook>(query(QE_NVAPI_ID_POST_CALL_HOOK));
    // A call announced to a pre-call hook must also be reported to a post-call hook.
    if (!post) pre = nullptr;
    g_client.module = module;
    g_client.query = query;
    // Whichever call binds, every entry looks its function up again in the library now bound.
    g_client.setDriverMode = nullptr;
    g_client.preHook = pre;
    g_client.postHook = post;
    g_client.identity = identityOf(module);
    return kFreshBind;
}

// Makes sure the library is bound. On 0 (bound before, unchanged) and kFreshBind the call is counted in
// flight and the caller takes it back; on any other result it is not counted.
int load() {
    if (g_client.absent) return QE_NVAPI_LIBRARY_NOT_FOUND;
    for (int wait = 0; g_client.unloading; ++wait) {
        if (wait == kUnloadWaits) return QE_NVAPI_ERROR;
        Sleep(kUnloadWaitMs);
    }
    ++g_client.callsInFlight;
    HMODULE mapped = GetModuleHandleA(kLibrary);
    // Only a module we bound ourselves counts as unchanged: a build with no checksum and no time stamp
    // mapped by someone else has the identity of "nothing bound yet".
    if (mapped && mapped == g_client.module && identityOf(mapped) == g_client.identity) return QE_NVAPI_OK;
    forgetBind();
    HMODULE own = nullptr;
    if (mapped) {
        // Mapped by someone else: take a reference of our own, so that freeing ours never frees theirs.
        if (!GetModuleHandleExA(0, kLibrary, &own)) {
            --g_client.callsInFlight;
            return QE_NVAPI_ERROR;
        }
    } else {
        own = LoadLibraryA(kLibrary);
        if (!own) {
            --g_client.callsInFlight;
            g_client.absent = true;
            return QE_NVAPI_LIBRARY_NOT_FOUND;
        }
    }
    int status = bind(own);
    if (status != kFreshBind) {
        --g_client.callsInFlight;
        FreeLibrary(own);
    }
    return status;
}

// One entry's call: bind, look the driver function up on first use after a bind, call it between the
// hooks. The call counted by the load is taken back on every way out.
template <typename Fn, typename... Args>
int callEntry(uint32_t id, void*& cached, Args... args) {
    int status = load();
    if (status != QE_NVAPI_OK && status != kFreshBind) return status;
    if (!cached && g_client.module && g_client.query) cached = g_client.query(id);
    if (!cached) {
        --g_client.callsInFlight;
        return QE_NVAPI_NO_IMPLEMENTATION;
    }
    uint32_t context[2] = {0, 0};
    if (g_client.preHook) g_client.preHook(id, context);
    status = driverFunction<Fn>(cached)(args...);
    if (g_client.postHook) g_client.postHook(id, context, status);
    --g_client.callsInFlight;
    return status;
}

int unloadBound() {
    if (!g_client.module) return QE_NVAPI_NOT_INITIALISED;
    if (g_client.callsInFlight > 0) return QE_NVAPI_ERROR;
    QeNvApiUnloadFn unload = driverFunction<QeNvApiUnloadFn>(g_client.query(QE_NVAPI_ID_UNLOAD));
    if (!unload) return QE_NVAPI_NO_IMPLEMENTATION;
    if (unload() != 0) return QE_NVAPI_ERROR;
    forgetBind();
    return QE_NVAPI_OK;
}

}  // namespace

int NvAPI_Initialize() {
    int status = load();
    if (status != QE_NVAPI_OK && status != kFreshBind) return status;
    --g_client.callsInFlight;
    return QE_NVAPI_OK;
}

int NvAPI_Stereo_SetDriverMode(int mode) {
    return callEntry<QeNvApiSetDriverModeFn>(QE_NVAPI_ID_STEREO_SET_DRIVER_MODE, g_client.setDriverMode, mode);
}

int NvAPI_Unload() {
    g_client.unloading = true;
    int status = unloadBound();
    // Cleared on every way out: a flag left set would make every later call wait and fail.
    g_client.unloading = false;
    return status;
}
