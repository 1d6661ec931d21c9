#include "CQeRenderServices.h"

#include "runtime/IQeEffect.h"
#include "runtime/SQeNodeExtMaterial.h"

using namespace irr;

CQeScreenQuad::CQeScreenQuad() {
    static const f32 corners[6][4] = {{-1, -1, 0, 1}, {-1, 1, 0, 0}, {1, 1, 1, 0},
                                      {1, -1, 1, 1},  {-1, -1, 0, 1}, {1, 1, 1, 0}};
    for (u32 i = 0; i < 6; ++i)
        Vertices[i] = video::S3DVertex(corners[i][0], corners[i][1], 0.0f, 0.0f, 0.0f, 1.0f, video::SColor(0),
                                       corners[i][2], corners[i][3]);
    Material.Wireframe = false;
    Material.Lighting = false;
    Material.ZWriteEnable = false;
}

void CQeScreenQuad::render(video::IVideoDriver* driver) {
    static const u16 indices[6] = {0, 1, 2, 3, 4, 5};
    driver->setMaterial(Material);
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->drawIndexedTriangleList(Vertices, 6, indices, 2);
}

CQeRenderServices::CQeRenderServices(IrrlichtDevice* device)
    : Device(device), Driver(device ? device->getVideoDriver() : nullptr) {}

void CQeRenderServices::drawScreenQuad(IQeEffect* effect, u32 technique, u32 pass) {
    if (!effect || !Driver) return;
    video::SMaterial& material = Quad.getMaterial();
    // A pass that does not exist leaves nothing to draw with.
    if (!effect->setMaterial(technique, pass, material)) return;
    // The draw record the effect's shader callback reads; it lives only during this draw.
    SQeNodeExtMaterial record;
    record.activeEffect = effect;
    record.technique = technique;
    record.pass = pass;
    qeMaterialSetRecord(material, &record);
    Quad.render(Driver);
    qeMaterialSetRecord(material, nullptr);
}

void CQeRenderServices::getLightList(core::array<scene::ISceneNode*>& outList) {
    if (Device && Device->getSceneManager()) Device->getSceneManager()->getLightList(outList);
}

void CQeRenderServices::getSolidNodeList(core::array<scene::ISceneNode*>& outList) {
    if (Device && Device->getSceneManager()) Device->getSceneManager()->getSolidNodeList(outList);
}

void CQeRenderServices::getTransparentNodeList(core::array<scene::ISceneNode*>& outList) {
    if (Device && Device->getSceneManager()) Device->getSceneManager()->getTransparentNodeList(outList);
}

void CQeRenderServices::getTransparentEffectNodeList(core::array<scene::ISceneNode*>& outList) {
    if (Device && Device->getSceneManager()) Device->getSceneManager()->getTransparentEffectNodeList(outList);
}
