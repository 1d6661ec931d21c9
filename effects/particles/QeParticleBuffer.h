#ifndef QIRN_EFFECTS_PARTICLES_QEPARTICLEBUFFER_H
#define QIRN_EFFECTS_PARTICLES_QEPARTICLEBUFFER_H

#include <irrlicht.h>

// One particle record. Records live in blocks aligned to 64 bytes; at 48 bytes each, the position and
// the velocity of every record sit on 16-byte boundaries and are worked on as aligned 4-wide vectors.
struct SQeParticle {
    SQeParticle* next;  // next record in the buffer's free list or in an emitter's live list
    irr::f32 birth;     // seconds
    irr::f32 death;     // seconds; removed once the clock has passed it
    irr::f32 depthKey;  // squared distance to the viewer (depth-sorted emitters only)
    irr::f32 position[4];  // x, y, z, 1 (w is 0 while the record is free: walks in block order tell them apart by it)
    irr::f32 velocity[4];  // x, y, z, 0; units per second
};

static_assert(sizeof(SQeParticle) == 48, "particle records are 48 bytes on this 32-bit build");

// A block of records and the head of its free list.
struct SQeParticleBuffer {
    SQeParticle* block = nullptr;
    SQeParticle* freeHead = nullptr;
    irr::u32 count = 0;  // records in the block
};

// Number of records of the engine-wide shared buffer.
const irr::s32 QE_SHARED_PARTICLE_COUNT = 0x40000;

// Allocates n records (64-byte aligned) and threads them on the free list. 0 on success or when the
// buffer already has a block; -1 for a negative count or a failed allocation.
irr::s32 allocateParticleRecords(SQeParticleBuffer* buffer, irr::s32 n);

// Frees the block and deletes the buffer record itself.
void destroyParticleBuffer(SQeParticleBuffer* buffer);

// The engine-wide shared buffer: the first acquire creates it, every acquire adds a reference. Null
// when it could not be allocated.
SQeParticleBuffer* acquireSharedParticleBuffer();
// Drops one reference; the last one frees the buffer. Without a buffer or references, nothing happens.
void releaseSharedParticleBuffer();
// The shared buffer (not referenced) and its reference count.
SQeParticleBuffer* getSharedParticleBuffer();
irr::u32 getSharedParticleBufferRefCount();

// Live lists: circular through next, held by their tail (the newest record); tail->next is the oldest.

// Pops a free record; null when none is left or the buffer has no block.
inline SQeParticle* takeParticleRecord(SQeParticleBuffer* buffer) {
    if (!buffer) return nullptr;
    SQeParticle* p = buffer->freeHead;
    if (p) buffer->freeHead = p->next;
    return p;
}

// Appends a record to a live list; the record becomes the tail.
inline void appendParticle(SQeParticle*& tail, SQeParticle* p) {
    if (!tail) {
        p->next = p;
    } else {
        p->next = tail->next;
        tail->next = p;
    }
    tail = p;
}

// Pushes a record on the buffer's free list.
inline void freeParticleRecord(SQeParticleBuffer* buffer, SQeParticle* p) {
    p->position[3] = 0.0f;
    p->next = buffer->freeHead;
    buffer->freeHead = p;
}

// Gives every record of a live list back to the free list; the tail becomes null.
void returnParticleList(SQeParticleBuffer* buffer, SQeParticle*& tail);

// Number of records of a live list.
irr::u32 countParticleList(const SQeParticle* tail);

#endif
