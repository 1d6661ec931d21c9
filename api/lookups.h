#ifndef QIRN_API_LOOKUPS_H
#define QIRN_API_LOOKUPS_H

// Read-side look-ups the command modules offer the renderer (the shader constant callback, the light
// pre-pass): the visible objects and lights by index, an object's node, a surface's channel values.

struct SurfaceChannelEntry;
namespace irr { namespace scene { class ISceneNode; class ILightSceneNode; } }

// Object module: the ID of the n-th entry (from 0) of the visible-object list, -1 when it is shorter;
// the node of the object with that ID (the terrain node for a terrain), null when there is none.
int qeIrrlichtGetVisibleObjectId(int n);
irr::scene::ISceneNode* qeIrrlichtGetObjectNode(int id);

// Light module: the scene node of the n-th entry (from 0) of the visible-light list, null when shorter.
irr::scene::ILightSceneNode* qeIrrlichtGetVisibleLight(int n);
// 1 when a point or spot light of this range reaches anything: the range is positive and its inverse
// square finite. A range of 0 (or one too short to square) lights nothing.
int qeIrrlichtLightRangeReaches(float radius);

// Surface module: the 39 channel slots (in channel order) of the surface whose address a marked material
// carries in MaterialTypeParam2; null when there are none.
const SurfaceChannelEntry* qeIrrlichtGetSurfaceChannels(const void* surface);

#endif
