//[QIRN_BEGIN]
//title DownScale2x2
//subject Box down-scale by two of the frame into a half-size target
//function vertexMain : vsMain
//function pixelMain : psMain
//float2 HalfScreenHalfPixelSize : HalfScreenHalfPixelSize : vertex
//floatN DownScale2x2Samples : DownScale2x2Samples : pixel
//[QIRN_END]
#define DS_HALF_PIXEL HalfScreenHalfPixelSize
#define DS_SAMPLES DownScale2x2Samples
#include "DownScale2x2.h"
