#ifndef QIRN_RENDERER_UBER_SHADER_H
#define QIRN_RENDERER_UBER_SHADER_H

// The uber shader's cache, emptied at render-system start.
int qeIrrlichtUberShaderInit();

#endif
