#ifndef QIRN_SCENE_SCENE_READER_H
#define QIRN_SCENE_SCENE_READER_H

// Reader of binary scene files (*.qirn): an IFF-style tree of chunks, every number big-endian.
// The whole file is held in memory; the walk reports every chunk header to a callback and checks
// every length against its container and the end of the file, so a broken or truncated file is
// refused with a message on the standard error stream, never read past its end.

#include <cstddef>
#include <cstdint>

// Chunk identifiers: four ASCII letters as a big-endian number.
#define QE_CHUNK_ID(a, b, c, d) \
    ((uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) | (uint32_t(uint8_t(c)) << 8) | uint32_t(uint8_t(d)))

enum : uint32_t {
    QE_ID_FORM = QE_CHUNK_ID('F', 'O', 'R', 'M'),
    QE_ID_QIRN = QE_CHUNK_ID('Q', 'I', 'R', 'N'),
    QE_ID_SCEN = QE_CHUNK_ID('S', 'C', 'E', 'N'),
    QE_ID_BKDR = QE_CHUNK_ID('B', 'K', 'D', 'R'),
    QE_ID_PROC = QE_CHUNK_ID('P', 'R', 'O', 'C'),
    QE_ID_IMFL = QE_CHUNK_ID('I', 'M', 'F', 'L'),
    QE_ID_SHAD = QE_CHUNK_ID('S', 'H', 'A', 'D'),
    QE_ID_SSHA = QE_CHUNK_ID('S', 'S', 'H', 'A'),
    QE_ID_HVSH = QE_CHUNK_ID('H', 'V', 'S', 'H'),
    QE_ID_OBJE = QE_CHUNK_ID('O', 'B', 'J', 'E'),
    QE_ID_LIGH = QE_CHUNK_ID('L', 'I', 'G', 'H'),
    QE_ID_CAME = QE_CHUNK_ID('C', 'A', 'M', 'E'),
    QE_ID_SOBJ = QE_CHUNK_ID('S', 'O', 'B', 'J'),
    QE_ID_SURF = QE_CHUNK_ID('S', 'U', 'R', 'F'),
    QE_ID_FXEM = QE_CHUNK_ID('F', 'X', 'E', 'M'),
    QE_ID_CGRP = QE_CHUNK_ID('C', 'G', 'R', 'P'),
    QE_ID_CHAN = QE_CHUNK_ID('C', 'H', 'A', 'N'),
    QE_ID_NAME = QE_CHUNK_ID('N', 'A', 'M', 'E'),
    QE_ID_FNAM = QE_CHUNK_ID('F', 'N', 'A', 'M'),
    QE_ID_TYPE = QE_CHUNK_ID('T', 'Y', 'P', 'E'),
    QE_ID_VALS = QE_CHUNK_ID('V', 'A', 'L', 'S'),
    QE_ID_PRPS = QE_CHUNK_ID('P', 'R', 'P', 'S'),
    QE_ID_PROP = QE_CHUNK_ID('P', 'R', 'O', 'P'),
    QE_ID_VRUN = QE_CHUNK_ID('V', 'R', 'U', 'N'),
    QE_ID_VDAT = QE_CHUNK_ID('V', 'D', 'A', 'T'),
};

// Property type codes of a PROP record.
enum {
    QE_PROP_INT = 1,
    QE_PROP_FLOAT = 2,
    QE_PROP_STRING = 3,
    QE_PROP_FLOAT3 = 4,
    QE_PROP_INT2 = 5,
    QE_PROP_FLOAT2 = 6,
};

// Text limits (characters without the NUL).
enum {
    QE_SCENE_MAX_NAME = 255,       // NAME, FNAM, property names
    QE_SCENE_MAX_STRING = 259,     // string property values
    QE_SCENE_MAX_DEPTH = 64,       // nesting levels of chunks below the file
};

// A whole scene file in memory. Positions are byte offsets from the start of the data. Nested chunk
// lengths are 32-bit unless the file was written in the older 16-bit form (found by the probe at the
// start of its scene chunk); the width belongs to the file.
struct SceneMemoryFile {
    uint8_t* data;
    uint32_t size;
    uint32_t pos;
    int longNestedLengths;
};

// Reads a file whole through the file layer; none when it does not open or cannot be read.
SceneMemoryFile* open_scene_memory_file(const char* name);
// Copies a buffer into a new memory file (the caller keeps its own buffer).
SceneMemoryFile* open_scene_memory_buffer(const void* data, size_t size);

// File-like operations over the buffer; reads never pass the end.
int scene_file_seek(SceneMemoryFile* file, long offset, int origin);  // 0 start, 1 current, 2 end; -1 outside
size_t scene_file_read(void* buffer, size_t size, size_t count, SceneMemoryFile* file);  // whole items read
int scene_file_getc(SceneMemoryFile* file);  // -1 at the end
char* scene_file_gets(char* buffer, int size, SceneMemoryFile* file);
long scene_file_tell(SceneMemoryFile* file);
void scene_file_close(SceneMemoryFile* file);  // frees the record and its data

// Called for every chunk header the walk reads, before its body: depth 0 for top-level chunks (parent
// "QIRN"), one more per nesting level. bodyOffset is the file offset of the first body byte. A non-zero
// result stops the walk and makes read_form fail (the callback prints its own message).
typedef int (*ChunkCallback)(SceneMemoryFile* file, int depth, uint32_t parentId, uint32_t id,
                             uint32_t bodyOffset, uint32_t bodyLength, void* user);
void set_chunk_callback(ChunkCallback callback, void* user);

// Walks the whole file from its start: 0 when the walk ends, -1 when the file is refused (the reason is
// printed on the standard error stream). Every known chunk's content is checked against its length.
int read_form(SceneMemoryFile* file);

// Property record accessors, given the body offset of a PROP chunk that the walk accepted.
uint32_t prop_type(SceneMemoryFile* file, uint32_t offset);
const char* prop_name(SceneMemoryFile* file, uint32_t offset);
uint32_t prop_word(SceneMemoryFile* file, uint32_t offset, int i);
int32_t prop_int(SceneMemoryFile* file, uint32_t offset);
float prop_float(SceneMemoryFile* file, uint32_t offset, int i);
float prop_float0(SceneMemoryFile* file, uint32_t offset);
const char* prop_string(SceneMemoryFile* file, uint32_t offset);
// Number of 32-bit value words the record holds (0 for a string or an unknown type).
int prop_word_count(SceneMemoryFile* file, uint32_t offset);
const char* file_pointer(SceneMemoryFile* file, uint32_t offset);
uint32_t file_u32(SceneMemoryFile* file, uint32_t offset);  // 0 past the end

// Value of a baked channel at a frame: valsOffset is the body offset of its VALS chunk. 0.0 for an
// empty body, a frame past the baked data, a negative frame or an offset of 0.
float dumpqirn_ext_vals_get_value(SceneMemoryFile* file, uint32_t valsOffset, int frame);

#endif
