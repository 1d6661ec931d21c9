#ifndef QIRN_TESTS_FAKE_NVAPI_H
#define QIRN_TESTS_FAKE_NVAPI_H

// A stand-in for the display driver's "nvapi.dll": the same single export, answering the interface IDs
// the client asks for. Tests reach its behaviour and its record through the export "fake_nvapi_state"
// once the library is mapped; the state starts over whenever the library is mapped anew.

#include <cstdint>

struct FakeNvApi {
    // Behaviour.
    int initResult;     // what the driver's initialisation returns
    int setModeResult;  // what the stereo driver-mode function returns
    int unloadResult;   // what the unload function returns
    int offerInit, offerSetMode, offerUnload, offerPreHook, offerPostHook;  // IDs the query answers
    int variant;                  // which of two driver-mode functions the query hands out, 0 or 1
    void (*duringSetMode)();      // called from inside the driver-mode function when set
    // Record.
    int initCalls, unloadCalls;
    int setModeCalls[2];  // per variant
    int lastMode;
    int preCalls, postCalls;
    uint32_t preId, postId;
    int postStatus;
    uint32_t preContext[2];        // the context as the pre-call hook found it
    const uint32_t* preContextAt;  // where the hooks' contexts lay
    const uint32_t* postContextAt;
};

// The double's state; with `reset` non-zero, back to the defaults first (everything offered but the
// hooks, every function returning 0, nothing recorded).
typedef FakeNvApi* (*FakeNvApiStateFn)(int reset);

#endif
