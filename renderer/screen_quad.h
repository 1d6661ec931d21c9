#ifndef QIRN_RENDERER_SCREEN_QUAD_H
#define QIRN_RENDERER_SCREEN_QUAD_H

#include "managers/CQeRenderServices.h"

// The renderer's full-screen quad (loading screen, light pre-pass and stereo passes): two triangles over
// clip space, uv (0,0) at the top left, its own material with lighting and depth writing off. It is the
// effect library's quad, so both draw the very same vertices.
class CScreenQuad : public CQeScreenQuad {};

#endif
