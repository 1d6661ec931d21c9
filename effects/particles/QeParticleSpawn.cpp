// Spawning: the particle random generator, the five nozzles and the spawn loop.
#include <emmintrin.h>
#include <xmmintrin.h>

#include <cstring>

#include "QeParticleSystem.h"

using irr::f32;
using irr::u32;

namespace {

u32 particleRandomState = 0;

inline f32 uniform() { return static_cast<f32>(qeParticleRandom()) / 32767.0f; }

// v times the estimated reciprocal length of its x, y, z (w takes part as given, callers pass w = 0).
// A zero-length vector stays zero instead of turning into infinities.
inline __m128 normalise(__m128 v) {
    __m128 sq = _mm_mul_ps(v, v);
    __m128 sum = _mm_add_ss(_mm_add_ss(sq, _mm_shuffle_ps(sq, sq, _MM_SHUFFLE(1, 1, 1, 1))),
                            _mm_shuffle_ps(sq, sq, _MM_SHUFFLE(2, 2, 2, 2)));
    sum = _mm_add_ss(sum, _mm_shuffle_ps(sq, sq, _MM_SHUFFLE(3, 3, 3, 3)));
    if (!(_mm_cvtss_f32(sum) > 0.0f)) return _mm_setzero_ps();
    __m128 r = _mm_rsqrt_ss(sum);
    r = _mm_shuffle_ps(r, r, 0);
    __m128 out = _mm_mul_ps(v, r);
    // A length too small for the estimate's range still must not give infinities.
    __m128 bad = _mm_cmpunord_ps(_mm_sub_ps(out, out), _mm_setzero_ps());
    return _mm_andnot_ps(bad, out);
}

inline void store4(f32 out[4], __m128 v) { _mm_storeu_ps(out, v); }

// Vertex positions and normals of a mesh buffer, with every index checked.
struct MeshBufferView {
    irr::scene::IMeshBuffer* buffer = nullptr;
    u32 vertexCount = 0;
    u32 indexCount = 0;
};

inline MeshBufferView viewBuffer(irr::scene::IMesh* mesh, u32 i) {
    MeshBufferView v;
    v.buffer = mesh->getMeshBuffer(i);
    if (v.buffer) {
        v.vertexCount = v.buffer->getVertexCount();
        v.indexCount = v.buffer->getIndexCount();
        if (!v.buffer->getIndices()) v.indexCount = 0;
    }
    return v;
}

inline u32 indexAt(const MeshBufferView& v, u32 i) {
    u32 index;
    if (v.buffer->getIndexType() == irr::video::EIT_32BIT)
        index = static_cast<const u32*>(static_cast<const void*>(v.buffer->getIndices()))[i];
    else
        index = v.buffer->getIndices()[i];
    // An index past the vertices (a broken mesh) is folded back into range rather than read outside.
    return index < v.vertexCount ? index : index % v.vertexCount;
}

inline bool usableForTriangles(const MeshBufferView& v) { return v.buffer && v.vertexCount > 0 && v.indexCount >= 3; }

// Walks the mesh vertex by vertex across calls; empty buffers are passed over.
bool nozzleMeshVertex(SQeFxEmitterSettings* s, f32 point[4], f32 direction[4], bool normals) {
    irr::scene::IMesh* mesh = s->nozzleMesh;
    const u32 bufferCount = mesh->getMeshBufferCount();
    if (bufferCount == 0) return false;
    if (s->meshBufferCursor >= bufferCount) {
        s->meshBufferCursor = 0;
        s->meshVertexCursor = 0;
    }
    for (u32 tries = 0; tries <= bufferCount; ++tries) {
        MeshBufferView v = viewBuffer(mesh, s->meshBufferCursor);
        if (s->meshVertexCursor < v.vertexCount) {
            const irr::core::vector3df& p = v.buffer->getPosition(s->meshVertexCursor);
            const irr::core::vector3df& d = normals ? v.buffer->getNormal(s->meshVertexCursor) : p;
            point[0] = p.X;
            point[1] = p.Y;
            point[2] = p.Z;
            point[3] = 1.0f;
            direction[0] = d.X;
            direction[1] = d.Y;
            direction[2] = d.Z;
            direction[3] = 0.0f;
            if (++s->meshVertexCursor >= v.vertexCount) {
                s->meshVertexCursor = 0;
                if (++s->meshBufferCursor >= bufferCount) s->meshBufferCursor = 0;
            }
            return true;
        }
        s->meshVertexCursor = 0;
        if (++s->meshBufferCursor >= bufferCount) s->meshBufferCursor = 0;
    }
    return false;
}

bool nozzleMeshTriangle(SQeFxEmitterSettings* s, f32 point[4], f32 direction[4]) {
    irr::scene::IMesh* mesh = s->nozzleMesh;
    const u32 bufferCount = mesh->getMeshBufferCount();
    if (bufferCount == 0) return false;
    u32 b = static_cast<u32>(uniform() * (static_cast<f32>(bufferCount) - 0.001f));
    if (b >= bufferCount) b = bufferCount - 1;
    // A buffer without a whole triangle hands over to the next one that has one.
    MeshBufferView v;
    u32 tries = 0;
    for (; tries < bufferCount; ++tries) {
        v = viewBuffer(mesh, (b + tries) % bufferCount);
        if (usableForTriangles(v)) break;
    }
    if (tries == bufferCount) return false;
    const u32 triangles = v.indexCount / 3;
    u32 t = static_cast<u32>(uniform() * (static_cast<f32>(triangles) - 0.001f));
    if (t >= triangles) t = triangles - 1;
    const irr::core::vector3df& c0 = v.buffer->getPosition(indexAt(v, 3 * t));
    const irr::core::vector3df& c1 = v.buffer->getPosition(indexAt(v, 3 * t + 1));
    const irr::core::vector3df& c2 = v.buffer->getPosition(indexAt(v, 3 * t + 2));
    const f32 sq = qeParticleFastSqrt(uniform());
    const f32 w = uniform();
    const f32 a = 1.0f - sq, bb = sq * (1.0f - w), c = sq * w;
    point[0] = a * c0.X + bb * c1.X + c * c2.X;
    point[1] = a * c0.Y + bb * c1.Y + c * c2.Y;
    point[2] = a * c0.Z + bb * c1.Z + c * c2.Z;
    point[3] = 1.0f;
    store4(direction, normalise(_mm_set_ps(0.0f, point[2], point[1], point[0])));
    return true;
}

}  // namespace

u32 qeParticleRandom() {
    particleRandomState = particleRandomState * 214013u + 2531011u;
    return (particleRandomState >> 16) & 0x7FFF;
}

u32 qeParticleRandomState() { return particleRandomState; }

f32 qeParticleFastSqrt(f32 x) {
    u32 bits;
    std::memcpy(&bits, &x, sizeof(bits));
    bits = 0x5F3759DFu - (bits >> 1);
    f32 y;
    std::memcpy(&y, &bits, sizeof(y));
    y = y * (1.5f - 0.5f * x * y * y);
    y = y * (1.5f - 0.5f * x * y * y);
    return x * y;
}

bool qeParticleNozzle(SQeFxEmitterSettings* s, f32 point[4], f32 direction[4]) {
    switch (s->nozzleKind) {
    case EQNK_BOX: {
        const f32 u1 = uniform(), u2 = uniform(), u3 = uniform();
        __m128 p = _mm_set_ps(0.0f, (u3 - 0.5f) * s->nozzleSize[2], (u2 - 0.5f) * s->nozzleSize[1],
                              (u1 - 0.5f) * s->nozzleSize[0]);
        store4(point, p);
        point[3] = 1.0f;
        store4(direction, normalise(p));
        return true;
    }
    case EQNK_SPHERE: {
        const f32 u1 = uniform(), u2 = uniform(), u3 = uniform(), u4 = uniform();
        __m128 v = normalise(_mm_set_ps(0.0f, u3 - 0.5f, u2 - 0.5f, u1 - 0.5f));
        v = _mm_mul_ps(v, _mm_set1_ps(0.5f * u4));
        __m128 p = _mm_mul_ps(v, _mm_set_ps(0.0f, s->nozzleSize[2], s->nozzleSize[1], s->nozzleSize[0]));
        store4(point, p);
        point[3] = 1.0f;
        store4(direction, normalise(p));
        return true;
    }
    case EQNK_MESH_VERTICES:
        return s->nozzleMesh && nozzleMeshVertex(s, point, direction, false);
    case EQNK_MESH_NORMALS:
        return s->nozzleMesh && nozzleMeshVertex(s, point, direction, true);
    case EQNK_MESH_TRIANGLES:
        return s->nozzleMesh && nozzleMeshTriangle(s, point, direction);
    default:
        return false;
    }
}

namespace {

// True when the nozzle can give at least one point; checked once per spawn pass so that a mesh
// nozzle over an unusable mesh takes no record.
bool nozzleReady(const SQeFxEmitterSettings* s) {
    switch (s->nozzleKind) {
    case EQNK_BOX:
    case EQNK_SPHERE:
        return true;
    case EQNK_MESH_VERTICES:
    case EQNK_MESH_NORMALS:
    case EQNK_MESH_TRIANGLES: {
        if (!s->nozzleMesh) return false;
        const u32 count = s->nozzleMesh->getMeshBufferCount();
        for (u32 i = 0; i < count; ++i) {
            MeshBufferView v = viewBuffer(s->nozzleMesh, i);
            if (s->nozzleKind == EQNK_MESH_TRIANGLES ? usableForTriangles(v) : (v.buffer && v.vertexCount > 0))
                return true;
        }
        return false;
    }
    default:
        return false;
    }
}

inline __m128 transformRows(const __m128 rows[4], __m128 v) {
    const __m128 x = _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 0, 0, 0));
    const __m128 y = _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1));
    const __m128 z = _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 2, 2));
    const __m128 w = _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3));
    return _mm_add_ps(_mm_add_ps(_mm_mul_ps(x, rows[0]), _mm_mul_ps(y, rows[1])),
                      _mm_add_ps(_mm_mul_ps(z, rows[2]), _mm_mul_ps(w, rows[3])));
}

}  // namespace

u32 spawnParticles(SQeFxEmitterSettings* s, f32 now, f32 dt, u32 budget) {
    // How many: the step's share of the birth rate plus the fraction carried from the last step.
    const f32 x = dt * s->birthRate + s->birthCarry;
    u32 n = 0;
    if (x >= 4294967295.0f) {
        n = 0xFFFFFFFFu;
        s->birthCarry = 0.0f;
    } else if (x >= 1.0f) {
        n = static_cast<u32>(x);
        s->birthCarry = x - static_cast<f32>(n);
    } else {
        // A negative or NaN rate makes no particles and carries nothing.
        s->birthCarry = x > 0.0f ? x : 0.0f;
    }
    if (n > budget) n = budget;

    // Frame values, taken even when nothing is spawned.
    __m128 rows[4];
    for (int r = 0; r < 4; ++r) rows[r] = _mm_loadu_ps(s->transform + 4 * r);
    const __m128 cur = _mm_set_ps(1.0f, s->transform[14], s->transform[13], s->transform[12]);
    const __m128 back = _mm_sub_ps(_mm_loadu_ps(s->lastSpawnPosition), cur);
    _mm_storeu_ps(s->lastSpawnPosition, cur);
    const __m128 inherited = _mm_mul_ps(_mm_loadu_ps(s->emitterVelocity), _mm_set1_ps(s->parentMotion));
    const __m128 dInherited = _mm_sub_ps(_mm_loadu_ps(s->lastInheritedVelocity), inherited);
    _mm_storeu_ps(s->lastInheritedVelocity, inherited);

    if (n == 0 || !s->particleBuffer || !nozzleReady(s)) return 0;

    const __m128 velocity = _mm_set_ps(0.0f, s->velocity[2], s->velocity[1], s->velocity[0]);
    const __m128 vibration = _mm_set1_ps(s->vibration);
    const __m128 explosion = _mm_set1_ps(s->explosion);
    const __m128 wOne = _mm_set_ps(1.0f, 0.0f, 0.0f, 0.0f);
    const __m128 xyzMask = _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1));
    const f32 invN = 1.0f / static_cast<f32>(n);

    u32 made = 0;
    for (u32 i = 0; i < n; ++i) {
        SQeParticle* p = takeParticleRecord(s->particleBuffer);
        if (!p) break;

        f32 life = s->lifeTime + (uniform() - 0.5f) * s->lifeTimeVariation;
        if (!(life > 0.0f)) life = 0.0f;

        alignas(16) f32 point[4];
        alignas(16) f32 direction[4];
        if (!qeParticleNozzle(s, point, direction)) {
            // The mesh lost its last usable buffer under us: the record goes back unused.
            freeParticleRecord(s->particleBuffer, p);
            break;
        }
        appendParticle(s->liveTail, p);
        ++made;
        p->birth = now;
        p->death = now + life;
        p->depthKey = 0.0f;
        const __m128 t = _mm_set1_ps(static_cast<f32>(i) * invN);

        __m128 pos = _mm_add_ps(transformRows(rows, _mm_load_ps(point)), _mm_mul_ps(t, back));
        pos = _mm_or_ps(_mm_and_ps(pos, xyzMask), wOne);
        _mm_store_ps(p->position, pos);

        const f32 r1 = uniform() - 0.5f, r2 = uniform() - 0.5f, r3 = uniform() - 0.5f;
        __m128 local = _mm_mul_ps(normalise(_mm_set_ps(0.0f, r3, r2, r1)), vibration);
        local = _mm_add_ps(local, _mm_mul_ps(normalise(_mm_and_ps(_mm_load_ps(direction), xyzMask)), explosion));
        local = _mm_add_ps(local, velocity);
        __m128 vel = transformRows(rows, local);
        vel = _mm_add_ps(_mm_add_ps(vel, inherited), _mm_mul_ps(t, dInherited));
        _mm_store_ps(p->velocity, _mm_and_ps(vel, xyzMask));
    }
    return made;
}
