// Motion of the live particles (expiry, resistance, gravity, Euler step, depth key) and the depth sort.
#include <xmmintrin.h>

#include <utility>
#include <vector>

#include "QeParticleSystem.h"

using irr::f32;
using irr::u32;

namespace {

struct MotionValues {
    __m128 keep;     // 1 - k: what resistance leaves of the velocity
    __m128 gravity;  // gravity × dt
    __m128 dt;
    __m128 viewer;
};

// The step of one live particle: resistance, gravity, position and depth key as the variant has them.
template <bool Resistance, bool Gravity, bool Key>
inline void stepParticle(SQeParticle* cur, const MotionValues& mv) {
    __m128 v = _mm_load_ps(cur->velocity);
    if (Resistance) v = _mm_mul_ps(v, mv.keep);
    if (Gravity) v = _mm_add_ps(v, mv.gravity);
    __m128 p = _mm_add_ps(_mm_load_ps(cur->position), _mm_mul_ps(v, mv.dt));
    _mm_store_ps(cur->velocity, v);
    _mm_store_ps(cur->position, p);
    if (Key) {
        __m128 d = _mm_sub_ps(p, mv.viewer);
        d = _mm_mul_ps(d, d);
        d = _mm_add_ps(d, _mm_movehl_ps(d, d));
        d = _mm_add_ss(d, _mm_shuffle_ps(d, d, _MM_SHUFFLE(1, 1, 1, 1)));
        _mm_store_ss(&cur->depthKey, d);
    }
}

// The walk of the live list from its oldest record: expired records are removed in list order (so the
// free list receives them in that order); with Move the others take their step. One walk per
// combination of forces, so that the loop carries no test for an absent one.
template <bool Move, bool Resistance, bool Gravity, bool Key>
u32 walkList(SQeParticleBuffer* buffer, SQeParticle*& tail, f32 now, const MotionValues& mv) {
    if (!tail) return 0;
    SQeParticle* prev = tail;
    SQeParticle* cur = tail->next;
    u32 live = 0;
    for (;;) {
        SQeParticle* next = cur->next;
        const bool last = cur == tail;
        _mm_prefetch(reinterpret_cast<const char*>(next), _MM_HINT_NTA);
        if (cur->death < now) {
            if (cur == prev) {
                // The only record of the list.
                tail = nullptr;
                freeParticleRecord(buffer, cur);
                break;
            }
            prev->next = next;
            if (last) tail = prev;
            freeParticleRecord(buffer, cur);
            if (last) break;
            cur = next;
            continue;
        }
        if (Move) stepParticle<Resistance, Gravity, Key>(cur, mv);
        ++live;
        if (last) break;
        prev = cur;
        cur = next;
    }
    return live;
}

// The same update with the steps made in block order, for an emitter whose buffer is its own and
// mostly live: every record of the block is either free (position w 0) or in this list, and a step's
// result does not depend on the order of the records. Only when some record has expired does the list
// walk follow, to remove them in list order.
template <bool Resistance, bool Gravity, bool Key>
u32 walkBlock(SQeParticleBuffer* buffer, SQeParticle*& tail, f32 now, const MotionValues& mv) {
    if (!tail) return 0;
    u32 live = 0, expired = 0;
    for (SQeParticle *cur = buffer->block, *end = buffer->block + buffer->count; cur != end; ++cur) {
        if (cur->position[3] != 1.0f) continue;
        if (cur->death < now) {
            ++expired;
            continue;
        }
        stepParticle<Resistance, Gravity, Key>(cur, mv);
        ++live;
    }
    if (expired) walkList<false, false, false, false>(buffer, tail, now, mv);
    return live;
}

typedef u32 (*WalkFunction)(SQeParticleBuffer*, SQeParticle*&, f32, const MotionValues&);

const WalkFunction listWalks[8] = {
    walkList<true, false, false, false>, walkList<true, false, false, true>, walkList<true, false, true, false>,
    walkList<true, false, true, true>,   walkList<true, true, false, false>, walkList<true, true, false, true>,
    walkList<true, true, true, false>,   walkList<true, true, true, true>,
};

const WalkFunction blockWalks[8] = {
    walkBlock<false, false, false>, walkBlock<false, false, true>, walkBlock<false, true, false>,
    walkBlock<false, true, true>,   walkBlock<true, false, false>, walkBlock<true, false, true>,
    walkBlock<true, true, false>,   walkBlock<true, true, true>,
};

// A record's key and its place in the list as the sort found it.
struct SortEntry {
    f32 key;
    u32 index;
};

// Working memory of the depth sort, kept between calls so that a frame allocates nothing once the
// largest list has been seen: the records in list order and two buffers of keys. A pass reads one
// buffer and writes the other; in each, the first list runs forward from the start and the second
// backward from the end, so that the two lists of a pass always fit in one buffer of n entries.
struct SortScratch {
    std::vector<SQeParticle*> records;
    std::vector<SortEntry> keys[2];
};

SortScratch* sortScratch = nullptr;

}  // namespace

void releaseParticleSortScratch() {
    delete sortScratch;
    sortScratch = nullptr;
}

u32 moveParticles(SQeFxEmitterSettings* s, f32 now, f32 dt) {
    if (!s->liveTail) return 0;
    const bool resistance = s->resistance != 0.0f;
    const bool gravity = s->gravity[0] != 0.0f || s->gravity[1] != 0.0f || s->gravity[2] != 0.0f;
    const bool key = s->depthSort != 0;

    // The drag factor of the step. A long step (a node shown again after a long hide) or a weight of 0
    // would take more than the whole velocity and flip it, a negative one would feed it: the factor is
    // kept between 0 (no drag) and 1 (the particle stops).
    f32 k = s->resistance / s->weight * dt;
    if (!(k > 0.0f)) k = 0.0f;
    if (k > 1.0f) k = 1.0f;

    MotionValues mv;
    mv.keep = _mm_set1_ps(1.0f - k);
    mv.gravity = _mm_mul_ps(_mm_set_ps(0.0f, s->gravity[2], s->gravity[1], s->gravity[0]), _mm_set1_ps(dt));
    mv.dt = _mm_set1_ps(dt);
    mv.viewer = _mm_loadu_ps(s->viewerPosition);
    const int variant = (resistance ? 4 : 0) | (gravity ? 2 : 0) | (key ? 1 : 0);
    // Block order pays once the list holds a quarter of the block: below that, walking the free
    // records costs more than following the links.
    const SQeParticleBuffer* b = s->particleBuffer;
    const bool blockOrder = b && !s->usesSharedBuffer && b->count && s->liveCount >= b->count / 4;
    return (blockOrder ? blockWalks : listWalks)[variant](s->particleBuffer, s->liveTail, now, mv);
}

u32 sortParticlesByDepth(SQeParticle*& tail) {
    if (!tail || tail->next == tail) return 0;
    if (!sortScratch) sortScratch = new SortScratch();
    SortScratch& scratch = *sortScratch;

    // The keys are gathered in list order, oldest first; the passes below move only keys and indices,
    // and the records are relinked once at the end.
    std::vector<SQeParticle*>& records = scratch.records;
    records.clear();
    for (SQeParticle* p = tail->next;; p = p->next) {
        records.push_back(p);
        if (p == tail) break;
    }
    const u32 n = static_cast<u32>(records.size());
    for (std::vector<SortEntry>& k : scratch.keys)
        if (k.size() < n) k.resize(n);
    SortEntry* in = scratch.keys[0].data();
    SortEntry* out = scratch.keys[1].data();
    for (u32 i = 0; i < n; ++i) in[i] = SortEntry{records[i]->depthKey, i};

    // The passes of the natural merge: input list 0 is in[0, n0) read forward, input list 1 is
    // in[n - n1, n) read backward from its last entry; output lists likewise in out.
    u32 n0 = n, n1 = 0;
    u32 passes = 0;
    for (;;) {
        ++passes;
        u32 r0 = 0, r1 = n - 1;              // heads of the two input lists
        const u32 end0 = n0, end1 = n - n1;  // r0 < end0 and r1 + 1 > end1 while records are left
        u32 w0 = 0, w1 = n;                  // out[0, w0) and out[w1, n)
        f32 last[2] = {0.0f, 0.0f};          // key of the record last appended to each output list
        int current = 0;
        bool started[2] = {false, false};
        for (u32 left = n; left; --left) {
            int from;
            if (r1 + 1 <= end1) {
                from = 0;
            } else if (r0 >= end0) {
                from = 1;
            } else {
                const f32 k0 = in[r0].key, k1 = in[r1].key;
                const int larger = k0 > k1 ? 0 : 1;
                if (started[current]) {
                    const bool c0 = k0 <= last[current], c1 = k1 <= last[current];
                    from = c0 != c1 ? (c0 ? 0 : 1) : larger;
                } else {
                    from = larger;
                }
            }
            const SortEntry e = from == 0 ? in[r0++] : in[r1--];
            // A key above the current run's last one ends the run: the next run goes to the other list.
            if (started[current] && e.key > last[current]) current ^= 1;
            if (current == 0)
                out[w0++] = e;
            else
                out[--w1] = e;
            last[current] = e.key;
            started[current] = true;
        }
        if (w1 == n) break;
        n0 = w0;
        n1 = n - w1;
        std::swap(in, out);
    }

    // One relink in the sorted order; the list stays circular through its new tail.
    for (u32 i = 0; i + 1 < n; ++i) records[out[i].index]->next = records[out[i + 1].index];
    tail = records[out[n - 1].index];
    tail->next = records[out[0].index];
    return passes;
}
