#ifndef QIRN_SCENE_SCENE_FILE_IO_H
#define QIRN_SCENE_SCENE_FILE_IO_H

#include <cstdint>

// Reads a whole file into a new malloc'd buffer: 0 and the buffer and its size, or -1 when the file
// does not open, its size cannot be taken, memory runs out or the read comes up short.
int qeSceneReadWholeFile(const char* name, uint8_t** data, uint32_t* size);

#endif
