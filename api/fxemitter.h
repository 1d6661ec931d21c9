#ifndef QIRN_API_FXEMITTER_H
#define QIRN_API_FXEMITTER_H

// The fx-emitter module's start: empties the particle-shader cache the first time; always 0.
int qeIrrlichtParticleShaderInit();

#endif
