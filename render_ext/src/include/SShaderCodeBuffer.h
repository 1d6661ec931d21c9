// A byte buffer holding compiled shader tokens.

#ifndef __S_SHADER_CODE_BUFFER_H_INCLUDED__
#define __S_SHADER_CODE_BUFFER_H_INCLUDED__

#include <string.h>
#include "irrTypes.h"
#include "irrAllocator.h"

namespace irr
{
namespace video
{

//! Compiled shader tokens, owned by whoever declares the buffer.
struct SShaderCodeBuffer
{
	SShaderCodeBuffer() : Data(0), Size(0) {}
	~SShaderCodeBuffer() { clear(); }

	//! Replaces the contents with a copy of size bytes (zeros when data is 0); size 0 empties it.
	void set(const void* data, u32 size)
	{
		clear();
		if (!size)
			return;
		Data = Allocator.allocate(size);
		Size = size;
		if (data)
			memcpy(Data, data, size);
		else
			memset(Data, 0, size);
	}

	//! Frees the contents.
	void clear()
	{
		if (Data)
			Allocator.deallocate(Data);
		Data = 0;
		Size = 0;
	}

	core::irrAllocator<char> Allocator;
	char* Data;
	u32 Size;

private:
	// one owner: copies would free the same data twice
	SShaderCodeBuffer(const SShaderCodeBuffer&);
	SShaderCodeBuffer& operator=(const SShaderCodeBuffer&);
};

} // end namespace video
} // end namespace irr

#endif
