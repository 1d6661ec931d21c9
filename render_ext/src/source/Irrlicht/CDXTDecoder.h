// Decoding of block-compressed (DXT) texels, for textures the driver cannot create in their own format.

#ifndef __C_DXT_DECODER_H_INCLUDED__
#define __C_DXT_DECODER_H_INCLUDED__

#include "IImage.h"

namespace irr
{
namespace video
{

//! Decodes the blocks of a width x height DXT1, DXT3 or DXT5 image (DXT2 and DXT4 read as DXT3 and
//! DXT5) into A8R8G8B8 texels, row after row; the blocks are whole, a partial block at the right and
//! bottom edges included. False, and nothing written, for other formats or an empty size.
bool decodeDXT(ECOLOR_FORMAT format, const u8* blocks, u32 width, u32 height, u32* texels);

//! A new A8R8G8B8 image of a compressed image's size and texels, or 0 when the image is not compressed.
IImage* createDecodedDXTImage(IImage* image);

} // end namespace video
} // end namespace irr

#endif
