// Depth-sorted particle updates against a floor of the same arithmetic over the same number of records
// in memory order, std::sort of their keys and one relink:
// - particles-sorted-vs-floor: motion, depth keys and the sort of 262,144 particles that fill a buffer of
//   their own (moved in block order), without births or deaths;
// - particles-emitter-vs-floor: the path of the emitters that scenes and scripts make: a box emitter made
//   by the engine's fx-emitter functions on the shared buffer, alpha blended (so depth-sorted), updated by
//   its node's animation at a steady state of births and deaths; the worst of 16k, 65k and 262k particles.
#include <xmmintrin.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "bench_common.h"
#include "engine.h"
#include "fxemitter.h"
#include "fxemitter_internal.h"
#include "particles/IQeParticleSystemSceneNode.h"
#include "particles/QeParticleBuffer.h"
#include "particles/QeParticleSystem.h"
#include "sys.h"

namespace {

const irr::u32 kCount = 262144;
const float kDt = 1.0f / 60.0f;

// A buffer of count live particles spread over a box, moving at random, spawned in memory order.
SQeFxEmitterSettings* makeEmitter(irr::u32 count) {
    SQeFxEmitterSettings* s = new SQeFxEmitterSettings();
    s->particleBuffer = new SQeParticleBuffer();
    if (allocateParticleRecords(s->particleBuffer, static_cast<irr::s32>(count)) != 0) std::exit(1);
    s->depthSort = 1;
    s->weight = 1.0f;
    s->resistance = 0.2f;
    s->gravity[1] = -9.8f;
    const float viewer[4] = {0, 0, -60, 1};
    std::copy(viewer, viewer + 4, s->viewerPosition);
    std::mt19937 rng(2024);
    std::uniform_real_distribution<float> spread(-20.0f, 20.0f), speed(-3.0f, 3.0f);
    for (irr::u32 i = 0; i < count; ++i) {
        SQeParticle* p = takeParticleRecord(s->particleBuffer);
        p->birth = 0.0f;
        p->death = 1.0e9f;
        const float position[4] = {spread(rng), spread(rng), spread(rng), 1.0f};
        const float velocity[4] = {speed(rng), speed(rng), speed(rng), 0.0f};
        std::copy(position, position + 4, p->position);
        std::copy(velocity, velocity + 4, p->velocity);
        appendParticle(s->liveTail, p);
    }
    s->liveCount = count;
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
    const irr::u32 count = s->particleBuffer->count;
    const __m128 keep = _mm_set1_ps(1.0f - s->resistance / s->weight * kDt);
    const __m128 gravity = _mm_mul_ps(_mm_set_ps(0.0f, s->gravity[2], s->gravity[1], s->gravity[0]), _mm_set1_ps(kDt));
    const __m128 dt = _mm_set1_ps(kDt), viewer = _mm_loadu_ps(s->viewerPosition);
    keys.resize(count);
    for (irr::u32 i = 0; i < count; ++i) {
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
    for (irr::u32 i = 0; i + 1 < count; ++i) block[keys[i].index].next = &block[keys[i + 1].index];
    block[keys[count - 1].index].next = &block[keys[0].index];
    s->liveTail = &block[keys[count - 1].index];
}

// particles-sorted-vs-floor: the update of an emitter that fills its own buffer and never loses a particle.
double sortedFigure() {
    const int frames = 7;
    SQeFxEmitterSettings* ours = makeEmitter(kCount);
    SQeFxEmitterSettings* floor = makeEmitter(kCount);
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
            std::exit(1);
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
    dropEmitter(ours);
    dropEmitter(floor);
    return qebench::median(steadyOurs) / qebench::median(steadyFloor);
}

// particles-emitter-vs-floor at one size: a box emitter as MakeFxEmitterBox and SetFxEmitterBlendMode 1 make
// it, with a birth rate that keeps about count particles alive for a life of one second (a tenth of it
// as variation, as the command sets it), some vibration, resistance and gravity, 60 units in front of the
// camera. Its node animates at 60 frames a second: a second and a half to fill up and settle, then the
// frames measured, the first of them included, each paired with a floor frame over as many particles.
double emitterRatio(irr::u32 count) {
    const int id = 1;
    const float life = 1.0f;
    if (qeIrrlichtMakeFxEmitterBox(id, nullptr, 40, 40, 40) != 0) {
        qebench::detail("the fx emitter was not made\n");
        std::exit(1);
    }
    qeIrrlichtSetFxEmitterBlendMode(id, 1);
    qeIrrlichtSetFxEmitterLifeTime(id, life, life / 10);
    qeIrrlichtSetFxEmitterBirthRate(id, static_cast<float>(count) / life);
    qeIrrlichtSetFxEmitterVibration(id, 4.0f);
    qeIrrlichtSetFxEmitterResistance(id, 0.2f);
    qeIrrlichtSetFxEmitterGravity(id, 0, -2, 0);
    qeIrrlichtPositionFxEmitter(id, 0, 0, 60);
    IQeParticleSystemSceneNode* node = qeIrrlichtGetFxEmitterEntry(id)->node;
    IQeFxEmitter* emitter = node->getEmitter();

    irr::u32 now = 1000;
    const auto step = [&](int frame) { return frame % 3 == 2 ? 17u : 16u; };  // 60 frames a second
    double fillWorst = 0.0;
    int frame = 0;
    for (; now < 1000 + 1500; ++frame) {
        fillWorst = std::max(fillWorst, qebench::timeMs([&] { node->OnAnimate(now); }));
        now += step(frame);
    }
    const irr::u32 live = emitter->getParticleCount();
    SQeFxEmitterSettings* floor = makeEmitter(live);
    std::vector<KeyIndex> keys;
    std::vector<double> oursMs, floorMs;
    irr::u32 lowest = live, highest = live;
    const int frames = 15;
    for (int f = 0; f < frames; ++f, ++frame) {
        oursMs.push_back(qebench::timeMs([&] { node->OnAnimate(now); }));
        now += step(frame);
        floorMs.push_back(qebench::timeMs([&] { floorFrame(floor, keys); }));
        lowest = std::min(lowest, emitter->getParticleCount());
        highest = std::max(highest, emitter->getParticleCount());
    }
    dropEmitter(floor);
    qeIrrlichtDeleteFxEmitter(id);
    const std::vector<double> r = qebench::ratios(oursMs, floorMs);
    const double ratio = qebench::median(oursMs) / qebench::median(floorMs);
    qebench::detail("particles emitter at %u (%u-%u live): median %.1f ms (first %.1f), floor %.1f ms for %u, "
                    "ratio %.2f (frames %.2f-%.2f over %d); slowest fill-up frame %.1f ms\n",
                    count, lowest, highest, qebench::median(oursMs), oursMs[0], qebench::median(floorMs), live, ratio,
                    qebench::lowest(r), qebench::highest(r), frames, fillWorst);
    return ratio;
}

}  // namespace

int main() {
    const double sorted = sortedFigure();
    releaseParticleSortScratch();

    DeviceSettings settings;
    qeDeviceSettingsClear(&settings);
    settings.width = 64;
    settings.height = 64;
    settings.lightPrePass = 0;
    settings.baseDirectory = QIRN_OUTPUT_DIR;
    if (qeIrrlichtSetup(&settings) != 0) {
        qebench::detail("the engine did not start\n");
        return 1;
    }
    double worst = 0.0;
    for (irr::u32 count : {16384u, 65536u, 262144u}) worst = std::max(worst, emitterRatio(count));
    qeIrrlichtTerm();

    qebench::figure("particles-sorted-vs-floor", sorted);
    qebench::figure("particles-emitter-vs-floor", worst);
    qeSysWaitForDirect3DThreads(2000);  // the exit status holds only then (see sys.h)
    return 0;
}
