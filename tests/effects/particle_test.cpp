#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <algorithm>
#include <random>
#include <vector>

#include "effects_fixture.h"
#include "particles/CQeFxEmitter.h"
#include "particles/QeParticleBuffer.h"
#include "particles/QeParticleSystem.h"

using irr::f32;
using irr::u32;

namespace {

// Must stay the first test of this program: nothing has drawn from the generator yet.
TEST(ParticleRandom, StartsAtZeroAndFollowsItsSequence) {
    EXPECT_EQ(0u, qeParticleRandomState());
    const irr::u32 expected[] = {38, 7719, 21238, 2437, 8855};
    for (irr::u32 e : expected) EXPECT_EQ(e, qeParticleRandom());
    qetest::ReplayRandom replay{qeParticleRandomState()};
    for (int i = 0; i < 1000; ++i) {
        const irr::u32 r = qeParticleRandom();
        EXPECT_LE(r, 32767u);
        ASSERT_EQ(replay.next(), r);
    }
}

TEST(ParticleBuffer, RecordsAreAlignedAndThreadedInOrder) {
    SQeParticleBuffer* buffer = new SQeParticleBuffer();
    EXPECT_EQ(-1, allocateParticleRecords(buffer, -1));
    EXPECT_EQ(nullptr, buffer->block);

    ASSERT_EQ(0, allocateParticleRecords(buffer, 3));
    ASSERT_NE(nullptr, buffer->block);
    EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(buffer->block) % 64);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(buffer->block[i].position) % 16);
        EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(buffer->block[i].velocity) % 16);
    }
    EXPECT_EQ(nullptr, buffer->block[2].next);
    destroyParticleBuffer(buffer);
}

TEST(ParticleBuffer, SharedBufferIsCreatedOnceAndFreedByTheLastRelease) {
    qetest::LogCapture logger;
    ASSERT_EQ(nullptr, getSharedParticleBuffer());
    SQeParticleBuffer* a = acquireSharedParticleBuffer();
    ASSERT_NE(nullptr, a);
    SQeParticleBuffer* b = acquireSharedParticleBuffer();
    EXPECT_EQ(a, b);
    EXPECT_EQ(1, logger.count("CQeFxEmitter: Allocate Shared ParticleBuffer", irr::ELL_DEBUG));

    releaseSharedParticleBuffer();
    EXPECT_EQ(a, getSharedParticleBuffer());
    releaseSharedParticleBuffer();
    EXPECT_EQ(nullptr, getSharedParticleBuffer());
    EXPECT_EQ(0u, getSharedParticleBufferRefCount());
    releaseSharedParticleBuffer();  // nothing left to release
    EXPECT_EQ(0u, getSharedParticleBufferRefCount());
}

TEST(ParticleBuffer, EmittersOnTheSharedBufferGiveTheirRecordsBack) {
    {
        CQeFxEmitter a, b;
        ASSERT_EQ(0, a.initParticleBuffer(0, true));
        ASSERT_EQ(0, b.initParticleBuffer(0, true));
        EXPECT_EQ(2u, getSharedParticleBufferRefCount());
        a.addParticle(1, 2, 3, 0, 1000);
        a.addParticle(1, 2, 3, 0, 1000);
        b.addParticle(1, 2, 3, 0, 1000);
        // Re-initialising on an own buffer gives the shared records and the reference back.
        ASSERT_EQ(0, b.initParticleBuffer(8, false));
        EXPECT_EQ(1u, getSharedParticleBufferRefCount());
        EXPECT_EQ(-1, b.initParticleBuffer(-5, true));
    }
    EXPECT_EQ(nullptr, getSharedParticleBuffer());

    // Every record is back on the free list after the emitters went.
    CQeFxEmitter c;
    ASSERT_EQ(0, c.initParticleBuffer(0, true));
    for (int i = 0; i < 5; ++i) c.addParticle(0, 0, 0, 0, 1000);
    c.resetEmitter();
    int records = 0;
    for (SQeParticle* p = getSharedParticleBuffer()->freeHead; p; p = p->next) ++records;
    EXPECT_EQ(QE_SHARED_PARTICLE_COUNT, records);
}

// The estimated reciprocal square root is good to about 12 bits.
const f32 kRsqrtTolerance = 1e-3f;

f32 length3(const f32* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

std::vector<SQeParticleInstance> liveParticles(CQeFxEmitter& e) {
    std::vector<SQeParticleInstance> out(e.getParticleCount() + 1);
    out.resize(static_cast<size_t>(e.fillInstances(out.data(), static_cast<irr::s32>(out.size()))));
    return out;
}

// Settings over an own buffer, for driving spawning and motion directly.
struct Settings : testing::Test {
    SQeFxEmitterSettings s;
    Settings() {
        s.particleBuffer = new SQeParticleBuffer();
        allocateParticleRecords(s.particleBuffer, 64);
    }
    ~Settings() override { destroyParticleBuffer(s.particleBuffer); }
    SQeParticle* add(f32 death, f32 x = 0, f32 vx = 0) {
        SQeParticle* p = takeParticleRecord(s.particleBuffer);
        appendParticle(s.liveTail, p);
        p->birth = 0;
        p->death = death;
        p->depthKey = 0;
        const f32 pos[4] = {x, 0, 0, 1}, vel[4] = {vx, 0, 0, 0};
        std::memcpy(p->position, pos, sizeof(pos));
        std::memcpy(p->velocity, vel, sizeof(vel));
        return p;
    }
};

irr::scene::SMeshBuffer* bufferWith(const std::vector<irr::core::vector3df>& positions,
                                    const std::vector<irr::u16>& indices = {}) {
    irr::scene::SMeshBuffer* b = new irr::scene::SMeshBuffer();
    for (const irr::core::vector3df& p : positions)
        b->Vertices.push_back(irr::video::S3DVertex(p, irr::core::vector3df(0, 0, 1) * (p.X + 1.0f),
                                                    irr::video::SColor(0xFFFFFFFF), irr::core::vector2df(0, 0)));
    for (irr::u16 i : indices) b->Indices.push_back(i);
    return b;
}

TEST_F(Settings, NozzlesFollowTheGeneratorAndNeverGiveNaNOrReadPastTheirMesh) {
    s.nozzleSize[0] = 2;
    s.nozzleSize[1] = 4;
    s.nozzleSize[2] = 6;
    f32 p[4], d[4];
    // Box: ((u - 0.5) × size) per axis; sphere: (u - 0.5) per axis normalised, times 0.5 × u4 and the size.
    for (u32 kind : {u32(EQNK_BOX), u32(EQNK_SPHERE)}) {
        s.nozzleKind = kind;
        qetest::ReplayRandom r{qeParticleRandomState()};
        ASSERT_TRUE(qeParticleNozzle(&s, p, d));
        const f32 v[3] = {r.u() - 0.5f, r.u() - 0.5f, r.u() - 0.5f};
        const f32 scale = kind == EQNK_SPHERE ? 0.5f * r.u() / length3(v) : 1.0f;
        EXPECT_EQ(r.state, qeParticleRandomState()) << kind;
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(v[c] * scale * s.nozzleSize[c], p[c], 6 * kRsqrtTolerance) << kind << c;
            EXPECT_NEAR(p[c] / length3(p), d[c], kRsqrtTolerance) << kind << c;
        }
        EXPECT_EQ(1.0f, p[3]);
        EXPECT_EQ(0.0f, d[3]);
    }
    // A nozzle of size 0 puts the point on the centre; its direction is zero, not NaN.
    s.nozzleKind = EQNK_BOX;
    s.nozzleSize[0] = s.nozzleSize[1] = s.nozzleSize[2] = 0;
    ASSERT_TRUE(qeParticleNozzle(&s, p, d));
    for (int c = 0; c < 4; ++c) EXPECT_EQ(0.0f, d[c]);

    // Mesh vertices are walked in order over every buffer, passing over empty ones, drawing nothing;
    // the direction is the position itself, or the vertex normal (0, 0, x + 1) for the normals nozzle.
    irr::scene::SMesh mesh;
    for (irr::scene::SMeshBuffer* b : {bufferWith({{1, 2, 3}, {4, 5, 6}}), bufferWith({}), bufferWith({{7, 8, 9}})}) {
        mesh.addMeshBuffer(b);
        b->drop();
    }
    s.nozzleMesh = &mesh;
    const u32 state = qeParticleRandomState();
    const struct {
        u32 kind;
        f32 x, d[3];
    } walk[] = {{EQNK_MESH_VERTICES, 1, {1, 2, 3}}, {EQNK_MESH_VERTICES, 4, {4, 5, 6}}, {EQNK_MESH_VERTICES, 7, {7, 8, 9}},
                {EQNK_MESH_VERTICES, 1, {1, 2, 3}}, {EQNK_MESH_NORMALS, 4, {0, 0, 5}},     {EQNK_MESH_NORMALS, 7, {0, 0, 8}}};
    for (const auto& w : walk) {
        s.nozzleKind = w.kind;
        ASSERT_TRUE(qeParticleNozzle(&s, p, d));
        EXPECT_EQ((std::vector<f32>{w.x, w.x + 1, w.x + 2, 1}), std::vector<f32>(p, p + 4)) << w.x;
        EXPECT_EQ((std::vector<f32>{w.d[0], w.d[1], w.d[2], 0}), std::vector<f32>(d, d + 4)) << w.x;
    }
    EXPECT_EQ(state, qeParticleRandomState());

    // Meshes the nozzle cannot use, and unknown nozzles, spawn nothing.
    irr::scene::SMesh empty;
    irr::scene::SMeshBuffer* hollow = bufferWith({{1, 1, 1}, {2, 2, 2}}, {0, 1});  // no whole triangle
    empty.addMeshBuffer(hollow);
    hollow->drop();
    s.nozzleMesh = &empty;
    s.nozzleKind = EQNK_MESH_TRIANGLES;
    EXPECT_EQ(0u, spawnParticles(&s, 1.0f, 1.0f, 0xFFFFFFFFu));
    s.nozzleMesh = nullptr;
    for (u32 kind : {u32(EQNK_MESH_VERTICES), u32(EQNK_MESH_NORMALS), u32(EQNK_MESH_TRIANGLES), 7u}) {
        s.nozzleKind = kind;
        EXPECT_EQ(0u, spawnParticles(&s, 1.0f, 1.0f, 0xFFFFFFFFu)) << kind;
    }
    EXPECT_EQ(nullptr, s.liveTail);
}

TEST_F(Settings, TriangleNozzleReadsThirtyTwoBitIndicesAndSkipsBuffersWithoutATriangle) {
    irr::scene::SMesh mesh;
    irr::scene::SMeshBuffer* tooFew = bufferWith({{50, 50, 50}, {60, 60, 60}}, {0, 1});
    mesh.addMeshBuffer(tooFew);
    tooFew->drop();
    irr::scene::CDynamicMeshBuffer* wide = new irr::scene::CDynamicMeshBuffer(irr::video::EVT_STANDARD, irr::video::EIT_32BIT);
    const irr::core::vector3df corners[] = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {2, 2, 4}};
    for (const irr::core::vector3df& c : corners)
        wide->getVertexBuffer().push_back(irr::video::S3DVertex(c, {0, 0, 1}, irr::video::SColor(0), {0, 0}));
    const u32 indices[] = {0, 1, 2, 3, 2, 1};
    for (u32 i : indices) wide->getIndexBuffer().push_back(i);
    mesh.addMeshBuffer(wide);
    wide->drop();
    s.nozzleMesh = &mesh;
    s.nozzleKind = EQNK_MESH_TRIANGLES;
    // Draws: the buffer (the first has no triangle, so the second either way), the triangle, s, v;
    // the point is (1 - sqrt s) c0 + sqrt s (1 - v) c1 + sqrt s v c2.
    for (int round = 0; round < 20; ++round) {
        qetest::ReplayRandom r{qeParticleRandomState()};
        f32 p[4], d[4];
        ASSERT_TRUE(qeParticleNozzle(&s, p, d));
        r.u();
        const u32 t = static_cast<u32>(r.u() * (2 - 0.001f));
        const f32 sq = std::sqrt(r.u()), v = r.u();
        const irr::core::vector3df e = corners[indices[3 * t]] * (1 - sq) + corners[indices[3 * t + 1]] * (sq * (1 - v)) +
                                       corners[indices[3 * t + 2]] * (sq * v);
        EXPECT_EQ(r.state, qeParticleRandomState());
        EXPECT_NEAR(e.X, p[0], 1e-4f) << round;
        EXPECT_NEAR(e.Y, p[1], 1e-4f) << round;
        EXPECT_NEAR(e.Z, p[2], 1e-4f) << round;
        EXPECT_EQ(1.0f, p[3]);
    }
}

TEST_F(Settings, DeathAtNowStillLivesAndExpiredRecordsGoBack) {
    EXPECT_EQ(0u, moveParticles(&s, 1.0f, 0.1f));  // empty list

    s.resistance = 0;
    SQeParticle* old = add(2.0f, 0, 1);
    SQeParticle* middle = add(5.0f, 10, 1);
    SQeParticle* newest = add(1.5f, 20, 1);
    // The newest expires: the older two move once and the tail steps back.
    EXPECT_EQ(2u, moveParticles(&s, 1.75f, 0.5f));
    EXPECT_EQ(middle, s.liveTail);
    EXPECT_EQ(old, s.liveTail->next);
    EXPECT_FLOAT_EQ(0.5f, old->position[0]);
    EXPECT_FLOAT_EQ(10.5f, middle->position[0]);
    EXPECT_EQ(newest, s.particleBuffer->freeHead);

    // A death time equal to now still lives in that update.
    EXPECT_EQ(2u, moveParticles(&s, 2.0f, 0.0f));
    EXPECT_EQ(1u, moveParticles(&s, 2.001f, 0.0f));
    // The only record expiring leaves an empty list.
    EXPECT_EQ(0u, moveParticles(&s, 6.0f, 0.0f));
    EXPECT_EQ(nullptr, s.liveTail);
}

// One step of dt 0.5 from position (1, 2, 3) and velocity (4, 0, -2) for each of the eight walks: weight 2
// makes resistance 1 keep 0.75 of the velocity, gravity (0, -10, 0) adds (0, -5, 0), and the depth key
// is the squared distance to the viewer at (1, 2, 3).
TEST_F(Settings, EachMotionVariantMovesByHandComputedSteps) {
    const struct {
        f32 resistance, gravity;
        irr::u8 sort;
        f32 v[3], p[3], key;
    } rows[] = {{0, 0, 0, {4, 0, -2}, {3, 2, 2}, -1},        {0, 0, 1, {4, 0, -2}, {3, 2, 2}, 5},
                {0, -10, 0, {4, -5, -2}, {3, -0.5f, 2}, -1}, {0, -10, 1, {4, -5, -2}, {3, -0.5f, 2}, 11.25f},
                {1, 0, 0, {3, 0, -1.5f}, {2.5f, 2, 2.25f}, -1}, {1, 0, 1, {3, 0, -1.5f}, {2.5f, 2, 2.25f}, 2.8125f},
                {1, -10, 0, {3, -5, -1.5f}, {2.5f, -0.5f, 2.25f}, -1},
                {1, -10, 1, {3, -5, -1.5f}, {2.5f, -0.5f, 2.25f}, 9.0625f}};
    s.weight = 2;
    const f32 viewer[4] = {1, 2, 3, 1};
    std::memcpy(s.viewerPosition, viewer, sizeof(viewer));
    for (const auto& row : rows) {
        const int at = static_cast<int>(&row - rows);
        s.resistance = row.resistance;
        s.gravity[1] = row.gravity;
        s.depthSort = row.sort;
        SQeParticle* p = add(100.0f, 1, 4);
        p->position[1] = 2;
        p->position[2] = 3;
        p->velocity[2] = -2;
        p->depthKey = -1;  // left alone without the depth sort
        EXPECT_EQ(1u, moveParticles(&s, 1.0f, 0.5f));
        for (int c = 0; c < 3; ++c) {
            EXPECT_FLOAT_EQ(row.v[c], p->velocity[c]) << at << c;
            EXPECT_FLOAT_EQ(row.p[c], p->position[c]) << at << c;
        }
        EXPECT_EQ(0.0f, p->velocity[3]);
        EXPECT_EQ(1.0f, p->position[3]);
        EXPECT_FLOAT_EQ(row.key, p->depthKey) << at;
        returnParticleList(s.particleBuffer, s.liveTail);
    }
}

// Record places (in the block) of a live list from its oldest record, and of the free list.
std::vector<long> listPlaces(const SQeParticleBuffer* b, const SQeParticle* tail) {
    std::vector<long> places;
    if (!tail) return places;
    for (const SQeParticle* p = tail->next;; p = p->next) {
        places.push_back(p - b->block);
        if (p == tail) break;
    }
    return places;
}

std::vector<long> freePlaces(const SQeParticleBuffer* b) {
    std::vector<long> places;
    for (const SQeParticle* p = b->freeHead; p; p = p->next) places.push_back(p - b->block);
    return places;
}

// An emitter that fills its own buffer is moved in block order, and one on the shared buffer sorts what
// its walk gathered: the same counts, values, live list and free list as the walk along the list and the
// sort apart, for every variant, with records expiring (the tail among them) and with a list that a
// depth sort has put out of block order.
TEST(ParticleMotion, BlockOrderAndTheGatheringWalkGiveTheResultOfTheListWalk) {
    SQeFxEmitterSettings byList, byBlock, gathering;
    gathering.usesSharedBuffer = 1;
    for (SQeFxEmitterSettings* s : {&byList, &byBlock, &gathering}) {
        s->particleBuffer = new SQeParticleBuffer();
        ASSERT_EQ(0, allocateParticleRecords(s->particleBuffer, 64));
        s->weight = 2;
        s->viewerPosition[2] = -5;
    }
    std::mt19937 rng(11);
    std::uniform_real_distribution<f32> spread(-10, 10);
    for (int i = 0; i < 56; ++i) {
        const f32 death = 1.0f + static_cast<f32>(rng() % 40) * 0.25f;
        const f32 pos[4] = {spread(rng), spread(rng), spread(rng), 1}, vel[4] = {spread(rng), spread(rng), spread(rng), 0};
        for (SQeFxEmitterSettings* s : {&byList, &byBlock, &gathering}) {
            SQeParticle* p = takeParticleRecord(s->particleBuffer);
            appendParticle(s->liveTail, p);
            p->birth = 0;
            p->death = i == 55 ? 1.0f : death;  // the tail goes first
            std::memcpy(p->position, pos, sizeof(pos));
            std::memcpy(p->velocity, vel, sizeof(vel));
        }
    }
    f32 now = 1.0f;
    for (int variant = 0; variant < 16; ++variant) {
        now += 0.25f;
        for (SQeFxEmitterSettings* s : {&byList, &byBlock, &gathering}) {
            s->resistance = variant & 4 ? 1.0f : 0.0f;
            s->gravity[1] = variant & 2 ? -10.0f : 0.0f;
            s->depthSort = variant & 1;
        }
        byList.liveCount = 0;  // below a quarter of the block: the list walk
        byBlock.liveCount = 64;
        const u32 live = moveParticles(&byList, now, 0.25f);
        ASSERT_EQ(live, moveParticles(&byBlock, now, 0.25f)) << variant;
        ASSERT_EQ(live, moveAndSortParticles(&gathering, now, 0.25f)) << variant;
        if (byList.depthSort && live > 1) {
            sortParticlesByDepth(byList.liveTail);
            sortParticlesByDepth(byBlock.liveTail);
        }
        for (const SQeFxEmitterSettings* other : {&byBlock, &gathering}) {
            ASSERT_EQ(listPlaces(byList.particleBuffer, byList.liveTail), listPlaces(other->particleBuffer, other->liveTail))
                << variant;
            ASSERT_EQ(freePlaces(byList.particleBuffer), freePlaces(other->particleBuffer)) << variant;
            for (long at : listPlaces(byList.particleBuffer, byList.liveTail)) {
                const SQeParticle& a = byList.particleBuffer->block[at];
                const SQeParticle& b = other->particleBuffer->block[at];
                EXPECT_EQ(0, std::memcmp(a.position, b.position, sizeof(a.position))) << variant << " " << at;
                EXPECT_EQ(0, std::memcmp(a.velocity, b.velocity, sizeof(a.velocity))) << variant << " " << at;
                EXPECT_EQ(a.depthKey, b.depthKey) << variant << " " << at;
            }
        }
    }
    EXPECT_GT(listPlaces(byList.particleBuffer, byList.liveTail).size(), 0u);
    EXPECT_GT(freePlaces(byList.particleBuffer).size(), 20u);
    for (SQeFxEmitterSettings* s : {&byList, &byBlock, &gathering}) {
        returnParticleList(s->particleBuffer, s->liveTail);
        destroyParticleBuffer(s->particleBuffer);
    }
}

TEST_F(Settings, ALongStepOrAZeroWeightStopsTheParticleInsteadOfFlippingIt) {
    SQeParticle* p = add(1000.0f, 0, 4);
    moveParticles(&s, 1.0f, 5.0f);  // k would be 5
    EXPECT_EQ(0.0f, p->velocity[0]);
    EXPECT_EQ(0.0f, p->position[0]);

    p->velocity[0] = 4;
    s.weight = 0;
    moveParticles(&s, 1.0f, 0.1f);
    EXPECT_EQ(0.0f, p->velocity[0]);
    EXPECT_TRUE(std::isfinite(p->position[0]));

    // A negative resistance does not feed the velocity.
    p->velocity[0] = 4;
    s.weight = 1;
    s.resistance = -3;
    moveParticles(&s, 1.0f, 0.5f);
    EXPECT_FLOAT_EQ(4.0f, p->velocity[0]);
    EXPECT_FLOAT_EQ(2.0f, p->position[0]);
}

// The merge passes walked on the records' own links, one record at a time: the order a sort must give,
// equal keys included.
std::vector<const SQeParticle*> mergedOnLinks(std::vector<SQeParticle>& records, u32* passes) {
    struct List {
        SQeParticle *head = nullptr, *tail = nullptr;
        void push(SQeParticle* p) {
            p->next = nullptr;
            (tail ? tail->next : head) = p;
            tail = p;
        }
        SQeParticle* pop() {
            SQeParticle* p = head;
            head = p->next;
            if (!head) tail = nullptr;
            return p;
        }
    };
    List in[2];
    for (SQeParticle& r : records) in[0].push(&r);
    for (*passes = 1;; ++*passes) {
        List out[2];
        int current = 0;
        while (in[0].head || in[1].head) {
            int from = !in[1].head ? 0 : !in[0].head ? 1 : -1;
            if (from < 0) {
                const f32 k0 = in[0].head->depthKey, k1 = in[1].head->depthKey;
                from = k0 > k1 ? 0 : 1;
                if (out[current].tail) {
                    const bool c0 = k0 <= out[current].tail->depthKey, c1 = k1 <= out[current].tail->depthKey;
                    if (c0 != c1) from = c0 ? 0 : 1;
                }
            }
            SQeParticle* p = in[from].pop();
            if (out[current].tail && p->depthKey > out[current].tail->depthKey) current ^= 1;
            out[current].push(p);
        }
        if (!out[1].head) {
            std::vector<const SQeParticle*> order;
            for (const SQeParticle* p = out[0].head; p; p = p->next) order.push_back(p);
            return order;
        }
        in[0] = out[0];
        in[1] = out[1];
    }
}

// Keys with many ties (a few distinct values), distinct keys, sorted and reversed lists, zeros of both
// signs (equal keys to the merge): the sort relinks the same records into the order and with the number
// of passes of the merge on the links.
TEST(ParticleSort, RelinksTheRecordsInTheOrderOfTheMergePassesTiesIncluded) {
    std::mt19937 rng(7);
    const struct { u32 count, distinctKeys; int shape; } cases[] = {
        {2, 2, 0}, {2, 1, 0}, {3, 2, 0}, {17, 3, 0}, {1000, 4, 0}, {5000, 5000, 0}, {777, 9, 1}, {777, 9, 2}, {300, 300, 2}, {200, 3, 3}};
    for (const auto& c : cases) {
        std::vector<f32> keys(c.count);
        for (f32& k : keys) k = static_cast<f32>(rng() % c.distinctKeys);
        if (c.shape == 1) std::sort(keys.begin(), keys.end(), [](f32 a, f32 b) { return a > b; });
        if (c.shape == 2) std::sort(keys.begin(), keys.end());
        if (c.shape == 3)
            for (size_t i = 1; i < keys.size(); i += 2) keys[i] = -keys[i];
        std::vector<SQeParticle> reference(c.count), records(c.count);
        SQeParticle* tail = nullptr;
        for (u32 i = 0; i < c.count; ++i) {
            reference[i].depthKey = records[i].depthKey = keys[i];
            appendParticle(tail, &records[i]);
        }
        u32 referencePasses = 0;
        const std::vector<const SQeParticle*> expected = mergedOnLinks(reference, &referencePasses);
        const u32 passes = sortParticlesByDepth(tail);
        EXPECT_EQ(referencePasses, passes) << c.count << " " << c.shape;
        if (c.shape == 1) EXPECT_EQ(1u, passes);
        ASSERT_EQ(c.count, countParticleList(tail));
        const SQeParticle* p = tail->next;
        for (u32 i = 0; i < c.count; ++i, p = p->next)
            ASSERT_EQ(expected[i] - reference.data(), p - records.data()) << c.count << " at " << i;
    }
    SQeParticle one;
    SQeParticle* single = nullptr;
    appendParticle(single, &one);
    EXPECT_EQ(0u, sortParticlesByDepth(single));
    EXPECT_EQ(&one, single);
}

struct Emitter : testing::Test {
    CQeFxEmitter e;
    Emitter() {
        e.initParticleBuffer(4096, false);
        e.setWorldTransform(irr::core::IdentityMatrix);
        e.setViewerPosition(0, 0, 0);
    }
    u32 emitted() { return e.getSettings()->emittedCount; }
    void at(f32 x, f32 y, f32 z) {
        irr::core::matrix4 m;
        m.setTranslation(irr::core::vector3df(x, y, z));
        e.setWorldTransform(m);
    }
};

TEST_F(Emitter, ParticlesOfAStepSpreadAlongTheEmitterPath) {
    e.setNozzleSize(0, 0, 0);
    e.setParentMotion(0);
    e.setResistance(0, 0);
    e.setLifeTime(100, 0);
    e.updateEmitter(1000);
    at(1, 0, 0);
    e.updateEmitter(1100);
    std::vector<SQeParticleInstance> live = liveParticles(e);
    ASSERT_EQ(10u, live.size());
    for (size_t i = 0; i < live.size(); ++i) {
        EXPECT_NEAR(1.0f - static_cast<f32>(i) / 10.0f, live[i].x, 1e-6f) << i;
        EXPECT_FLOAT_EQ(101.1f, live[i].death);
    }
    EXPECT_EQ(4, e.fillInstances(live.data(), 4));  // at most max records
}

// Draws per particle: the life, the nozzle's, then three for the vibration direction; the start velocity is
// vibration × R normalised + explosion × the nozzle direction, and a particle born in the update moves the step.
TEST_F(Emitter, ExplosionAndVibrationFollowTheDrawOrder) {
    e.setBirthRate(10);
    e.setNozzleSize(2, 2, 2);
    e.setExplosion(3);
    e.setVibration(2, 0.5f);
    e.setResistance(0, 0);
    e.setLifeTime(1, 0.5f);
    e.updateEmitter(1000);
    qetest::ReplayRandom r{qeParticleRandomState()};
    e.updateEmitter(1100);  // one particle
    ASSERT_EQ(1u, e.getParticleCount());
    const f32 life = 1 + (r.u() - 0.5f) * 0.5f;
    const f32 p[3] = {(r.u() - 0.5f) * 2, (r.u() - 0.5f) * 2, (r.u() - 0.5f) * 2};
    const f32 rv[3] = {r.u() - 0.5f, r.u() - 0.5f, r.u() - 0.5f};
    EXPECT_EQ(r.state, qeParticleRandomState());
    const SQeParticle* q = e.getSettings()->liveTail;
    EXPECT_FLOAT_EQ(1.1f + life, q->death);
    for (int c = 0; c < 3; ++c) {
        const f32 v = rv[c] / length3(rv) * 2 + p[c] / length3(p) * 3;
        EXPECT_NEAR(v, q->velocity[c], 5 * kRsqrtTolerance) << c;
        EXPECT_NEAR(p[c] + v * 0.1f, q->position[c], 5 * kRsqrtTolerance) << c;
    }
}

TEST_F(Emitter, LifeVariationNeverGivesANegativeLife) {
    e.setBirthRate(2000);
    e.setLifeTime(1, 4);
    e.setResistance(0, 0);
    e.updateEmitter(1000);
    e.updateEmitter(1500);  // 1000 particles, none expired before the walk (death >= now)
    std::vector<SQeParticleInstance> live = liveParticles(e);
    ASSERT_EQ(1000u, live.size());
    int zero = 0;
    for (const SQeParticleInstance& p : live) {
        EXPECT_GE(p.death - p.birth, 0.0f);
        zero += p.death == p.birth;
    }
    EXPECT_GT(zero, 100);  // about a quarter would have been negative
}

}  // namespace
