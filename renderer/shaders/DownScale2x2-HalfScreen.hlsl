//[QIRN_BEGIN]
//title DownScale2x2-HalfScreen
//subject Box down-scale by two of a half-size target into a quarter-size one
//function vertexMain : vsMain
//function pixelMain : psMain
//float2 QuarterScreenHalfPixelSize : QuarterScreenHalfPixelSize : vertex
//floatN HalfDownScale2x2Samples : HalfDownScale2x2Samples : pixel
//[QIRN_END]
#define DS_HALF_PIXEL QuarterScreenHalfPixelSize
#define DS_SAMPLES HalfDownScale2x2Samples
#include "DownScale2x2.h"
