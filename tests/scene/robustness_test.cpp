// Broken scene files: every truncation of a sample, a bounded random-mutation run over the whole load
// and every query, and the load speed of a large generated scene.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "scene_access.h"
#include "scene_exercise.h"
#include "scene_samples.h"
#include "scene_writer.h"

namespace {

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::vector<uint8_t> sample(bool legacy) {
    std::string text = std::string(legacy ? "width 16\n" : "") + qeSceneSampleDescription();
    std::vector<uint8_t> bytes = qeSceneWriteDescription(text);
    EXPECT_FALSE(bytes.empty());
    return bytes;
}

TEST(SceneRobustness, EveryTruncationIsRefused) {
    for (bool legacy : {false, true}) {
        const std::vector<uint8_t> bytes = sample(legacy);
        SceneHandle* whole = qeSceneOpenBinaryBuffer(bytes.data(), bytes.size());
        ASSERT_NE(whole, nullptr);
        qeSceneExerciseQueries(whole);
        qeSceneCloseBinary(whole);

        size_t loaded = 0;
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        for (size_t n = 0; n < bytes.size(); ++n) {
            SceneHandle* h = qeSceneOpenBinaryBuffer(bytes.data(), n);
            if (h) {
                ++loaded;
                qeSceneCloseBinary(h);
            }
        }
        testing::internal::GetCapturedStdout();
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(loaded, 0u);
        EXPECT_EQ(count(err, "Error: ") + count(err, "Not an IFF file"), bytes.size()) << "one message per refusal";

        // The same cuts with the FORM length made to fit: the walk meets the cut inside a chunk and
        // refuses it, unless the cut falls between two top-level chunks.
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        size_t refused = 0;
        for (size_t n = 12; n < bytes.size(); ++n) {
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
            uint32_t len = uint32_t(n - 8);
            for (int i = 0; i < 4; ++i) cut[4 + size_t(i)] = uint8_t(len >> (24 - 8 * i));
            SceneHandle* h = qeSceneOpenBinaryBuffer(cut.data(), cut.size());
            if (h) {
                qeSceneExerciseQueries(h);
                qeSceneCloseBinary(h);
            } else {
                ++refused;
            }
        }
        testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        EXPECT_GT(refused, bytes.size() - 12 - 40);  // the sample has fewer than 40 top-level chunks
        std::printf("truncation sweep (%s lengths): %zu cuts refused, %zu with fitted FORM length refused\n",
                    legacy ? "16-bit" : "32-bit", bytes.size(), refused);
    }
}

// Random damage: bytes overwritten, length fields set to odd values, ranges removed or repeated, cuts.
std::vector<uint8_t> mutate(const std::vector<uint8_t>& in, std::mt19937& rng) {
    std::vector<uint8_t> out = in;
    const int edits = 1 + int(rng() % 6);
    for (int e = 0; e < edits && !out.empty(); ++e) {
        size_t at = rng() % out.size();
        switch (rng() % 7) {
        case 0: out[at] = uint8_t(rng()); break;
        case 1: out[at] ^= uint8_t(1u << (rng() % 8)); break;
        case 2: {  // a plausible or wild length
            static const uint32_t values[] = {0, 1, 2, 3, 4, 5, 7, 8, 0xFF, 0xFFFF, 0x10000, 0x7FFFFFFF, 0xFFFFFFFF};
            uint32_t v = rng() % 2 ? values[rng() % 13] : uint32_t(rng());
            for (int i = 0; i < 4 && at + size_t(i) < out.size(); ++i) out[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
            break;
        }
        case 3: out.erase(out.begin() + long(at), out.begin() + long(std::min(out.size(), at + 1 + rng() % 16))); break;
        case 4: {
            size_t len = std::min(out.size() - at, size_t(1 + rng() % 64));
            std::vector<uint8_t> copy(out.begin() + long(at), out.begin() + long(at + len));
            out.insert(out.begin() + long(rng() % out.size()), copy.begin(), copy.end());
            break;
        }
        case 5: out.resize(at); break;
        default: {  // a name's NUL or a property type
            out[at] = rng() % 2 ? 0 : 'A';
            break;
        }
        }
    }
    return out;
}

TEST(SceneRobustness, RandomMutationsNeverCrash) {
    const std::vector<uint8_t> seeds[2] = {sample(false), sample(true)};
    long inputs = 200000;
    if (const char* env = std::getenv("QIRN_SCENE_FUZZ_INPUTS")) inputs = std::strtol(env, nullptr, 10);
    std::mt19937 rng(12345);
    long loaded = 0;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    for (long k = 0; k < inputs; ++k) {
        std::vector<uint8_t> bytes = mutate(seeds[k % 2], rng);
        SceneHandle* h = qeSceneOpenBinaryBuffer(bytes.data(), bytes.size());
        if (h) {
            ++loaded;
            qeSceneExerciseQueries(h);
            qeSceneCloseBinary(h);
        }
    }
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    std::printf("scene fuzz: %ld mutated inputs, %ld loaded and queried, %ld refused\n", inputs, loaded,
                inputs - loaded);
    EXPECT_GT(loaded, 0);
    EXPECT_LT(loaded, inputs);
}

TEST(SceneRobustness, LargeSceneLoadSpeed) {
    const int objects = 400, frames = 1200;
    SceneWriter w;
    w.begin("SCEN");
    w.begin("PRPS");
    w.propInt("frameStart", 0);
    w.propInt("frameEnd", frames - 1);
    w.propFloat("framesPerSecond", 30.0f);
    w.end();
    w.end();
    char name[64];
    for (int o = 0; o < objects; ++o) {
        snprintf(name, sizeof name, "obj%d", o);
        w.begin("OBJE");
        w.name(name);
        w.fnam("obj.lwo");
        w.begin("PRPS");
        w.propInt("numPoints", 8);
        w.propInt("numPolygons", 6);
        w.end();
        w.end();
    }
    static const char* const motion[] = {"Position.X", "Position.Y", "Position.Z", "Rotation.H", "Rotation.P",
                                          "Rotation.B", "Scale.X",    "Scale.Y",    "Scale.Z"};
    std::vector<float> values(frames);
    for (int o = 0; o < objects; ++o) {
        snprintf(name, sizeof name, "Qirn.World:obj%d", o);
        w.begin("CGRP");
        w.name(name);
        for (int c = 0; c < 9; ++c) {
            for (int f = 0; f < frames; ++f) values[size_t(f)] = float(o * 1000 + c * 10) + float(f) * 0.5f;
            w.begin("CHAN");
            w.name(motion[c]);
            w.type(0);
            w.begin("VALS");
            w.vdat(values);
            w.end();
            w.end();
        }
        w.end();
    }
    std::vector<uint8_t> bytes = w.finish();
    ASSERT_TRUE(qeSceneWriteFile("large_scene.qirn", bytes));
    const double mb = double(bytes.size()) / (1024.0 * 1024.0);

    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        auto start = std::chrono::steady_clock::now();
        SceneHandle* h = qeSceneFileOpen("large_scene.qirn");
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(h->objects->getObjectCount(h), objects);
        SceneVec3 v;
        h->objects->getObjectVector(&v, h, objects - 1, QE_VEC_POSITION, 1000.0f);  // frame 30
        EXPECT_FLOAT_EQ(v.X, float((objects - 1) * 1000) + 15.0f);
        EXPECT_FLOAT_EQ(v.Z, float((objects - 1) * 1000 + 20) + 15.0f);
        qeSceneFileClose(h);
        if (ms < best) best = ms;
    }
    std::printf("scene load benchmark: %.1f MB, %d objects x 9 channels x %d frames, best of 3 %.1f ms: %.0f MB/s\n",
                mb, objects, frames, best, mb / (best / 1000.0));
    std::remove("large_scene.qirn");
}

}  // namespace
