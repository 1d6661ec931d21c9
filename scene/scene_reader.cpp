#include "scene_reader.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "scene_file_io.h"
#include "scene_walk.h"

using qescene::be16;
using qescene::be32;

namespace {

ChunkCallback g_callback = nullptr;
void* g_callbackUser = nullptr;

float beFloat(const uint8_t* p) {
    uint32_t w = be32(p);
    float f;
    std::memcpy(&f, &w, 4);
    return f;
}

void fatal(const char* format, ...) __attribute__((format(printf, 1, 2)));
void fatal(const char* format, ...) {
    char message[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    std::fprintf(stderr, "Error: %s\n", message);
    std::fflush(stderr);
}

// The id as printable text for messages.
const char* idText(uint32_t id, char* out) {
    for (int i = 0; i < 4; ++i) {
        char c = char((id >> (24 - 8 * i)) & 0xFF);
        out[i] = (c >= 32 && c < 127) ? c : '?';
    }
    out[4] = 0;
    return out;
}

// Size of a NUL-terminated text at [pos, end) with its pad byte, or 0 when no NUL lies in the range or
// the text is longer than maxChars.
uint32_t textSize(const uint8_t* data, uint32_t pos, uint32_t end, uint32_t maxChars, uint32_t* chars) {
    const void* nul = std::memchr(data + pos, 0, end - pos);
    if (!nul) return 0;
    uint32_t n = uint32_t(static_cast<const uint8_t*>(nul) - (data + pos));
    if (chars) *chars = n;
    if (n > maxChars) return 0;
    return (n + 1 + 1) & ~1u;
}

int readText(SceneMemoryFile* f, const char* reader, uint32_t pos, uint32_t len) {
    uint32_t chars = 0;
    uint32_t size = textSize(f->data, pos, pos + len, QE_SCENE_MAX_NAME, &chars);
    if (size == 0) {
        if (!std::memchr(f->data + pos, 0, len))
            fatal("%s: text without its end in a chunk of %u bytes", reader, len);
        else
            fatal("%s: text of %u characters is longer than %d", reader, chars, QE_SCENE_MAX_NAME);
        return -1;
    }
    if (size != len) {
        fatal("%s: bytesread(%d)  != nbytes expected(%d)", reader, int(size), int(len));
        return -1;
    }
    return 0;
}

int valueSize(uint32_t type) {
    switch (type) {
    case QE_PROP_INT: case QE_PROP_FLOAT: return 4;
    case QE_PROP_FLOAT3: return 12;
    case QE_PROP_INT2: case QE_PROP_FLOAT2: return 8;
    default: return 0;
    }
}

int readProp(SceneMemoryFile* f, uint32_t pos, uint32_t len) {
    uint32_t end = pos + len;
    if (len < 4) {
        fatal("read_prop: bytesread(%d)  != nbytes expected(%d)", int(len < 4 ? len : 4), int(len));
        return -1;
    }
    uint32_t type = be32(f->data + pos);
    uint32_t chars = 0;
    uint32_t nameSize = textSize(f->data, pos + 4, end, QE_SCENE_MAX_NAME, &chars);
    if (nameSize == 0 || pos + 4 + nameSize > end) {
        if (nameSize == 0 && std::memchr(f->data + pos + 4, 0, len - 4))
            fatal("read_prop: property name of %u characters is longer than %d", chars, QE_SCENE_MAX_NAME);
        else
            fatal("read_prop: property name runs past its chunk of %u bytes", len);
        return -1;
    }
    uint32_t read = 4 + nameSize;
    if (type == QE_PROP_STRING) {
        uint32_t valueSize = textSize(f->data, pos + read, end, QE_SCENE_MAX_STRING, &chars);
        if (valueSize == 0 || pos + read + valueSize > end) {
            if (valueSize == 0 && std::memchr(f->data + pos + read, 0, end - pos - read))
                fatal("read_prop: string value of %u characters is longer than %d", chars, QE_SCENE_MAX_STRING);
            else
                fatal("read_prop: string value runs past its chunk of %u bytes", len);
            return -1;
        }
        read += valueSize;
    } else {
        uint32_t want = uint32_t(valueSize(type));
        read += (want <= end - pos - read) ? want : 0;  // a short value counts as nothing read
    }
    if (read != len) {
        fatal("read_prop: bytesread(%d)  != nbytes expected(%d)", int(read), int(len));
        return -1;
    }
    return 0;
}

int readLeaf(SceneMemoryFile* f, uint32_t id, uint32_t pos, uint32_t len) {
    switch (id) {
    case QE_ID_NAME: return readText(f, "read_name", pos, len);
    case QE_ID_FNAM: return readText(f, "read_fnam", pos, len);
    case QE_ID_PROP: return readProp(f, pos, len);
    case QE_ID_TYPE:
        if (len != 4) { fatal("read_type: bytes(%u) != 4", len); return -1; }
        return 0;
    case QE_ID_VRUN:
        if (len != 8) { fatal("read_vrun: bytes(%u) != 8", len); return -1; }
        return 0;
    case QE_ID_VDAT: {
        if (len < 4) { fatal("read_vdat: bytes(%u) too short for its count", len); return -1; }
        uint32_t count = be32(f->data + pos);
        if (count > (len - 4) / 4 || 4 + 4 * count != len) {
            fatal("read_vdat: count(%u) does not match bytes(%u)", count, len);
            return -1;
        }
        return 0;
    }
    default:
        return 0;
    }
}

}  // namespace

SceneMemoryFile* open_scene_memory_buffer(const void* data, size_t size) {
    if (size > 0x7FFFFFF0u) return nullptr;
    SceneMemoryFile* f = static_cast<SceneMemoryFile*>(std::calloc(1, sizeof(SceneMemoryFile)));
    if (!f) return nullptr;
    f->data = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    if (!f->data) {
        std::free(f);
        return nullptr;
    }
    if (size) std::memcpy(f->data, data, size);
    f->size = uint32_t(size);
    f->longNestedLengths = 1;
    return f;
}

SceneMemoryFile* open_scene_memory_file(const char* name) {
    uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!name || qeSceneReadWholeFile(name, &data, &size) != 0) return nullptr;
    SceneMemoryFile* f = static_cast<SceneMemoryFile*>(std::calloc(1, sizeof(SceneMemoryFile)));
    if (!f) {
        std::free(data);
        return nullptr;
    }
    f->data = data;
    f->size = size;
    f->longNestedLengths = 1;
    return f;
}

int scene_file_seek(SceneMemoryFile* f, long offset, int origin) {
    long base = origin == 0 ? 0 : origin == 1 ? long(f->pos) : long(f->size);
    long target = origin == 2 ? base - offset : base + offset;
    if (target < 0 || target > long(f->size)) return -1;
    f->pos = uint32_t(target);
    return 0;
}

size_t scene_file_read(void* buffer, size_t size, size_t count, SceneMemoryFile* f) {
    if (size == 0 || count == 0) return 0;
    size_t left = f->size - f->pos;
    size_t items = left / size < count ? left / size : count;
    std::memcpy(buffer, f->data + f->pos, items * size);
    f->pos += uint32_t(items * size);
    return items;
}

int scene_file_getc(SceneMemoryFile* f) {
    if (f->pos >= f->size) return -1;
    return int(int8_t(f->data[f->pos++]));
}

char* scene_file_gets(char* buffer, int size, SceneMemoryFile* f) {
    if (f->pos >= f->size || size <= 0) return nullptr;
    int n = 0;
    while (n < size - 1 && f->pos < f->size) {
        char c = char(f->data[f->pos++]);
        buffer[n++] = c;
        if (c == '\n') break;
    }
    buffer[n] = 0;
    return buffer;
}

long scene_file_tell(SceneMemoryFile* f) { return long(f->pos); }

void scene_file_close(SceneMemoryFile* f) {
    if (!f) return;
    std::free(f->data);
    std::free(f);
}

void set_chunk_callback(ChunkCallback callback, void* user) {
    g_callback = callback;
    g_callbackUser = user;
}

namespace qescene {

int checkLeaf(SceneMemoryFile* f, uint32_t id, uint32_t pos, uint32_t len) { return readLeaf(f, id, pos, len); }

int refuseShortHeader(uint32_t parent, uint32_t left, uint32_t pos) {
    char t[5];
    fatal("chunk %s: %u bytes left at offset %u, too few for a chunk header", idText(parent, t), left, pos);
    return -1;
}

int refuseOverrun(uint32_t parent, uint32_t id, uint32_t headerPos, uint32_t len, uint32_t left) {
    char t[5], u[5];
    fatal("chunk %s in %s at offset %u: length(%u) overruns its container (%u bytes left)", idText(id, t),
          idText(parent, u), headerPos, len, left);
    return -1;
}

int refuseDepth(uint32_t id, uint32_t pos) {
    char t[5];
    fatal("chunk %s at offset %u nests deeper than %d levels", idText(id, t), pos, QE_SCENE_MAX_DEPTH);
    return -1;
}

void probeNestedWidth(SceneMemoryFile* f, uint32_t pos, uint32_t len) {
    if (len < 6 || !f->longNestedLengths) return;
    // The first child's length: its high half is zero in the 32-bit form, and in the 16-bit form it is
    // the whole length, which is never zero.
    if (be16(f->data + pos + 4) != 0) {
        std::printf("DumpQirn: enable backward Compatibility with export <= LW10.1\n");
        std::fflush(stdout);
        f->longNestedLengths = 0;
    }
}

int checkForm(SceneMemoryFile* f, uint32_t* end) {
    if (!f) return -1;
    f->longNestedLengths = 1;
    if (f->size < 4 || be32(f->data) != QE_ID_FORM) {
        std::fprintf(stderr, "Not an IFF file (Missing FORM tag)");
        std::fflush(stderr);
        return -1;
    }
    if (f->size < 12) {
        fatal("file of %u bytes is too short for its header", f->size);
        return -1;
    }
    uint32_t formLength = be32(f->data + 4);
    if (be32(f->data + 8) != QE_ID_QIRN) {
        std::fprintf(stderr, "Not a QIRN scene file (Missing QIRN tag)");
        std::fflush(stderr);
        return -1;
    }
    if (formLength < 4 || formLength > f->size - 8) {
        fatal("FORM length(%u) does not fit the file of %u bytes", formLength, f->size);
        return -1;
    }
    *end = 8 + formLength;
    return 0;
}

int refuseTopShortHeader(uint32_t left, uint32_t pos) {
    fatal("%u bytes left at offset %u, too few for a chunk header", left, pos);
    return -1;
}

int refuseTopOverrun(uint32_t id, uint32_t headerPos, uint32_t len, uint32_t left) {
    char t[5];
    fatal("chunk %s at offset %u: length(%u) overruns the file (%u bytes left)", idText(id, t), headerPos, len, left);
    return -1;
}

}  // namespace qescene

int read_form(SceneMemoryFile* f) {
    // The installed callback sees every chunk; the walk goes on without one.
    ChunkCallback callback = g_callback;
    void* user = g_callbackUser;
    auto visit = [f, callback, user](int depth, uint32_t parent, int, uint32_t id, int, uint32_t pos, uint32_t len) {
        return callback ? callback(f, depth, parent, id, pos, len, user) : 0;
    };
    return qescene::walkForm(f, visit);
}

const char* file_pointer(SceneMemoryFile* f, uint32_t offset) {
    if (!f || offset >= f->size) return nullptr;
    return reinterpret_cast<const char*>(f->data + offset);
}

uint32_t file_u32(SceneMemoryFile* f, uint32_t offset) {
    if (!f || offset > f->size || f->size - offset < 4) return 0;
    return be32(f->data + offset);
}

// The accessors trust the offset of a PROP that read_form accepted: its texts end inside the chunk.
uint32_t prop_type(SceneMemoryFile* f, uint32_t offset) { return file_u32(f, offset); }

const char* prop_name(SceneMemoryFile* f, uint32_t offset) { return file_pointer(f, offset + 4); }

static uint32_t propValues(SceneMemoryFile* f, uint32_t offset) {
    const char* name = prop_name(f, offset);
    if (!name) return 0;
    uint32_t n = uint32_t(std::strlen(name));
    return offset + 4 + ((n + 1 + 1) & ~1u);
}

uint32_t prop_word(SceneMemoryFile* f, uint32_t offset, int i) {
    uint32_t values = propValues(f, offset);
    if (!values || i < 0 || i >= prop_word_count(f, offset)) return 0;
    return file_u32(f, values + 4 * uint32_t(i));
}

int32_t prop_int(SceneMemoryFile* f, uint32_t offset) { return int32_t(prop_word(f, offset, 0)); }

float prop_float(SceneMemoryFile* f, uint32_t offset, int i) {
    uint32_t w = prop_word(f, offset, i);
    float v;
    std::memcpy(&v, &w, 4);
    return v;
}

float prop_float0(SceneMemoryFile* f, uint32_t offset) { return prop_float(f, offset, 0); }

const char* prop_string(SceneMemoryFile* f, uint32_t offset) {
    if (prop_type(f, offset) != QE_PROP_STRING) return nullptr;
    uint32_t values = propValues(f, offset);
    return values ? file_pointer(f, values) : nullptr;
}

int prop_word_count(SceneMemoryFile* f, uint32_t offset) { return valueSize(prop_type(f, offset)) / 4; }

float dumpqirn_ext_vals_get_value(SceneMemoryFile* f, uint32_t valsOffset, int frame) {
    if (!f || valsOffset == 0 || frame < 0) return 0.0f;
    const uint32_t width = f->longNestedLengths ? 4 : 2;
    if (valsOffset < width || valsOffset > f->size) return 0.0f;
    const uint8_t* lenField = f->data + valsOffset - width;
    uint32_t length = width == 4 ? be32(lenField) : be16(lenField);
    if (length > f->size - valsOffset) return 0.0f;
    const uint32_t end = valsOffset + length;
    uint32_t pos = valsOffset;
    uint64_t first = 0;
    while (end - pos >= 4 + width) {
        uint32_t id = be32(f->data + pos);
        uint32_t len = width == 4 ? be32(f->data + pos + 4) : be16(f->data + pos + 4);
        pos += 4 + width;
        if (len > end - pos || len < 4) return 0.0f;
        uint32_t count = be32(f->data + pos);
        if (uint64_t(frame) < first + count) {
            if (id == QE_ID_VDAT) {
                uint64_t at = 4 + 4 * (uint64_t(frame) - first);
                return at + 4 <= len ? beFloat(f->data + pos + at) : 0.0f;
            }
            if (id == QE_ID_VRUN) return len >= 8 ? beFloat(f->data + pos + 4) : 0.0f;
            std::printf("dumpqirn_ext_vals_get_value: Unknown Chunk !\n");
            std::fflush(stdout);
            return 0.0f;
        }
        first += count;
        pos += len;
    }
    return 0.0f;
}
