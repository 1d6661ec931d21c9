#ifndef QIRN_TESTS_SCENE_WRITER_H
#define QIRN_TESTS_SCENE_WRITER_H

// Writes binary scene files (*.qirn) for tests, either chunk by chunk or from a readable description.
//
// Description: chunks as "ID { ... }" containers and leaf statements, '#' starts a comment:
//
//   width 16                         # optional first line: 16-bit nested lengths (default 32)
//   SCEN {
//     NAME "Scene"  FNAM "scene.lws"
//     PRPS { PROP int frameStart 0  PROP float framesPerSecond 25  PROP string loadAudio "a.mp3"
//            PROP float3 zenith 0.1 0.2 0.3  PROP int2 resolution 640 480  PROP float2 squeeze 1 2
//            PROP type 9 oddOne }     # any other type code: no value bytes
//   }
//   CGRP { NAME "Qirn.World:Cube"
//          CHAN { NAME "Position.X" TYPE 0 VALS { VRUN 10 2.5  VDAT 3 1 2 3 } } }
//   BYTES ZZZZ 6                     # a chunk of 6 zero bytes (for unknown ids)
//
// Any four-letter id may open a container. Top-level chunks always get 32-bit lengths.

#include <cstdint>
#include <string>
#include <vector>

class SceneWriter {
public:
    explicit SceneWriter(bool longNestedLengths = true);

    void begin(const char* id);
    void end();

    void u32(uint32_t v);
    void i32(int32_t v) { u32(uint32_t(v)); }
    void f32(float v);
    void text(const char* s);  // with its NUL and a pad byte to an even size
    void bytes(const void* data, size_t n);

    // Leaf chunks.
    void name(const char* s) { textChunk("NAME", s); }
    void fnam(const char* s) { textChunk("FNAM", s); }
    void textChunk(const char* id, const char* s);
    void type(uint32_t v);
    void vrun(uint32_t count, float value);
    void vdat(const std::vector<float>& values);
    void zeros(const char* id, uint32_t n);
    void propInt(const char* name, int32_t v);
    void propFloat(const char* name, float v);
    void propString(const char* name, const char* v);
    void propFloat3(const char* name, float a, float b, float c);
    void propInt2(const char* name, int32_t a, int32_t b);
    void propFloat2(const char* name, float a, float b);
    void propRaw(const char* name, uint32_t typeCode);  // no value bytes

    // The whole file with its FORM header; an error (unbalanced chunks, a nested length too long for
    // 16 bits) gives an empty result and the reason in error().
    std::vector<uint8_t> finish();
    const std::string& error() const { return error_; }

private:
    void propHead(const char* name, uint32_t typeCode);  // opens a PROP chunk with its type and name

    std::vector<uint8_t> body_;
    std::vector<size_t> open_;  // positions of the open chunks' length fields
    std::vector<int> widths_;
    bool long_;
    std::string error_;
};

// Builds a file from a description; an empty result (and the reason in error) when it does not parse.
std::vector<uint8_t> qeSceneWriteDescription(const std::string& description, std::string* error = nullptr);
// Writes bytes to a file; true on success.
bool qeSceneWriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

#endif
