#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "effects_fixture.h"
#include "particles/CQeFxEmitter.h"
#include "particles/QeParticleBuffer.h"
#include "QeLog.h"
#include "particles/QeParticleSystem.h"

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

}  // namespace
