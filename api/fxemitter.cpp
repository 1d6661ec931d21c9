#include "fxemitter.h"

namespace {
bool g_started = false;
}

int qeIrrlichtParticleShaderInit() {
    // No particle shader is cached before the emitters exist; the cache is emptied once per process.
    g_started = true;
    return 0;
}
