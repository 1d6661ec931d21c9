// Loader of DirectDraw Surface files.

#include "CImageLoaderDDS.h"

#ifdef _IRR_COMPILE_WITH_DDS_LOADER_

#include "IReadFile.h"
#include "CImage.h"
#include "coreutil.h"
#include <stdio.h>
#include <string.h>
#if defined(_IRR_WINDOWS_API_)
#include <windows.h>
#endif

namespace irr
{
namespace video
{

namespace
{

const u32 DDS_MAGIC_SIZE = 4;
const u32 DDS_HEADER_SIZE = 124;
const u32 DDS_DATA_OFFSET = DDS_MAGIC_SIZE + DDS_HEADER_SIZE;

// header flags
const u32 DDSD_CAPS = 0x1;
const u32 DDSD_PITCH = 0x8;
const u32 DDSD_PIXELFORMAT = 0x1000;
const u32 DDSD_DEPTH = 0x800000;

// pixel format flags
const u32 DDPF_ALPHAPIXELS = 0x1;
const u32 DDPF_FOURCC = 0x4;
const u32 DDPF_RGB = 0x40;
const u32 DDPF_LUMINANCE = 0x20000;

// larger edges than any Direct3D 9 device takes are refused before anything is allocated
const u32 DDS_MAX_EDGE = 16384;

u32 readU32(const u8* p)
{
	return (u32)p[0] | ((u32)p[1] << 8) | ((u32)p[2] << 16) | ((u32)p[3] << 24);
}

u32 fourCC(char a, char b, char c, char d)
{
	return (u32)(u8)a | ((u32)(u8)b << 8) | ((u32)(u8)c << 16) | ((u32)(u8)d << 24);
}

//! a line of the loader for the debugger output and the standard output
void message(const char* text)
{
#if defined(_IRR_WINDOWS_API_)
	OutputDebugStringA(text);
	OutputDebugStringA("\n");
#endif
	printf("%s\n", text);
	fflush(stdout);
}

//! reads rows of rowBytes bytes that lie srcPitch bytes apart into a tight buffer; 0 on a short file
u8* readRows(io::IReadFile* file, u32 rowBytes, u32 srcPitch, u32 rows)
{
	const u64 total = (u64)rowBytes * rows;
	const u64 inFile = (u64)srcPitch * (rows ? rows - 1 : 0) + rowBytes;
	if (!rowBytes || !rows || total > 0xFFFFFFFFull ||
		(u64)file->getSize() < (u64)DDS_DATA_OFFSET + inFile)
		return 0;

	u8* data = new u8[(u32)total];
	if (srcPitch == rowBytes)
	{
		if (file->read(data, (u32)total) != (s32)total)
		{
			delete [] data;
			return 0;
		}
		return data;
	}
	for (u32 y = 0; y < rows; ++y)
	{
		if (!file->seek(DDS_DATA_OFFSET + (long)((u64)srcPitch * y)) ||
			file->read(data + (u64)rowBytes * y, rowBytes) != (s32)rowBytes)
		{
			delete [] data;
			return 0;
		}
	}
	return data;
}

//! exchanges the first and third byte of every pixel; the fourth, if asked, becomes opaque
void swapRedBlue(u8* data, u32 pixels, u32 bytesPerPixel, bool opaque)
{
	for (u32 i = 0; i < pixels; ++i)
	{
		u8* p = data + i * bytesPerPixel;
		const u8 t = p[0];
		p[0] = p[2];
		p[2] = t;
		if (opaque)
			p[3] = 0xFF;
	}
}

} // end namespace


CImageLoaderDDS::CImageLoaderDDS(IVideoDriver* driver) : Driver(driver)
{
	#ifdef _DEBUG
	setDebugName("CImageLoaderDDS");
	#endif
}


bool CImageLoaderDDS::isALoadableFileExtension(const io::path& filename) const
{
	return core::hasFileExtension(filename, "dds");
}


bool CImageLoaderDDS::isALoadableFileFormat(io::IReadFile* file) const
{
	if (!file)
		return false;
	u8 magic[4];
	if (file->read(magic, 4) != 4)
		return false;
	return magic[0] == 'D' && magic[1] == 'D' && magic[2] == 'S';
}


IImage* CImageLoaderDDS::loadImage(io::IReadFile* file) const
{
	if (!file)
		return 0;

	u8 header[DDS_HEADER_SIZE];
	if (!file->seek(DDS_MAGIC_SIZE) || file->read(header, DDS_HEADER_SIZE) != (s32)DDS_HEADER_SIZE)
	{
		message("DDS : File too short");
		return 0;
	}

	const u32 size = readU32(header + 0);
	const u32 flags = readU32(header + 4);
	if (size != DDS_HEADER_SIZE || (flags & DDSD_CAPS) == 0 || (flags & DDSD_PIXELFORMAT) == 0)
		return 0;

	const u32 height = readU32(header + 8);
	const u32 width = readU32(header + 12);
	const u32 pitch = readU32(header + 16);
	const u32 depthField = readU32(header + 20);
	const u32 pfFlags = readU32(header + 72 + 4);
	const u32 pfFourCC = readU32(header + 72 + 8);
	const u32 rgbBits = readU32(header + 72 + 12);
	const u32 redMask = readU32(header + 72 + 16);
	const u32 alphaMask = readU32(header + 72 + 28);

	const bool isVolume = depthField != 0 && (flags & DDSD_DEPTH) != 0;
	const u32 depth = isVolume ? depthField : 1;
	const bool hasAlpha = (pfFlags & DDPF_ALPHAPIXELS) != 0;

	if (!width || !height || width > DDS_MAX_EDGE || height > DDS_MAX_EDGE || depth > DDS_MAX_EDGE)
	{
		message("DDS : Unsupported image size");
		return 0;
	}

	ECOLOR_FORMAT format = ECF_UNKNOWN;
	u8* data = 0;

	if (pfFlags & DDPF_RGB)
	{
		if (rgbBits != 16 && rgbBits != 24 && rgbBits != 32)
			return 0;
		const u32 bytesPerPixel = rgbBits / 8;
		const u32 rowBytes = bytesPerPixel * width;
		if ((flags & DDSD_PITCH) && pitch < rowBytes)
		{
			message("DDS : Pitch shorter than a row");
			return 0;
		}
		data = readRows(file, rowBytes, (flags & DDSD_PITCH) ? pitch : rowBytes, height * depth);
		if (!data)
		{
			message("DDS : File too short");
			return 0;
		}
		const u32 pixels = width * height * depth;

		if (rgbBits == 16)
		{
			if (!hasAlpha)
			{
				if (redMask == 0xF800)
				{
					format = ECF_R5G6B5;
					message("DDS : ECF_R5G6B5 format");
				}
			}
			else if (alphaMask == 0x8000)
			{
				format = ECF_A1R5G5B5;
				message("DDS : ECF_A1R5G5B5 format");
			}
			else
				message("DDS : Unsupported 16 bit format with alpha");
		}
		else if (rgbBits == 24)
		{
			if (hasAlpha)
				message("DDS : Unsupported 24 bit format with alpha");
			else if ((redMask & 0xFF0000) == 0xFF0000)
			{
				format = ECF_R8G8B8;
				message("DDS : ECF_R8G8B8 format");
				// the file stores blue, green, red; the image keeps red first
				swapRedBlue(data, pixels, 3, false);
			}
		}
		else
		{
			const bool redHigh = (redMask & 0xFF0000) == 0xFF0000;
			const bool redLow = (redMask & 0xFF) == 0xFF;
			if (redHigh || redLow)
			{
				format = hasAlpha ? ECF_A8R8G8B8 : ECF_X8R8G8B8;
				message(hasAlpha ? "DDS : ECF_A8R8G8B8 format" : "DDS : ECF_X8R8G8B8 format");
				if (!redHigh)
				{
					// red in the low byte: swap red and blue; the unused byte becomes opaque
					swapRedBlue(data, pixels, 4, !hasAlpha);
				}
			}
			else if (hasAlpha)
				message("DDS : Unsupported 32 bit alpha format");
		}
	}
	else if (pfFlags & DDPF_FOURCC)
	{
		u32 blockBytes = 0;
		if (pfFourCC == fourCC('D','X','T','1'))
		{
			format = ECF_DXT1;
			blockBytes = 8;
			message("DDS : ECF_DXT1 format");
		}
		else if (pfFourCC == fourCC('D','X','T','2') || pfFourCC == fourCC('D','X','T','3'))
		{
			format = ECF_DXT3;
			blockBytes = 16;
			message("DDS : ECF_DXT3 format");
		}
		else if (pfFourCC == fourCC('D','X','T','4') || pfFourCC == fourCC('D','X','T','5'))
		{
			format = ECF_DXT5;
			blockBytes = 16;
			message("DDS : ECF_DXT5 format");
		}
		else
			return 0;

		// every slice, in whole blocks (a partial block at the edge counts)
		const u32 rowBytes = ((width + 3) / 4) * blockBytes;
		data = readRows(file, rowBytes, rowBytes, ((height + 3) / 4) * depth);
		if (!data)
		{
			message("DDS : File too short");
			return 0;
		}
	}
	else if (pfFlags & DDPF_LUMINANCE)
	{
		if ((flags & DDSD_PITCH) && pitch < width)
		{
			message("DDS : Pitch shorter than a row");
			return 0;
		}
		data = readRows(file, width, (flags & DDSD_PITCH) ? pitch : width, height * depth);
		if (!data)
		{
			message("DDS : File too short");
			return 0;
		}
		format = ECF_L8;
	}
	else
	{
		message("UNKNOWN DDS FORMAT TEXTURE");
		return 0;
	}

	if (format == ECF_UNKNOWN)
	{
		delete [] data;
		return 0;
	}

	if (isVolume)
		return new CImage(format, core::vector3d<u32>(width, height, depth), data, true, true);
	return new CImage(format, core::dimension2d<u32>(width, height), data, true, true);
}


IImageLoader* createImageLoaderDDS(IVideoDriver* driver)
{
	return new CImageLoaderDDS(driver);
}

} // end namespace video
} // end namespace irr

#endif
