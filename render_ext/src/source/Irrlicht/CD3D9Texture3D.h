// Direct3D 9 volume texture built from an image with depth.

#ifndef __C_D3D9_TEXTURE_3D_H_INCLUDED__
#define __C_D3D9_TEXTURE_3D_H_INCLUDED__

#include "IrrCompileConfig.h"
#ifdef _IRR_COMPILE_WITH_DIRECT3D_9_

#include "ITexture3D.h"
#include "IImage.h"
#include <d3d9.h>

namespace irr
{
namespace video
{

class CD3D9Driver;

//! A volume texture filled once from a volume image (depth slices of height rows).
class CD3D9Texture3D : public ITexture3D
{
public:
	CD3D9Texture3D(IImage* image, CD3D9Driver* driver, u32 flags, const io::path& name);

	virtual ~CD3D9Texture3D();

	//! volume textures offer no processor access
	virtual void* lock(E_TEXTURE_LOCK_MODE mode=ETLM_READ_WRITE, u32 mipmapLevel=0) { return 0; }
	virtual void unlock() {}

	virtual const core::dimension2d<u32>& getOriginalSize() const { return ImageSize; }
	virtual const core::dimension2d<u32>& getSize() const { return ImageSize2; }
	virtual E_DRIVER_TYPE getDriverType() const { return EDT_DIRECT3D9; }
	virtual ECOLOR_FORMAT getColorFormat() const { return ColorFormat; }
	virtual u32 getPitch() const { return Pitch; }
	virtual bool hasMipMaps() const { return HasMipMaps; }
	virtual void regenerateMipMapLevels(void* mipmapData=0) {}
	virtual bool isRenderTarget() const { return false; }
	virtual const core::vector3d<u32>& getSize3D() const { return VolumeSize; }

	//! the device volume texture, or 0 when none could be made
	IDirect3DVolumeTexture9* getDX9VolumeTexture() const { return Texture; }

	//! Direct3D format of a volume texture for an image format, D3DFMT_UNKNOWN when there is none
	static D3DFORMAT getVolumeFormat(ECOLOR_FORMAT format);

private:
	//! copies the image into level 0, scaling each slice when the sizes differ
	bool copyTexture(IImage* image);

	//! fills the levels below level 0 from the level above (nearest texel)
	void fillMipLevels();

	CD3D9Driver* Driver;
	IDirect3DDevice9* Device;
	IDirect3DVolumeTexture9* Texture;
	core::vector3d<u32> VolumeSize;
	core::dimension2d<u32> ImageSize;
	core::dimension2d<u32> ImageSize2;
	ECOLOR_FORMAT ColorFormat;
	u32 Pitch;
	bool SameSize;
	bool HasMipMaps;
	bool IsCompressed;
};

} // end namespace video
} // end namespace irr

#endif // _IRR_COMPILE_WITH_DIRECT3D_9_
#endif
