#include "CQeD3D9ParticleSystemSceneNode.h"

#include <d3d9.h>

#include <cstring>
#include <new>

#include "QeLog.h"

using namespace irr;

namespace {

// Device objects shared by every Direct3D 9 particle node.
struct SQeD3D9ParticleSharedData {
    u32 valid;
    u32 capacity;
    IDirect3DVertexBuffer9* quadBuffer;
    IDirect3DVertexBuffer9* instanceBuffer;
    IDirect3DVertexDeclaration9* declaration;
    IDirect3DIndexBuffer9* indexBuffer;
};

s32 sharedDataRefCount = 0;
SQeD3D9ParticleSharedData* sharedData = nullptr;

const DWORD kStandardVertexFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;

template <class T>
void releaseObject(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

void releaseDeviceObjects(SQeD3D9ParticleSharedData* data) {
    releaseObject(data->indexBuffer);
    releaseObject(data->declaration);
    releaseObject(data->instanceBuffer);
    releaseObject(data->quadBuffer);
    data->valid = 0;
    data->capacity = 0;
}

void freeSharedData() {
    releaseDeviceObjects(sharedData);
    delete sharedData;
    sharedData = nullptr;
}

bool failStep(SQeD3D9ParticleSharedData* data, const char* step) {
    qeLibLog(ELL_ERROR, "CQeD3D9ParticleSystemSceneNode Error : %s", step);
    releaseDeviceObjects(data);
    return false;
}

bool createDeviceObjects(IDirect3DDevice9* device, SQeD3D9ParticleSharedData* data) {
    std::memset(data, 0, sizeof(*data));
    const u32 capacity = QE_PARTICLE_INSTANCE_CAPACITY;
    if (FAILED(device->CreateVertexBuffer(4 * 2 * sizeof(f32), D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT,
                                          &data->quadBuffer, nullptr)))
        return failStep(data, "CreateVertexBuffer Vertex");
    if (FAILED(device->CreateIndexBuffer(6 * sizeof(u16), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                         &data->indexBuffer, nullptr)))
        return failStep(data, "CreateIndexBuffer");
    if (FAILED(device->CreateVertexBuffer(capacity * sizeof(SQeParticleInstance), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY,
                                          0, D3DPOOL_DEFAULT, &data->instanceBuffer, nullptr)))
        return failStep(data, "CreateVertexBuffer Instance");
    // The particle shader sees what the quad mesh gives it: the corner in TEXCOORD0, the particle
    // position in POSITION0 and (birth, death, 0) in NORMAL0.
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        {1, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {1, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
        D3DDECL_END()};
    if (FAILED(device->CreateVertexDeclaration(elements, &data->declaration)))
        return failStep(data, "CreateVertexDeclaration");
    void* locked = nullptr;
    if (FAILED(data->quadBuffer->Lock(0, 0, &locked, 0)) || !locked) return failStep(data, "vBuf0->Lock");
    const f32 corners[8] = {0, 0, 0, 1, 1, 1, 1, 0};
    std::memcpy(locked, corners, sizeof(corners));
    data->quadBuffer->Unlock();
    locked = nullptr;
    if (FAILED(data->indexBuffer->Lock(0, 0, &locked, 0)) || !locked) return failStep(data, "iBuf->Lock");
    const u16 indices[6] = {0, 2, 1, 0, 3, 2};
    std::memcpy(locked, indices, sizeof(indices));
    data->indexBuffer->Unlock();
    data->valid = 1;
    data->capacity = capacity;
    return true;
}

void drawInstanced(IDirect3DDevice9* device, const SQeD3D9ParticleSharedData* data, u32 n) {
    SQeParticleInstanceBatch batches[QE_PARTICLE_INSTANCE_CAPACITY / QE_PARTICLE_INSTANCE_BATCH + 1];
    const u32 count = qeParticleInstanceBatches(n, data->capacity, batches, sizeof(batches) / sizeof(batches[0]));
    device->SetVertexDeclaration(data->declaration);
    device->SetIndices(data->indexBuffer);
    for (u32 b = 0; b < count; ++b) {
        device->SetStreamSourceFreq(0, D3DSTREAMSOURCE_INDEXEDDATA | batches[b].count);
        device->SetStreamSource(0, data->quadBuffer, 0, 2 * sizeof(f32));
        device->SetStreamSourceFreq(1, D3DSTREAMSOURCE_INSTANCEDATA | 1u);
        device->SetStreamSource(1, data->instanceBuffer, batches[b].offset, sizeof(SQeParticleInstance));
        device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
    }
    device->SetStreamSourceFreq(0, 1);
    device->SetStreamSourceFreq(1, 1);
    // Nothing of ours stays bound, and the fixed vertex format that the video driver believes is set
    // (standard vertices, from the triangle drawn just before) is set again: without it the driver's
    // next draws of standard vertices would run without any vertex format.
    device->SetStreamSource(1, nullptr, 0, 0);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    device->SetVertexDeclaration(nullptr);
    device->SetFVF(kStandardVertexFvf);
}

// One triangle that covers no pixel: it makes the video driver apply the node's material (shaders and
// their constants) before the instanced draw, and puts the driver's state back after it.
void drawDegenerateTriangle(video::IVideoDriver* driver, bool wideIndices) {
    video::S3DVertex vertex;
    std::memset(static_cast<void*>(&vertex), 0, sizeof(vertex));
    const u16 narrow[3] = {0, 0, 0};
    const u32 wide[3] = {0, 0, 0};
    driver->drawVertexPrimitiveList(&vertex, 1, wideIndices ? static_cast<const void*>(wide) : narrow, 1,
                                    video::EVT_STANDARD, scene::EPT_TRIANGLES,
                                    wideIndices ? video::EIT_32BIT : video::EIT_16BIT);
}

}  // namespace

u32 qeParticleInstanceBatches(u32 count, u32 capacity, SQeParticleInstanceBatch* out, u32 maxBatches) {
    if (count > capacity) count = capacity;
    u32 made = 0;
    u32 offset = 0;
    while (count > 0 && made < maxBatches) {
        const u32 batch = count < QE_PARTICLE_INSTANCE_BATCH ? count : QE_PARTICLE_INSTANCE_BATCH;
        out[made].count = batch;
        out[made].offset = offset;
        ++made;
        count -= batch;
        offset += batch * static_cast<u32>(sizeof(SQeParticleInstance));
    }
    return made;
}

CQeD3D9ParticleSystemSceneNode::CQeD3D9ParticleSystemSceneNode(scene::ISceneNode* parent,
                                                               scene::ISceneManager* manager, s32 id)
    : CQeParticleSystemSceneNode(parent, manager, id) {
    AddRefSharedData();
}

CQeD3D9ParticleSystemSceneNode::CQeD3D9ParticleSystemSceneNode(scene::ISceneNode* unusedNode,
                                                               scene::ISceneNode* parent,
                                                               scene::ISceneManager* manager, s32 id)
    : CQeParticleSystemSceneNode(unusedNode, parent, manager, id) {
    AddRefSharedData();
}

CQeD3D9ParticleSystemSceneNode::CQeD3D9ParticleSystemSceneNode(scene::IMeshSceneNode* meshNode,
                                                               scene::ISceneNode* parent,
                                                               scene::ISceneManager* manager, s32 id)
    : CQeParticleSystemSceneNode(meshNode, parent, manager, id) {
    AddRefSharedData();
}

CQeD3D9ParticleSystemSceneNode::CQeD3D9ParticleSystemSceneNode(scene::IAnimatedMeshSceneNode* meshNode,
                                                               scene::ISceneNode* parent,
                                                               scene::ISceneManager* manager, s32 id)
    : CQeParticleSystemSceneNode(meshNode, parent, manager, id) {
    AddRefSharedData();
}

CQeD3D9ParticleSystemSceneNode::~CQeD3D9ParticleSystemSceneNode() { RemoveRefSharedData(); }

void CQeD3D9ParticleSystemSceneNode::AddRefSharedData() { ++sharedDataRefCount; }

void CQeD3D9ParticleSystemSceneNode::RemoveRefSharedData() {
    --sharedDataRefCount;
    if (sharedDataRefCount < 0) {
        qeLibLog(ELL_ERROR, "CQeD3D9ParticleSystemSceneNode: Invalid negative sharedDataRefCount=%d",
                      static_cast<int>(sharedDataRefCount));
        sharedDataRefCount = 0;
    } else if (sharedDataRefCount > 0) {
        return;
    }
    if (sharedData) {
        qeLibLog(ELL_DEBUG, "CQeD3D9ParticleSystemSceneNode::RemoveRefSharedData: remove VertexBuffer");
        freeSharedData();
    }
}

void CQeD3D9ParticleSystemSceneNode::OnDeviceReset() {
    if (!sharedData) return;
    qeLibLog(ELL_DEBUG, "CQeD3D9ParticleSystemSceneNode::OnDeviceReset: remove VertexBuffer");
    freeSharedData();
}

s32 CQeD3D9ParticleSystemSceneNode::getSharedDataRefCount() { return sharedDataRefCount; }

bool CQeD3D9ParticleSystemSceneNode::hasSharedData() { return sharedData != nullptr; }

void CQeD3D9ParticleSystemSceneNode::render() { renderInstancing(); }

void CQeD3D9ParticleSystemSceneNode::renderInstancing() {
    video::IVideoDriver* driver = SceneManager ? SceneManager->getVideoDriver() : nullptr;
    if (!driver || driver->getDriverType() != video::EDT_DIRECT3D9) return;
    IDirect3DDevice9* device = static_cast<IDirect3DDevice9*>(driver->getExposedVideoData().D3D9.D3DDev9);
    if (!device) return;
    followHiddenSource();

    if (!sharedData) {
        qeLibLog(ELL_DEBUG, "CQeD3D9ParticleSystemSceneNode: Allocate VertexBuffer for Particles");
        SQeD3D9ParticleSharedData* data = new (std::nothrow) SQeD3D9ParticleSharedData();
        if (!data || !createDeviceObjects(device, data)) {
            delete data;
            qeLibLog(ELL_ERROR, "CQeD3D9ParticleSystemSceneNode: Failed to allocate the vertex buffers");
            return;
        }
        sharedData = data;
    }

    u32 n = Emitter.getParticleCount();
    if (n > sharedData->capacity) n = sharedData->capacity;
    if (n == 0) return;
    void* locked = nullptr;
    if (FAILED(sharedData->instanceBuffer->Lock(0, n * sizeof(SQeParticleInstance), &locked, D3DLOCK_DISCARD)) ||
        !locked) {
        // The buffer holds nothing of this node: drawing now would show another node's particles.
        qeLibLog(ELL_ERROR, "CQeD3D9ParticleSystemSceneNode: VertexBufferLock failed");
        return;
    }
    const s32 filled = Emitter.fillInstances(static_cast<SQeParticleInstance*>(locked), static_cast<s32>(n));
    sharedData->instanceBuffer->Unlock();
    n = filled > 0 ? static_cast<u32>(filled) : 0;
    if (n == 0) return;

    driver->setMaterial(Material);
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    drawDegenerateTriangle(driver, false);
    drawInstanced(device, sharedData, n);
    drawDegenerateTriangle(driver, true);
}
