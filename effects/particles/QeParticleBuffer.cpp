#include "QeParticleBuffer.h"

#include <malloc.h>

#include <new>

#include "QeLog.h"
#include "QeParticleSystem.h"

namespace {
SQeParticleBuffer* sharedBuffer = nullptr;
irr::u32 sharedRefCount = 0;
}  // namespace

irr::s32 allocateParticleRecords(SQeParticleBuffer* buffer, irr::s32 n) {
    if (!buffer || n < 0) return -1;
    if (buffer->block) return 0;
    const size_t bytes = static_cast<size_t>(n) * sizeof(SQeParticle);
    // A zero-sized request still gets a block so that "has a block" keeps one meaning.
    void* block = _aligned_malloc(bytes ? bytes : sizeof(SQeParticle), 64);
    if (!block) return -1;
    SQeParticle* records = static_cast<SQeParticle*>(block);
    for (irr::s32 i = 0; i < n; ++i) {
        records[i].next = (i + 1 < n) ? &records[i + 1] : nullptr;
        records[i].birth = records[i].death = records[i].depthKey = 0.0f;
        for (int c = 0; c < 4; ++c) records[i].position[c] = records[i].velocity[c] = 0.0f;
    }
    buffer->block = records;
    buffer->freeHead = n > 0 ? records : nullptr;
    buffer->count = static_cast<irr::u32>(n);
    return 0;
}

void destroyParticleBuffer(SQeParticleBuffer* buffer) {
    if (!buffer) return;
    if (buffer->block) _aligned_free(buffer->block);
    buffer->block = nullptr;
    buffer->freeHead = nullptr;
    buffer->count = 0;
    delete buffer;
}

SQeParticleBuffer* acquireSharedParticleBuffer() {
    if (sharedBuffer) {
        ++sharedRefCount;
        return sharedBuffer;
    }
    qeLibLog(irr::ELL_DEBUG, "CQeFxEmitter: Allocate Shared ParticleBuffer");
    SQeParticleBuffer* buffer = new (std::nothrow) SQeParticleBuffer();
    if (!buffer) return nullptr;
    if (allocateParticleRecords(buffer, QE_SHARED_PARTICLE_COUNT) != 0) {
        destroyParticleBuffer(buffer);
        return nullptr;
    }
    sharedBuffer = buffer;
    sharedRefCount = 1;
    return sharedBuffer;
}

void releaseSharedParticleBuffer() {
    if (!sharedBuffer || sharedRefCount == 0) return;
    if (--sharedRefCount == 0) {
        destroyParticleBuffer(sharedBuffer);
        sharedBuffer = nullptr;
        releaseParticleSortScratch();  // nothing is left to sort
    }
}

SQeParticleBuffer* getSharedParticleBuffer() { return sharedBuffer; }
irr::u32 getSharedParticleBufferRefCount() { return sharedRefCount; }

void returnParticleList(SQeParticleBuffer* buffer, SQeParticle*& tail) {
    if (!tail) return;
    SQeParticle* first = tail->next;
    for (SQeParticle* p = first;; p = p->next) {
        p->position[3] = 0.0f;  // free again
        if (p == tail) break;
    }
    // The circle becomes a chain ending at the tail, which is spliced in front of the free list.
    tail->next = buffer ? buffer->freeHead : nullptr;
    if (buffer) buffer->freeHead = first;
    tail = nullptr;
}

irr::u32 countParticleList(const SQeParticle* tail) {
    if (!tail) return 0;
    irr::u32 n = 0;
    const SQeParticle* p = tail->next;
    do {
        ++n;
        p = p->next;
    } while (p != tail->next);
    return n;
}
