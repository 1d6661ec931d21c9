// Cube textures: six square faces sampled by direction.

#ifndef __I_TEXTURE_CUBE_H_INCLUDED__
#define __I_TEXTURE_CUBE_H_INCLUDED__

#include "ITexture.h"

namespace irr
{
namespace video
{

//! A cube texture, made by IVideoDriver::addTextureCubeMap from six images.
class ITextureCUBE : public ITexture
{
public:
	ITextureCUBE(const io::path& name) : ITexture(name) {}

	//! Cube textures answer 2.
	virtual u32 getTextureKind() const { return 2; }
};

} // end namespace video
} // end namespace irr

#endif
