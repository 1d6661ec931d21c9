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

// Rides on the source node of an over-mesh particle node: each animation of the source places the
// particles, and the source's destruction (which drops its animators) tells the particle node.
class CQeMeshParticleFollower : public scene::ISceneNodeAnimator {
public:
    explicit CQeMeshParticleFollower(CQeParticleSystemSceneNode* owner) : Owner(owner) {}
    ~CQeMeshParticleFollower() override {
        if (Owner) Owner->forgetSourceNode();
    }
    void animateNode(scene::ISceneNode*, u32) override {
        if (Owner) Owner->followSourceMesh();
    }
    // A copy of the source node follows nothing.
    scene::ISceneNodeAnimator* createClone(scene::ISceneNode*, scene::ISceneManager*) override { return nullptr; }

    CQeParticleSystemSceneNode* Owner;
};

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
    initOverMesh(meshNode, false);
}

CQeParticleSystemSceneNode::CQeParticleSystemSceneNode(scene::IAnimatedMeshSceneNode* meshNode,
                                                       scene::ISceneNode* parent, scene::ISceneManager* manager,
                                                       s32 id)
    : IQeParticleSystemSceneNode(parent, manager, id), QuadMesh(nullptr) {
    initNode();
    initOverMesh(meshNode, true);
}

void CQeParticleSystemSceneNode::initNode() {
    Box = core::aabbox3d<f32>(-1, -1, -1, 1, 1, 1);
    setAutomaticCulling(scene::EAC_OFF);
    SourceNode = nullptr;
    SourceAnimated = false;
    Follower = nullptr;
}

void CQeParticleSystemSceneNode::initOverMesh(scene::ISceneNode* meshNode, bool animated) {
    SourceNode = meshNode;
    SourceAnimated = animated;
    // The vertices are the particles: nothing is ever born, even where a mesh leaves records free.
    Emitter.setBirthRate(0.0f);
    scene::IMesh* mesh = sourceMesh();
    u32 total = 0;
    const u32 buffers = mesh ? mesh->getMeshBufferCount() : 0;
    for (u32 b = 0; b < buffers; ++b) {
        scene::IMeshBuffer* mb = mesh->getMeshBuffer(b);
        if (mb) total += mb->getVertexCount();
    }
    // More vertices than a signed count holds cannot be particles of one buffer.
    Emitter.initParticleBuffer(total > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<s32>(total), false);
    // One particle per vertex, in order: particle k holds record k of the fresh buffer.
    for (u32 b = 0; b < buffers; ++b) {
        scene::IMeshBuffer* mb = mesh->getMeshBuffer(b);
        if (!mb) continue;
        const u32 count = mb->getVertexCount();
        for (u32 v = 0; v < count; ++v) Emitter.addParticle(0.0f, 0.0f, 0.0f, 0, 0xFFFFFFFFu);
    }
    if (!SourceNode) return;
    followSourceMesh();
    Follower = new (std::nothrow) CQeMeshParticleFollower(this);
    if (!Follower) return;
    // The source node holds the only reference.
    SourceNode->addAnimator(Follower);
    Follower->drop();
}

scene::IMesh* CQeParticleSystemSceneNode::sourceMesh() const {
    if (!SourceNode) return nullptr;
    if (SourceAnimated) return static_cast<scene::IAnimatedMeshSceneNode*>(SourceNode)->getMesh();
    return static_cast<scene::IMeshSceneNode*>(SourceNode)->getMesh();
}

void CQeParticleSystemSceneNode::followSourceMesh() {
    // An animated mesh node's own buffers hold the frame it has just built: reading them costs no more
    // than a copy of its vertices.
    placeOnSource(sourceMesh());
}

void CQeParticleSystemSceneNode::followHiddenSource() {
    if (!SourceNode || SourceNode->isTrulyVisible()) return;
    // A hidden animated mesh node builds its frame as it animates, but then runs no animators, and a node
    // drawn since may have built another frame in the mesh they share: build its frame again (the
    // skinning its own draw would have cost).
    placeOnSource(SourceAnimated ? buildSourceFrame() : sourceMesh());
}

scene::IMesh* CQeParticleSystemSceneNode::buildSourceFrame() const {
    scene::IAnimatedMeshSceneNode* node = static_cast<scene::IAnimatedMeshSceneNode*>(SourceNode);
    scene::IAnimatedMesh* mesh = node->getMesh();
    if (!mesh) return nullptr;
    const f32 frame = node->getFrameNr();
    if (mesh->getMeshType() == scene::EAMT_SKINNED) {
        scene::ISkinnedMesh* skinned = static_cast<scene::ISkinnedMesh*>(mesh);
        skinned->animateMesh(frame, 1.0f);
        skinned->skinMesh();
        return skinned;
    }
    return mesh->getMesh(static_cast<s32>(frame), static_cast<s32>(core::fract(frame) * 1000.0f), node->getStartFrame(),
                         node->getEndFrame());
}

void CQeParticleSystemSceneNode::placeOnSource(scene::IMesh* mesh) {
    if (!mesh) return;
    SourceNode->updateAbsolutePosition();
    const core::matrix4& world = SourceNode->getAbsoluteTransformation();
    u32 record = 0;
    const u32 buffers = mesh->getMeshBufferCount();
    for (u32 b = 0; b < buffers; ++b) {
        scene::IMeshBuffer* mb = mesh->getMeshBuffer(b);
        if (!mb) continue;
        const u32 count = mb->getVertexCount();
        for (u32 v = 0; v < count; ++v) {
            core::vector3df p = mb->getPosition(v);
            world.transformVect(p);
            // a mesh given more vertices since keeps particles for the first ones only
            if (!Emitter.placeRecord(record++, p.X, p.Y, p.Z)) return;
        }
    }
}

void CQeParticleSystemSceneNode::forgetSourceNode() {
    SourceNode = nullptr;
    Follower = nullptr;
}

CQeParticleSystemSceneNode::~CQeParticleSystemSceneNode() {
    if (Follower) {
        static_cast<CQeMeshParticleFollower*>(Follower)->Owner = nullptr;
        SourceNode->removeAnimator(Follower);
    }
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
    followHiddenSource();
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
