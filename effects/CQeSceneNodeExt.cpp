// Node extensions cannot be made yet: the scene manager's createSceneNodeExt answers null until the
// extension class exists.
#include "IQeSceneNodeExt.h"

IQeSceneNodeExt* createQeSceneNodeExt(irr::scene::ISceneNode*) { return nullptr; }
