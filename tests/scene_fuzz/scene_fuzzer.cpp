// libFuzzer entry for the scene reader, built for the host with sanitizers by
// tests/scene_fuzz/run.sh: every input is loaded from memory, bound and asked every query.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "scene_access.h"
#include "scene_exercise.h"
#include "scene_file_io.h"

// The host build has no shell library: the log and the file layer are stood in for here.
int qeLogError(int, const char*, ...) { return 0; }
int qeSceneReadWholeFile(const char*, uint8_t**, uint32_t*) { return -1; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SceneHandle* h = qeSceneOpenBinaryBuffer(data, size);
    if (h) {
        qeSceneExerciseQueries(h);
        qeSceneCloseBinary(h);
    }
    return 0;
}
