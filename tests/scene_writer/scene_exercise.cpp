#include "scene_exercise.h"

#include <limits>
#include <vector>

// Every question of every table, for every index and a few times, valid or not.
void qeSceneExerciseQueries(SceneHandle* h) {
    const float times[] = {-100.0f, 0.0f, 37.0f, 1e6f, std::numeric_limits<float>::quiet_NaN()};
    SceneVec3 v;
    const char* text;
    float a, b, c, d, e, f3[3], g3[3];
    int n;
    const float* keys;
    ShaderValuesRecord shader;
    h->scene->getFirstFrame(h);
    h->scene->getLastFrame(h);
    h->scene->getFps(h);
    h->scene->getRenderOptions(h);
    h->scene->getMusic(h, &text, &a);
    h->backdrop->getBackdropColor(h);
    h->backdrop->getNadirColor(h);
    const ImageProcessingQueryTable* p = h->processing;
    p->getLimitDynamicRange(h);
    p->getStreakEnable(h);
    p->getCameraRange(h, &a, &b);
    for (float t : times) {
        h->scene->getCameraIndex(h, t);
        p->getColorSaturation(h, t);
        p->getGlowIntensity(h, t);
        p->getGlowRadius(h, t);
        p->getStreakParams(h, &a, f3, &b, g3, &c, &d, &e, t);
        p->getBloomParams(h, &a, &b, t);
        p->getAdvancedDofParams(h, &a, &b, &c, t);
        p->getSsaoParams(h, &a, &b, &c, &d, t);
        p->getShadowEpsilon(h, &a, t);
        h->lights->getAmbientColor(&v, h, t);
        for (int i = -1; i <= p->getImageFilterCount(h); ++i) {
            p->getImageFilterName(h, i);
            p->getImageFilterShader(h, i, &shader, t);
            p->isCameraShaderActive(h, i, t);
            p->getCameraShader(h, i, &shader, t);
        }
        const ObjectQueryTable* o = h->objects;
        for (int i = -1; i <= o->getObjectCount(h); ++i) {
            o->getObjectName(h, i);
            o->getObjectFile(h, i);
            o->getObjectGeometryFile(h, i);
            o->isObjectEmpty(h, i);
            for (int kind : {5, 6, 8, 25, 1}) o->getObjectVector(&v, h, i, kind, t);
            o->getObjectTransparency(h, i);
            o->getObjectTranslucency(h, i);
            std::vector<ObjectSurfaceRecord> surfaces(size_t(o->getObjectSurfaceCount(h, i)) + 1);
            o->getObjectSurfaces(h, i, surfaces.data(), t);
        }
        const LightQueryTable* l = h->lights;
        for (int i = -1; i <= l->getLightCount(h); ++i) {
            l->getLightName(h, i);
            l->getLightConeAngles(h, i, &a, &b, t);
            l->getLightRange(h, i, t);
            l->getLightColor(&v, h, i, t);
            l->getLightIntensity(h, i, t);
            l->getLightShadowColor(&v, h, i);
            for (int kind : {5, 6, 8, 25}) l->getLightVector(&v, h, i, kind, t);
        }
        const CameraQueryTable* cq = h->cameras;
        for (int i = -1; i <= cq->getCameraCount(h); ++i) {
            cq->getCameraName(h, i);
            cq->getCameraFov(h, i, &a, &b, t);
            cq->getCameraDof(h, i, &n, &a, &b, t);
            cq->getCameraStereo(h, i, &a, &n, &b, t);
            for (int kind : {5, 8, 25}) cq->getCameraVector(&v, h, i, kind, t);
        }
        const FxEmitterQueryTable* fx = h->fxEmitters;
        for (int i = -1; i <= fx->getFxEmitterCount(h); ++i) {
            fx->getFxEmitterName(h, i);
            fx->getFxEmitterImage(h, i);
            fx->getFxEmitterParticleSize(h, i);
            for (int kind : {5, 6, 8, 25}) fx->getFxEmitterVector(&v, h, i, kind, t);
            fx->getFxEmitterVelocity(&v, h, i, t);
            fx->getFxEmitterBirthRate(h, i, t);
            fx->getFxEmitterLifeTime(h, i, t);
            fx->getFxEmitterLifeTimeVariation(h, i);
            fx->getFxEmitterWeight(h, i, t);
            fx->getFxEmitterResistance(h, i, t);
            fx->getFxEmitterVibration(h, i, t);
            fx->getFxEmitterLook(h, i, &n, &n, f3, &a);
            fx->getFxEmitterSizeGradient(h, i, &keys);
            fx->getFxEmitterColorGradient(h, i, &keys);
            fx->getFxEmitterShader(h, i, &shader, t);
        }
    }
}

