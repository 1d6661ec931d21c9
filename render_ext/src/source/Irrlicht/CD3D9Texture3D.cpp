// Direct3D 9 volume texture built from an image with depth.

#include "IrrCompileConfig.h"
#ifdef _IRR_COMPILE_WITH_DIRECT3D_9_

#include "CD3D9Texture3D.h"
#include "CD3D9Driver.h"
#include "CImage.h"
#include "os.h"

namespace irr
{
namespace video
{

CD3D9Texture3D::CD3D9Texture3D(IImage* image, CD3D9Driver* driver, u32 flags, const io::path& name)
: ITexture3D(name), Driver(driver), Device(0), Texture(0), VolumeSize(0, 0, 0),
	ImageSize(0, 0), ImageSize2(0, 0), ColorFormat(ECF_UNKNOWN), Pitch(0),
	SameSize(false), HasMipMaps(false), IsCompressed(false)
{
	#ifdef _DEBUG
	setDebugName("CD3D9Texture3D");
	#endif

	Device = driver->getExposedVideoData().D3D9.D3DDev9;
	if (Device)
		Device->AddRef();
	if (!image || !Device)
		return;

	const u32 depth = image->getDepth();
	ImageSize = image->getDimension();
	ImageSize2 = ImageSize;
	ColorFormat = image->getColorFormat();
	IsCompressed = IImage::isCompressedFormat(ColorFormat);
	if (!ImageSize.Width || !ImageSize.Height || !depth)
		return;

	const D3DFORMAT format = getVolumeFormat(ColorFormat);
	if (format == D3DFMT_UNKNOWN)
		return;

	// blocks cannot be scaled: compressed volumes keep the image's size
	if (Driver->queryFeature(EVDF_TEXTURE_NPOT) || IsCompressed)
		VolumeSize.set(ImageSize.Width, ImageSize.Height, depth);
	else
		VolumeSize.set(ImageSize.getOptimalSize(true, false, true).Width,
			ImageSize.getOptimalSize(true, false, true).Height, depth);
	SameSize = (VolumeSize.X == ImageSize.Width && VolumeSize.Y == ImageSize.Height);

	// one level, or a full chain that is filled below when mip maps are asked for;
	// the lower levels of compressed data cannot be made here
	HasMipMaps = Driver->getTextureCreationFlag(ETCF_CREATE_MIP_MAPS) && !IsCompressed;

	HRESULT hr = Device->CreateVolumeTexture(VolumeSize.X, VolumeSize.Y, VolumeSize.Z,
		HasMipMaps ? 0 : 1, 0, format, D3DPOOL_MANAGED, &Texture, NULL);
	if (FAILED(hr))
	{
		Texture = 0;
		os::Printer::log("Could not create D3D9Texture3D Format - XX\n", ELL_ERROR);
		return;
	}

	if (copyTexture(image) && HasMipMaps)
		fillMipLevels();
}


CD3D9Texture3D::~CD3D9Texture3D()
{
	if (Texture)
		Texture->Release();
	if (Device)
		Device->Release();
}


D3DFORMAT CD3D9Texture3D::getVolumeFormat(ECOLOR_FORMAT format)
{
	switch (format)
	{
	case ECF_A1R5G5B5: return D3DFMT_A1R5G5B5;
	case ECF_R5G6B5: return D3DFMT_R5G6B5;
	case ECF_R8G8B8:
	case ECF_A8R8G8B8: return D3DFMT_A8R8G8B8;
	case ECF_DXT1: return D3DFMT_DXT1;
	case ECF_DXT2: return D3DFMT_DXT2;
	case ECF_DXT3: return D3DFMT_DXT3;
	case ECF_DXT4: return D3DFMT_DXT4;
	case ECF_DXT5: return D3DFMT_DXT5;
	case ECF_L8: return D3DFMT_L8;
	default: return D3DFMT_UNKNOWN;
	}
}


bool CD3D9Texture3D::copyTexture(IImage* image)
{
	D3DVOLUME_DESC desc;
	if (FAILED(Texture->GetLevelDesc(0, &desc)))
		return false;
	VolumeSize.set(desc.Width, desc.Height, desc.Depth);

	D3DLOCKED_BOX box;
	if (FAILED(Texture->LockBox(0, &box, NULL, 0)))
	{
		os::Printer::log("Could not lock D3D9Texture3D.", ELL_ERROR);
		return false;
	}

	u8* src = (u8*)image->lock();
	u8* dst = (u8*)box.pBits;
	const u32 slices = core::min_(image->getDepth(), desc.Depth);
	if (src && IsCompressed)
	{
		// rows of 4x4 blocks, slice by slice, honouring the box's pitches
		const u32 blockBytes = (ColorFormat == ECF_DXT1) ? 8 : 16;
		const u32 srcRowBytes = ((ImageSize.Width + 3) / 4) * blockBytes;
		const u32 srcSliceBytes = srcRowBytes * ((ImageSize.Height + 3) / 4);
		const u32 rowBytes = core::min_(srcRowBytes, ((desc.Width + 3) / 4) * blockBytes);
		const u32 rows = core::min_((ImageSize.Height + 3) / 4, (desc.Height + 3) / 4);
		for (u32 z = 0; z < slices; ++z)
			for (u32 y = 0; y < rows; ++y)
				memcpy(dst + z * box.SlicePitch + y * box.RowPitch, src + z * srcSliceBytes + y * srcRowBytes, rowBytes);
	}
	else if (src)
	{
		// each slice converted into the texture's format and scaled to its size when they differ
		const ECOLOR_FORMAT target = (ColorFormat == ECF_R8G8B8) ? ECF_A8R8G8B8 : ColorFormat;
		const u32 srcSliceBytes = image->getPitch() * ImageSize.Height;
		for (u32 z = 0; z < slices; ++z)
		{
			CImage slice(ColorFormat, ImageSize, src + z * srcSliceBytes, true, false);
			slice.copyToScaling(dst + z * box.SlicePitch, desc.Width, desc.Height, target, box.RowPitch);
		}
	}
	image->unlock();
	Texture->UnlockBox(0);
	return true;
}


void CD3D9Texture3D::fillMipLevels()
{
	const u32 levels = Texture->GetLevelCount();
	for (u32 level = 1; level < levels; ++level)
	{
		D3DVOLUME_DESC upperDesc, lowerDesc;
		if (FAILED(Texture->GetLevelDesc(level - 1, &upperDesc)) || FAILED(Texture->GetLevelDesc(level, &lowerDesc)))
			return;
		const u32 bytes = (upperDesc.Format == D3DFMT_A8R8G8B8) ? 4 : (upperDesc.Format == D3DFMT_L8 ? 1 : 2);
		D3DLOCKED_BOX upper, lower;
		if (FAILED(Texture->LockBox(level - 1, &upper, NULL, D3DLOCK_READONLY)))
			return;
		if (FAILED(Texture->LockBox(level, &lower, NULL, 0)))
		{
			Texture->UnlockBox(level - 1);
			return;
		}
		for (u32 z = 0; z < lowerDesc.Depth; ++z)
		{
			const u32 sz = core::min_(z * 2, upperDesc.Depth - 1);
			for (u32 y = 0; y < lowerDesc.Height; ++y)
			{
				const u32 sy = core::min_(y * 2, upperDesc.Height - 1);
				const u8* srcRow = (const u8*)upper.pBits + sz * upper.SlicePitch + sy * upper.RowPitch;
				u8* dstRow = (u8*)lower.pBits + z * lower.SlicePitch + y * lower.RowPitch;
				for (u32 x = 0; x < lowerDesc.Width; ++x)
					memcpy(dstRow + x * bytes, srcRow + core::min_(x * 2, upperDesc.Width - 1) * bytes, bytes);
			}
		}
		Texture->UnlockBox(level);
		Texture->UnlockBox(level - 1);
	}
}

} // end namespace video
} // end namespace irr

#endif // _IRR_COMPILE_WITH_DIRECT3D_9_
