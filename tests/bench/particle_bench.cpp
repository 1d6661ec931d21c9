// Depth-sorted particle update (motion, depth keys and the sort) of 262,144 particles against a floor
// of the same arithmetic over the records in memory order, gathering the keys, std::sort and one relink.
#include <xmmintrin.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "bench_common.h"
#include "particles/QeParticleBuffer.h"
#include "particles/QeParticleSystem.h"

namespace {

const irr::u32 kCount = 262144;
const float kDt = 1.0f / 60.0f;

// A buffer of kCount live particles spread over a box, moving at random, spawned in memory order.
SQeFxEmitterSettings* makeEmitter() {
    SQeFxEmitterSettings* s = new SQeFxEmitterSettings();
    s->particleBuffer = new SQeParticleBuffer();
    if (allocateParticleRecords(s->particleBuffer, static_cast<irr::s32>(kCount)) != 0) std::exit(1);
    s->depthSort = 1;
    s->weight = 1.0f;
    s->resistance = 0.2f;
    s->gravity[1] = -9.8f;
    const float viewer[4] = {0, 0, -60, 1};
    std::copy(viewer, viewer + 4, s->viewerPosition);
    std::mt19937 rng(2024);
    std::uniform_real_distribution<float> spread(-20.0f, 20.0f), speed(-3.0f, 3.0f);
    for (irr::u32 i = 0; i < kCount; ++i) {
        SQeParticle* p = takeParticleRecord(s->particleBuffer);
        p->birth = 0.0f;
        p->death = 1.0e9f;
        const float position[4] = {spread(rng), spread(rng), spread(rng), 1.0f};
        const float velocity[4] = {speed(rng), speed(rng), speed(rng), 0.0f};
        std::copy(position, position + 4, p->position);
        std::copy(velocity, velocity + 4, p->velocity);
        appendParticle(s->liveTail, p);
    }
    s->liveCount = kCount;
    return s;
}

void dropEmitter(SQeFxEmitterSettings* s) {
    s->liveTail = nullptr;
    destroyParticleBuffer(s->particleBuffer);
    delete s;
}

struct KeyIndex {
    float key;
    irr::u32 index;
};

// The floor's frame: every record of the block is live, so the arithmetic walks the block.
void floorFrame(SQeFxEmitterSettings* s, std::vector<KeyIndex>& keys) {
    SQeParticle* block = s->particleBuffer->block;
    const __m128 keep = _mm_set1_ps(1.0f - s->resistance / s->weight * kDt);
    const __m128 gravity = _mm_mul_ps(_mm_set_ps(0.0f, s->gravity[2], s->gravity[1], s->gravity[0]), _mm_set1_ps(kDt));
    const __m128 dt = _mm_set1_ps(kDt), viewer = _mm_loadu_ps(s->viewerPosition);
    for (irr::u32 i = 0; i < kCount; ++i) {
        SQeParticle* p = &block[i];
        __m128 v = _mm_add_ps(_mm_mul_ps(_mm_load_ps(p->velocity), keep), gravity);
        __m128 q = _mm_add_ps(_mm_load_ps(p->position), _mm_mul_ps(v, dt));
        _mm_store_ps(p->velocity, v);
        _mm_store_ps(p->position, q);
        __m128 d = _mm_sub_ps(q, viewer);
        d = _mm_mul_ps(d, d);
        d = _mm_add_ps(d, _mm_movehl_ps(d, d));
        d = _mm_add_ss(d, _mm_shuffle_ps(d, d, _MM_SHUFFLE(1, 1, 1, 1)));
        _mm_store_ss(&p->depthKey, d);
        keys[i] = KeyIndex{p->depthKey, i};
    }
    std::sort(keys.begin(), keys.end(), [](const KeyIndex& a, const KeyIndex& b) { return a.key > b.key; });
    for (irr::u32 i = 0; i + 1 < kCount; ++i) block[keys[i].index].next = &block[keys[i + 1].index];
    block[keys[kCount - 1].index].next = &block[keys[0].index];
    s->liveTail = &block[keys[kCount - 1].index];
}

}  // namespace

int main() {
    const int frames = 7;
    SQeFxEmitterSettings* ours = makeEmitter();
    SQeFxEmitterSettings* floor = makeEmitter();
    std::vector<KeyIndex> keys(kCount);
    std::vector<double> oursMs, floorMs;
    float now = 0.0f;
    for (int f = 0; f <= frames; ++f) {
        now += kDt;
        irr::u32 live = 0;
        oursMs.push_back(qebench::timeMs([&] {
            live = ours->liveCount = moveParticles(ours, now, kDt);
            sortParticlesByDepth(ours->liveTail);
        }));
        floorMs.push_back(qebench::timeMs([&] { floorFrame(floor, keys); }));
        if (live != kCount) {
            qebench::detail("particles lost: %u live\n", live);
            return 1;
        }
    }
    // The first frame sorts from spawn order; the others keep a list that the previous frame sorted.
    qebench::detail("particles first frame (from spawn order): %.1f ms, floor %.1f ms, ratio %.2f\n", oursMs[0],
                    floorMs[0], oursMs[0] / floorMs[0]);
    const std::vector<double> steadyOurs(oursMs.begin() + 1, oursMs.end());
    const std::vector<double> steadyFloor(floorMs.begin() + 1, floorMs.end());
    const std::vector<double> r = qebench::ratios(steadyOurs, steadyFloor);
    qebench::detail("particles %u sorted update: median %.1f ms, floor %.1f ms, frame ratios %.2f-%.2f over %d frames\n",
                    kCount, qebench::median(steadyOurs), qebench::median(steadyFloor), qebench::lowest(r),
                    qebench::highest(r), frames);
    qebench::figure("particles-sorted-vs-floor", qebench::median(steadyOurs) / qebench::median(steadyFloor));
    dropEmitter(ours);
    dropEmitter(floor);
    releaseParticleSortScratch();
    return 0;
}
