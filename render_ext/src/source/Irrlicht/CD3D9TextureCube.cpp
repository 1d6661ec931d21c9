// Direct3D 9 cube texture built from six images.

#include "IrrCompileConfig.h"
#ifdef _IRR_COMPILE_WITH_DIRECT3D_9_

#include "CD3D9TextureCube.h"
#include "CD3D9Driver.h"
#include "os.h"

namespace irr
{
namespace video
{

CD3D9TextureCUBE::CD3D9TextureCUBE(IImage* image1, IImage* image2, IImage* image3, IImage* image4,
		IImage* image5, IImage* image6, CD3D9Driver* driver, u32 flags, const io::path& name)
: ITextureCUBE(name), Driver(driver), Device(0), Texture(0), TextureSize(0, 0), ImageSize(0, 0),
	Pitch(0), ColorFormat(ECF_A1R5G5B5), SameSize(false), IsRenderTarget(false), HasMipMaps(false)
{
	#ifdef _DEBUG
	setDebugName("CD3D9TextureCUBE");
	#endif

	IImage* images[6] = { image1, image2, image3, image4, image5, image6 };
	for (u32 i = 0; i < 6; ++i)
		Images[i] = 0;

	Device = driver->getExposedVideoData().D3D9.D3DDev9;
	if (Device)
		Device->AddRef();

	// six images of one size, with pixels (compressed blocks cannot be scaled into a face)
	for (u32 i = 0; i < 6; ++i)
	{
		if (!images[i] || images[i]->getDimension() != images[0]->getDimension() ||
			IImage::isCompressedFormat(images[i]->getColorFormat()) ||
			!images[i]->getDimension().Width || !images[i]->getDimension().Height)
			return;
	}
	if (!Device)
		return;

	for (u32 i = 0; i < 6; ++i)
	{
		Images[i] = images[i];
		Images[i]->grab();
	}
	ImageSize = Images[0]->getDimension();

	// faces are square: the edge follows the width, and every image is scaled to it
	const u32 edge = getFaceSize(ImageSize.Width);
	TextureSize.set(edge, edge);
	SameSize = (TextureSize == ImageSize);

	D3DFORMAT format = D3DFMT_A1R5G5B5;
	switch (getTextureFormatFromFlags(flags))
	{
	case ETCF_ALWAYS_32_BIT:
		format = D3DFMT_A8R8G8B8;
		break;
	case ETCF_OPTIMIZED_FOR_QUALITY:
		if (Images[0]->getColorFormat() == ECF_R8G8B8 || Images[0]->getColorFormat() == ECF_A8R8G8B8)
			format = D3DFMT_A8R8G8B8;
		break;
	default:
		break;
	}
	ColorFormat = (format == D3DFMT_A8R8G8B8) ? ECF_A8R8G8B8 : ECF_A1R5G5B5;

	HRESULT hr = Device->CreateCubeTexture(edge, 1, 0, format, D3DPOOL_MANAGED, &Texture, NULL);
	if (FAILED(hr))
	{
		Texture = 0;
		os::Printer::log("Could not create DIRECT3D9 CUBE Texture.", ELL_ERROR);
		return;
	}
	copyFaces();
}


CD3D9TextureCUBE::~CD3D9TextureCUBE()
{
	if (Texture)
		Texture->Release();
	if (Device)
		Device->Release();
	for (u32 i = 0; i < 6; ++i)
		if (Images[i])
			Images[i]->drop();
}


u32 CD3D9TextureCUBE::getFaceSize(u32 imageSize)
{
	u32 size = 1;
	while (size < imageSize && size < 0x80000000u)
		size <<= 1;
	// a size above 64 goes down to the power of two below it rather than up
	if (size > imageSize && size > 64)
		size >>= 1;
	return size;
}


bool CD3D9TextureCUBE::copyFaces()
{
	D3DSURFACE_DESC desc;
	if (FAILED(Texture->GetLevelDesc(0, &desc)))
		return false;
	if (desc.Format != D3DFMT_A8R8G8B8 && desc.Format != D3DFMT_A1R5G5B5)
	{
		os::Printer::log("CD3D9Texture: Unsupported D3D9 hardware texture format", ELL_ERROR);
		return false;
	}
	const bool is32 = (desc.Format == D3DFMT_A8R8G8B8);

	for (u32 face = 0; face < 6; ++face)
	{
		D3DLOCKED_RECT rect;
		if (FAILED(Texture->LockRect((D3DCUBEMAP_FACES)face, 0, &rect, NULL, 0)))
		{
			if (face == 0 && is32)
				os::Printer::log("Could not lock Postive X Face of DIRECT3D9 32 bit CUBE Texture.", ELL_ERROR);
			else
				os::Printer::log("Could not lock face of DIRECT3D9 CUBE Texture.", ELL_ERROR);
			return false;
		}
		Pitch = rect.Pitch;
		Images[face]->lock();
		// nearest scaling and format conversion, never past the face's desc.Height rows
		Images[face]->copyToScaling(rect.pBits, desc.Width, desc.Height, ColorFormat, rect.Pitch);
		Images[face]->unlock();
		Texture->UnlockRect((D3DCUBEMAP_FACES)face, 0);
	}
	return true;
}

} // end namespace video
} // end namespace irr

#endif // _IRR_COMPILE_WITH_DIRECT3D_9_
