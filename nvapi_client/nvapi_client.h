#ifndef QIRN_NVAPI_CLIENT_H
#define QIRN_NVAPI_CLIENT_H

#include <cstdint>

// Client of the NVIDIA display driver's interface. The driver's "nvapi.dll" exports one function,
// "nvapi_QueryInterface", that hands out the address of a driver function for a 32-bit interface ID.
// The client binds that export at run time (nothing of it is linked) and offers one entry per driver
// function it uses; an entry looks its function up on first use and keeps it until the next bind.
// No lock: calls are counted while in flight, and an unload refuses while any is.

// Status values the client itself produces (the driver's own statuses are passed through).
enum {
    QE_NVAPI_OK = 0,
    QE_NVAPI_ERROR = -1,
    QE_NVAPI_LIBRARY_NOT_FOUND = -2,
    QE_NVAPI_NO_IMPLEMENTATION = -3,
    QE_NVAPI_NOT_INITIALISED = -4,
};

// Interface IDs of the driver functions the client asks for.
enum : uint32_t {
    QE_NVAPI_ID_INITIALIZE = 0x0150E828u,
    QE_NVAPI_ID_UNLOAD = 0xD22BDD7Eu,
    QE_NVAPI_ID_PRE_CALL_HOOK = 0x33C7358Cu,
    QE_NVAPI_ID_POST_CALL_HOOK = 0x593E8644u,
    QE_NVAPI_ID_STEREO_SET_DRIVER_MODE = 0x5E8F0BECu,
};

// The stereo driver mode in which the application presents the left and right images itself.
enum { QE_NVAPI_STEREO_DRIVER_MODE_DIRECT = 2 };

// The driver's calling convention on 32-bit: cdecl, status as int.
#define QE_NVAPI_CALL __cdecl
typedef void* (QE_NVAPI_CALL* QeNvApiQueryInterface)(uint32_t id);
typedef int (QE_NVAPI_CALL* QeNvApiInitializeFn)();
typedef int (QE_NVAPI_CALL* QeNvApiUnloadFn)();
typedef int (QE_NVAPI_CALL* QeNvApiSetDriverModeFn)(int mode);
// Called around every driver call with the interface ID and a two-word context of the call.
typedef void (QE_NVAPI_CALL* QeNvApiPreCallHook)(uint32_t id, uint32_t* context);
typedef void (QE_NVAPI_CALL* QeNvApiPostCallHook)(uint32_t id, uint32_t* context, int status);

// Binds the driver interface (loading "nvapi.dll" and running the driver's initialisation on the
// first call or after an unload): 0 when bound, -2 when the library is not installed (every later
// call then answers -2 without looking again), -1 on any other failure.
int NvAPI_Initialize();
// Switches the stereo driver mode: the driver's status, -3 when the driver lacks the function, or the
// bind's failure.
int NvAPI_Stereo_SetDriverMode(int mode);
// Lets the driver unload and frees the library: 0, -1 while calls are in flight or when the driver
// refuses, -3 when the driver has no unload function, -4 when nothing is loaded.
int NvAPI_Unload();

#endif
