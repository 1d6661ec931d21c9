#ifndef QIRN_SCENE_SCENE_CHANNELS_H
#define QIRN_SCENE_SCENE_CHANNELS_H

// Channel binding (each animatable field linked to its baked channel by group and channel name) and
// the values of bound fields at a scene time (milliseconds).

#include <vector3d.h>

#include "scene_image.h"

int qeSceneBindChannels(SceneImage* image);

ChannelGroup* qeSceneFindGroup(SceneImage* image, const char* name);
ChannelGroup* qeSceneFindChildGroup(ChannelGroup* group, const char* name);
ChannelRef qeSceneFindChannel(ChannelGroup* group, const char* name);

struct SceneFramePos {
    int lo;
    int hi;
    double weight;
};

SceneFramePos qeSceneFrameAt(const SceneImage* image, float t);
float qeSceneChannelAt(const SceneImage* image, ChannelRef channel, float t);
irr::core::vector3df qeSceneChannel3At(const SceneImage* image, const ChannelRef channels[3], float t);
float qeSceneFloatAt(const SceneImage* image, const AnimatedFloat& value, float t);
int qeSceneIntAt(const SceneImage* image, const AnimatedFloat& value, float t);
irr::core::vector3df qeSceneVectorAt(const SceneImage* image, const AnimatedColor& value, float t);
// Rotation in degrees from heading, pitch and bank channels (radians), interpolated through quaternions.
irr::core::vector3df qeSceneRotationAt(const SceneImage* image, const ChannelRef channels[3], float t);
irr::core::vector3df qeSceneRotationSwappedAt(const SceneImage* image, const ChannelRef channels[3], float t);

#endif
