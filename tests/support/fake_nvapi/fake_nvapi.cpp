// The test double of the display driver's "nvapi.dll" (see fake_nvapi.h).
#include "fake_nvapi.h"

#include <cstring>

#include "nvapi_client.h"

namespace {

FakeNvApi defaults() {
    FakeNvApi fake;
    std::memset(&fake, 0, sizeof(fake));
    fake.offerInit = fake.offerSetMode = fake.offerUnload = 1;
    return fake;
}
FakeNvApi g_fake = defaults();

int QE_NVAPI_CALL initialize() {
    ++g_fake.initCalls;
    return g_fake.initResult;
}

int QE_NVAPI_CALL unload() {
    ++g_fake.unloadCalls;
    return g_fake.unloadResult;
}

int setMode(int variant, int mode) {
    ++g_fake.setModeCalls[variant];
    g_fake.lastMode = mode;
    if (g_fake.duringSetMode) g_fake.duringSetMode();
    return g_fake.setModeResult;
}
int QE_NVAPI_CALL setModeFirst(int mode) { return setMode(0, mode); }
int QE_NVAPI_CALL setModeSecond(int mode) { return setMode(1, mode); }

void QE_NVAPI_CALL preHook(uint32_t id, uint32_t* context) {
    ++g_fake.preCalls;
    g_fake.preId = id;
    std::memcpy(g_fake.preContext, context, sizeof(g_fake.preContext));
    g_fake.preContextAt = context;
}

void QE_NVAPI_CALL postHook(uint32_t id, uint32_t* context, int status) {
    ++g_fake.postCalls;
    g_fake.postId = id;
    g_fake.postStatus = status;
    g_fake.postContextAt = context;
}

void* offered(int offer, void* function) { return offer ? function : nullptr; }

}  // namespace

extern "C" __declspec(dllexport) void* QE_NVAPI_CALL nvapi_QueryInterface(uint32_t id) {
    switch (id) {
    case QE_NVAPI_ID_INITIALIZE: return offered(g_fake.offerInit, reinterpret_cast<void*>(initialize));
    case QE_NVAPI_ID_UNLOAD: return offered(g_fake.offerUnload, reinterpret_cast<void*>(unload));
    case QE_NVAPI_ID_PRE_CALL_HOOK: return offered(g_fake.offerPreHook, reinterpret_cast<void*>(preHook));
    case QE_NVAPI_ID_POST_CALL_HOOK: return offered(g_fake.offerPostHook, reinterpret_cast<void*>(postHook));
    case QE_NVAPI_ID_STEREO_SET_DRIVER_MODE:
        return offered(g_fake.offerSetMode,
                       reinterpret_cast<void*>(g_fake.variant ? setModeSecond : setModeFirst));
    default: return nullptr;
    }
}

extern "C" __declspec(dllexport) FakeNvApi* fake_nvapi_state(int reset) {
    if (reset) g_fake = defaults();
    return &g_fake;
}
