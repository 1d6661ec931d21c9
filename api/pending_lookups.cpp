// Look-ups of modules that do not exist yet: each answers as if its list were empty. A module that
// comes deletes its part here.
#include "lookups.h"

int qeIrrlichtGetVisibleObjectId(int) { return -1; }
irr::scene::ISceneNode* qeIrrlichtGetObjectNode(int) { return nullptr; }

irr::scene::ILightSceneNode* qeIrrlichtGetVisibleLight(int) { return nullptr; }

const SurfaceChannelEntry* qeIrrlichtGetSurfaceChannels(const void*) { return nullptr; }
