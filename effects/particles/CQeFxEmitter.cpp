#include "CQeFxEmitter.h"

#include <new>

CQeFxEmitter::CQeFxEmitter() : Settings(new SQeFxEmitterSettings()) {}

CQeFxEmitter::~CQeFxEmitter() {
    releaseBuffer();
    delete Settings;
}

void CQeFxEmitter::releaseBuffer() {
    SQeFxEmitterSettings* s = Settings;
    if (s->usesSharedBuffer) {
        // The live records go back to the shared free list before the reference is given up.
        resetParticles(true);
        if (s->particleBuffer) releaseSharedParticleBuffer();
    } else if (s->particleBuffer) {
        destroyParticleBuffer(s->particleBuffer);
    }
    s->particleBuffer = nullptr;
    s->liveTail = nullptr;
    s->liveCount = 0;
    s->usesSharedBuffer = 0;
}

void CQeFxEmitter::setBirthRate(irr::f32 v) { Settings->birthRate = v; }
void CQeFxEmitter::setNozzleSize(irr::f32 x, irr::f32 y, irr::f32 z) {
    Settings->nozzleSize[0] = x;
    Settings->nozzleSize[1] = y;
    Settings->nozzleSize[2] = z;
}
void CQeFxEmitter::setParticleLimit(irr::u32 limit) { Settings->particleLimit = limit; }
void CQeFxEmitter::setWeight(irr::f32 w, irr::f32 var) {
    Settings->weight = w;
    Settings->weightVariation = var;
}
void CQeFxEmitter::setResistance(irr::f32 r, irr::f32 var) {
    Settings->resistance = r;
    Settings->resistanceVariation = var;
}
void CQeFxEmitter::setLifeTime(irr::f32 seconds, irr::f32 var) {
    Settings->lifeTime = seconds;
    Settings->lifeTimeVariation = var;
}
void CQeFxEmitter::setVelocity(irr::f32 x, irr::f32 y, irr::f32 z) {
    Settings->velocity[0] = x;
    Settings->velocity[1] = y;
    Settings->velocity[2] = z;
    Settings->velocity[3] = 0.0f;
}
void CQeFxEmitter::setExplosion(irr::f32 v) { Settings->explosion = v; }
void CQeFxEmitter::setVibration(irr::f32 v, irr::f32 var) {
    Settings->vibration = v;
    Settings->vibrationVariation = var;
}
void CQeFxEmitter::setGravity(irr::f32 x, irr::f32 y, irr::f32 z) {
    Settings->gravity[0] = x;
    Settings->gravity[1] = y;
    Settings->gravity[2] = z;
    Settings->gravity[3] = 0.0f;
}
void CQeFxEmitter::setParentMotion(irr::f32 v) { Settings->parentMotion = v; }
void CQeFxEmitter::setWorldTransform(const irr::core::matrix4& m) {
    for (int i = 0; i < 16; ++i) Settings->transform[i] = m[i];
}
void CQeFxEmitter::setViewerPosition(irr::f32 x, irr::f32 y, irr::f32 z) {
    Settings->viewerPosition[0] = x;
    Settings->viewerPosition[1] = y;
    Settings->viewerPosition[2] = z;
    Settings->viewerPosition[3] = 1.0f;
}
void CQeFxEmitter::setBlendMode(irr::u8 depthSort) { Settings->depthSort = depthSort; }
void CQeFxEmitter::setNozzleType(irr::u32 kind) { Settings->nozzleKind = kind; }
irr::s32 CQeFxEmitter::setNozzleMesh(irr::scene::IMesh* mesh) {
    Settings->nozzleMesh = mesh;
    Settings->meshBufferCursor = 0;
    Settings->meshVertexCursor = 0;
    return 0;
}
irr::u32 CQeFxEmitter::getParticleCount() { return Settings->liveCount; }
void CQeFxEmitter::resetEmitter() {
    resetParticles(false);
    Settings->emittedCount = 0;
}
void CQeFxEmitter::resetEmittedCount() { Settings->emittedCount = 0; }

irr::s32 CQeFxEmitter::initParticleBuffer(irr::s32 count, bool shared) {
    if (count < 0) return -1;
    if (count == 0) count = 0x10000;
    // A second initialisation gives the first buffer back before it takes the new one.
    releaseBuffer();
    SQeFxEmitterSettings* s = Settings;
    if (shared) {
        s->usesSharedBuffer = 1;
        s->particleBuffer = acquireSharedParticleBuffer();
    } else {
        s->usesSharedBuffer = 0;
        s->particleBuffer = new (std::nothrow) SQeParticleBuffer();
        if (s->particleBuffer && allocateParticleRecords(s->particleBuffer, count) != 0) {
            destroyParticleBuffer(s->particleBuffer);
            s->particleBuffer = nullptr;
        }
    }
    s->liveTail = nullptr;
    s->liveCount = 0;
    return 0;
}

void CQeFxEmitter::updateEmitter(irr::u32 now) {
    SQeFxEmitterSettings* s = Settings;
    const irr::f32* m = s->transform;
    const irr::f32 cur[4] = {m[12], m[13], m[14], 1.0f};
    if (s->lastUpdate == 0) {
        for (int c = 0; c < 4; ++c) s->sampledPosition[c] = s->lastSpawnPosition[c] = cur[c];
        s->lastUpdate = s->lastSample = now;
        return;
    }
    const irr::u32 dtMs = now - s->lastUpdate;
    s->lastUpdate = now;

    const irr::u32 sinceSample = now - s->lastSample;
    if (sinceSample > 10) {
        const irr::f32 scale = 1000.0f / static_cast<irr::f32>(sinceSample);
        for (int c = 0; c < 4; ++c) {
            s->emitterVelocity[c] = (cur[c] - s->sampledPosition[c]) * scale;
            s->sampledPosition[c] = cur[c];
        }
        s->lastSample = now;
    }

    irr::u32 budget = 0xFFFFFFFFu;
    if (s->particleLimit) budget = s->emittedCount >= s->particleLimit ? 0 : s->particleLimit - s->emittedCount;

    const irr::f32 nowS = static_cast<irr::f32>(now) / 1000.0f;
    const irr::f32 dtS = static_cast<irr::f32>(dtMs) / 1000.0f;
    if (budget > 0) {
        const irr::u32 made = spawnParticles(s, nowS, dtS, budget);
        s->emittedCount += made;
        s->liveCount += made;
    }
    s->liveCount = moveAndSortParticles(s, nowS, dtS);
}

irr::s32 CQeFxEmitter::fillInstances(SQeParticleInstance* dst, irr::s32 max) {
    SQeParticle* tail = Settings->liveTail;
    if (!tail || !dst || max <= 0) return 0;
    irr::s32 n = 0;
    const SQeParticle* p = tail->next;
    for (;;) {
        SQeParticleInstance& r = dst[n++];
        r.x = p->position[0];
        r.y = p->position[1];
        r.z = p->position[2];
        r.birth = p->birth;
        r.death = p->death;
        r.zero = 0.0f;
        if (p == tail || n >= max) break;
        p = p->next;
    }
    return n;
}

void CQeFxEmitter::resetParticles(bool onlyIfShared) {
    SQeFxEmitterSettings* s = Settings;
    if (onlyIfShared && !s->usesSharedBuffer) return;
    returnParticleList(s->particleBuffer, s->liveTail);
    s->liveCount = 0;
    s->birthCarry = 0.0f;
    s->lastUpdate = 0;
}

void CQeFxEmitter::addParticle(irr::f32 x, irr::f32 y, irr::f32 z, irr::u32 birthMs, irr::u32 deathMs) {
    SQeFxEmitterSettings* s = Settings;
    SQeParticle* p = takeParticleRecord(s->particleBuffer);
    if (!p) return;
    appendParticle(s->liveTail, p);
    p->birth = static_cast<irr::f32>(birthMs) / 1000.0f;
    p->death = static_cast<irr::f32>(deathMs) / 1000.0f;
    p->depthKey = 0.0f;
    p->position[0] = x;
    p->position[1] = y;
    p->position[2] = z;
    p->position[3] = 1.0f;
    for (int c = 0; c < 4; ++c) p->velocity[c] = 0.0f;
    ++s->liveCount;
}

bool CQeFxEmitter::placeRecord(irr::u32 index, irr::f32 x, irr::f32 y, irr::f32 z) {
    SQeFxEmitterSettings* s = Settings;
    SQeParticleBuffer* buffer = s->particleBuffer;
    if (s->usesSharedBuffer || !buffer || !buffer->block || index >= buffer->count) return false;
    SQeParticle& p = buffer->block[index];
    p.position[0] = x;
    p.position[1] = y;
    p.position[2] = z;
    return true;
}
