// The light pre-pass renderer's post chain. Its passes are not drawn yet: each keeps its target as it is.
#include "lpp.h"

void qeIrrlichtLppGlowCapture(EngineContext*, LppRenderer*, irr::video::ITexture*) {}
void qeIrrlichtLppGlowBlur(EngineContext*, LppRenderer*, irr::video::ITexture*) {}
void qeIrrlichtLppGlowCompose(EngineContext*, LppRenderer*, irr::video::ITexture*) {}
void qeIrrlichtLppSSAO(EngineContext*, LppRenderer*, irr::video::ITexture*) {}
void doMLAA(EngineContext*, LppRenderer*, irr::video::ITexture*) {}
void qeIrrlichtLppDof(EngineContext*, LppRenderer*, irr::video::ITexture*, irr::video::ITexture*) {}
void qeIrrlichtLppDofAdvanced(EngineContext*, LppRenderer*, irr::video::ITexture*, irr::video::ITexture*) {}
void qeIrrlichtLppApplyCameraEffect(EngineContext*, LppRenderer*, int, irr::video::ITexture*, irr::video::ITexture*) {}
