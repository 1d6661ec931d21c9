#include "fxemitter.h"

// The particle-shader cache holds nothing until the emitters' shaders exist, so there is nothing to empty.
int qeIrrlichtParticleShaderInit() { return 0; }
