#include "engine_context.h"

#include <cstddef>

static_assert(sizeof(RenderSettings) == 36 * 4, "RenderSettings holds 36 four-byte fields");
#if defined(__i386__)
static_assert(sizeof(EngineContext) == 57 * 4, "EngineContext holds 57 four-byte fields");
static_assert(offsetof(EngineContext, render) == 15 * 4, "RenderSettings starts at field 15");
static_assert(offsetof(EngineContext, images) == 51 * 4, "the ID tables start at field 51");
#endif

static EngineContext g_context;

EngineContext* qeIrrlichtGetContext() { return &g_context; }
