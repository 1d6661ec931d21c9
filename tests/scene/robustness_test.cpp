// Broken scene files: every truncation of a sample, a bounded random-mutation run over the whole load
// and every query, and a large generated scene read whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "scene_access.h"
#include "scene_exercise.h"
#include "scene_samples.h"
#include "scene_writer.h"

namespace {

std::vector<uint8_t> sample(bool legacy) {
    return qeSceneWriteDescription(std::string(legacy ? "width 16\n" : "") + qeSceneSampleDescription());
}

// Loads bytes and asks every query; true when they loaded.
bool loadAndQuery(const std::vector<uint8_t>& bytes, size_t n) {
    SceneHandle* h = qeSceneOpenBinaryBuffer(bytes.data(), n);
    if (h) qeSceneExerciseQueries(h);
    qeSceneCloseBinary(h);
    return h != nullptr;
}

TEST(SceneRobustness, EveryTruncationIsRefused) {
    for (bool legacy : {false, true}) {
        const std::vector<uint8_t> bytes = sample(legacy);
        ASSERT_TRUE(loadAndQuery(bytes, bytes.size()));
        size_t loaded = 0, refused = 0, messages = 0;
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        for (size_t n = 0; n < bytes.size(); ++n) loaded += loadAndQuery(bytes, n);
        std::string err = testing::internal::GetCapturedStderr();
        for (const char* what : {"Error: ", "Not an IFF file"})
            for (size_t at = err.find(what); at != std::string::npos; at = err.find(what, at + 1)) ++messages;
        // The same cuts with the FORM length made to fit: the walk meets the cut inside a chunk and
        // refuses it, unless the cut falls between two top-level chunks.
        testing::internal::CaptureStderr();
        for (size_t n = 12; n < bytes.size(); ++n) {
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
            for (int i = 0; i < 4; ++i) cut[4 + size_t(i)] = uint8_t((n - 8) >> (24 - 8 * i));
            refused += !loadAndQuery(cut, n);
        }
        testing::internal::GetCapturedStderr();
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(loaded, 0u);
        EXPECT_EQ(messages, bytes.size()) << "one message per refusal";
        EXPECT_GT(refused, bytes.size() - 12 - 40);  // the sample has fewer than 40 top-level chunks
        std::printf("truncation sweep (%s lengths): %zu cuts refused, %zu with fitted FORM length refused\n",
                    legacy ? "16-bit" : "32-bit", bytes.size(), refused);
    }
}

// Random damage: bytes overwritten or flipped, plausible or wild lengths, ranges removed or repeated, cuts.
std::vector<uint8_t> mutate(std::vector<uint8_t> out, std::mt19937& rng) {
    static const uint32_t lengths[] = {0, 1, 2, 3, 4, 5, 7, 8, 0xFF, 0xFFFF, 0x10000, 0x7FFFFFFF, 0xFFFFFFFF};
    for (int e = 1 + int(rng() % 6); e > 0 && !out.empty(); --e) {
        const size_t at = rng() % out.size(), len = std::min(out.size() - at, size_t(1 + rng() % 64));
        const uint32_t v = rng() % 2 ? lengths[rng() % 13] : uint32_t(rng());
        switch (rng() % 7) {
        case 0: out[at] = uint8_t(rng()); break;
        case 1: out[at] ^= uint8_t(1u << (rng() % 8)); break;
        case 2:
            for (size_t i = 0; i < 4 && at + i < out.size(); ++i) out[at + i] = uint8_t(v >> (24 - 8 * i));
            break;
        case 3: out.erase(out.begin() + long(at), out.begin() + long(at + std::min(len, size_t(16)))); break;
        case 4: {
            std::vector<uint8_t> copy(out.begin() + long(at), out.begin() + long(at + len));
            out.insert(out.begin() + long(rng() % out.size()), copy.begin(), copy.end());
            break;
        }
        case 5: out.resize(at); break;
        default: out[at] = rng() % 2 ? 0 : 'A';  // a name's NUL or a property type
        }
    }
    return out;
}

TEST(SceneRobustness, RandomMutationsNeverCrash) {
    const std::vector<uint8_t> seeds[2] = {sample(false), sample(true)};
    long inputs = 200000, loaded = 0;
    if (const char* env = std::getenv("QIRN_SCENE_FUZZ_INPUTS")) inputs = std::strtol(env, nullptr, 10);
    std::mt19937 rng(12345);
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    for (long k = 0; k < inputs; ++k) {
        std::vector<uint8_t> bytes = mutate(seeds[k % 2], rng);
        loaded += loadAndQuery(bytes, bytes.size());
    }
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    std::printf("scene fuzz: %ld mutated inputs, %ld loaded and queried, %ld refused\n", inputs, loaded,
                inputs - loaded);
    EXPECT_GT(loaded, 0);
    EXPECT_LT(loaded, inputs);
}

// How fast it opens is the scene benchmark's (scripts/bench.sh); here only what it holds.
TEST(SceneRobustness, ALargeSceneLoadsEveryObjectWithItsChannels) {
    const int objects = 400, frames = 1200;
    std::string text = "SCEN { PRPS { PROP int frameEnd " + std::to_string(frames - 1) + " PROP float framesPerSecond 30 } }";
    for (int o = 0; o < objects; ++o) text += " OBJE { NAME \"obj" + std::to_string(o) + "\" FNAM \"obj.lwo\" }";
    SceneWriter w;
    std::vector<float> values(frames);
    for (int o = 0; o < objects; ++o) {
        w.begin("CGRP");
        w.name(("Qirn.World:obj" + std::to_string(o)).c_str());
        for (const char* c : {"Position.X", "Position.Y", "Position.Z", "Rotation.H", "Rotation.P", "Rotation.B",
                              "Scale.X", "Scale.Y", "Scale.Z"}) {
            for (int f = 0; f < frames; ++f) values[size_t(f)] = float(o * 1000 + (c[std::strlen(c) - 1] - 'X') * 10) + float(f) * 0.5f;
            w.begin("CHAN");
            w.name(c);
            w.begin("VALS");
            w.vdat(values);
            w.end();
            w.end();
        }
        w.end();
    }
    std::vector<uint8_t> bytes = qeSceneWriteDescription(text), channels = w.finish();
    bytes.insert(bytes.end(), channels.begin() + 12, channels.end());
    const uint32_t len = uint32_t(bytes.size() - 8);
    for (int i = 0; i < 4; ++i) bytes[4 + size_t(i)] = uint8_t(len >> (24 - 8 * i));
    ASSERT_TRUE(qeSceneWriteFile("large_scene.qirn", bytes));
    SceneHandle* h = qeSceneFileOpen("large_scene.qirn");
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(h->objects->getObjectCount(h), objects);
    SceneVec3 v;
    h->objects->getObjectVector(&v, h, objects - 1, QE_VEC_POSITION, 1000.0f);  // frame 30
    EXPECT_FLOAT_EQ(v.X, float((objects - 1) * 1000) + 15.0f);
    EXPECT_FLOAT_EQ(v.Z, float((objects - 1) * 1000 + 20) + 15.0f);
    qeSceneFileClose(h);
    std::remove("large_scene.qirn");
}

}  // namespace
