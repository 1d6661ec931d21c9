// Loader of DirectDraw Surface files: uncompressed 16, 24 and 32 bit RGB, 8 bit luminance and
// DXT1 to DXT5 blocks (kept compressed), as 2D or volume images. Only the top mip level is read.

#ifndef __C_IMAGE_LOADER_DDS_H_INCLUDED__
#define __C_IMAGE_LOADER_DDS_H_INCLUDED__

#include "IrrCompileConfig.h"

#if defined(_IRR_COMPILE_WITH_DDS_LOADER_)

#include "IImageLoader.h"
#include "IVideoDriver.h"

namespace irr
{
namespace video
{

class CImageLoaderDDS : public IImageLoader
{
public:
	CImageLoaderDDS(IVideoDriver* driver);

	//! true for names ending in ".dds", case ignored
	virtual bool isALoadableFileExtension(const io::path& filename) const;

	//! true when the file starts with "DDS"
	virtual bool isALoadableFileFormat(io::IReadFile* file) const;

	//! the image of the file, or 0 when it is broken or of an unsupported layout
	virtual IImage* loadImage(io::IReadFile* file) const;

private:
	// the driver is kept, not owned: it owns its loaders
	IVideoDriver* Driver;
};

} // end namespace video
} // end namespace irr

#endif
#endif
