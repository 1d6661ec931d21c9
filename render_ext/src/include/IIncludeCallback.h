// The provider of the files that shader sources include.

#ifndef __I_INCLUDE_CALLBACK_H_INCLUDED__
#define __I_INCLUDE_CALLBACK_H_INCLUDED__

#include "irrTypes.h"

namespace irr
{
namespace video
{

//! Gives the shader compiler the text of an included file (not reference counted).
class IIncludeCallback
{
public:
	virtual ~IIncludeCallback() {}

	//! Provides the text of an included file.
	/** \param fileName The name the #include line gives.
	\param data Receives the text; it stays valid until Close is called with it.
	\param size Receives the size of the text in bytes.
	\return True when the file was provided. */
	virtual bool Open(const c8* fileName, const void** data, u32* size) = 0;

	//! Takes back a text that Open handed out.
	virtual bool Close(const void* data) = 0;
};

} // end namespace video
} // end namespace irr

#endif
