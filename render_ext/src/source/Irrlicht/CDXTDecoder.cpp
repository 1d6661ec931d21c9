// Decoding of block-compressed (DXT) texels.

#include "CDXTDecoder.h"
#include "CImage.h"

namespace irr
{
namespace video
{

namespace
{

u32 expand565(u16 c)
{
	const u32 r = (c >> 11) & 0x1F, g = (c >> 5) & 0x3F, b = c & 0x1F;
	return ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

//! mixes two X8R8G8B8 colours, wa parts of a and wb of b, over wa + wb
u32 mix(u32 a, u32 b, u32 wa, u32 wb)
{
	u32 out = 0;
	for (u32 shift = 0; shift < 24; shift += 8)
		out |= (((a >> shift & 0xFF) * wa + (b >> shift & 0xFF) * wb) / (wa + wb)) << shift;
	return out;
}

//! the four colours of a colour block (opaque, or the fourth transparent black in DXT1's three-colour mode)
void colourTable(const u8* block, bool dxt1, u32 table[4])
{
	const u16 c0 = (u16)(block[0] | block[1] << 8), c1 = (u16)(block[2] | block[3] << 8);
	const u32 a = expand565(c0), b = expand565(c1);
	table[0] = 0xFF000000 | a;
	table[1] = 0xFF000000 | b;
	if (c0 > c1 || !dxt1)
	{
		table[2] = 0xFF000000 | mix(a, b, 2, 1);
		table[3] = 0xFF000000 | mix(a, b, 1, 2);
	}
	else
	{
		table[2] = 0xFF000000 | mix(a, b, 1, 1);
		table[3] = 0;
	}
}

//! the sixteen alpha values of a DXT5 alpha block
void interpolatedAlpha(const u8* block, u8 alpha[16])
{
	const u32 a0 = block[0], a1 = block[1];
	u32 table[8] = {a0, a1};
	if (a0 > a1)
		for (u32 i = 2; i < 8; ++i)
			table[i] = ((8 - i) * a0 + (i - 1) * a1) / 7;
	else
	{
		for (u32 i = 2; i < 6; ++i)
			table[i] = ((6 - i) * a0 + (i - 1) * a1) / 5;
		table[6] = 0;
		table[7] = 255;
	}
	u64 bits = 0;
	for (u32 i = 0; i < 6; ++i)
		bits |= (u64)block[2 + i] << (8 * i);
	for (u32 i = 0; i < 16; ++i)
		alpha[i] = (u8)table[(bits >> (3 * i)) & 7];
}

} // end namespace


bool decodeDXT(ECOLOR_FORMAT format, const u8* blocks, u32 width, u32 height, u32* texels)
{
	const bool dxt1 = format == ECF_DXT1;
	const bool explicitAlpha = format == ECF_DXT2 || format == ECF_DXT3;
	const bool interpolated = format == ECF_DXT4 || format == ECF_DXT5;
	if ((!dxt1 && !explicitAlpha && !interpolated) || !blocks || !texels || !width || !height)
		return false;

	const u32 blockBytes = dxt1 ? 8 : 16;
	const u32 across = (width + 3) / 4, down = (height + 3) / 4;
	for (u32 by = 0; by < down; ++by)
	{
		for (u32 bx = 0; bx < across; ++bx)
		{
			const u8* block = blocks + (by * across + bx) * blockBytes;
			u8 alpha[16];
			for (u32 i = 0; i < 16; ++i)
				alpha[i] = explicitAlpha ? (u8)(((block[i / 2] >> (4 * (i & 1))) & 0xF) * 17) : 255;
			if (interpolated)
				interpolatedAlpha(block, alpha);
			const u8* colour = dxt1 ? block : block + 8;
			u32 table[4];
			colourTable(colour, dxt1, table);
			const u32 indices = colour[4] | colour[5] << 8 | colour[6] << 16 | (u32)colour[7] << 24;
			for (u32 i = 0; i < 16; ++i)
			{
				const u32 x = bx * 4 + (i & 3), y = by * 4 + i / 4;
				if (x >= width || y >= height)
					continue;
				u32 texel = table[(indices >> (2 * i)) & 3];
				if (!dxt1)
					texel = (texel & 0xFFFFFF) | (u32)alpha[i] << 24;
				texels[y * width + x] = texel;
			}
		}
	}
	return true;
}


IImage* createDecodedDXTImage(IImage* image)
{
	if (!image || !IImage::isCompressedFormat(image->getColorFormat()))
		return 0;
	const core::dimension2d<u32>& size = image->getDimension();
	CImage* decoded = new CImage(ECF_A8R8G8B8, size);
	const bool done = decodeDXT(image->getColorFormat(), (const u8*)image->lock(), size.Width, size.Height,
		(u32*)decoded->lock());
	image->unlock();
	decoded->unlock();
	if (!done)
	{
		decoded->drop();
		return 0;
	}
	return decoded;
}

} // end namespace video
} // end namespace irr
