// HLSL compilation to shader tokens for the Direct3D 9 driver.

#include "IrrCompileConfig.h"
#ifdef _IRR_COMPILE_WITH_DIRECT3D_9_

#include "CD3D9ShaderCompiler.h"
#include "CD3D9ShaderMaterialRenderer.h"
#include "irrArray.h"
#include "irrString.h"
#include "os.h"

namespace irr
{
namespace video
{

namespace
{

//! Lets D3DX read included files through an IIncludeCallback; lives for one compile call.
class CompileIncludeCallback : public ID3DXInclude
{
public:
	explicit CompileIncludeCallback(IIncludeCallback* callback) : Callback(callback) {}
	virtual ~CompileIncludeCallback() {}

	STDMETHOD(Open)(D3DXINCLUDE_TYPE includeType, const char* fileName, const void* parentData,
		const void** data, UINT* bytes)
	{
		const void* text = 0;
		u32 size = 0;
		if (!fileName || !Callback->Open(fileName, &text, &size))
			return E_FAIL;
		*data = text;
		*bytes = size;
		return S_OK;
	}

	STDMETHOD(Close)(const void* data)
	{
		return Callback->Close(data) ? S_OK : E_FAIL;
	}

private:
	IIncludeCallback* Callback;
};

} // end anonymous namespace


bool compileHLSLToTokens(const c8* program, const c8* entryPointName, const c8* profile,
	const c8* const* macros, IIncludeCallback* includeCallback, SShaderCodeBuffer& code)
{
	if (!program)
		return false;
	if (!entryPointName || !profile)
	{
		os::Printer::log("Compile shader compilation failed:", "no entry point", ELL_ERROR);
		return false;
	}

	// the macro list as D3DX takes it, as long as the caller's
	core::array<D3DXMACRO> defines;
	if (macros && macros[0])
	{
		for (u32 i = 0; macros[2*i]; ++i)
		{
			D3DXMACRO macro;
			macro.Name = macros[2*i];
			macro.Definition = macros[2*i+1] ? macros[2*i+1] : "";
			defines.push_back(macro);
		}
		D3DXMACRO end;
		end.Name = 0;
		end.Definition = 0;
		defines.push_back(end);
	}

	CompileIncludeCallback* include = includeCallback ? new CompileIncludeCallback(includeCallback) : 0;

	LPD3DXBUFFER buffer = 0;
	LPD3DXBUFFER errors = 0;
	const HRESULT hr = CD3D9ShaderMaterialRenderer::stubD3DXCompileShader(program, (UINT)strlen(program),
		defines.size() ? defines.const_pointer() : 0, include, entryPointName, profile, 0,
		&buffer, &errors, 0);

	delete include;

	if (FAILED(hr))
	{
		os::Printer::log("Compile shader compilation failed:", ELL_ERROR);
		if (errors)
		{
			const core::stringc text((const c8*)errors->GetBufferPointer(), errors->GetBufferSize());
			os::Printer::log(text.c_str(), ELL_ERROR);
			errors->Release();
		}
		if (buffer)
			buffer->Release();
		return false;
	}

	if (errors)
		errors->Release();
	if (!buffer)
		return false;

	code.set(buffer->GetBufferPointer(), buffer->GetBufferSize());
	buffer->Release();
	return true;
}

} // end namespace video
} // end namespace irr

#endif
