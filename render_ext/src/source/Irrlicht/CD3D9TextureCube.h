// Direct3D 9 cube texture built from six images.

#ifndef __C_D3D9_TEXTURE_CUBE_H_INCLUDED__
#define __C_D3D9_TEXTURE_CUBE_H_INCLUDED__

#include "IrrCompileConfig.h"
#ifdef _IRR_COMPILE_WITH_DIRECT3D_9_

#include "ITextureCUBE.h"
#include "IImage.h"
#include <d3d9.h>

namespace irr
{
namespace video
{

class CD3D9Driver;

//! A cube texture filled once from six images of one size (positive X, negative X,
//! positive Y, negative Y, positive Z, negative Z).
class CD3D9TextureCUBE : public ITextureCUBE
{
public:
	CD3D9TextureCUBE(IImage* image1, IImage* image2, IImage* image3, IImage* image4,
		IImage* image5, IImage* image6, CD3D9Driver* driver, u32 flags, const io::path& name);

	virtual ~CD3D9TextureCUBE();

	//! cube textures offer no processor access
	virtual void* lock(E_TEXTURE_LOCK_MODE mode=ETLM_READ_WRITE, u32 mipmapLevel=0) { return 0; }
	virtual void unlock() {}

	virtual const core::dimension2d<u32>& getOriginalSize() const { return ImageSize; }
	virtual const core::dimension2d<u32>& getSize() const { return TextureSize; }
	virtual E_DRIVER_TYPE getDriverType() const { return EDT_DIRECT3D9; }
	virtual ECOLOR_FORMAT getColorFormat() const { return ColorFormat; }
	virtual u32 getPitch() const { return Pitch; }
	virtual bool hasMipMaps() const { return HasMipMaps; }
	virtual void regenerateMipMapLevels(void* mipmapData=0) {}
	virtual bool isRenderTarget() const { return IsRenderTarget; }

	//! the device cube texture, or 0 when none could be made
	IDirect3DCubeTexture9* getDX9CubeTexture() const { return Texture; }

	//! the edge length a cube texture gets for an image size
	static u32 getFaceSize(u32 imageSize);

private:
	//! copies the six images into level 0 of the faces
	bool copyFaces();

	IImage* Images[6];
	CD3D9Driver* Driver;
	IDirect3DDevice9* Device;
	IDirect3DCubeTexture9* Texture;
	core::dimension2d<u32> TextureSize;
	core::dimension2d<u32> ImageSize;
	u32 Pitch;
	ECOLOR_FORMAT ColorFormat;
	bool SameSize;
	bool IsRenderTarget;
	bool HasMipMaps;
};

} // end namespace video
} // end namespace irr

#endif // _IRR_COMPILE_WITH_DIRECT3D_9_
#endif
