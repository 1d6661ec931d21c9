#include "CQeParticleSystemSceneNode.h"

#include <new>

#include "QeLog.h"

using namespace irr;

namespace {

SQeParticleQuadMesh* sharedQuadMesh = nullptr;

SQeParticleQuadMesh* acquireQuadMesh() {
    if (sharedQuadMesh) {
        ++sharedQuadMesh->refCount;
        return sharedQuadMesh;
    }
    SQeParticleQuadMesh* mesh = new (std::nothrow) SQeParticleQuadMesh();
    if (!mesh) return nullptr;
    mesh->records = new (std::nothrow) SQeParticleInstance[QE_PARTICLE_QUAD_CAPACITY];
    mesh->buffer = new (std::nothrow) scene::SMeshBuffer();
    if (!mesh->records || !mesh->buffer) {
        delete[] mesh->records;
        if (mesh->buffer) mesh->buffer->drop();
        delete mesh;
        return nullptr;
    }
    core::array<video::S3DVertex>& vertices = mesh->buffer->Vertices;
    core::array<u16>& indices = mesh->buffer->Indices;
    vertices.set_used(QE_PARTICLE_QUAD_CAPACITY);
    indices.set_used(QE_PARTICLE_QUAD_CAPACITY / 4 * 6);
    static const f32 corners[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    for (u32 k = 0; k < QE_PARTICLE_QUAD_CAPACITY / 4; ++k) {
        for (u32 c = 0; c < 4; ++c) {
            vertices[4 * k + c].TCoords.set(corners[c][0], corners[c][1]);
            vertices[4 * k + c].Pos.set(0, 0, 0);
            vertices[4 * k + c].Normal.set(0, 0, 0);
        }
        const u16 b = static_cast<u16>(4 * k);
        u16* idx = &indices[6 * k];
        idx[0] = b;
        idx[1] = static_cast<u16>(b + 2);
        idx[2] = static_cast<u16>(b + 1);
        idx[3] = b;
        idx[4] = static_cast<u16>(b + 3);
        idx[5] = static_cast<u16>(b + 2);
    }
    mesh->refCount = 1;
    sharedQuadMesh = mesh;
    return mesh;
}

void releaseQuadMesh(SQeParticleQuadMesh* mesh) {
    if (!mesh || mesh != sharedQuadMesh || mesh->refCount == 0) return;
    if (--mesh->refCount > 0) return;
    mesh->buffer->drop();
    delete[] mesh->records;
    delete mesh;
    sharedQuadMesh = nullptr;
}

}  // namespace

CQeParticleSystemSceneNode::CQeParticleSystemSceneNode(scene::ISceneNode* parent, scene::ISceneManager* manager,
                                                       s32 id)
    : IQeParticleSystemSceneNode(parent, manager, id), QuadMesh(nullptr) {
    initNode();
    Emitter.initParticleBuffer(0, true);
}

CQeParticleSystemSceneNode::CQeParticleSystemSceneNode(scene::ISceneNode*, scene::ISceneNode* parent,
                                                       scene::ISceneManager* manager, s32 id)
    : IQeParticleSystemSceneNode(parent, manager, id), QuadMesh(nullptr) {
    initNode();
    Emitter.initParticleBuffer(0, false);
}

CQeParticleSystemSceneNode::CQeParticleSystemSceneNode(scene::IMeshSceneNode* meshNode, scene::ISceneNode* parent,
                                                       scene::ISceneManager* manager, s32 id)
    : IQeParticleSystemSceneNode(parent, manager, id), QuadMesh(nullptr) {
    initNode();
    scene::IMesh* mesh = meshNode ? meshNode->getMesh() : nullptr;
    u32 total = 0;
    const u32 buffers = mesh ? mesh->getMeshBufferCount() : 0;
    for (u32 b = 0; b < buffers; ++b) {
        scene::IMeshBuffer* mb = mesh->getMeshBuffer(b);
        if (mb) total += mb->getVertexCount();
    }
    // More vertices than a signed count holds cannot be particles of one buffer.
    Emitter.initParticleBuffer(total > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<s32>(total), false);
    for (u32 b = 0; b < buffers; ++b) {
        scene::IMeshBuffer* mb = mesh->getMeshBuffer(b);
        if (!mb) continue;
        const u32 count = mb->getVertexCount();
        for (u32 v = 0; v < count; ++v) {
            const core::vector3df& p = mb->getPosition(v);
            Emitter.addParticle(p.X, p.Y, p.Z, 0, 0xFFFFFFFFu);
        }
    }
}

void CQeParticleSystemSceneNode::initNode() {
    Box = core::aabbox3d<f32>(-1, -1, -1, 1, 1, 1);
    setAutomaticCulling(scene::EAC_OFF);
}

CQeParticleSystemSceneNode::~CQeParticleSystemSceneNode() {
    if (QuadMesh) releaseQuadMesh(QuadMesh);
    QuadMesh = nullptr;
}

void CQeParticleSystemSceneNode::OnRegisterSceneNode() {
    if (!IsVisible) return;
    SceneManager->registerNodeForRendering(this, scene::ESNRP_TRANSPARENT);
    ISceneNode::OnRegisterSceneNode();
}

void CQeParticleSystemSceneNode::OnAnimate(u32 timeMs) {
    ISceneNode::OnAnimate(timeMs);
    if (!IsVisible) return;
    Emitter.setWorldTransform(getAbsoluteTransformation());
    // Without an active camera the depth keys keep the last viewer position.
    scene::ICameraSceneNode* camera = SceneManager ? SceneManager->getActiveCamera() : nullptr;
    if (camera) {
        const core::vector3df eye = camera->getAbsolutePosition();
        Emitter.setViewerPosition(eye.X, eye.Y, eye.Z);
    }
    Emitter.updateEmitter(timeMs);
}

void CQeParticleSystemSceneNode::render() { renderQuads(); }

const core::aabbox3d<f32>& CQeParticleSystemSceneNode::getBoundingBox() const { return Box; }

void CQeParticleSystemSceneNode::setVisible(bool isVisible) {
    if (!isVisible) Emitter.resetParticles(true);
    ISceneNode::setVisible(isVisible);
}

video::SMaterial& CQeParticleSystemSceneNode::getMaterial(u32) { return Material; }

u32 CQeParticleSystemSceneNode::getMaterialCount() const { return 1; }

IQeFxEmitter* CQeParticleSystemSceneNode::getEmitter() { return &Emitter; }

void CQeParticleSystemSceneNode::renderInstancing() {
    qeLibLog(ELL_ERROR, "CQeParticleSystemSceneNode::renderInstancing not implemented");
}

void CQeParticleSystemSceneNode::renderQuads() {
    if (!QuadMesh) QuadMesh = acquireQuadMesh();
    if (!QuadMesh) return;
    s32 n = Emitter.fillInstances(QuadMesh->records, static_cast<s32>(QE_PARTICLE_QUAD_CAPACITY));
    if (n > static_cast<s32>(QE_PARTICLE_QUAD_DRAW_LIMIT)) n = static_cast<s32>(QE_PARTICLE_QUAD_DRAW_LIMIT);
    if (n <= 0) return;
    video::S3DVertex* vertices = QuadMesh->buffer->Vertices.pointer();
    for (s32 i = 0; i < n; ++i) {
        const SQeParticleInstance& r = QuadMesh->records[i];
        for (s32 c = 0; c < 4; ++c) {
            video::S3DVertex& v = vertices[4 * i + c];
            v.Pos.set(r.x, r.y, r.z);
            v.Normal.set(r.birth, r.death, 0.0f);
        }
    }
    video::IVideoDriver* driver = SceneManager->getVideoDriver();
    if (!driver) return;
    driver->setMaterial(Material);
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->drawVertexPrimitiveList(vertices, static_cast<u32>(4 * n), QuadMesh->buffer->Indices.const_pointer(),
                                    static_cast<u32>(2 * n), video::EVT_STANDARD, scene::EPT_TRIANGLES,
                                    QuadMesh->buffer->getIndexType());
}

const SQeParticleQuadMesh* CQeParticleSystemSceneNode::getSharedQuadMesh() { return sharedQuadMesh; }
