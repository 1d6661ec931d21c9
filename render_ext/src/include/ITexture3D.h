// Volume textures: a stack of slices sampled with three coordinates.

#ifndef __I_TEXTURE_3D_H_INCLUDED__
#define __I_TEXTURE_3D_H_INCLUDED__

#include "ITexture.h"
#include "vector3d.h"

namespace irr
{
namespace video
{

//! A volume texture, made by the driver from an image whose depth is 2 or more.
class ITexture3D : public ITexture
{
public:
	ITexture3D(const io::path& name) : ITexture(name) {}

	//! Volume textures answer 1.
	virtual u32 getTextureKind() const { return 1; }

	//! Width, height and depth of the texture.
	virtual const core::vector3d<u32>& getSize3D() const = 0;
};

} // end namespace video
} // end namespace irr

#endif
