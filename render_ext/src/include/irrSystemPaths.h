// File names of any length that the system allows: full paths past MAX_PATH, the system's own form of a
// name for its wide functions, and whether a name is too long for the system at all.

#ifndef __IRR_SYSTEM_PATHS_H_INCLUDED__
#define __IRR_SYSTEM_PATHS_H_INCLUDED__

#include <stdio.h>
#include "path.h"
#include "irrString.h"

namespace irr
{
namespace io
{

	//! The full path of a file name, of any length that the system allows.
	/** \return The full path with '\\' separators, or an empty string
	when the system cannot make one. */
	core::stringw getSystemFullPath(const path& filename);

	//! The full path of a file name in the characters of the file system's names.
	/** eturn The full path with '\\' separators, or an empty string
	when the system cannot make one. */
	path getFullPath(const path& filename);

	//! The name of a file as the wide functions of the system take it.
	/** A name whose full path is shorter than MAX_PATH is given as it
	is; a longer one as its full path after the "\\?\" prefix
	("\\?\UNC\" for a path on a share), which the system takes up to its
	own limit. */
	core::stringw getSystemPath(const path& filename);

	//! Whether the system refuses the file name for its length.
	/** True when its full path is longer than the system allows or one
	of its parts is longer than a file name can be. */
	bool isPathTooLong(const path& filename);

	//! Whether the file or folder exists, whatever the length of its path.
	bool systemFileExists(const path& filename);

	//! Opens a file with the standard stream functions, whatever the length of its path.
	/** \param mode The mode, as fopen takes it. */
	FILE* openSystemFile(const path& filename, const wchar_t* mode);

} // end namespace io
} // end namespace irr

#endif
