// Motion of the live particles (expiry, resistance, gravity, Euler step, depth key) and the depth sort.
#include <xmmintrin.h>

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

// One walk per combination of forces, so that the loop carries no test for an absent one.
template <bool Resistance, bool Gravity, bool Key>
u32 walkParticles(SQeParticleBuffer* buffer, SQeParticle*& tail, f32 now, const MotionValues& mv) {
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
        ++live;
        if (last) break;
        prev = cur;
        cur = next;
    }
    return live;
}

typedef u32 (*WalkFunction)(SQeParticleBuffer*, SQeParticle*&, f32, const MotionValues&);

const WalkFunction walks[8] = {
    walkParticles<false, false, false>, walkParticles<false, false, true>, walkParticles<false, true, false>,
    walkParticles<false, true, true>,   walkParticles<true, false, false>, walkParticles<true, false, true>,
    walkParticles<true, true, false>,   walkParticles<true, true, true>,
};

struct List {
    SQeParticle* head = nullptr;
    SQeParticle* tail = nullptr;
    void push(SQeParticle* p) {
        p->next = nullptr;
        if (tail)
            tail->next = p;
        else
            head = p;
        tail = p;
    }
    SQeParticle* pop() {
        SQeParticle* p = head;
        head = p->next;
        if (!head) tail = nullptr;
        return p;
    }
};

}  // namespace

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
    return walks[variant](s->particleBuffer, s->liveTail, now, mv);
}

u32 sortParticlesByDepth(SQeParticle*& tail) {
    if (!tail || tail->next == tail) return 0;
    List in[2];
    in[0].head = tail->next;
    in[0].tail = tail;
    tail->next = nullptr;

    u32 passes = 0;
    for (;;) {
        ++passes;
        List out[2];
        int current = 0;
        while (in[0].head || in[1].head) {
            int from;
            if (!in[1].head) {
                from = 0;
            } else if (!in[0].head) {
                from = 1;
            } else {
                const f32 k0 = in[0].head->depthKey, k1 = in[1].head->depthKey;
                const int larger = k0 > k1 ? 0 : 1;
                if (out[current].tail) {
                    const f32 lastKey = out[current].tail->depthKey;
                    const bool c0 = k0 <= lastKey, c1 = k1 <= lastKey;
                    from = c0 != c1 ? (c0 ? 0 : 1) : larger;
                } else {
                    from = larger;
                }
            }
            SQeParticle* p = in[from].pop();
            // A key above the current run's last one ends the run: the next run goes to the other list.
            if (out[current].tail && p->depthKey > out[current].tail->depthKey) current ^= 1;
            out[current].push(p);
        }
        if (!out[1].head) {
            out[0].tail->next = out[0].head;
            tail = out[0].tail;
            return passes;
        }
        in[0] = out[0];
        in[1] = out[1];
    }
}
