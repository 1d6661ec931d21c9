#include "collision.h"

#include <irrlicht.h>

#include "engine_context.h"
#include "objects.h"

using namespace irr;

namespace {

// The camera node's selector is the collision world. Nothing but this module gives the camera a selector,
// so one that is there is the meta selector made here.
scene::IMetaTriangleSelector* collisionWorld(bool create) {
    EngineContext* ctx = qeIrrlichtGetContext();
    scene::ICameraSceneNode* camera = ctx->camera;
    if (!camera || !ctx->smgr) return nullptr;
    if (scene::ITriangleSelector* current = camera->getTriangleSelector())
        return static_cast<scene::IMetaTriangleSelector*>(current);
    if (!create) return nullptr;
    scene::IMetaTriangleSelector* world = ctx->smgr->createMetaTriangleSelector();
    if (!world) return nullptr;
    camera->setTriangleSelector(world);
    world->drop();
    return world;
}

}  // namespace

void qeIrrlichtSetObjectCollisionOn(int id) {
    scene::IMetaTriangleSelector* world = collisionWorld(true);
    ObjectEntry* e = qeIrrlichtGetObjectEntry(id);
    if (!world || !e || !e->meshNode) return;
    scene::ISceneNode* node = e->meshNode;
    if (!node->getTriangleSelector()) {
        scene::ISceneManager* smgr = qeIrrlichtGetContext()->smgr;
        scene::IMesh* mesh = e->isStatic ? static_cast<scene::IMeshSceneNode*>(node)->getMesh()
                                         : static_cast<scene::IAnimatedMeshSceneNode*>(node)->getMesh();
        scene::ITriangleSelector* selector = smgr->createTriangleSelector(mesh, node);
        if (!selector) return;
        node->setTriangleSelector(selector);
        selector->drop();
    }
    // A selector taken out by the Off command joins again.
    if (!e->inCollisionWorld) {
        world->addTriangleSelector(node->getTriangleSelector());
        e->inCollisionWorld = 1;
    }
}

void qeIrrlichtObjRemoveCollision(int id) {
    ObjectEntry* e = qeIrrlichtGetObjectEntry(id);
    if (!e || !e->inCollisionWorld) return;
    e->inCollisionWorld = 0;
    scene::IMetaTriangleSelector* world = collisionWorld(false);
    if (world && e->meshNode && e->meshNode->getTriangleSelector())
        world->removeTriangleSelector(e->meshNode->getTriangleSelector());
}

void qeIrrlichtAutomaticCameraCollisionOff() {
    scene::ICameraSceneNode* camera = qeIrrlichtGetContext()->camera;
    if (!camera) return;
    scene::ISceneNodeAnimator* last = nullptr;
    const core::list<scene::ISceneNodeAnimator*>& animators = camera->getAnimators();
    for (core::list<scene::ISceneNodeAnimator*>::ConstIterator it = animators.begin(); it != animators.end(); ++it)
        if ((*it)->getType() == scene::ESNAT_COLLISION_RESPONSE) last = *it;
    if (last) camera->removeAnimator(last);
}

void qeIrrlichtAutomaticCameraCollisionOn(float radius, float gravity, float offset) {
    qeIrrlichtAutomaticCameraCollisionOff();
    EngineContext* ctx = qeIrrlichtGetContext();
    scene::IMetaTriangleSelector* world = collisionWorld(true);
    if (!ctx->camera || !world) return;
    scene::ISceneNodeAnimator* animator = ctx->smgr->createCollisionResponseAnimator(
        world, ctx->camera, core::vector3df(radius, radius, radius), core::vector3df(0, -gravity, 0),
        core::vector3df(0, offset, 0), 0.0005f);
    if (!animator) return;
    ctx->camera->addAnimator(animator);
    animator->drop();
}
