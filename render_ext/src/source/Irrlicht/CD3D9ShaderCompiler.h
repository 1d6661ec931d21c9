// HLSL compilation to shader tokens for the Direct3D 9 driver.

#ifndef __C_D3D9_SHADER_COMPILER_H_INCLUDED__
#define __C_D3D9_SHADER_COMPILER_H_INCLUDED__

#include "IrrCompileConfig.h"
#ifdef _IRR_COMPILE_WITH_DIRECT3D_9_

#include "IIncludeCallback.h"
#include "SShaderCodeBuffer.h"

namespace irr
{
namespace video
{

//! Compiles HLSL source for a profile ("vs_3_0", "ps_3_0", ...) into tokens.
/** \param macros Pairs {name, definition} ended by a pair whose name is 0 (any
number of them); a definition of 0 counts as "". May be 0.
\param includeCallback Provides the included files; may be 0.
\param code Receives the tokens; left as it was on failure.
\return True when code holds the compiled tokens. */
bool compileHLSLToTokens(const c8* program, const c8* entryPointName, const c8* profile,
	const c8* const* macros, IIncludeCallback* includeCallback, SShaderCodeBuffer& code);

} // end namespace video
} // end namespace irr

#endif
#endif
